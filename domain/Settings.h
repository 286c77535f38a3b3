#pragma once
// The user's preferences: one application-wide record, loaded once at start and written whole
// after every change by whoever changed a field.

#include <cstdint>
#include <string>

namespace Lorvex {

namespace Json {
class Value;
}

struct Settings {
    bool dark_theme = true;
    double temperature = 0.7;
    int32_t max_tokens = 1000;
    bool stream_replies = true;
    bool enter_to_send = true;
    bool show_timestamps = true;
    bool check_updates = true;
    std::wstring last_version;
    int32_t window_width = 1320;
    int32_t window_height = 860;
    bool maximized = false;

    // The record the whole program reads and writes (UI thread only). It holds the defaults
    // until Load; tests put it back with Instance() = Settings{}.
    static Settings& Instance();

    // Reads the data folder's "settings.json" into Instance(). A missing, unreadable or
    // malformed file leaves the record as it is; a torn one gives way to a whole ".tmp" beside it
    // (Storage::ReadJsonFile).
    static void Load();
    // Writes Instance() to the data folder's "settings.json", waiting a moment for a file another
    // program holds (Files::WriteReplacing). False when it could not: the file keeps its former
    // content and the record is unchanged, so a later save writes everything.
    [[nodiscard]] static bool Save();

    // Takes every usable member of a parsed settings object into this record, keeping ranges.
    void Read(const Json::Value& root);
    // The file's object: the eleven members in their fixed order.
    Json::Value ToJson() const;
};

}  // namespace Lorvex

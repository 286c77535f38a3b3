// Loading and saving the preferences file.

#include "domain/Settings.h"

#include "domain/Storage.h"
#include "foundation/Paths.h"
#include "foundation/json/Value.h"

#include <algorithm>
#include <cmath>

namespace Lorvex {

namespace {

int32_t ReadClamped(const Json::Value& member, int32_t current, int64_t low, int64_t high) {
    if (member.kind == Json::Type::Number) {
        // AsInt64 answers 0 for numbers beyond the 64-bit range, yet 1e30 is still above every
        // bound; decide those on the number itself.
        if (std::isnan(member.number)) {
            return current;
        }
        if (member.number >= static_cast<double>(high)) {
            return static_cast<int32_t>(high);
        }
        if (member.number <= static_cast<double>(low)) {
            return static_cast<int32_t>(low);
        }
    }
    return static_cast<int32_t>(std::clamp(member.AsInt64(current), low, high));
}

}  // namespace

Settings& Settings::Instance() {
    // Made on first use, so whatever reads it first, during another file's static initialisation
    // too, finds the defaults.
    static Settings settings;
    return settings;
}

void Settings::Load() {
    Json::Value root;
    if (Storage::ReadJsonFile(Paths::SettingsPath(), root)) {
        Instance().Read(root);
    }
}

bool Settings::Save() {
    return Storage::WriteFileAtomic(Paths::SettingsPath(), Instance().ToJson());
}

void Settings::Read(const Json::Value& root) {
    if (root.kind != Json::Type::Object) {
        return;
    }
    dark_theme = root.Find("dark_theme").AsBool(dark_theme);

    const double readTemperature = root.Find("temperature").AsDouble(temperature);
    // "nan" and "inf" pass the number reading; neither is a temperature.
    if (std::isfinite(readTemperature)) {
        temperature = std::clamp(readTemperature, 0.0, 1.5);
    }

    max_tokens = ReadClamped(root.Find("max_tokens"), max_tokens, 200, 4000);
    stream_replies = root.Find("stream_replies").AsBool(stream_replies);
    enter_to_send = root.Find("enter_to_send").AsBool(enter_to_send);
    show_timestamps = root.Find("show_timestamps").AsBool(show_timestamps);
    check_updates = root.Find("check_updates").AsBool(check_updates);
    last_version = root.Find("last_version").AsWString();
    window_width = ReadClamped(root.Find("window_width"), window_width, 960, 4000);
    window_height = ReadClamped(root.Find("window_height"), window_height, 640, 3000);
    maximized = root.Find("maximized").AsBool(maximized);
}

Json::Value Settings::ToJson() const {
    Json::Value root{Json::Object{}};
    root["dark_theme"] = dark_theme;
    root["temperature"] = temperature;
    root["max_tokens"] = max_tokens;
    root["stream_replies"] = stream_replies;
    root["enter_to_send"] = enter_to_send;
    root["show_timestamps"] = show_timestamps;
    root["check_updates"] = check_updates;
    root["last_version"] = last_version;
    root["window_width"] = window_width;
    root["window_height"] = window_height;
    root["maximized"] = maximized;
    return root;
}

}  // namespace Lorvex

#pragma once
// Releases as the release channel publishes them: one message of the channel is one release (its
// first line the version, then the notes and the SHA-256 line, its attachments the program file
// whole or in numbered parts). Reading the channel, turning messages into releases, ordering them
// and comparing version texts. Nothing here keeps state: FetchReleases blocks on one HTTPS
// request, so only worker threads call it; the rest may run on any thread. Failures come back as
// the Spanish error text of Fetched; a message that is no release is skipped.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/json/Value.h"

namespace Lorvex::Services::Updates {

// One attachment that belongs to the new program file.
struct Part {
    std::wstring fileName;
    std::wstring url;
    int64_t size = 0;
};

struct Release {
    std::wstring version;     // digits and dots, e.g. "3.0.3"
    std::wstring notes;       // lines joined with LF
    std::wstring sha256;      // 64 lower-case characters, or empty when the message gave none
    int64_t date = 0;         // Unix seconds from the message id; 0 when unreadable
    std::vector<Part> parts;  // in the order they are joined; may be empty
};

struct Fetched {
    std::vector<Release> releases;  // newest version first
    std::wstring error;             // empty on success
};

// The numbers of a version text, at least three.
std::vector<int32_t> ParseVersion(const std::wstring& text);
// True when version a is older than version b, compared number by number.
bool VersionLess(const std::wstring& a, const std::wstring& b);
std::wstring StripMarks(std::wstring line);
// The version a message's first line names, or empty when it names none.
std::wstring CleanVersion(std::wstring line);
// The part number of an attachment ("Lorvex.001" is 1), or -1.
int32_t PartNumber(const std::wstring& fileName);
// ("Authorization", "Bot " + token) and the user agent the chat service asks bots for.
std::vector<std::pair<std::wstring, std::wstring>> BotHeaders();
std::optional<Release> ParseRelease(const Json::Value& message);
// Reads the channel's newest 100 messages; worker threads only.
Fetched FetchReleases();

}  // namespace Lorvex::Services::Updates

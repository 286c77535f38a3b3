// Reading the release channel and turning its messages into ordered releases.

#include "services/UpdateRelease.h"

namespace Lorvex::Services::Updates {

std::vector<int32_t> ParseVersion(const std::wstring& text) {
    (void)text;
    return {0, 0, 0};
}

bool VersionLess(const std::wstring& a, const std::wstring& b) {
    (void)a;
    (void)b;
    return false;
}

std::wstring StripMarks(std::wstring line) {
    return line;
}

std::wstring CleanVersion(std::wstring line) {
    (void)line;
    return {};
}

int32_t PartNumber(const std::wstring& fileName) {
    (void)fileName;
    return -1;
}

std::vector<std::pair<std::wstring, std::wstring>> BotHeaders() {
    return {};
}

std::optional<Release> ParseRelease(const Json::Value& message) {
    (void)message;
    return std::nullopt;
}

Fetched FetchReleases() {
    return {};
}

}  // namespace Lorvex::Services::Updates

#include "services/Updates.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "App/Config.h"
#include "domain/Settings.h"
#include "foundation/Files.h"

namespace Lorvex::Services::Updates {
namespace {

std::vector<uint64_t> VersionNumbers(std::wstring_view version) {
    std::vector<uint64_t> numbers(1, 0);
    for (wchar_t c : version) {
        if (c == L'.') {
            numbers.push_back(0);
        } else if (c >= L'0' && c <= L'9' && numbers.back() < UINT64_MAX / 10 - 9) {
            numbers.back() = numbers.back() * 10 + static_cast<uint64_t>(c - L'0');
        }
    }
    return numbers;
}

std::function<void()>& OnChanged() {
    static std::function<void()> callback;
    return callback;
}

}  // namespace

std::wstring& AfterUpdateNotice() {
    static std::wstring notice;
    return notice;
}

std::wstring& NewVersionNotice() {
    static std::wstring notice;
    return notice;
}

bool IsConfigured() {
    return !Config::DiscordBotToken().empty() && !Config::DiscordChannelId().empty();
}

void SetOnChanged(std::function<void()> callback) {
    // The previous callback goes first: it may hold what the new one replaces.
    OnChanged() = nullptr;
    OnChanged() = std::move(callback);
}

void NotifyChanged() {
    if (OnChanged()) {
        OnChanged()();
    }
}

void StartBackgroundChecks() {
}

std::wstring& NewestVersion() {
    static std::wstring version;
    return version;
}

bool HasNewerVersion() {
    return !NewestVersion().empty() && IsOlderVersion(Config::kVersion, NewestVersion());
}

bool IsOlderVersion(std::wstring_view a, std::wstring_view b) {
    std::vector<uint64_t> left = VersionNumbers(a);
    std::vector<uint64_t> right = VersionNumbers(b);
    const size_t count = std::max(left.size(), right.size());
    left.resize(count, 0);
    right.resize(count, 0);
    return left < right;
}

void AfterStart() {
    // Without a temporary folder the path would name a folder at the root of the drive.
    const std::wstring temp = Files::TempDir();
    if (!temp.empty()) {
        Files::RemoveTree(Files::JoinPath(temp, std::wstring(kWorkFolder)));
    }
    Settings& settings = Settings::Instance();
    const std::wstring running(Config::kVersion);
    if (settings.last_version == running) {
        return;
    }
    if (!settings.last_version.empty() && IsOlderVersion(settings.last_version, running)) {
        AfterUpdateNotice() = L"Lorvex se ha actualizado a la versión " + running;
    }
    settings.last_version = running;
    Settings::Save();
}

}  // namespace Lorvex::Services::Updates

#include "services/Updates.h"

#include <utility>

#include "App/Config.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "services/UpdateRelease.h"

namespace Lorvex::Services::Updates {
namespace {

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
    return !NewestVersion().empty() && VersionLess(std::wstring(Config::kVersion), NewestVersion());
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
    if (!settings.last_version.empty() && VersionLess(settings.last_version, running)) {
        AfterUpdateNotice() = L"Lorvex se ha actualizado a la versión " + running;
    }
    settings.last_version = running;
    Settings::Save();
}

}  // namespace Lorvex::Services::Updates

// The update state itself: its fields, the change notice, the paths the service works with and
// their test seams, and the after-update step run at start.

#include <atomic>
#include <utility>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "services/updates/UpdateStateDetail.h"
#include "services/updates/Updates.h"

namespace Lorvex::Services::Updates {
namespace {

std::atomic<int32_t> g_changes{1};

std::function<void()>& OnChanged() {
    static std::function<void()> callback;
    return callback;
}

std::wstring& ProgramPathOverride() {
    static std::wstring path;
    return path;
}

std::wstring& TempFolderOverride() {
    static std::wstring folder;
    return folder;
}

}  // namespace

namespace Detail {

State& Mutable() {
    static State state;
    return state;
}

const std::wstring& RunningVersion() {
    static const std::wstring version(Config::kVersion);
    return version;
}

std::wstring ProgramPath() {
    return ProgramPathOverride().empty() ? Files::ExePath() : ProgramPathOverride();
}

int32_t FirstWithParts(const std::vector<Release>& releases) {
    for (size_t i = 0; i < releases.size(); ++i) {
        if (!releases[i].parts.empty()) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

}  // namespace Detail

const State& Current() {
    return Detail::Mutable();
}

int32_t ChangeCounter() {
    return g_changes.load();
}

const Release* NewestRelease() {
    const State& state = Current();
    if (state.newest < 0 || static_cast<size_t>(state.newest) >= state.releases.size()) {
        return nullptr;
    }
    return &state.releases[static_cast<size_t>(state.newest)];
}

Status EffectiveStatus() {
    if (!IsConfigured()) {
        Detail::Mutable().status = Status::NotConfigured;
    }
    return Current().status;
}

void CancelDownload() {
    Detail::Mutable().cancel.Set();
}

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
    g_changes.fetch_add(1);
    if (OnChanged()) {
        OnChanged()();
    }
}

bool HasNewerVersion() {
    const Release* newest = NewestRelease();
    return newest != nullptr && VersionLess(Detail::RunningVersion(), newest->version);
}

std::wstring ProgramFolder() {
    return Files::ParentPath(Detail::ProgramPath());
}

std::wstring WorkFolder() {
    const std::wstring temp = TempFolderOverride().empty() ? Files::TempDir() : TempFolderOverride();
    // Without a temporary folder the path would name a folder relative to wherever we run.
    return temp.empty() ? std::wstring() : Files::JoinPath(temp, std::wstring(kWorkFolder));
}

void AfterStart() {
    const std::wstring work = WorkFolder();
    if (!work.empty()) {
        Files::RemoveTree(work);
    }
    Settings& settings = Settings::Instance();
    const std::wstring& running = Detail::RunningVersion();
    if (settings.last_version == running) {
        return;
    }
    if (!settings.last_version.empty() && VersionLess(settings.last_version, running)) {
        AfterUpdateNotice() = L"Lorvex se ha actualizado a la versión " + running;
    }
    settings.last_version = running;
    // Unwritten, the record still holds the version: the close-time save writes it again, and
    // reports to the user when that fails too.
    static_cast<void>(Settings::Save());
}

void SetProgramPathForTesting(std::wstring path) {
    ProgramPathOverride() = std::move(path);
}

void SetTempFolderForTesting(std::wstring folder) {
    TempFolderOverride() = std::move(folder);
}

void SetReleasesForTesting(std::vector<Release> releases) {
    State& state = Detail::Mutable();
    state.releases = std::move(releases);
    state.newest = Detail::FirstWithParts(state.releases);
    NotifyChanged();
}

void ResetForTesting() {
    Detail::Mutable() = State{};
    AfterUpdateNotice().clear();
    NewVersionNotice().clear();
}

}  // namespace Lorvex::Services::Updates

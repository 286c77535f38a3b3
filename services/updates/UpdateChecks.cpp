// Checks of the release channel: the one running check, its result taken into the state, and the
// timed checks armed when the main window opens.

#include <chrono>
#include <utility>

#include "domain/Settings.h"
#include "foundation/Async.h"
#include "services/updates/UpdateStateDetail.h"
#include "services/updates/Updates.h"

namespace Lorvex::Services::Updates {
namespace {

constexpr uint32_t kFirstCheckMs = 300;
constexpr uint32_t kCheckIntervalMs = 3u * 60u * 60u * 1000u;

int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void Check(bool background) {
    const Status status = Current().status;
    if (!IsConfigured() || status == Status::Checking || status == Status::Downloading ||
        status == Status::Installing) {
        return;
    }
    Detail::Mutable().status = Status::Checking;
    NotifyChanged();
    const bool started = Async::Run([] { return FetchReleases(); },
                                    [background](Fetched fetched) { OnChecked(std::move(fetched), background); });
    if (!started) {
        // Without a worker the check would stay Checking for good and refuse every later one.
        OnChecked(Fetched{{}, L"No se pudo iniciar la búsqueda de versiones"}, background);
    }
}

void OnChecked(Fetched fetched, bool background) {
    State& state = Detail::Mutable();
    if (!fetched.error.empty()) {
        state.status = Status::Failed;
        state.error = std::move(fetched.error);
        NotifyChanged();
        return;
    }
    state.releases = std::move(fetched.releases);
    state.newest = Detail::FirstWithParts(state.releases);
    state.error.clear();
    state.lastCheck = UnixNow();
    state.status = HasNewerVersion() ? Status::Available : Status::UpToDate;
    if (state.status == Status::Available && background) {
        const std::wstring& newest = NewestRelease()->version;
        if (newest != state.lastAnnounced) {
            state.lastAnnounced = newest;
            NewVersionNotice() = newest;
        }
    }
    NotifyChanged();
}

void StartBackgroundChecks() {
    if (!IsConfigured()) {
        return;
    }
    // The setting is read when a timer fires, so switching it takes effect at the next firing.
    Async::SetTimeout(kFirstCheckMs, [] {
        if (Settings::Instance().check_updates) {
            Check(true);
        }
    });
    Async::SetInterval(kCheckIntervalMs, [] {
        if (Settings::Instance().check_updates && !HasNewerVersion()) {
            Check(true);
        }
    });
}

}  // namespace Lorvex::Services::Updates

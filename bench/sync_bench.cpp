// The first cloud sync of a heavy user's data folder (1,000 characters with 10 chats of 100
// messages each, 20 personas) against the in-process fake backend on 127.0.0.1: the sign-in, the
// first full round, the merge that queues every record and the upload that follows, timed, with the
// requests sent and the bytes uploaded; then a full round with nothing changed, whose goal is no
// upload and one pull request. Under Wine the figures are for comparing our own changes.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "App/Config.h"
#include "bench/HeavyDataFolder.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "services/AppState.h"
#include "services/CloudSync.h"
#include "tests/support/FakeSupabase.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the dispatcher as the main loop would until done() holds, or ten minutes pass; every ten
// seconds a line tells how far the queue got, so a slow phase shows where it is.
template <class Predicate>
bool PumpUntil(Predicate done) {
    const auto started = Clock::now();
    auto nextReport = started + std::chrono::seconds(10);
    while (!done()) {
        const auto now = Clock::now();
        if (now > started + std::chrono::minutes(10)) {
            return false;
        }
        if (now > nextReport) {
            const Services::CloudSync& cloud = Services::CloudSync::Instance();
            std::printf("  ... %.0f s: %zu changes queued, %s\n", SecondsSince(started), cloud.pending.size(),
                        cloud.syncing ? "a round runs" : "no round runs");
            std::fflush(stdout);
            nextReport = now + std::chrono::seconds(10);
        }
        WaitForSingleObject(Async::WakeEvent(), 20);
        Async::Pump();
    }
    return true;
}

// What the backend received since a mark: requests by kind and the bytes of their bodies.
struct Traffic {
    size_t requests = 0;
    size_t auth = 0;
    size_t tableWrites = 0;
    size_t pulls = 0;
    size_t storage = 0;
    size_t bodyBytes = 0;

    static Traffic Since(const std::vector<Testing::RecordedRequest>& all, size_t from) {
        Traffic traffic;
        for (size_t i = from; i < all.size(); ++i) {
            const Testing::RecordedRequest& request = all[i];
            ++traffic.requests;
            traffic.bodyBytes += request.body.size();
            if (request.target.rfind("/auth/", 0) == 0) {
                ++traffic.auth;
            } else if (request.target.rfind("/rest/", 0) == 0) {
                ++(request.method == "GET" ? traffic.pulls : traffic.tableWrites);
            } else {
                ++traffic.storage;
            }
        }
        return traffic;
    }

    void Print(const char* what, double seconds) const {
        std::printf("%s: %.2f s, %zu requests (%zu auth, %zu table writes, %zu pulls, %zu storage), %.1f MB sent\n",
                    what, seconds, requests, auth, tableWrites, pulls, storage, bodyBytes / 1048576.0);
    }
};

}  // namespace

// An optional argument gives the number of characters, for a smaller folder of the same kind.
int main(int argc, char** argv) {
    const int characters = argc > 1 ? std::max(1, std::atoi(argv[1])) : Bench::Characters;
    const std::wstring root = Bench::UseFreshDataFolder(L"sync");
    if (!Async::Startup()) {
        std::printf("no dispatcher\n");
        return 1;
    }

    auto start = Clock::now();
    const bool allSaved = Bench::WriteHeavyDataFolder(nullptr, characters);
    std::printf("data folder: %d characters x %d chats x %d messages, %d personas, written in %.2f s%s\n", characters,
                Bench::ChatsPerCharacter, Bench::MessagesPerChat, Bench::Personas, SecondsSince(start),
                allSaved ? "" : " (SOME WRITES FAILED)");

    Testing::FakeSupabase backend;
    if (!backend.IsListening()) {
        std::printf("no fake backend\n");
        return 1;
    }
    Config::SetSupabaseForTesting(backend.BaseUrl(), Text::ToWide(backend.ApiKey()));
    backend.AddUser("ana@example.com", "secreto1");

    Services::AppState& state = Services::AppState::Instance();
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    state.Initialize();

    // Sign-in, first full round (nothing in the cloud yet), the merge, and the upload 2.5 s later.
    start = Clock::now();
    std::wstring signInError = L"?";
    cloud.SignIn(L"ana@example.com", L"secreto1", [&](const std::wstring& error) { signInError = error; });
    bool settled = PumpUntil([&] { return !cloud.authBusy; }) && signInError.empty();
    std::printf("  signed in after %.2f s\n", SecondsSince(start));
    settled = settled && PumpUntil([&] { return !cloud.syncing && !cloud.mergePending; });
    std::printf("  first round and merge done after %.2f s: %zu changes queued\n", SecondsSince(start),
                cloud.pending.size());
    std::fflush(stdout);
    settled = settled && PumpUntil([&] { return !cloud.syncing && cloud.WaitingChanges() == 0; });
    const double firstSync = SecondsSince(start);
    const std::vector<Testing::RecordedRequest> afterFirst = backend.Requests();
    Traffic::Since(afterFirst, 0).Print("first sync (sign-in to empty queue)", firstSync);
    std::printf("  rows in the cloud: %zu; status: %s%s\n",
                backend.Rows(backend.UserId("ana@example.com").value_or("")).size(),
                Text::ToUtf8(cloud.StatusText()).c_str(), settled ? "" : " (DID NOT SETTLE)");

    // A full round with nothing changed.
    start = Clock::now();
    cloud.Start(true);
    settled = PumpUntil([&] { return !cloud.syncing; });
    const double idleRound = SecondsSince(start);
    const Traffic idle = Traffic::Since(backend.Requests(), afterFirst.size());
    idle.Print("full round with nothing changed", idleRound);
    std::printf("  goal: no upload and one pull request: %s%s\n",
                idle.tableWrites == 0 && idle.pulls == 1 && idle.storage == 0 ? "met" : "NOT MET",
                settled ? "" : " (DID NOT SETTLE)");

    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    Files::RemoveTree(root);
    return 0;
}

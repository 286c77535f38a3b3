// Start-up of the application state at a heavy user's scale and one sent message: the data
// folder of the store benchmark (1,000 characters with 10 chats of 100 messages each, 20
// personas) under the temporary folder; AppState::Initialize timed on it, then a character is
// opened and messages are sent against an in-process fake provider that answers at once. Prints
// the times; the folder is removed at the end. Under Wine the figures are for comparing our own
// changes.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "bench/HeavyDataFolder.h"
#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/support/FakeHttpServer.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

using namespace Lorvex::Bench;

constexpr int StartRuns = 3;
constexpr int Sends = 5;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the dispatcher as the main loop would until no reply job is left, or a minute passes.
bool PumpUntilIdle() {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!Services::AppState::Instance().runningReplies.empty()) {
        if (Clock::now() > deadline) {
            return false;
        }
        WaitForSingleObject(Async::WakeEvent(), 50);
        Async::Pump();
    }
    return true;
}

std::string Answer() {
    return Testing::SseData("{\"choices\":[{\"index\":0,\"delta\":{\"content\":\"Claro, te escucho.\"}}]}") +
           Testing::SseData("[DONE]");
}

}  // namespace

int main() {
    const std::wstring root = Bench::UseFreshDataFolder(L"startup");
    if (!Async::Startup()) {
        std::printf("no dispatcher\n");
        return 1;
    }

    auto start = Clock::now();
    const bool allSaved = WriteHeavyDataFolder();
    std::printf("data folder: %d characters x %d chats x %d messages, %d personas, written in %.2f s%s\n", Characters,
                ChatsPerCharacter, MessagesPerChat, Personas, SecondsSince(start),
                allSaved ? "" : " (SOME WRITES FAILED)");

    // What the store alone takes, so the state's own share of the start-up can be seen.
    start = Clock::now();
    const size_t loaded = Storage::LoadCharacters().size() + Storage::LoadPersonas().size();
    std::printf("store load alone: %.3f s (%zu records)\n", SecondsSince(start), loaded);

    Services::AppState& state = Services::AppState::Instance();
    for (int run = 0; run < StartRuns; ++run) {
        Services::CloudSync::ResetForTesting();
        Services::AppState::ResetForTesting();
        start = Clock::now();
        state.Initialize();
        std::printf("Initialize %d: %.3f s (%zu characters, %zu personas)\n", run + 1, SecondsSince(start),
                    state.characters.size(), state.personas.size());
    }

    Testing::FakeHttpServer server;
    Config::SetDeepSeekForTesting(server.Url(L""), L"sk-0123456789abcdef0123456789abcdef");
    start = Clock::now();
    state.OpenCharacter(state.characters.front());
    std::printf("OpenCharacter: %.2f ms (chat of %zu messages)\n", SecondsSince(start) * 1000,
                state.currentChat ? state.currentChat->messages.size() : 0);

    std::vector<double> sends;
    std::vector<double> replies;
    bool answered = true;
    for (int run = 0; run < Sends; ++run) {
        server.Enqueue(Testing::FakeReply::EventStream().Body(Answer()));
        start = Clock::now();
        state.SendMessage(L"¿Me cuentas qué pasó después?");
        sends.push_back(SecondsSince(start));
        const bool idle = PumpUntilIdle();
        replies.push_back(SecondsSince(start));
        answered = answered && idle && state.currentChat->messages.back()->content == L"Claro, te escucho.";
    }
    std::sort(sends.begin(), sends.end());
    std::sort(replies.begin(), replies.end());
    std::printf("SendMessage (append, write the chat, start the job): best %.2f ms, median %.2f ms, worst %.2f ms\n",
                sends.front() * 1000, sends[sends.size() / 2] * 1000, sends.back() * 1000);
    std::printf("send to applied reply: best %.2f ms, median %.2f ms, worst %.2f ms%s\n", replies.front() * 1000,
                replies[replies.size() / 2] * 1000, replies.back() * 1000, answered ? "" : " (SOME REPLIES FAILED)");

    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    const bool removed = Files::RemoveTree(root);
    if (!removed) {
        std::printf("could not remove %ls\n", root.c_str());
    }
    return allSaved && answered && removed ? 0 : 1;
}

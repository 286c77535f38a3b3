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

#include "App/Config.h"
#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/AppState.h"
#include "services/CloudSync.h"
#include "tests/support/FakeHttpServer.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

constexpr int Characters = 1000;
constexpr int ChatsPerCharacter = 10;
constexpr int MessagesPerChat = 100;
constexpr int Personas = 20;
constexpr int StartRuns = 3;
constexpr int Sends = 5;

// Deterministic, so every run measures the same data (the store benchmark's generator).
class Random {
public:
    uint32_t Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    size_t Below(size_t n) { return Next() % n; }

private:
    uint64_t state_ = 0x5EED;
};

const wchar_t* const Sentences[] = {
    L"¿Qué haces aquí tan tarde, Lucía?",
    L"No sé si debería contártelo… pero está bien.",
    L"*se acerca despacio y baja la voz* \"Nadie puede enterarse\", susurra.",
    L"El café ya está frío; la lluvia golpea la ventana del desván.",
    L"—¡Ni hablar! —responde con una sonrisa pícara—. Eso ni lo sueñes.",
    L"Recuerdo cuando éramos niños y corríamos por la orilla del río.",
    L"Se ajusta las gafas y lee en voz alta el párrafo subrayado.",
    L"¿De verdad crees que funcionará? Tengo mis dudas 🤔",
};

std::wstring Prose(Random& random, size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) text += random.Below(4) == 0 ? L"\n\n" : L" ";
        text += Sentences[random.Below(std::size(Sentences))];
    }
    return text;
}

std::wstring Stamp(int day, int minute) {
    wchar_t text[64];
    swprintf(text, std::size(text), L"2025-%02d-%02dT%02d:%02d:00.0000000+01:00", 1 + day / 28, 1 + day % 28,
             minute / 60 % 24, minute % 60);
    return text;
}

std::wstring Id(const wchar_t* kind, int n) {
    wchar_t text[64];
    swprintf(text, std::size(text), L"%ls-%08d-0000-4000-8000-000000000000", kind, n);
    return text;
}

std::shared_ptr<Character> MakeCharacter(Random& random, int n) {
    auto character = std::make_shared<Character>();
    character->id = Id(L"c", n);
    character->name = L"Personaje " + std::to_wstring(n);
    character->age = L"27";
    character->gender = L"Mujer";
    character->traits = Prose(random, 2);
    character->personality = Prose(random, 3);
    character->background = Prose(random, 6);
    character->scenario = Prose(random, 3);
    character->initial_message = Prose(random, 2);
    character->memory = Prose(random, 4);
    for (int k = 0; k < 3; ++k) {
        KnownCharacter known;
        known.name = L"Conocido " + std::to_wstring(k);
        known.relationship = L"amigo";
        known.description = Prose(random, 2);
        known.personality = {L"leal", L"curioso"};
        character->known_characters.push_back(known);
    }
    for (int c = 0; c < ChatsPerCharacter; ++c) {
        auto chat = std::make_shared<Chat>();
        chat->id = Id(L"h", n * ChatsPerCharacter + c);
        chat->timestamp = Stamp(static_cast<int>(random.Below(300)), c);
        for (int m = 0; m < MessagesPerChat; ++m) {
            auto message = std::make_shared<Message>();
            message->role = m % 2 == 0 ? L"user" : L"assistant";
            message->content = Prose(random, 1 + random.Below(4));
            message->timestamp = Stamp(300, m);
            if (m % 2 == 1) message->character_id = character->id;
            chat->messages.push_back(std::move(message));
        }
        character->chats->push_back(std::move(chat));
    }
    return character;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the dispatcher as the main loop would until no reply job is left, or a minute passes.
bool PumpUntilIdle() {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!Services::AppState::Instance().runningReplies.empty()) {
        if (Clock::now() > deadline) return false;
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
    const std::wstring root =
        Files::JoinPath(Files::TempDir(), L"lorvex-startup-bench-" + std::to_wstring(GetCurrentProcessId()));
    Files::RemoveTree(root);
    Paths::SetDataDirForTesting(root);
    if (!Async::Startup()) {
        std::printf("no dispatcher\n");
        return 1;
    }

    Random random;
    auto start = Clock::now();
    bool allSaved = true;
    for (int n = 0; n < Characters; ++n) {
        allSaved = Storage::SaveCharacter(*MakeCharacter(random, n)) && allSaved;
    }
    for (int n = 0; n < Personas; ++n) {
        Persona persona;
        persona.id = Id(L"p", n);
        persona.name = L"Usuario " + std::to_wstring(n);
        persona.traits = Prose(random, 2);
        allSaved = Storage::SavePersona(persona) && allSaved;
    }
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
    if (!removed) std::printf("could not remove %ls\n", root.c_str());
    return allSaved && answered && removed ? 0 : 1;
}

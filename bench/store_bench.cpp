// The local store at a heavy user's scale: 1,000 characters with 10 chats of 100 messages each
// in a data folder under the temporary folder. Times loading every character and persona, as
// start-up does, and saving one character whole; the folder is removed at the end.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

constexpr int Characters = 1000;
constexpr int ChatsPerCharacter = 10;
constexpr int MessagesPerChat = 100;
constexpr int Personas = 20;
constexpr int LoadRuns = 3;
constexpr int SaveRuns = 5;

// Deterministic, so every run measures the same data.
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

uint64_t FolderBytes(const std::wstring& folder) {
    uint64_t total = 0;
    for (const std::wstring& file : Files::ListFiles(folder, L"*", true)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
            total += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    }
    return total;
}

}  // namespace

int main() {
    const std::wstring root =
        Files::JoinPath(Files::TempDir(), L"lorvex-store-bench-" + std::to_wstring(GetCurrentProcessId()));
    Files::RemoveTree(root);
    Paths::SetDataDirForTesting(root);

    Random random;
    auto start = Clock::now();
    bool allSaved = true;
    std::shared_ptr<Character> sample;
    for (int n = 0; n < Characters; ++n) {
        auto character = MakeCharacter(random, n);
        allSaved = Storage::SaveCharacter(*character) && allSaved;
        if (n == Characters / 2) sample = character;
    }
    for (int n = 0; n < Personas; ++n) {
        Persona persona;
        persona.id = Id(L"p", n);
        persona.name = L"Usuario " + std::to_wstring(n);
        persona.traits = Prose(random, 2);
        allSaved = Storage::SavePersona(persona) && allSaved;
    }
    const double generate = SecondsSince(start);
    std::printf("data folder: %d characters x %d chats x %d messages, %d personas, %.1f MB, written in %.2f s%s\n",
                Characters, ChatsPerCharacter, MessagesPerChat, Personas, FolderBytes(root) / (1024.0 * 1024.0), generate,
                allSaved ? "" : " (SOME WRITES FAILED)");

    for (int run = 0; run < LoadRuns; ++run) {
        start = Clock::now();
        const auto characters = Storage::LoadCharacters();
        const double loadCharacters = SecondsSince(start);
        start = Clock::now();
        const auto personas = Storage::LoadPersonas();
        const double loadPersonas = SecondsSince(start);
        size_t chats = 0;
        size_t messages = 0;
        for (const auto& character : characters) {
            chats += character->chats->size();
            for (const auto& chat : *character->chats) messages += chat->messages.size();
        }
        std::printf("load %d: LoadCharacters %.3f s (%zu characters, %zu chats, %zu messages), LoadPersonas %.4f s (%zu)"
                    ", together %.3f s\n",
                    run + 1, loadCharacters, characters.size(), chats, messages, loadPersonas, personas.size(),
                    loadCharacters + loadPersonas);
    }

    std::vector<double> saves;
    for (int run = 0; run < SaveRuns; ++run) {
        start = Clock::now();
        const bool ok = Storage::SaveCharacter(*sample);
        saves.push_back(SecondsSince(start));
        if (!ok) std::printf("save %d failed\n", run + 1);
    }
    std::sort(saves.begin(), saves.end());
    std::printf("SaveCharacter (character.json + %d chats of %d messages): best %.2f ms, median %.2f ms, worst %.2f ms\n",
                ChatsPerCharacter, MessagesPerChat, saves.front() * 1000, saves[saves.size() / 2] * 1000,
                saves.back() * 1000);

    const bool removed = Files::RemoveTree(root);
    if (!removed) std::printf("could not remove %ls\n", root.c_str());
    return allSaved && removed ? 0 : 1;
}

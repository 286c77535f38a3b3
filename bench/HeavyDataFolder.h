#pragma once
// A heavy user's data folder, the same for every benchmark that needs one: 1,000 characters with
// 10 chats of 100 messages each and 20 personas, Spanish prose from a fixed seed.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "bench/BenchRandom.h"
#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace Lorvex::Bench {

constexpr int Characters = 1000;
constexpr int ChatsPerCharacter = 10;
constexpr int MessagesPerChat = 100;
constexpr int Personas = 20;

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

inline std::wstring Prose(Random& random, size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += random.Below(4) == 0 ? L"\n\n" : L" ";
        }
        text += Sentences[random.Below(std::size(Sentences))];
    }
    return text;
}

inline std::wstring Stamp(int day, int minute) {
    wchar_t text[64];
    swprintf(text, std::size(text), L"2025-%02d-%02dT%02d:%02d:00.0000000+01:00", 1 + day / 28, 1 + day % 28,
             minute / 60 % 24, minute % 60);
    return text;
}

inline std::wstring Id(const wchar_t* kind, int n) {
    wchar_t text[64];
    swprintf(text, std::size(text), L"%ls-%08d-0000-4000-8000-000000000000", kind, n);
    return text;
}

inline std::shared_ptr<Character> MakeCharacter(Random& random, int n) {
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
            if (m % 2 == 1) {
                message->character_id = character->id;
            }
            chat->messages.push_back(std::move(message));
        }
        character->chats->push_back(std::move(chat));
    }
    return character;
}

// An empty data folder of the benchmark's own under the temporary folder, made the current one;
// its full path, for removing it at the end.
inline std::wstring UseFreshDataFolder(const std::wstring& benchName) {
    const std::wstring root =
        Files::JoinPath(Files::TempDir(), L"lorvex-" + benchName + L"-bench-" + std::to_wstring(GetCurrentProcessId()));
    Files::RemoveTree(root);
    Paths::SetDataDirForTesting(root);
    return root;
}

// Saves every character and persona into the current data folder; false when a write failed.
// `sample`, when given, receives one of the characters, for timing its save. `characters` makes a
// smaller folder of the same kind, for a quicker run.
inline bool WriteHeavyDataFolder(std::shared_ptr<Character>* sample = nullptr, int characters = Characters) {
    Random random;
    bool allSaved = true;
    for (int n = 0; n < characters; ++n) {
        auto character = MakeCharacter(random, n);
        allSaved = Storage::SaveCharacter(*character) && allSaved;
        if (sample != nullptr && n == characters / 2) {
            *sample = character;
        }
    }
    for (int n = 0; n < Personas; ++n) {
        Persona persona;
        persona.id = Id(L"p", n);
        persona.name = L"Usuario " + std::to_wstring(n);
        persona.traits = Prose(random, 2);
        allSaved = Storage::SavePersona(persona) && allSaved;
    }
    return allSaved;
}

}  // namespace Lorvex::Bench

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "domain/SpeakerPrefix.h"
#include "foundation/Text.h"

namespace Lorvex {
namespace {

KnownCharacter Person(const std::wstring& name, const std::wstring& bubble = L"") {
    KnownCharacter person;
    person.name = name;
    person.bubble_name = bubble;
    return person;
}

// Luna Roja knows Marco, Ana María Pérez (shown as Ana), Jean-Luc, Sofía Luz and a person without
// a name; her user's persona knows Tomás Ruiz and Sofía (shown as Sofi).
Character Luna() {
    Character character;
    character.name = L"Luna Roja";
    character.known_characters = {Person(L"Marco"), Person(L"Ana María Pérez", L"Ana"), Person(L"Jean-Luc"),
                                  Person(L"Sofía Luz"), Person(L"", L"Zoe")};
    return character;
}

Persona Sam() {
    Persona persona;
    persona.name = L"Sam";
    persona.known_characters = {Person(L"Tomás Ruiz"), Person(L"Sofía", L"Sofi")};
    return persona;
}

std::string Show(const std::optional<std::wstring>& name) {
    return name ? Text::ToUtf8(*name) : "<unset>";
}

std::string ShowText(std::wstring_view text) {
    return Text::ToUtf8(text);
}

TEST(SpeakerPrefix, NamesTheSpeakerOfAText) {
    const Character luna = Luna();
    const Persona sam = Sam();
    struct Case {
        std::wstring text;
        std::optional<std::wstring> expected;
        bool withPersona = true;
    };
    const Case cases[] = {
        // Colon form.
        {L"Marco: Hola, ¿qué tal?", L"Marco"},
        {L"marco: hola", L"Marco"},
        {L"  MARCO  : hola", L"Marco"},
        {L"Ana: dime", L"Ana"},
        {L"Ana María Pérez: dime", L"Ana"},
        {L"Luna: hola", L"Luna Roja"},
        {L"luna roja: hola", L"Luna Roja"},
        {L"Tomás: hola", L"Tomás Ruiz"},
        {L"Tomás: hola", std::nullopt, false},
        // An exact match in the persona's list beats a first-word match in the character's.
        {L"Sofía: hola", L"Sofi"},
        {L"Sofía: hola", L"Sofía Luz", false},
        {L"Zoe: hola", std::nullopt},
        {L"Desconocido: hola", std::nullopt},
        // The colon stands at index 40, then at 41: only the first is a prefix.
        {L"Luna" + std::wstring(36, L' ') + L": hola", L"Luna Roja"},
        {L"Luna" + std::wstring(37, L' ') + L": hola", std::nullopt},
        {L"Marco" + std::wstring(36, L' ') + L": hola", L"Marco"},
        // A prefix holding a quote, an asterisk or a line break is no name; the word form runs.
        {L"\"Luna\": hola", std::nullopt},
        {L"*Luna*: hola", std::nullopt},
        {L"*Marco*: hola", L"Marco"},
        {L"Luna\nMarco: hola", std::nullopt},
        {L":Marco", std::nullopt},
        // Word form.
        {L"*Marco sonríe* Hola", L"Marco"},
        {L"*Luna sonríe* Hola", std::nullopt},
        {L"Luna sonríe", std::nullopt},
        {L"¿Marco? ¿Estás ahí?", L"Marco"},
        {L" \t(_'¡Marco!", L"Marco"},
        {L"*Tomás se ríe*", L"Tomás Ruiz"},
        {L"Jean-Luc asiente.", L"Jean-Luc"},
        {L"Marco, ven aquí: ahora", L"Marco"},
        {L"A veces llueve", std::nullopt},
        {L"\u2014Marco dijo algo", std::nullopt},
        {L"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSpeakerPrefix(luna, c.withPersona ? &sam : nullptr, c.text), c.expected)
            << ShowText(c.text) << " -> " << Show(ParseSpeakerPrefix(luna, c.withPersona ? &sam : nullptr, c.text));
    }
}

TEST(SpeakerResolve, ResolvesACandidateName) {
    const Character luna = Luna();
    const Persona sam = Sam();
    struct Case {
        std::wstring text;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {L" marco \n", L"Marco"},
        {L"LUNA ROJA", L"Luna Roja"},
        {L"Luna", L"Luna Roja"},
        {L"Roja", std::nullopt},
        {L"Ana", L"Ana"},
        {L"Tomás", L"Tomás Ruiz"},
        {L"M", std::nullopt},
        {L" \u00A0", std::nullopt},
        // Accents are significant.
        {L"Tomas", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveSpeaker(luna, &sam, c.text), c.expected) << ShowText(c.text);
    }
}

TEST(SpeakerMatch, FirstWordMatchesOnlyWhenAllowed) {
    const std::vector<KnownCharacter> known = {Person(L"Ana María Pérez"), Person(L"Ana", L"Anita")};
    EXPECT_EQ(MatchKnownCharacter(known, L"ana", false), L"Anita");
    EXPECT_EQ(MatchKnownCharacter(known, L"ana", true), L"Ana María Pérez");
    EXPECT_EQ(MatchKnownCharacter(known, L"María", true), std::nullopt);
    EXPECT_EQ(MatchKnownCharacter({}, L"Ana", true), std::nullopt);
}

TEST(SpeakerFirstWord, EndsOnlyAtAPlainSpace) {
    EXPECT_EQ(FirstWord(L"  Ana María "), L"Ana");
    EXPECT_EQ(FirstWord(L"Ana\tMaría"), L"Ana\tMaría");
    EXPECT_EQ(FirstWord(L"\u00A0Ana\u00A0"), L"Ana");
    EXPECT_EQ(FirstWord(L""), L"");
}

}  // namespace
}  // namespace Lorvex

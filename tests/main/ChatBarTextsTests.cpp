// The record-dependent texts of the conversation list and the top bar as tables: a chat row's
// date line and count, the persona card's caption, who is writing, and the persona line.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "main/chat/ChatBarTexts.h"

namespace Lorvex::Main::ChatBars {
namespace {

std::shared_ptr<Message> Line(const wchar_t* role, bool typing, std::optional<std::wstring> speaker = std::nullopt) {
    auto message = Message::Create(role, typing ? L"" : L"texto");
    message->is_typing = typing;
    message->character_name = std::move(speaker);
    return message;
}

TEST(ChatBarTexts, ARowDatesItsChatsCreationAndCountsOnlyFinishedMessages) {
    EXPECT_EQ(DateLine(L"2020-01-02T09:05:00.0000000+01:00"), L"2 ene 2020 · 09:05");
    EXPECT_EQ(DateLine(L"ayer por la tarde"), L" · ");
    EXPECT_EQ(DateLine(L""), L" · ");

    Chat chat;
    EXPECT_EQ(CountLine(chat), L"0 msj");
    chat.messages.push_back(Line(L"assistant", true));
    EXPECT_EQ(CountLine(chat), L"0 msj");  // only a pending reply
    auto failed = Line(L"assistant", false);
    failed->error = L"Sin conexión";
    chat.messages.insert(chat.messages.begin(), {Line(L"assistant", false), Line(L"user", false), failed});
    EXPECT_EQ(CountLine(chat), L"3 msj");  // a failed reply is no longer pending
}

TEST(ChatBarTexts, TheCardSaysPersonalizadaOnlyForAnAdjustmentWithAText) {
    Persona lucia;
    lucia.id = L"persona-1";
    const auto with = [](std::optional<std::wstring> traits, std::optional<std::wstring> personality) {
        Character ana;
        PersonaOverride entry;
        entry.traits = std::move(traits);
        entry.personality = std::move(personality);
        ana.persona_overrides[L"persona-1"] = entry;
        return ana;
    };
    Character other;
    other.persona_overrides[L"persona-2"].traits = L"serio";

    EXPECT_EQ(CardCaption(other, nullptr), L"Sin usuario");
    EXPECT_EQ(CardCaption(other, &lucia), L"Juegas como");  // another persona's entry
    EXPECT_EQ(CardCaption(with(std::nullopt, std::nullopt), &lucia), L"Juegas como");
    EXPECT_EQ(CardCaption(with(L"callada", std::nullopt), &lucia), L"Juegas como (personalizada)");
    EXPECT_EQ(CardCaption(with(std::nullopt, L""), &lucia), L"Juegas como (personalizada)");
}

TEST(ChatBarTexts, TheStatusNamesTheFirstPendingSpeakerElseThePersonaPlayed) {
    Character kai;
    kai.name = L"Kai";
    struct Case {
        const char* what;
        std::vector<std::shared_ptr<Message>> messages;
        std::wstring writer;
    };
    const Case cases[] = {
        {"nothing pending", {Line(L"assistant", false, L"Lola"), Line(L"user", false)}, L""},
        {"unnamed: the open character", {Line(L"user", false), Line(L"assistant", true)}, L"Kai"},
        {"the partner writes", {Line(L"assistant", false, L"Kai"), Line(L"assistant", true, L"Lola")}, L"Lola"},
        {"the first of two", {Line(L"assistant", true, L"Lola"), Line(L"assistant", true)}, L"Lola"},
        {"an empty name", {Line(L"assistant", true, L"")}, L""},
    };
    for (const Case& c : cases) {
        Chat chat;
        chat.messages = c.messages;
        EXPECT_EQ(Writer(&chat, kai), c.writer) << c.what;
    }
    EXPECT_EQ(Writer(nullptr, kai), L"");

    Persona lucia;
    lucia.name = L"Lucía";
    EXPECT_EQ(PersonaStatus(&lucia, false), L"Juegas como Lucía");
    EXPECT_EQ(PersonaStatus(&lucia, true), L"Juegas como Lucía · modo manual");
    EXPECT_EQ(PersonaStatus(nullptr, false), L"Sin usuario seleccionado");
    EXPECT_EQ(PersonaStatus(nullptr, true), L"Sin usuario seleccionado · modo manual");
}

}  // namespace
}  // namespace Lorvex::Main::ChatBars

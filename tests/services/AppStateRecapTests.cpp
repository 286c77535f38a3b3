// The recap of the open chat and the chat that continues it.

#include <gtest/gtest.h>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using AppStateRecap = AppStateTest;

std::shared_ptr<Message> Failed(const std::wstring& text) {
    auto message = Message::Create(L"assistant", text);
    message->error = L"Error";
    return message;
}

std::shared_ptr<Message> Pending() {
    auto message = Message::Create(L"assistant", L"");
    message->is_typing = true;
    message->typing_id = L"t";
    return message;
}

std::shared_ptr<Message> Said(const std::wstring& name, const std::wstring& text) {
    auto message = Message::Create(L"assistant", text);
    message->character_name = name;
    message->character_id = L"id-" + name;
    return message;
}

TEST_F(AppStateRecap, TheRecapJoinsTheFinishedLinesOfTheLastTen) {
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    auto& messages = state().currentChat->messages;
    messages.clear();
    for (int i = 1; i <= 12; ++i) {
        messages.push_back(Message::Create(i % 2 ? L"user" : L"assistant", L"m" + std::to_wstring(i)));
    }
    EXPECT_EQ(state().BuildRecap(),
              L"Usuario: m3 | Ana: m4 | Usuario: m5 | Ana: m6 | Usuario: m7 | Ana: m8 | "
              L"Usuario: m9 | Ana: m10 | Usuario: m11 | Ana: m12");

    // Pending and failed lines are left out without widening the window; stored speaker names
    // win; long texts are cut, never inside a surrogate pair.
    auto persona = AddPersona(L"p1", L"Yo");
    state().currentPersona = persona;
    const std::wstring longText(150, L'x');
    const std::wstring pairAtCut = std::wstring(99, L'y') + L"\U0001F600z";
    messages = {Message::Create(L"user", L"hola"),
                Said(L"Luna", L"buenas"),
                Failed(L"roto"),
                Pending(),
                Message::Create(L"assistant", longText),
                Message::Create(L"assistant", pairAtCut)};
    EXPECT_EQ(state().BuildRecap(), L"Yo: hola | Luna: buenas | Ana: " + std::wstring(100, L'x') + L"... | Ana: " +
                                        std::wstring(99, L'y') + L"...");

    messages.clear();
    EXPECT_EQ(state().BuildRecap(), L"");
    state().currentChat = nullptr;
    EXPECT_EQ(state().BuildRecap(), L"");
}

TEST_F(AppStateRecap, ContinuingCarriesTheRecapThePersonaAndTheLastTwoFinishedLines) {
    SignIn();
    auto ana = AddCharacter(L"Ana", L"Hola");
    state().OpenCharacter(ana);
    const auto old = state().currentChat;
    old->persona_id = L"nobody";
    auto last = Said(L"Luna", L"adi\u00F3s");
    last->regeneration_id = L"g";
    last->regeneration_index = 1;
    old->messages.push_back(Message::Create(L"user", L"uno"));
    old->messages.push_back(Message::Create(L"user", L"dos"));
    old->messages.push_back(last);
    old->messages.push_back(Failed(L""));
    const std::wstring recap = state().BuildRecap();
    cloud().pending.clear();

    const auto chat = state().ContinueChat();

    ASSERT_TRUE(chat);
    EXPECT_EQ(state().currentChat, chat);
    EXPECT_EQ((std::vector<std::shared_ptr<Chat>>{chat, old}), *ana->chats);
    EXPECT_EQ(chat->memory, recap);
    EXPECT_EQ(chat->persona_id, L"nobody");
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:dos", L"assistant:adi\u00F3s"}));
    const auto& copy = *chat->messages[1];
    EXPECT_EQ(copy.timestamp, last->timestamp);
    EXPECT_EQ(copy.character_name, L"Luna");
    EXPECT_EQ(copy.character_id, L"id-Luna");
    EXPECT_FALSE(copy.regeneration_id.has_value());
    EXPECT_FALSE(copy.regeneration_index.has_value());
    EXPECT_EQ(FileLines(*ana, *chat), Lines(*chat));
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"chat:" + ana->id + L":" + chat->id});
}

TEST_F(AppStateRecap, ContinuingAnEmptyChatIsANewChatAndNothingOpenGivesNothing) {
    EXPECT_FALSE(state().ContinueChat());

    auto ana = AddCharacter(L"Ana", L"Hola");
    state().OpenCharacter(ana);
    state().currentChat->messages.clear();
    const auto chat = state().ContinueChat();
    ASSERT_TRUE(chat);
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"assistant:Hola"});
    EXPECT_EQ(chat->memory, L"");
    EXPECT_EQ(ana->chats->size(), 2u);
}

// The recap reaches the model as what the character remembers of the earlier chat.
TEST_F(AppStateRecap, TheRecapOfAContinuedChatReachesTheSpeakersPrompt) {
    server_.Enqueue(StreamedReply({"Claro"}));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    state().currentChat->messages.push_back(Message::Create(L"user", L"Vamos al faro"));
    state().currentChat->messages.push_back(Message::Create(L"assistant", L"Te sigo"));
    const auto chat = state().ContinueChat();
    ASSERT_EQ(chat->memory, L"Usuario: Vamos al faro | Ana: Te sigo");

    state().SendMessage(L"Sigamos");
    ASSERT_TRUE(PumpUntilIdle());

    const std::wstring prompt = RequestLines(0).at(0);
    EXPECT_NE(prompt.find(L"\n Contexto previo: Usuario: Vamos al faro | Ana: Te sigo.\n"), std::wstring::npos)
        << Text::ToUtf8(prompt);
}

TEST_F(AppStateRecap, AContinuedDuoChatIsWrittenForBothHalves) {
    SignIn();
    auto [first, second] = MakeDuo(L"Hola");
    state().OpenCharacter(first);
    state().currentChat->messages.push_back(Message::Create(L"user", L"Hola a los dos"));
    cloud().pending.clear();

    const auto chat = state().ContinueChat();

    ASSERT_TRUE(chat);
    EXPECT_EQ(first->chats, second->chats);
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"assistant:Hola", L"user:Hola a los dos"}));
    EXPECT_EQ(FileLines(*first, *chat), Lines(*chat));
    EXPECT_EQ(FileLines(*second, *chat), Lines(*chat));
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"chat:" + first->id + L":" + chat->id,
                                                       L"chat:" + second->id + L":" + chat->id}));
}

}  // namespace
}  // namespace Lorvex::Testing

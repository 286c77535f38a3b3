// Regenerating, editing, deleting and retrying messages of the open chat.

#include <gtest/gtest.h>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using AppStateEdits = AppStateTest;

void StopAll() {
    for (auto& running : Services::AppState::Instance().runningReplies) {
        running.cancel.Set();
    }
}

// An open character whose chat holds exactly these lines (no greeting).
std::shared_ptr<Chat> OpenWith(const std::shared_ptr<Character>& character,
                               const std::vector<std::shared_ptr<Message>>& lines) {
    auto& state = Services::AppState::Instance();
    state.OpenCharacter(character);
    state.currentChat->messages = lines;
    state.SaveCurrentChat();
    return state.currentChat;
}

TEST_F(AppStateEdits, EachRegenerationAddsAVersionAndAStoppedOneKeepsTheLast) {
    server_.Enqueue(StreamedReply({"v0"}));
    server_.Enqueue(StreamedReply({"v1"}));
    server_.Enqueue(StreamedReply({"v2"}));
    server_.Enqueue(FakeReply::EventStream().Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntilIdle());
    const auto original = chat->messages.back();
    ASSERT_EQ(original->content, L"v0");

    state().RegenerateReply(original);
    const auto first = chat->messages.back();
    ASSERT_NE(first, original);
    EXPECT_TRUE(first->is_typing);
    ASSERT_TRUE(first->regeneration_id.has_value());
    const std::wstring group = *first->regeneration_id;
    EXPECT_EQ(first->regeneration_index, 1);
    ASSERT_TRUE(PumpUntilIdle());
    state().RegenerateReply(first);
    const auto second = chat->messages.back();
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_EQ(state().versions.at(group), (std::vector<std::wstring>{L"v0", L"v1", L"v2"}));
    EXPECT_EQ(first->content, L"v1");
    EXPECT_EQ(first->regeneration_index, 1);
    EXPECT_EQ(second->content, L"v2");
    EXPECT_EQ(second->regeneration_index, 2);
    EXPECT_EQ(second->regeneration_id, group);

    state().RegenerateReply(second);
    const auto third = chat->messages.back();
    EXPECT_EQ(third->regeneration_index, 3);
    ASSERT_TRUE(server_.WaitForRequests(4));
    StopAll();
    ASSERT_TRUE(PumpUntilIdle());

    ASSERT_EQ(chat->messages.size(), 2u);
    EXPECT_EQ(chat->messages.back(), third);
    EXPECT_FALSE(third->is_typing);
    EXPECT_EQ(third->content, L"v2");
    EXPECT_EQ(third->regeneration_index, 2);
    EXPECT_EQ(state().versions.at(group).size(), 3u);
    EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:v2"}));
}

TEST_F(AppStateEdits, AFailedRegenerationKeepsThePreviousAnswerAndReportsTheError) {
    server_.Enqueue(StreamedReply({"buena"}));
    server_.Enqueue(FakeReply::Json(500, ""));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntilIdle());

    state().RegenerateReply(chat->messages.back());
    ASSERT_TRUE(PumpUntilIdle());

    const auto kept = chat->messages.back();
    EXPECT_EQ(kept->content, L"buena");
    EXPECT_EQ(kept->error, L"");
    EXPECT_EQ(kept->regeneration_index, 0);
    EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:buena"}));
    ASSERT_EQ(finished_.size(), 2u);
    EXPECT_EQ(finished_[1].second, L"Error de DeepSeek (500): ");
}

TEST_F(AppStateEdits, RegeneratingAFailedReplyStoresNoEmptyVersion) {
    server_.Enqueue(StreamedReply({"nueva"}));
    auto ana = AddCharacter(L"Ana");
    auto failed = Line(L"assistant", L"");
    failed->error = L"Error";
    const auto chat = OpenWith(ana, {Line(L"user", L"Hola"), failed});

    state().RegenerateReply(failed);
    const auto fresh = chat->messages.back();
    EXPECT_EQ(fresh->regeneration_index, 0);
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_EQ(state().versions.at(*fresh->regeneration_id), std::vector<std::wstring>{L"nueva"});
    EXPECT_EQ(fresh->regeneration_index, 0);
}

TEST_F(AppStateEdits, RegenerateNeedsAFinishedReplyAnsweringTheUser) {
    auto ana = AddCharacter(L"Ana");
    auto greeting = Line(L"assistant", L"Hola");
    auto unanswered = Line(L"assistant", L"Sigo yo");
    auto user = Line(L"user", L"Vale");
    auto pending = Line(L"assistant", L"");
    pending->is_typing = true;
    const auto chat = OpenWith(ana, {greeting, unanswered, user, pending});
    const auto stranger = Line(L"assistant", L"de otro chat");
    const int revision = state().revision;

    for (const auto& message : {greeting, unanswered, user, pending, stranger, std::shared_ptr<Message>()}) {
        state().RegenerateReply(message);
    }

    EXPECT_EQ(chat->messages, (std::vector<std::shared_ptr<Message>>{greeting, unanswered, user, pending}));
    EXPECT_EQ(state().revision, revision);
    EXPECT_TRUE(state().runningReplies.empty());
    EXPECT_TRUE(state().versions.empty());
}

TEST_F(AppStateEdits, EditingAUserLineInTheMiddleStopsWhatFollowsAndAnswersAgain) {
    server_.Enqueue(StreamedReply({"r1"}));
    server_.Enqueue(FakeReply::EventStream().Stall());
    server_.Enqueue(StreamedReply({"r3"}));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    state().SendMessage(L"u1");
    ASSERT_TRUE(PumpUntilIdle());
    const auto firstLine = chat->messages[0];
    state().SendMessage(L"u2");
    ASSERT_TRUE(server_.WaitForRequests(2));

    state().EditMessage(firstLine, L"  nuevo\n");
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:nuevo", L"assistant:"}));
    EXPECT_TRUE(state().runningReplies[0].cancel.IsSet());
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:nuevo", L"assistant:r3"}));
    EXPECT_EQ(FileLines(*ana, *chat), Lines(*chat));
    EXPECT_EQ(RequestLines(2).back(), L"user:nuevo");
    EXPECT_EQ(finished_.size(), 2u);  // r1 and r3; the dropped line reports nothing
}

TEST_F(AppStateEdits, EditingAReplyKeepsTheRestAndBlankTextChangesNothing) {
    auto ana = AddCharacter(L"Ana");
    auto u1 = Line(L"user", L"u1");
    auto a1 = Line(L"assistant", L"a1");
    auto u2 = Line(L"user", L"u2");
    auto a2 = Line(L"assistant", L"a2");
    const auto chat = OpenWith(ana, {u1, a1, u2, a2});
    const int revision = state().revision;

    state().EditMessage(u1, L" \u00A0\t");
    EXPECT_EQ(state().revision, revision);
    EXPECT_EQ(u1->content, L"u1");

    state().EditMessage(a1, L"corregido");
    EXPECT_EQ(Lines(*chat),
              (std::vector<std::wstring>{L"user:u1", L"assistant:corregido", L"user:u2", L"assistant:a2"}));
    EXPECT_EQ(FileLines(*ana, *chat), Lines(*chat));

    // In manual mode an edited user line drops what follows and waits.
    state().manualReplies = true;
    state().EditMessage(u2, L"otra");
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:u1", L"assistant:corregido", L"user:otra"}));
    EXPECT_TRUE(state().runningReplies.empty());
    EXPECT_EQ(FileLines(*ana, *chat), Lines(*chat));
}

TEST_F(AppStateEdits, RetryAsksTheDuoHalfTheLineNamesAndOnlyForALineOfTheOpenChat) {
    server_.Enqueue(StreamedReply({"otra vez"}));
    auto [first, second] = MakeDuo(L"Hola");
    state().OpenCharacter(first);
    const auto chat = state().currentChat;
    auto failed = Line(L"assistant", L"");
    failed->error = L"Error";
    failed->character_id = second->id;
    failed->character_name = L"Dos";
    chat->messages.push_back(Line(L"user", L"hola"));
    chat->messages.push_back(failed);
    auto elsewhere = Line(L"assistant", L"");
    elsewhere->error = L"Error";
    const int revision = state().revision;

    state().RetryReply(elsewhere);
    EXPECT_FALSE(elsewhere->is_typing);
    EXPECT_EQ(state().revision, revision);

    state().RetryReply(failed);
    EXPECT_TRUE(failed->is_typing);
    EXPECT_EQ(failed->error, L"");
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_EQ(failed->content, L"otra vez");
    EXPECT_EQ(chat->messages.back(), failed);
    const auto lines = RequestLines(0);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(L"Responde SOLAMENTE como Dos"), std::wstring::npos);
    EXPECT_EQ(lines[1], L"user:[Uno respondio: Hola]");
}

}  // namespace
}  // namespace Lorvex::Testing

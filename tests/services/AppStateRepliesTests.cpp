// Sending and the reply jobs, end to end against the fake language-model provider.

#include <gtest/gtest.h>

#include <iterator>
#include <set>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using AppStateReplies = AppStateTest;

void StopAll() {
    for (auto& running : Services::AppState::Instance().runningReplies) {
        running.cancel.Set();
    }
}

TEST_F(AppStateReplies, AStreamedReplyShowsProgressThenItsFinalTextWhichTheFileHolds) {
    server_.Enqueue(
        FakeReply::EventStream().Body(Delta("Hola")).AwaitRelease().Body(Delta(" mundo")).Body(SseData("[DONE]")));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SendMessage(L"  \u00BFQu\u00E9 tal?\u00A0\n");

    ASSERT_EQ(chat->messages.size(), 2u);
    const auto reply = chat->messages[1];
    EXPECT_EQ(chat->messages[0]->content, L"\u00BFQu\u00E9 tal?");
    EXPECT_TRUE(reply->is_typing);
    EXPECT_TRUE(reply->typing_id.has_value());
    EXPECT_FALSE(reply->character_id.has_value());  // only a duo names its speakers
    ASSERT_EQ(state().runningReplies.size(), 1u);
    EXPECT_EQ(FileLines(*ana, *chat), std::vector<std::wstring>{L"user:\u00BFQu\u00E9 tal?"});

    const int revision = state().revision;
    const int changes = changes_;
    ASSERT_TRUE(PumpUntil([&] { return reply->content == L"Hola"; }));
    EXPECT_TRUE(reply->is_typing);
    EXPECT_EQ(state().revision, revision);  // progress redraws without counting as a change
    EXPECT_GT(changes_, changes);
    EXPECT_TRUE(finished_.empty());

    server_.Release();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(reply->content, L"Hola mundo");
    EXPECT_FALSE(reply->is_typing);
    EXPECT_FALSE(reply->typing_id.has_value());
    EXPECT_EQ(FileLines(*ana, *chat),
              (std::vector<std::wstring>{L"user:\u00BFQu\u00E9 tal?", L"assistant:Hola mundo"}));
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].first, reply);
    EXPECT_EQ(finished_[0].second, L"");
    EXPECT_GT(state().revision, revision);
    EXPECT_EQ(RequestLines(0).back(), L"user:\u00BFQu\u00E9 tal?");
}

TEST_F(AppStateReplies, BlankTextSendsNothingAndManualModeWaitsForAChosenSpeaker) {
    server_.Enqueue(StreamedReply({"Vale"}));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    const int revision = state().revision;

    state().SendMessage(L" \t\u00A0\uFEFF\r\n");
    EXPECT_TRUE(chat->messages.empty());
    EXPECT_EQ(state().revision, revision);

    state().manualReplies = true;
    state().SendMessage(L"Hola");
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"user:Hola"});
    EXPECT_TRUE(state().runningReplies.empty());
    EXPECT_EQ(FileLines(*ana, *chat), std::vector<std::wstring>{L"user:Hola"});

    state().ReplyNow(ana);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:Vale"}));
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(AppStateReplies, InADuoBothAnswerAndNeitherSeesTheOthersLineOfTheSameTurn) {
    server_.Enqueue(StreamedReply({"Primera"}));
    server_.Enqueue(StreamedReply({"Segunda"}));
    auto [first, second] = MakeDuo(L"Hola");
    first->personality = L"Risue\u00F1o";
    second->personality = L"Callado";
    state().OpenCharacter(first);
    const auto chat = state().currentChat;

    state().SendMessage(L"Hola a los dos");

    ASSERT_EQ(chat->messages.size(), 4u);
    const auto mine = chat->messages[2];
    const auto partners = chat->messages[3];
    EXPECT_EQ(mine->character_id, first->id);
    EXPECT_EQ(mine->character_name, L"Uno");
    EXPECT_EQ(partners->character_id, second->id);
    EXPECT_EQ(partners->character_name, L"Dos");
    EXPECT_EQ(state().runningReplies.size(), 2u);
    ASSERT_TRUE(PumpUntilIdle());

    ASSERT_EQ(server_.Requests().size(), 2u);
    std::set<std::wstring> speakers;
    for (size_t n = 0; n < 2; ++n) {
        const auto lines = RequestLines(n);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), L"user:Hola a los dos") << n;
        // The two jobs reach the provider in either order; each prompt names the other half.
        const bool isFirst = lines[0].find(L"Tu identidad: Eres Uno\n") != std::wstring::npos;
        speakers.insert(isFirst ? L"Uno" : L"Dos");
        const std::wstring partner =
            isFirst ? L"2. Dos (personalidad: Callado)" : L"2. Uno (personalidad: Risue\u00F1o)";
        EXPECT_NE(lines[0].find(partner), std::wstring::npos) << Text::ToUtf8(lines[0]);
        for (const auto& line : lines) {
            // The other half's pending line of this turn is no line for the model.
            EXPECT_NE(line.back(), L':') << Text::ToUtf8(line);
            EXPECT_EQ(line.find(L"respondio: ]"), std::wstring::npos) << Text::ToUtf8(line);
        }
    }
    EXPECT_EQ(speakers, (std::set<std::wstring>{L"Uno", L"Dos"}));
    EXPECT_EQ((std::set<std::wstring>{mine->content, partners->content}),
              (std::set<std::wstring>{L"Primera", L"Segunda"}));
    EXPECT_FALSE(mine->is_typing || partners->is_typing);
    EXPECT_EQ(FileLines(*first, *chat), FileLines(*second, *chat));
    EXPECT_EQ(FileLines(*first, *chat).size(), 4u);
    EXPECT_EQ(finished_.size(), 2u);
}

TEST_F(AppStateReplies, ADuoReplyRegeneratedIsAskedForWithTheDuosPrompt) {
    server_.Enqueue(StreamedReply({"Primera"}));
    server_.Enqueue(StreamedReply({"Otra primera"}));
    auto [first, second] = MakeDuo(L"Hola");
    second->personality = L"Callado";
    state().OpenCharacter(first);
    state().participantIds = {first->id};
    const auto chat = state().currentChat;
    state().SendMessage(L"Hola, Uno");
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(server_.Requests().size(), 1u);

    state().RegenerateReply(chat->messages.back());
    ASSERT_TRUE(PumpUntilIdle());

    ASSERT_EQ(server_.Requests().size(), 2u);
    const std::wstring prompt = RequestLines(1).at(0);
    EXPECT_NE(prompt.find(L"Tu identidad: Eres Uno\n"), std::wstring::npos) << Text::ToUtf8(prompt);
    EXPECT_NE(prompt.find(L"2. Dos (personalidad: Callado)"), std::wstring::npos) << Text::ToUtf8(prompt);
    EXPECT_EQ(chat->messages.back()->content, L"Otra primera");
    EXPECT_EQ(chat->messages.back()->character_id, first->id);
}

// The chips of the reply-mode bar edit the participant list: its order is the order of the
// pending replies, and whoever is not in it says nothing.
TEST_F(AppStateReplies, InADuoTheParticipantListDecidesWhoAnswersAndInWhatOrder) {
    auto [first, second] = MakeDuo(L"Hola");
    state().OpenCharacter(first);
    ASSERT_EQ(state().participantIds, (std::vector<std::wstring>{first->id, second->id}));
    const auto chat = state().currentChat;
    size_t requested = 0;
    const std::vector<std::vector<std::wstring>> lists = {
        {second->id, first->id},
        {second->id},
        {},
    };
    for (const auto& ids : lists) {
        for (size_t i = 0; i < ids.size(); ++i) {
            server_.Enqueue(FakeReply::EventStream().Stall());
        }
        state().participantIds = ids;
        const size_t before = chat->messages.size();
        state().SendMessage(L"Hola");
        std::vector<std::wstring> answering;
        for (size_t i = before + 1; i < chat->messages.size(); ++i) {
            EXPECT_TRUE(chat->messages[i]->is_typing);
            answering.push_back(chat->messages[i]->character_id.value_or(L"?"));
        }
        EXPECT_EQ(answering, ids);
        EXPECT_EQ(state().runningReplies.size(), ids.size());
        requested += ids.size();
        ASSERT_TRUE(server_.WaitForRequests(requested));
        StopAll();
        ASSERT_TRUE(PumpUntilIdle());
    }
}

TEST_F(AppStateReplies, StoppingBeforeAnyTextRemovesTheLineAndAfterSomeKeepsIt) {
    server_.Enqueue(FakeReply::EventStream().Stall());
    server_.Enqueue(FakeReply::EventStream().Body(Delta("A medias")).Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SendMessage(L"uno");
    ASSERT_TRUE(server_.WaitForRequests(1));
    StopAll();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"user:uno"});
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].second, L"");

    state().SendMessage(L"dos");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(PumpUntil([&] { return reply->content == L"A medias"; }));
    StopAll();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_FALSE(reply->is_typing);
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:uno", L"user:dos", L"assistant:A medias"}));
    EXPECT_EQ(FileLines(*ana, *chat), Lines(*chat));
}

TEST_F(AppStateReplies, AFailedReplyKeepsItsErrorOnTheLineButNotInTheFile) {
    SignIn();
    server_.Enqueue(FakeReply::Json(401, R"({"error":{"message":"clave mala"}})"));
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntilIdle());

    const std::wstring error = L"La clave de la API de DeepSeek no es v\u00E1lida. clave mala";
    ASSERT_EQ(chat->messages.size(), 2u);
    const auto reply = chat->messages[1];
    EXPECT_FALSE(reply->is_typing);
    EXPECT_EQ(reply->content, L"");
    EXPECT_EQ(reply->error, error);
    EXPECT_EQ(FileLines(*ana, *chat), std::vector<std::wstring>{L"user:Hola"});
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].second, error);
    // Queued as stored: without the failed line.
    const auto& queued = cloud().pending.at(L"chat:" + ana->id + L":" + chat->id);
    Chat stored = *chat;
    stored.messages.resize(1);
    EXPECT_EQ(queued.hash, Services::CloudSync::ChangeHash(Chat::ToJson(stored)));
}

TEST_F(AppStateReplies, ALineDeletedWhileItsReplyRunsStopsItAndOnlyRedraws) {
    server_.Enqueue(FakeReply::EventStream().Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    state().SendMessage(L"Hola");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(server_.WaitForRequests(1));

    state().DeleteMessage(reply);
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"user:Hola"});
    const int changes = changes_;
    ASSERT_TRUE(PumpUntilIdle());  // the stop must end the stalled stream by itself

    EXPECT_GT(changes_, changes);  // the stop button goes
    EXPECT_TRUE(finished_.empty());
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"user:Hola"});
}

TEST_F(AppStateReplies, DeletingTheCharacterMidReplyLeavesNoFolderAndUploadsNoChat) {
    SignIn();
    server_.Enqueue(FakeReply::EventStream().Body(Delta("Hola")).Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    const std::wstring folder = ana->folder;
    state().SendMessage(L"Hola");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(PumpUntil([&] { return reply->content == L"Hola"; }));

    state().DeleteCharacter(ana);
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(state().characters.empty());
    const auto& queued = cloud().pending.at(L"chat:" + ana->id + L":" + chat->id);
    EXPECT_TRUE(queued.deleted);
}

TEST_F(AppStateReplies, DeletingAChatMidReplyStopsItAndNothingWritesTheChatBack) {
    SignIn();
    server_.Enqueue(FakeReply::EventStream().Body(Delta("Hola")).Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto kept = state().currentChat;
    const auto chat = state().NewChat();
    state().SendMessage(L"Hola");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(PumpUntil([&] { return reply->content == L"Hola"; }));

    state().DeleteChat(ana, chat);
    EXPECT_EQ(state().currentChat, nullptr);
    EXPECT_EQ(*ana->chats, ChatList{kept});
    ASSERT_TRUE(PumpUntilIdle());  // the stalled stream ends only by the stop

    EXPECT_FALSE(Exists(ChatFile(*ana, *chat)));
    EXPECT_TRUE(cloud().pending.at(L"chat:" + ana->id + L":" + chat->id).deleted);
    EXPECT_EQ(*ana->chats, ChatList{kept});
}

TEST_F(AppStateReplies, EditsAndDeletionsStopOnlyTheRepliesOfTheChatsTheyTouch) {
    // Bea's replies stall until they are stopped; Ana's waits for the release, so it is still
    // running while Bea's chat is edited and then emptied.
    server_.Enqueue(FakeReply::EventStream().Stall());
    server_.Enqueue(FakeReply::EventStream().AwaitRelease().Body(Delta("sigo aqui")).Body(SseData("[DONE]")));
    server_.Enqueue(FakeReply::EventStream().Stall());
    auto ana = AddCharacter(L"Ana");
    auto bea = AddCharacter(L"Bea");
    state().OpenCharacter(bea);
    const auto beaChat = state().currentChat;
    state().SendMessage(L"Hola Bea");
    ASSERT_TRUE(server_.WaitForRequests(1));
    state().OpenCharacter(ana);
    const auto anaChat = state().currentChat;
    state().SendMessage(L"Hola Ana");
    ASSERT_TRUE(server_.WaitForRequests(2));  // so that Ana's, not Bea's next, takes the second reply
    const Async::Cancel background = state().runningReplies.back().cancel;

    state().OpenCharacter(bea);
    ASSERT_EQ(state().currentChat, beaChat);
    state().manualReplies = true;
    state().EditMessage(beaChat->messages.at(0), L"Otra cosa");
    EXPECT_FALSE(background.IsSet());
    ASSERT_TRUE(PumpUntil([] { return state().runningReplies.size() == 1; }));

    state().ReplyNow(bea);
    state().DeleteAllChats(bea);
    EXPECT_FALSE(background.IsSet());
    ASSERT_TRUE(PumpUntil([] { return state().runningReplies.size() == 1; }));
    EXPECT_TRUE(bea->chats->empty());
    // The stopped reply ended after the deletion and wrote nothing back.
    EXPECT_TRUE(Files::ListFiles(Files::JoinPath(bea->folder, L"chats"), L"*.json", false).empty());

    server_.Release();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(FileLines(*ana, *anaChat), (std::vector<std::wstring>{L"user:Hola Ana", L"assistant:sigo aqui"}));
}

TEST_F(AppStateReplies, TheSpeakerNamedByTheModelIsKeptOnlyWhileItsChatIsOpen) {
    server_.Enqueue(StreamedReply({"Luna: Buenas noches"}));
    server_.Enqueue(StreamedReply({"Marco: \u00A1Hola, hermana!"}));
    server_.Enqueue(FakeReply::EventStream().AwaitRelease().Body(Delta("Luna: Hola")).Body(SseData("[DONE]")));
    auto sam = AddPersona(L"p1", L"Sam");
    sam->known_characters.resize(1);
    sam->known_characters[0].name = L"Marco";
    auto ana = AddCharacter(L"Ana");
    ana->known_characters.resize(1);
    ana->known_characters[0].name = L"Luna";
    state().OpenCharacter(ana);
    ASSERT_EQ(state().currentPersona, sam);
    const auto chat = state().currentChat;

    state().SendMessage(L"\u00BFQui\u00E9n habla?");
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(chat->messages.back()->content, L"Buenas noches");
    EXPECT_EQ(chat->messages.back()->character_name, L"Luna");

    // One of the persona's own people speaks under their own name too.
    state().SendMessage(L"\u00BFY t\u00FA?");
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(chat->messages.back()->content, L"\u00A1Hola, hermana!");
    EXPECT_EQ(chat->messages.back()->character_name, L"Marco");

    // A reply whose chat was closed meanwhile is still applied and written, unattributed.
    state().SendMessage(L"Otra vez");
    const auto late = chat->messages.back();
    state().CloseChat();
    server_.Release();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(late->content, L"Hola");
    EXPECT_FALSE(late->character_name.has_value());
    EXPECT_EQ(FileLines(*ana, *chat).back(), L"assistant:Hola");
}

TEST_F(AppStateReplies, AJobTakesTemperatureLengthAndStreamingFromTheSettings) {
    struct Case {
        double temperature;
        int32_t maxTokens;
        bool stream;
    };
    const Case cases[] = {{0.3, 321, false}, {1.25, 2048, true}};
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    for (size_t n = 0; n < std::size(cases); ++n) {
        const Case& c = cases[n];
        Settings::Instance().temperature = c.temperature;
        Settings::Instance().max_tokens = c.maxTokens;
        Settings::Instance().stream_replies = c.stream;
        server_.Enqueue(c.stream ? StreamedReply({"Vale"}) : FakeReply::Json(200, WholeAnswer("Vale")));

        state().SendMessage(L"Hola");
        ASSERT_TRUE(PumpUntilIdle());

        EXPECT_EQ(state().currentChat->messages.back()->content, L"Vale") << n;
        const auto requests = server_.Requests();
        ASSERT_EQ(requests.size(), n + 1);
        const Json::Value body = Json::Value::Parse(requests[n].body);
        EXPECT_DOUBLE_EQ(body.Find("temperature").AsDouble(), c.temperature) << n;
        EXPECT_EQ(body.Find("max_tokens").AsInt64(), c.maxTokens) << n;
        EXPECT_EQ(body.Find("stream").kind, c.stream ? Json::Type::Bool : Json::Type::Null) << n;
        EXPECT_EQ(requests[n].Header("Accept"), c.stream ? "text/event-stream" : "application/json") << n;
    }
}

TEST_F(AppStateReplies, ThePromptHasThePersonaAsTheSpeakerSeesIt) {
    server_.Enqueue(StreamedReply({"Hola, Sam"}));
    auto sam = AddPersona(L"p1", L"Sam");
    sam->traits = L"T\u00EDmido";
    sam->personality = L"Alegre";
    auto ana = AddCharacter(L"Ana");
    ana->persona_overrides[L"p1"].traits = L"Valiente";
    state().OpenCharacter(ana);
    ASSERT_EQ(state().currentPersona, sam);

    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntilIdle());

    const std::wstring prompt = RequestLines(0).at(0);
    EXPECT_NE(prompt.find(L"\n Rasgos tuyos: Valiente. Tu personalidad: Alegre.\nEstas hablando con Sam "),
              std::wstring::npos)
        << Text::ToUtf8(prompt);
    EXPECT_EQ(sam->traits, L"T\u00EDmido");  // the stored persona stays as it was
}

// A reply cut after some text is kept and saved as a normal reply, and the user is told it was cut.
TEST_F(AppStateReplies, AReplyCutAfterSomeTextIsSavedAndReportedAsCut) {
    SignIn();
    server_.Enqueue(ProviderStream().Body(Delta("Te cuento que")).AwaitRelease().Cut());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SendMessage(L"Hola");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(PumpUntil([&] { return reply->content == L"Te cuento que"; }));
    server_.Release();
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_FALSE(reply->is_typing);
    EXPECT_EQ(reply->content, L"Te cuento que");
    EXPECT_EQ(reply->error, L"");
    EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:Te cuento que"}));
    const auto& queued = cloud().pending.at(L"chat:" + ana->id + L":" + chat->id);
    Chat settled = *chat;
    settled.messages.resize(2);
    EXPECT_EQ(queued.hash, Services::CloudSync::ChangeHash(Chat::ToJson(settled)));
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].first, reply);
    const std::wstring& error = finished_[0].second;
    EXPECT_EQ(error.rfind(L"La respuesta qued\u00F3 incompleta. La conexi\u00F3n con DeepSeek se cort\u00F3", 0), 0u)
        << Text::ToUtf8(error);
    EXPECT_TRUE(error.ends_with(L". Puedes regenerarla.")) << Text::ToUtf8(error);
}

// The finish reason comes in the last chunk before "[DONE]": a stream that lost only the marker
// after it holds the whole reply, which is kept as finished, with nothing to report.
TEST_F(AppStateReplies, AReplyThatLostOnlyItsEndMarkerIsFinished) {
    server_.Enqueue(ProviderStream().Body(Delta("Te lo cuento todo.")).Body(kFinishChunk).Cut());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SendMessage(L"Hola");
    const auto reply = chat->messages.back();
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_FALSE(reply->is_typing);
    EXPECT_EQ(reply->content, L"Te lo cuento todo.");
    EXPECT_EQ(reply->error, L"");
    EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:Te lo cuento todo."}));
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].second, L"");
}

}  // namespace
}  // namespace Lorvex::Testing

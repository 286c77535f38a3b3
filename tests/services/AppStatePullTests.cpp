// Applying the rows a sync round pulled from the cloud.

#include <gtest/gtest.h>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;
using AppStatePull = AppStateTest;

CloudSync::RemoteItem Row(const std::wstring& kind, const std::wstring& id, Json::Value data,
                          const std::wstring& parent = L"") {
    CloudSync::RemoteItem row;
    row.kind = kind;
    row.id = id;
    row.parentId = parent;
    row.data = std::move(data);
    return row;
}

CloudSync::RemoteItem Deletion(const std::wstring& kind, const std::wstring& id, const std::wstring& parent = L"") {
    CloudSync::RemoteItem row = Row(kind, id, Json::Value(), parent);
    row.deleted = true;
    return row;
}

std::wstring ChatKey(const Character& owner, const std::wstring& chatId) {
    return L"chat:" + owner.id + L":" + chatId;
}

Json::Value ChatForm(const std::wstring& id, const std::wstring& stamp, const std::wstring& line) {
    Chat chat;
    chat.id = id;
    chat.timestamp = stamp;
    chat.messages.push_back(Message::Create(L"user", line));
    chat.messages.back()->timestamp = stamp;  // activity follows the given stamp, not the clock
    return Chat::ToJson(chat);
}

TEST_F(AppStatePull, EqualRowsChangeNoRecordButAreMarkedAndTheChatIsWrittenAgain) {
    Put(Images(L"face.png"));
    auto persona = AddPersona(L"p1", L"Yo");
    auto ana = AddCharacter(L"Ana");
    ana->photoPath = Images(L"face.png");
    Storage::SaveCharacter(*ana);
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    const std::wstring chatFile = ChatFile(*ana, *chat);
    ASSERT_TRUE(Files::RemoveFile(chatFile));
    Json::Value characterForm = Character::ToJson(*ana);
    characterForm["photoPath"] = Json::Value(L"D:\\elsewhere\\face.png");  // the other PC's path
    const int revision = state().revision;

    state().ApplyRemoteItems({Row(L"persona", L"p1", Persona::ToJson(*persona)),
                              Row(L"character", ana->id, characterForm),
                              Row(L"chat", ana->id + L":" + chat->id, Chat::ToJson(*chat), ana->id)});

    EXPECT_EQ(state().personas[0], persona);
    EXPECT_EQ(state().characters[0], ana);
    EXPECT_EQ(ana->photoPath, Images(L"face.png"));
    EXPECT_EQ(state().currentChat, chat);
    EXPECT_EQ(ana->chats->front(), chat);
    EXPECT_TRUE(Exists(chatFile));
    EXPECT_EQ(cloud().synced.at(L"persona:p1"),
              CloudSync::ChangeHash(CloudSync::StripPhotoPaths(Persona::ToJson(*persona))));
    EXPECT_EQ(cloud().synced.at(L"character:" + ana->id),
              CloudSync::ChangeHash(CloudSync::StripPhotoPaths(Character::ToJson(*ana))));
    EXPECT_EQ(cloud().synced.at(ChatKey(*ana, chat->id)), CloudSync::ChangeHash(Chat::ToJson(*chat)));
    EXPECT_EQ(state().revision, revision + 1);
}

TEST_F(AppStatePull, ChangedRowsUpdateTheRecordsInPlaceAndReRootTheirPictures) {
    SignIn();
    auto persona = AddPersona(L"p1", L"Yo");
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    state().currentPersona = persona;
    const auto chat = state().currentChat;
    auto chats = ana->chats;

    Json::Value personaForm = Persona::ToJson(*persona);
    personaForm["name"] = Json::Value(L"Yo mismo");
    personaForm["photoPath"] = Json::Value(L"C:\\Users\\otro\\LorvexData\\images\\me.png");
    Json::Value characterForm = Character::ToJson(*ana);
    characterForm["name"] = Json::Value(L"Ana Mar\u00EDa");
    Json::Value known;
    known["name"] = Json::Value(L"Luna");
    known["photoPath"] = Json::Value(L"/home/x/luna.jpg");
    Json::Value people = Json::Value::EmptyArray();
    people.Push(known);
    characterForm["known_characters"] = people;
    const Json::Value chatForm = ChatForm(chat->id, chat->timestamp, L"desde otro PC");
    AgreeOnEverything();

    state().ApplyRemoteItems({Row(L"chat", ana->id + L":" + chat->id, chatForm, ana->id),
                              Row(L"character", ana->id, characterForm), Row(L"persona", L"p1", personaForm)});

    EXPECT_EQ(state().personas[0], persona);  // the same object, changed
    EXPECT_EQ(persona->name, L"Yo mismo");
    EXPECT_EQ(persona->photoPath, Images(L"me.png"));
    EXPECT_EQ(state().currentPersona, persona);
    EXPECT_EQ(Storage::LoadPersonas()[0]->name, L"Yo mismo");
    EXPECT_EQ(ana->name, L"Ana Mar\u00EDa");
    EXPECT_EQ(ana->chats, chats);  // the local chats stay
    EXPECT_EQ(ana->known_characters.at(0).photoPath, Images(L"luna.jpg"));
    Json::Value file;
    ASSERT_TRUE(Storage::ReadJsonFile(Files::JoinPath(ana->folder, L"character.json"), file));
    EXPECT_EQ(file.Find("name").AsWString(), L"Ana Mar\u00EDa");
    // The open chat is replaced by the pulled one and follows it.
    ASSERT_EQ(ana->chats->size(), 1u);
    EXPECT_NE(ana->chats->front(), chat);
    EXPECT_EQ(state().currentChat, ana->chats->front());
    EXPECT_EQ(FileLines(*ana, *chat), std::vector<std::wstring>{L"user:desde otro PC"});
    // Stored pulled rows are not queued again.
    EXPECT_TRUE(cloud().pending.empty());
    state().SaveCurrentChat();
    state().SavePersona(persona);
    EXPECT_TRUE(cloud().pending.empty());
}

TEST_F(AppStatePull, RowsOfAChatBeingWrittenIntoAreLeftForALaterPull) {
    server_.Enqueue(FakeReply::EventStream().Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    state().SendMessage(L"Hola");
    const std::wstring id = ana->id + L":" + chat->id;

    const std::vector<std::wstring> key{CloudSync::ItemKey(L"chat", id)};
    EXPECT_EQ(state().ApplyRemoteItems({Row(L"chat", id, ChatForm(chat->id, chat->timestamp, L"otra"), ana->id)}), key);
    EXPECT_EQ(state().ApplyRemoteItems({Deletion(L"chat", id, ana->id)}), key);

    EXPECT_EQ(ana->chats->front(), chat);
    EXPECT_EQ(state().currentChat, chat);
    EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:Hola", L"assistant:"}));
    EXPECT_TRUE(Exists(ChatFile(*ana, *chat)));
    EXPECT_TRUE(cloud().synced.empty());
}

TEST_F(AppStatePull, DeletingTheOpenCharacterStopsItsRepliesAndClosesWithoutWriting) {
    SignIn();
    server_.Enqueue(FakeReply::EventStream().Body(Delta("Hola")).Stall());
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    const std::wstring folder = ana->folder;
    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntil([&] { return chat->messages.back()->content == L"Hola"; }));
    AgreeOnEverything();

    state().ApplyRemoteItems({Deletion(L"character", ana->id)});

    EXPECT_TRUE(state().runningReplies[0].cancel.IsSet());
    EXPECT_FALSE(state().currentCharacter);
    EXPECT_FALSE(state().currentChat);
    EXPECT_FALSE(state().dualMode);
    EXPECT_TRUE(state().characters.empty());
    EXPECT_FALSE(Exists(folder));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_FALSE(Exists(folder));  // the late reply writes nothing back
    EXPECT_TRUE(cloud().pending.empty());
    EXPECT_EQ(cloud().synced.at(L"character:" + ana->id), "deleted");
}

TEST_F(AppStatePull, DeletingACharacterInTheBackgroundStopsItsReplyAndKeepsTheOpenOne) {
    SignIn();
    server_.Enqueue(FakeReply::EventStream().Body(Delta("Hola")).Stall());
    auto ana = AddCharacter(L"Ana");
    auto bea = AddCharacter(L"Bea");
    state().OpenCharacter(ana);
    const auto anaChat = state().currentChat;
    state().SendMessage(L"Hola");
    ASSERT_TRUE(PumpUntil([&] { return anaChat->messages.back()->content == L"Hola"; }));
    const std::wstring folder = ana->folder;
    state().OpenCharacter(bea);
    const auto beaChat = state().currentChat;
    AgreeOnEverything();

    state().ApplyRemoteItems({Deletion(L"character", ana->id)});

    ASSERT_EQ(state().runningReplies.size(), 1u);
    EXPECT_TRUE(state().runningReplies[0].cancel.IsSet());
    EXPECT_EQ(state().currentCharacter, bea);
    EXPECT_EQ(state().currentChat, beaChat);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_FALSE(Exists(folder));  // the late reply made no folder again
    EXPECT_EQ(state().characters, std::vector<std::shared_ptr<Character>>{bea});
    EXPECT_EQ(cloud().pending.count(ChatKey(*ana, anaChat->id)), 0u);
}

TEST_F(AppStatePull, AChatPulledForOneHalfOfADuoReachesBothHalves) {
    auto [first, second] = MakeDuo();
    const auto greeting = first->chats->front();

    state().ApplyRemoteItems(
        {Row(L"chat", second->id + L":fresh", ChatForm(L"fresh", L"2999-01-01", L"nuevo"), second->id)});

    ASSERT_EQ(first->chats, second->chats);
    ASSERT_EQ(first->chats->size(), 2u);
    EXPECT_EQ(first->chats->front()->id, L"fresh");  // newest first
    EXPECT_EQ(first->chats->back(), greeting);
    EXPECT_EQ(FileLines(*first, *first->chats->front()), std::vector<std::wstring>{L"user:nuevo"});
    EXPECT_EQ(FileLines(*second, *first->chats->front()), std::vector<std::wstring>{L"user:nuevo"});

    // A pulled deletion removes it from the shared list and the named owner's folder.
    state().ApplyRemoteItems({Deletion(L"chat", second->id + L":fresh", second->id)});
    EXPECT_EQ(first->chats->size(), 1u);
    EXPECT_TRUE(Exists(Files::JoinPath(first->folder, L"chats\\fresh.json")));
    EXPECT_FALSE(Exists(Files::JoinPath(second->folder, L"chats\\fresh.json")));
}

TEST_F(AppStatePull, RowIdsDecideTheRecordAndUnusableRowsStayOutOfStep) {
    auto ana = AddCharacter(L"Ana");
    Json::Value otherId;
    otherId["id"] = Json::Value(L"not-the-row");
    otherId["name"] = Json::Value(L"Bea");
    Json::Value noId;
    noId["name"] = Json::Value(L"Carla");
    const Json::Value chat = ChatForm(L"inner", L"2025-01-01", L"x");

    const std::vector<CloudSync::RemoteItem> rows = {
        Row(L"character", L"bea", otherId),                   // stored under the row's id
        Row(L"persona", L"carla", noId),                      // likewise, never under a new id
        Row(L"character", L"..\\evil", otherId),              // no file name: skipped
        Deletion(L"persona", L"CON"),                         // a device name is no file name
        Row(L"persona", L"text", Json::Value(L"no object")),  // not a record
        Row(L"chat", L"ghost:c1", chat, L"ghost"),            // unknown owner
        Row(L"chat", L"other:c2", chat, ana->id),             // its id does not start with its owner
        Row(L"chat", ana->id + L":", chat, ana->id),          // no chat id
        Row(L"chat", ana->id + L":a/b", chat, ana->id),       // a chat id that is no file name
        Row(L"image", L"x.png", Json::Value()),               // not a record kind
    };
    state().ApplyRemoteItems(rows);
    state().ApplyRemoteItems(rows);  // pulling again makes no duplicates

    ASSERT_EQ(state().characters.size(), 2u);
    const auto bea = state().characters[1];
    EXPECT_EQ(bea->id, L"bea");
    EXPECT_EQ(bea->name, L"Bea");
    ASSERT_EQ(state().personas.size(), 1u);
    EXPECT_EQ(state().personas[0]->id, L"carla");
    EXPECT_TRUE(ana->chats->empty());
    EXPECT_EQ(cloud().synced.size(), 2u);
    EXPECT_EQ(cloud().synced.count(L"character:bea"), 1u);
    EXPECT_EQ(cloud().synced.count(L"persona:carla"), 1u);
    EXPECT_EQ(Storage::LoadCharacters().size(), 2u);
    EXPECT_FALSE(Exists(Data(L"evil")));
}

TEST_F(AppStatePull, OnlyANewCharacterReordersTheList) {
    auto old = AddCharacter(L"Old");
    auto recent = AddCharacter(L"Recent");
    old->chats->push_back(Chat::FromJson(ChatForm(L"o", L"2024-01-01", L"x")));
    recent->chats->push_back(Chat::FromJson(ChatForm(L"r", L"2025-01-01", L"x")));
    state().characters = {recent, old};

    // A newer chat of an existing character leaves the order as it is.
    state().ApplyRemoteItems({Row(L"chat", old->id + L":n", ChatForm(L"n", L"2026-01-01", L"x"), old->id)});
    EXPECT_EQ(state().characters, (std::vector<std::shared_ptr<Character>>{recent, old}));

    // A new character with its chats in the same pull takes its place by activity.
    Json::Value form;
    form["name"] = Json::Value(L"New");
    state().ApplyRemoteItems(
        {Row(L"chat", L"new:c", ChatForm(L"c", L"2025-06-01", L"x"), L"new"), Row(L"character", L"new", form)});
    ASSERT_EQ(state().characters.size(), 3u);
    EXPECT_EQ(state().characters[0], old);
    EXPECT_EQ(state().characters[1]->id, L"new");
    EXPECT_EQ(state().characters[2], recent);
}

TEST_F(AppStatePull, PulledDeletionsOfPersonasAndChatsTouchOnlyWhatTheyName) {
    auto persona = AddPersona(L"p1", L"Yo");
    auto kept = AddPersona(L"p2", L"Otra");
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    state().currentPersona = persona;
    const auto chat = state().currentChat;
    const std::wstring personaFile = persona->path;
    AgreeOnEverything();

    state().ApplyRemoteItems({Deletion(L"persona", L"p1"), Deletion(L"chat", ana->id + L":" + chat->id, ana->id),
                              Deletion(L"persona", L"never-here")});

    EXPECT_EQ(state().personas, std::vector<std::shared_ptr<Persona>>{kept});
    EXPECT_FALSE(state().currentPersona);
    EXPECT_FALSE(Exists(personaFile));
    EXPECT_TRUE(ana->chats->empty());
    EXPECT_FALSE(state().currentChat);
    EXPECT_EQ(state().currentCharacter, ana);
    EXPECT_FALSE(Exists(ChatFile(*ana, *chat)));
    EXPECT_EQ(cloud().synced.at(L"persona:p1"), "deleted");
    EXPECT_EQ(cloud().synced.at(L"persona:never-here"), "deleted");
    EXPECT_EQ(cloud().synced.at(ChatKey(*ana, chat->id)), "deleted");
}

}  // namespace
}  // namespace Lorvex::Testing

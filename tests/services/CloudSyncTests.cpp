// The cloud sync's change queue: what each notifier queues, in which order, and what it skips.

#include "services/sync/CloudSync.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;

using CloudSyncQueue = AppStateTest;

std::shared_ptr<Chat> ChatWithId(const std::wstring& id) {
    auto chat = Chat::Create();
    chat->id = id;
    return chat;
}

TEST_F(CloudSyncQueue, NothingIsQueuedWhileSignedOut) {
    Put(Images(L"a.png"));
    Character character;
    character.id = L"c1";
    character.photoPath = Images(L"a.png");
    character.chats->push_back(ChatWithId(L"x"));
    Persona persona;
    persona.id = L"p1";
    cloud().uploaded.insert(L"a.png");

    cloud().OnCharacterSaved(character);
    cloud().OnChatSaved(character, *character.chats->front());
    cloud().OnPersonaSaved(persona);
    cloud().OnCharacterDeleted(character);
    cloud().OnChatDeleted(character, *character.chats->front());
    cloud().OnPersonaDeleted(L"p1");
    cloud().OnImageDeleted(L"a.png");
    cloud().QueueImageFile(Images(L"a.png"));

    EXPECT_TRUE(cloud().pending.empty());
    EXPECT_EQ(cloud().lastSeq, 0);
}

TEST_F(CloudSyncQueue, ASavedCharacterQueuesItsPicturesThenItselfThenEachChatUnderItsOwnerKey) {
    SignIn();
    Put(Images(L"face.png"));
    Put(Data(L"outside.png"));
    Character character;
    character.id = L"c1";
    character.photoPath = Images(L"face.png");
    character.known_characters.resize(3);
    character.known_characters[0].photoPath = Data(L"outside.png");  // not in "images": never uploaded
    character.known_characters[1].photoPath = Images(L"missing.png");
    character.known_characters[2].photoPath = Images(L"face.png");  // queued once
    character.chats->push_back(ChatWithId(L"b"));
    character.chats->push_back(ChatWithId(L""));  // no id: nothing to key it by
    character.chats->push_back(ChatWithId(L"a"));

    cloud().OnCharacterSaved(character);

    EXPECT_EQ(QueueOrder(),
              (std::vector<std::wstring>{L"image:face.png", L"character:c1", L"chat:c1:b", L"chat:c1:a"}));
    const CloudSync::QueueItem& record = cloud().pending.at(L"character:c1");
    // Only file names leave the machine: the hash is that of the form with names for paths.
    Character named = character;
    named.photoPath = L"face.png";
    named.known_characters[0].photoPath = L"outside.png";
    named.known_characters[1].photoPath = L"missing.png";
    named.known_characters[2].photoPath = L"face.png";
    EXPECT_EQ(record.hash, CloudSync::ChangeHash(Character::ToJson(named)));
    EXPECT_EQ(record.size, Character::ToJson(named).Dump(false).size());
    EXPECT_TRUE(record.form.empty());  // the queue keeps no forms
    const CloudSync::QueueItem& chat = cloud().pending.at(L"chat:c1:b");
    EXPECT_EQ(chat.parentId, L"c1");
    EXPECT_EQ(chat.hash, CloudSync::ChangeHash(Chat::ToJson(*character.chats->front())));
    EXPECT_EQ(cloud().pending.at(L"image:face.png").hash, "");
}

TEST_F(CloudSyncQueue, AFormTheCloudHoldsIsNotQueuedAgainButAPendingOneIsReplaced) {
    SignIn();
    Persona persona;
    persona.id = L"p1";
    persona.name = L"Ana";

    cloud().OnPersonaSaved(persona);
    const int64_t first = cloud().pending.at(L"persona:p1").seq;
    cloud().OnPersonaSaved(persona);  // still pending: replaced, with a new number
    EXPECT_GT(cloud().pending.at(L"persona:p1").seq, first);
    EXPECT_EQ(cloud().pending.size(), 1u);

    // Confirmed by a round: the same form again costs nothing, a changed one is queued.
    cloud().pending.clear();
    cloud().MarkSynced(L"persona", L"p1", Persona::ToJson(persona));
    cloud().OnPersonaSaved(persona);
    EXPECT_TRUE(cloud().pending.empty());
    persona.name = L"Ana María";
    cloud().OnPersonaSaved(persona);
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"persona:p1"});

    // Changed back to the cloud's form while that change still waits: the waiting change must not
    // be the one that goes up.
    persona.name = L"Ana";
    cloud().OnPersonaSaved(persona);
    EXPECT_EQ(cloud().pending.at(L"persona:p1").hash, CloudSync::ChangeHash(Persona::ToJson(persona)));

    // A deletion the cloud already holds is not queued either.
    cloud().pending.clear();
    cloud().synced[L"persona:p1"] = "deleted";
    cloud().OnPersonaDeleted(L"p1");
    EXPECT_TRUE(cloud().pending.empty());
}

TEST_F(CloudSyncQueue, MarkSyncedHashesTheUploadFormSoAPulledPathMatchesTheLocalOne) {
    SignIn();
    Put(Images(L"p.png"));
    Persona persona;
    persona.id = L"p1";
    persona.photoPath = L"C:\\other\\machine\\p.png";
    cloud().MarkSynced(L"persona", L"p1", Persona::ToJson(persona));

    persona.photoPath = Images(L"p.png");  // the same picture, re-rooted here
    cloud().uploaded.insert(L"p.png");
    cloud().OnPersonaSaved(persona);
    EXPECT_TRUE(cloud().pending.empty());
}

TEST_F(CloudSyncQueue, DeletionsExpandToTheChatsAndCarryNoData) {
    SignIn();
    Character character;
    character.id = L"c1";
    character.chats->push_back(ChatWithId(L"a"));
    character.chats->push_back(ChatWithId(L"b"));

    cloud().OnCharacterDeleted(character);
    cloud().OnPersonaDeleted(L"p1");

    EXPECT_EQ(QueueOrder(),
              (std::vector<std::wstring>{L"-chat:c1:a", L"-chat:c1:b", L"-character:c1", L"-persona:p1"}));
    const CloudSync::QueueItem& chat = cloud().pending.at(L"chat:c1:a");
    EXPECT_EQ(chat.parentId, L"c1");
    EXPECT_EQ(chat.hash, "deleted");
    EXPECT_TRUE(chat.form.empty());
}

TEST_F(CloudSyncQueue, PictureUploadsAndDeletionsFollowWhatTheCloudHasOrWillHave) {
    SignIn();
    Put(Images(L"new.png"));
    Put(Images(L"up.png"));
    cloud().uploaded.insert(L"up.png");

    cloud().QueueImageFile(Images(L"up.png"));  // already in the bucket
    cloud().OnImageDeleted(L"never.png");       // never uploaded, not waiting
    cloud().OnImageDeleted(L"");
    EXPECT_TRUE(cloud().pending.empty());

    cloud().QueueImageFile(Images(L"new.png"));
    cloud().OnImageDeleted(L"new.png");  // the waiting upload becomes a deletion
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-image:new.png"});
    cloud().QueueImageFile(Images(L"new.png"));  // used again: uploaded again
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"image:new.png"});

    cloud().OnImageDeleted(L"up.png");
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"image:new.png", L"-image:up.png"}));
}

TEST_F(CloudSyncQueue, OnlyPathsInsideTheImagesFolderCount) {
    const std::wstring images = Paths::ImagesDir();
    struct Case {
        std::wstring path;
        bool inside;
    } cases[] = {
        {Files::JoinPath(images, L"a.png"), true},
        {Files::JoinPath(images, L"sub\\b.png"), true},
        {images + L"/c.png", true},
        {images + L"2\\d.png", false},  // a sibling whose name only starts the same
        {images, false},
        {Data(L"e.png"), false},
        {Files::JoinPath(images, L"..\\f.png"), false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CloudSync::IsInImagesDir(c.path), c.inside) << Text::ToUtf8(c.path);
    }
    // Letter case does not matter.
    std::wstring upper = Files::JoinPath(images, L"g.png");
    for (wchar_t& ch : upper) {
        ch = static_cast<wchar_t>(towupper(ch));
    }
    EXPECT_TRUE(CloudSync::IsInImagesDir(upper));
}

TEST_F(CloudSyncQueue, StripPhotoPathsCutsPathsToNamesWithoutTouchingTheRecordForm) {
    bool ok = false;
    const Json::Value form = Json::Value::Parse(
        R"({"photoPath":"C:\\a\\b\\me.png","known_characters":[{"photoPath":"D:/x/k.jpg"},{"photoPath":""},)"
        R"({"name":"n"},"text",{"photoPath":5}],"other":"C:\\keep\\me.png"})",
        &ok);
    ASSERT_TRUE(ok);
    const std::string before = form.Dump(false);

    const Json::Value stripped = CloudSync::StripPhotoPaths(form);

    EXPECT_EQ(stripped.Dump(false),
              R"({"photoPath":"me.png","known_characters":[{"photoPath":"k.jpg"},{"photoPath":""},{"name":"n"},)"
              R"("text",{"photoPath":5}],"other":"C:\\keep\\me.png"})");
    EXPECT_EQ(form.Dump(false), before);
    EXPECT_EQ(CloudSync::StripPhotoPaths(Json::Value(L"text")).Dump(false), "\"text\"");
}

TEST_F(CloudSyncQueue, InitializeRunsOnceAndDropsAStateOfAnotherUser) {
    cloud().account.refreshToken = "refresh";
    cloud().account.userId = L"user-2";
    cloud().stateUserId = L"user-1";
    cloud().synced[L"persona:p1"] = "hash";
    cloud().uploaded.insert(L"a.png");
    CloudSync::QueueItem queued;
    queued.kind = L"persona";
    queued.id = L"p2";
    cloud().pending[L"persona:p2"] = queued;
    cloud().cursor = "2025";
    cloud().lastSync = L"2025-03-01T10:00:00Z";
    cloud().lastError = L"Error del servidor";
    cloud().offline = true;

    cloud().Initialize();
    EXPECT_TRUE(cloud().initialized);
    // Nothing of the other user's state is left to upload or to show.
    EXPECT_TRUE(cloud().synced.empty());
    EXPECT_TRUE(cloud().uploaded.empty());
    EXPECT_TRUE(cloud().pending.empty());
    EXPECT_TRUE(cloud().cursor.empty());
    EXPECT_TRUE(cloud().lastSync.empty());
    EXPECT_TRUE(cloud().lastError.empty());
    EXPECT_FALSE(cloud().offline);

    cloud().synced[L"persona:p1"] = "hash";
    cloud().Initialize();  // the second call changes nothing
    EXPECT_EQ(cloud().synced.size(), 1u);
}

TEST_F(CloudSyncQueue, InitializeKeepsTheStateOfTheSignedInUser) {
    SignIn();
    cloud().synced[L"persona:p1"] = "hash";
    cloud().Initialize();
    EXPECT_EQ(cloud().synced.size(), 1u);
}

}  // namespace
}  // namespace Lorvex::Testing

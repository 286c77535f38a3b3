#include "domain/Storage.h"

#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "foundation/json/Value.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

using namespace Lorvex;
using namespace Lorvex::Testing;

// Every test gets a fresh folder: "outside" stands beside the data folder "data", so a test can
// see whether anything escaped it.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder(L"lorvex-store");
        data_ = Files::JoinPath(root_, L"data");
        ASSERT_TRUE(Files::EnsureDir(data_));
        Paths::SetDataDirForTesting(data_);
    }
    void TearDown() override { EXPECT_TRUE(Files::RemoveTree(root_)); }

    std::wstring Data(const std::wstring& relative) const { return Files::JoinPath(data_, relative); }
    std::wstring Root(const std::wstring& relative) const { return Files::JoinPath(root_, relative); }

    static void Put(const std::wstring& path, const std::string& bytes) { ASSERT_TRUE(Files::WriteBytes(path, bytes)); }

    // Entries directly in a folder, sorted.
    static std::vector<std::wstring> Names(const std::wstring& folder) {
        std::vector<std::wstring> names;
        for (const std::wstring& path : Files::ListFiles(folder, L"*", false)) {
            names.push_back(Files::FileName(path));
        }
        for (const std::wstring& path : Files::ListDirs(folder)) {
            names.push_back(Files::FileName(path) + L"\\");
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::shared_ptr<Chat> MakeChat(const std::wstring& id, const std::wstring& timestamp) {
        auto chat = std::make_shared<Chat>();
        chat->id = id;
        chat->timestamp = timestamp;
        chat->messages.push_back(Message::Create(L"user", L"hola " + id));
        return chat;
    }

    static std::vector<std::wstring> ChatIds(const Character& character) {
        std::vector<std::wstring> ids;
        for (const auto& chat : *character.chats) {
            ids.push_back(chat->id);
        }
        return ids;
    }

    std::wstring root_;
    std::wstring data_;
};

TEST_F(StoreTest, ReadJsonFileAcceptsOnlyObjects) {
    struct Case {
        const char* bytes;  // nullptr: no file
        bool accepted;
        Json::Type parsed;  // the value left behind
    };
    const Case cases[] = {
        {"{\"a\": 1}", true, Json::Type::Object},
        {"\xEF\xBB\xBF{\"a\": 1}", true, Json::Type::Object},
        {"[1, 2]", false, Json::Type::Array},
        {"{\"a\": ", false, Json::Type::Null},
        {"", false, Json::Type::Null},
        {nullptr, false, Json::Type::Number},
    };
    const std::wstring path = Data(L"x.json");
    for (const Case& c : cases) {
        Files::RemoveFile(path);
        if (c.bytes) {
            Put(path, c.bytes);
        }
        Json::Value value = 5;  // untouched when the file cannot be read
        EXPECT_EQ(Storage::ReadJsonFile(path, value), c.accepted) << (c.bytes ? c.bytes : "(missing)");
        EXPECT_EQ(value.kind, c.parsed) << (c.bytes ? c.bytes : "(missing)");
    }

    const wchar_t utf16[] = L"\xFEFF{\"name\": \"Ana\"}";
    ASSERT_TRUE(Files::WriteBytes(path, utf16, sizeof(utf16) - sizeof(wchar_t)));
    Json::Value value;
    EXPECT_TRUE(Storage::ReadJsonFile(path, value));
    EXPECT_EQ(value.Find("name").AsString(), "Ana");
}

TEST_F(StoreTest, WriteFileAtomicWritesPrettyTextThroughTemporaryFile) {
    Json::Value value{Json::Object{}};
    value["id"] = "x";
    value["list"] = Json::Value::EmptyArray();
    const std::wstring path = Data(L"deep\\er\\file.json");

    ASSERT_TRUE(Storage::WriteFileAtomic(path, value));
    EXPECT_EQ(Content(path), "{\n  \"id\": \"x\",\n  \"list\": []\n}");
    EXPECT_FALSE(Exists(path + L".tmp"));

    // A stale temporary file from an earlier crash and a read-only target do not stop a save.
    Put(path + L".tmp", "garbage");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    value["id"] = "y";
    EXPECT_TRUE(Storage::WriteFileAtomic(path, value));
    EXPECT_EQ(Content(path), "{\n  \"id\": \"y\",\n  \"list\": []\n}");
    EXPECT_FALSE(Exists(path + L".tmp"));
}

TEST_F(StoreTest, WriteFileAtomicFailureKeepsTheTarget) {
    const std::wstring path = Data(L"file.json");
    Put(path, "{\"old\": true}");
    Json::Value value{Json::Object{}};
    value["new"] = true;
    {
        // Readers and in-place writers may share this handle, a replacement may not.
        HeldFile held(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_FALSE(Storage::WriteFileAtomic(path, value));
    }
    EXPECT_EQ(Content(path), "{\"old\": true}");
    EXPECT_EQ(Content(path + L".tmp"), "{\n  \"new\": true\n}");
}

TEST_F(StoreTest, FolderNamesAreNamesWindowsAccepts) {
    const std::wstring longName(150, L'a');
    const std::wstring pairAtCap = std::wstring(99, L'b') + L"\U0001F600";  // the pair would straddle unit 100
    const std::wstring dotsAtCap = std::wstring(98, L'c') + L". x";
    struct Case {
        std::wstring name;
        std::wstring folder;
    };
    const Case cases[] = {
        {L"  Luna: la?Roja. ", L"Luna laRoja"},
        {L"a<b>c|d*e\"f/g\\h\ti\x01j", L"abcdefghij"},
        {L"Ana Mar\u00eda\u00a0", L"Ana Mar\u00eda"},
        {L"...", L"character"},
        {L"", L"character"},
        {L" . :? ", L"character"},
        {L"CON", L"CON_"},
        {L"nul.txt", L"nul_.txt"},
        {L"Com1", L"Com1_"},
        {L"lpt9.a.b", L"lpt9_.a.b"},
        {L"AUX .x", L"AUX_ .x"},
        {L"COM\u00b9", L"COM\u00b9_"},
        {L"com0", L"com0_"},
        {L"CONIN$", L"CONIN$_"},
        {L"conout$.txt", L"conout$_.txt"},
        {L"Console", L"Console"},
        {L"COM10", L"COM10"},
        {L"prn2", L"prn2"},
        {longName, std::wstring(100, L'a')},
        {pairAtCap, std::wstring(99, L'b')},
        {dotsAtCap, std::wstring(98, L'c')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Storage::MakeCharacterFolderName(c.name), c.folder) << Text::ToUtf8(c.name);
    }
}

TEST_F(StoreTest, FolderNamesSkipTakenEntries) {
    ASSERT_TRUE(Files::EnsureDir(Data(L"characters\\Ana")));
    ASSERT_TRUE(Files::EnsureDir(Data(L"characters\\Ana_1")));
    EXPECT_EQ(Storage::MakeCharacterFolderName(L"Ana"), L"Ana_2");
    EXPECT_EQ(Storage::MakeCharacterFolderName(L"ana"), L"ana_2");  // Windows names ignore case
    EXPECT_EQ(Storage::MakeCharacterFolderName(L"Ana_1"), L"Ana_1_1");

    // A file of the name would keep the folder from being made, so it takes the name too.
    Put(Data(L"characters\\Bea"), "x");
    EXPECT_EQ(Storage::MakeCharacterFolderName(L"Bea"), L"Bea_1");

    ASSERT_TRUE(Files::EnsureDir(Data(L"characters\\CON_")));
    EXPECT_EQ(Storage::MakeCharacterFolderName(L"con"), L"con__1");
}

TEST_F(StoreTest, FirstSaveAssignsTheFolderAndLaterSavesKeepIt) {
    auto character = Character::Create();
    character->name = L"Luna?";
    character->chats->push_back(MakeChat(L"chat-b", L"2025-01-02T10:00:00.0000000+01:00"));
    character->chats->push_back(MakeChat(L"chat-a", L"2025-01-01T10:00:00.0000000+01:00"));

    ASSERT_TRUE(Storage::SaveCharacter(*character));
    EXPECT_EQ(character->folder, Data(L"characters\\Luna"));
    EXPECT_EQ(Names(character->folder), (std::vector<std::wstring>{L"character.json", L"chats\\"}));
    EXPECT_EQ(Names(Files::JoinPath(character->folder, L"chats")),
              (std::vector<std::wstring>{L"chat-a.json", L"chat-b.json"}));

    character->name = L"Sol";
    ASSERT_TRUE(Storage::SaveCharacter(*character));
    EXPECT_EQ(character->folder, Data(L"characters\\Luna"));
    EXPECT_EQ(Names(Data(L"characters")), (std::vector<std::wstring>{L"Luna\\"}));

    const auto loaded = Storage::LoadCharacters();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->id, character->id);
    EXPECT_EQ(loaded[0]->name, L"Sol");
    EXPECT_EQ(loaded[0]->folder, character->folder);
    EXPECT_EQ(ChatIds(*loaded[0]), (std::vector<std::wstring>{L"chat-b", L"chat-a"}));
    ASSERT_EQ(loaded[0]->chats->front()->messages.size(), 1u);
    EXPECT_EQ(loaded[0]->chats->front()->messages[0]->content, L"hola chat-b");
}

// A file where "characters" should be keeps the folder from being made: the save says so and
// the character stays unsaved, so a later save, once the way is clear, picks its folder then.
TEST_F(StoreTest, SaveThatCannotMakeTheFolderFailsAndLeavesTheCharacterUnsaved) {
    Put(Data(L"characters"), "not a folder");
    Character character;
    character.id = L"c1";
    character.name = L"Ana";
    character.chats->push_back(MakeChat(L"chat", L"2025-01-01"));

    EXPECT_FALSE(Storage::SaveCharacter(character));
    EXPECT_TRUE(character.folder.empty());
    EXPECT_EQ(Content(Data(L"characters")), "not a folder");

    ASSERT_TRUE(Files::RemoveFile(Data(L"characters")));
    ASSERT_TRUE(Storage::SaveCharacter(character));
    EXPECT_EQ(character.folder, Data(L"characters\\Ana"));
    EXPECT_TRUE(Files::IsFile(Data(L"characters\\Ana\\chats\\chat.json")));
}

// A character without chats yet still needs the folder its first chat goes into.
TEST_F(StoreTest, SaveThatCannotMakeTheChatsFolderFails) {
    Character character;
    character.id = L"c1";
    character.name = L"Ana";
    ASSERT_TRUE(Storage::SaveCharacter(character));
    const std::wstring chats = Files::JoinPath(character.folder, L"chats");
    ASSERT_TRUE(Files::IsDir(chats));
    ASSERT_TRUE(Files::RemoveTree(chats));
    Put(chats, "not a folder");

    EXPECT_FALSE(Storage::SaveCharacter(character));
    EXPECT_EQ(Content(chats), "not a folder");
}

TEST_F(StoreTest, SaveChatWritesOneChatOrSavesANewCharacterWhole) {
    Character character;
    character.id = L"c1";
    character.name = L"Mar";
    auto first = MakeChat(L"first", L"2025-01-01");
    character.chats->push_back(first);

    // Never saved: the whole character goes to disk.
    ASSERT_TRUE(Storage::SaveChat(character, *first));
    ASSERT_FALSE(character.folder.empty());
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(character.folder, L"character.json")));

    // Saved: only the chat's file is written, even when the list does not hold it yet.
    Files::RemoveFile(Files::JoinPath(character.folder, L"character.json"));
    auto second = MakeChat(L"second", L"2025-01-02");
    ASSERT_TRUE(Storage::SaveChat(character, *second));
    EXPECT_FALSE(Exists(Files::JoinPath(character.folder, L"character.json")));
    EXPECT_EQ(Names(Files::JoinPath(character.folder, L"chats")),
              (std::vector<std::wstring>{L"first.json", L"second.json"}));

    // A read-only chat file still goes.
    const std::wstring secondFile = Files::JoinPath(character.folder, L"chats\\second.json");
    ASSERT_TRUE(SetFileAttributesW(secondFile.c_str(), FILE_ATTRIBUTE_READONLY));
    Storage::DeleteChatFile(character, *second);
    EXPECT_FALSE(Exists(secondFile));
    Storage::DeleteChatFile(character, *second);  // already gone: nothing happens
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(character.folder, L"chats\\first.json")));
}

TEST_F(StoreTest, DuoChatsAreWrittenIntoBothFolders) {
    Character first;
    first.id = L"one";
    first.name = L"Uno";
    Character second;
    second.id = L"two";
    second.name = L"Dos";
    second.chats = first.chats;
    first.chats->push_back(MakeChat(L"shared", L"2025-01-01"));

    ASSERT_TRUE(Storage::SaveCharacter(first));
    ASSERT_TRUE(Storage::SaveCharacter(second));
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(first.folder, L"chats\\shared.json")));
    EXPECT_TRUE(Files::IsFile(Files::JoinPath(second.folder, L"chats\\shared.json")));
}

TEST_F(StoreTest, LoadSkipsWhatCannotBeRead) {
    // No character.json: the folder and its chats stay hidden.
    Put(Data(L"characters\\NoFile\\chats\\c.json"), R"({"id": "c", "timestamp": "2025"})");
    // A character.json that is not an object, or does not parse.
    Put(Data(L"characters\\Array\\character.json"), "[]");
    Put(Data(L"characters\\Broken\\character.json"), "{\"id\": ");
    // A good character with chats of every kind.
    Put(Data(L"characters\\Good\\character.json"), R"({"id": "good", "name": "Bien"})");
    Put(Data(L"characters\\Good\\chats\\array.json"), "[{\"id\": \"array\"}]");
    Put(Data(L"characters\\Good\\chats\\broken.json"), "{");
    Put(Data(L"characters\\Good\\chats\\ok.json"), R"({"id": "ok", "timestamp": "2025"})");
    Put(Data(L"characters\\Good\\chats\\left.json.tmp"), R"({"id": "left", "timestamp": "2025"})");
    Put(Data(L"characters\\Good\\chats\\notes.txt"), R"({"id": "notes", "timestamp": "2025"})");

    // Each folder and "*.json" chat file left out is counted: three folders, two chats.
    size_t skipped = 0;
    const auto loaded = Storage::LoadCharacters(&skipped);
    EXPECT_EQ(skipped, 5u);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0]->id, L"good");
    EXPECT_EQ(loaded[0]->folder, Data(L"characters\\Good"));
    EXPECT_EQ(ChatIds(*loaded[0]), (std::vector<std::wstring>{L"ok"}));
    // Skipped files stay on disk untouched.
    EXPECT_EQ(Content(Data(L"characters\\Good\\chats\\broken.json")), "{");
}

// After a power cut a record's file may be cut short or hold only zeros: NTFS had journalled the
// move of a save whose bytes never reached the disk. The temporary a save writes beside the file,
// when whole, then stands in for it; without one the torn file is skipped like any unreadable one.
TEST_F(StoreTest, ATornRecordGivesWayToAWholeTemporary) {
    Character ana;
    ana.id = L"ana";
    ana.name = L"Ana";
    ana.chats->push_back(MakeChat(L"c1", L"2025-01-01T10:00:00"));
    ASSERT_TRUE(Storage::SaveCharacter(ana));
    Persona me;
    me.id = L"p1";
    me.name = L"Yo";
    ASSERT_TRUE(Storage::SavePersona(me));

    struct Torn {
        const char* what;
        std::wstring file;
    };
    const Torn files[] = {
        {"character", Files::JoinPath(ana.folder, L"character.json")},
        {"chat", Files::JoinPath(ana.folder, L"chats\\c1.json")},
        {"persona", me.path},
    };
    for (const Torn& torn : files) {
        const std::string whole = Content(torn.file);
        for (const std::string& damaged : {std::string(whole.size(), '\0'), whole.substr(0, whole.size() / 2)}) {
            for (const bool temporary : {true, false}) {
                SCOPED_TRACE(std::string(torn.what) + (damaged[0] == '\0' ? ", zeros" : ", cut") +
                             (temporary ? ", whole temporary" : ", no temporary"));
                Put(torn.file, damaged);
                Files::RemoveFile(Files::TemporaryFor(torn.file));
                if (temporary) {
                    Put(Files::TemporaryFor(torn.file), whole);
                }

                size_t skipped = 0;
                const auto characters = Storage::LoadCharacters(&skipped);
                const auto personas = Storage::LoadPersonas(&skipped);
                const bool lost = !temporary;
                EXPECT_EQ(skipped, lost ? 1u : 0u);
                const bool characterLost = lost && torn.file == files[0].file;
                ASSERT_EQ(characters.size(), characterLost ? 0u : 1u);
                if (!characterLost) {
                    EXPECT_EQ(characters[0]->name, L"Ana");
                    const bool chatLost = lost && torn.file == files[1].file;
                    EXPECT_EQ(ChatIds(*characters[0]),
                              chatLost ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"c1"});
                }
                const bool personaLost = lost && torn.file == me.path;
                ASSERT_EQ(personas.size(), personaLost ? 0u : 1u);
                if (!personaLost) {
                    EXPECT_EQ(personas[0]->name, L"Yo");
                    EXPECT_EQ(personas[0]->path, me.path);
                }
                // The load writes nothing: the torn file waits for the next save.
                EXPECT_EQ(Content(torn.file), damaged);
            }
        }
        Put(torn.file, whole);
    }
}

// ReadJsonFile, through which the sync reads records and state, takes a whole temporary in
// place of a torn file too, but never in place of a missing one: a stale temporary may outlive
// the record it was written for.
TEST_F(StoreTest, ReadJsonFilePrefersAWholeTemporaryOnlyToATornFile) {
    const std::wstring path = Data(L"x.json");
    Put(Files::TemporaryFor(path), "{\"from\": \"temporary\"}");
    Json::Value value;
    EXPECT_FALSE(Storage::ReadJsonFile(path, value));
    for (const std::string& damaged : {std::string(40, '\0'), std::string("{\"from\": \"fi")}) {
        Put(path, damaged);
        value = Json::Value();
        EXPECT_TRUE(Storage::ReadJsonFile(path, value));
        EXPECT_EQ(value.Find("from").AsString(), "temporary");
    }
    Put(path, "{\"from\": \"file\"}");
    EXPECT_TRUE(Storage::ReadJsonFile(path, value));
    EXPECT_EQ(value.Find("from").AsString(), "file");
}

TEST_F(StoreTest, ChatsLoadNewestFirstAndEqualStampsInFileOrder) {
    Put(Data(L"characters\\C\\character.json"), R"({"id": "c"})");
    // Enough chats that an unstable sort would mix equal stamps, written in reverse so the order
    // of creation does not decide. "D" sorts before "c.." by code units, after them in NTFS
    // listings, which ignore case.
    const wchar_t* stamps[] = {L"2025-05-00", L"2025-05-01", L"2025-05-02"};
    std::vector<std::wstring> ids;
    for (int i = 0; i < 30; ++i) {
        ids.push_back((i < 10 ? L"c0" : L"c") + std::to_wstring(i));
    }
    ids.push_back(L"D");
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        const int group = *id == L"D" ? 1 : std::stoi(id->substr(1)) % 3;
        Put(Data(L"characters\\C\\chats\\" + *id + L".json"),
            "{\"id\": \"" + Text::ToUtf8(*id) + "\", \"timestamp\": \"" + Text::ToUtf8(stamps[group]) + "\"}");
    }

    std::vector<std::wstring> expected;
    for (int group = 2; group >= 0; --group) {
        if (group == 1) {
            expected.push_back(L"D");
        }
        for (int i = group; i < 30; i += 3) {
            expected.push_back((i < 10 ? L"c0" : L"c") + std::to_wstring(i));
        }
    }
    const auto loaded = Storage::LoadCharacters();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(ChatIds(*loaded[0]), expected);
}

TEST_F(StoreTest, PicturePathsAreReRootedIntoTheCurrentImagesFolder) {
    Put(Data(L"images\\moved.png"), "png");
    Put(Data(L"images\\known.png"), "png");
    Put(Root(L"elsewhere.png"), "png");
    const std::string gone = Text::ToUtf8(Root(L"old\\images\\moved.png"));
    const std::string goneKnown = Text::ToUtf8(Root(L"old\\images\\known.png"));
    const std::string elsewhere = Text::ToUtf8(Root(L"elsewhere.png"));

    Json::Value character{Json::Object{}};
    character["id"] = "c";
    character["photoPath"] = gone;
    Json::Value known{Json::Object{}};
    known["name"] = "K";
    known["photoPath"] = goneKnown;
    Json::Value stays{Json::Object{}};
    stays["name"] = "S";
    stays["photoPath"] = elsewhere;
    Json::Value lost{Json::Object{}};
    lost["name"] = "L";
    lost["photoPath"] = "C:\\nowhere\\lost.png";
    character["known_characters"].Push(known);
    character["known_characters"].Push(stays);
    character["known_characters"].Push(lost);
    ASSERT_TRUE(Storage::WriteFileAtomic(Data(L"characters\\C\\character.json"), character));

    Json::Value persona{Json::Object{}};
    persona["id"] = "p";
    persona["photoPath"] = gone;
    persona["known_characters"].Push(known);
    ASSERT_TRUE(Storage::WriteFileAtomic(Data(L"personas\\p.json"), persona));

    const auto characters = Storage::LoadCharacters();
    ASSERT_EQ(characters.size(), 1u);
    EXPECT_EQ(characters[0]->photoPath, Data(L"images\\moved.png"));
    ASSERT_EQ(characters[0]->known_characters.size(), 3u);
    EXPECT_EQ(characters[0]->known_characters[0].photoPath, Data(L"images\\known.png"));
    EXPECT_EQ(characters[0]->known_characters[1].photoPath, Root(L"elsewhere.png"));
    EXPECT_EQ(characters[0]->known_characters[2].photoPath, L"C:\\nowhere\\lost.png");

    const auto personas = Storage::LoadPersonas();
    ASSERT_EQ(personas.size(), 1u);
    EXPECT_EQ(personas[0]->photoPath, Data(L"images\\moved.png"));
    ASSERT_EQ(personas[0]->known_characters.size(), 1u);
    EXPECT_EQ(personas[0]->known_characters[0].photoPath, Data(L"images\\known.png"));
}

TEST_F(StoreTest, PersonasSaveUnderTheirIdAndLoadSortedByName) {
    const std::wstring names[] = {L"bea", L"Carla", L"ana", L"Ana B"};
    for (int i = 0; i < 4; ++i) {
        Persona persona;
        persona.id = L"p" + std::to_wstring(i);
        persona.name = names[i];
        ASSERT_TRUE(Storage::SavePersona(persona));
        EXPECT_EQ(persona.path, Data(L"personas\\p" + std::to_wstring(i) + L".json"));
    }
    Put(Data(L"personas\\broken.json"), "{\"id\"");
    Put(Data(L"personas\\list.json"), "[]");

    // The count grows from where it stood.
    size_t skipped = 1;
    auto loaded = Storage::LoadPersonas(&skipped);
    EXPECT_EQ(skipped, 3u);
    std::vector<std::wstring> order;
    for (const auto& persona : loaded) {
        order.push_back(persona->name);
    }
    EXPECT_EQ(order, (std::vector<std::wstring>{L"ana", L"Ana B", L"bea", L"Carla"}));

    // A later save writes to the same file, whatever the name became.
    auto& bea = loaded[2];
    EXPECT_EQ(bea->path, Data(L"personas\\p0.json"));
    bea->name = L"Beatriz";
    ASSERT_TRUE(Storage::SavePersona(*bea));
    EXPECT_EQ(bea->path, Data(L"personas\\p0.json"));
    EXPECT_EQ(Names(Data(L"personas")).size(), 6u);
    EXPECT_EQ(Storage::LoadPersonas()[2]->name, L"Beatriz");
}

namespace {

// Written by the value tree and its record readers, before records were read from text.
const char* const kAwkwardFields = R"fields(character
folder "<data>\u005ccharacters\u005cAna"
id "ana"
name "Ana"
age ""
gender ""
orientation ""
traits ""
personality ""
background ""
scenario ""
initial_message ""
speech_style "Normal"
nsfw_allowed false
photoPath unset
is_dual_mode false
dual_partner_id unset
memory ""
 chat
 id "crlf"
 timestamp "2025-01-06"
 persona_id unset
 memory ""
  message
  role "user"
  content "uno\u000ados\u000atres"
  timestamp "2025-01-06"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "bad-utf8"
 timestamp "2025-01-05"
 persona_id unset
 memory ""
  message
  role "user"
  content "a\ufffd\ufffd(b"
  timestamp "2025-01-05"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "utf16"
 timestamp "2025-01-04"
 persona_id unset
 memory ""
  message
  role "user"
  content "\u00f1and\u00fa"
  timestamp "2025-01-04"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "a"
 timestamp "2025-01-03"
 persona_id unset
 memory ""
  message
  role "user"
  content "hola"
  timestamp "2025-01-03"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "locked"
 timestamp "2025-01-02"
 persona_id unset
 memory ""
  message
  role "user"
  content "cerrado"
  timestamp "2025-01-02"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "dup"
 timestamp "2025-01-01"
 persona_id unset
 memory ""
  message
  role "user"
  content "primero"
  timestamp "2025-01-01"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
 chat
 id "dup"
 timestamp "2025-01-01"
 persona_id unset
 memory ""
  message
  role "user"
  content "segundo"
  timestamp "2025-01-01"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
character
folder "<data>\u005ccharacters\u005cOdd"
id "odd"
name "\u00d1o\u00f1o \ud83d\ude00 end"
age "30"
gender ""
orientation ""
traits "uno\u000ados\u000atres\u000a"
personality "tab\u0009here \u0022quoted\u0022 back\u005cslash / \u0008\u000c"
background ""
scenario ""
initial_message ""
speech_style "Normal"
nsfw_allowed true
photoPath ""
 known
 name "Clara"
 age "40"
 relationship "t\u00eda"
 description "l\u00ednea\u000aotra"
 importance "Principal"
 bubble_name "Cla"
 trait "leal"
 trait "dos\u000d\u000al\u00edneas"
 photoPath unset
 known
 name "dup"
 age ""
 relationship ""
 description ""
 importance "De fondo"
 bubble_name ""
 photoPath "C:\u005cfotos\u005cx.png"
 known
 name ""
 age ""
 relationship ""
 description ""
 importance "De fondo"
 bubble_name ""
 photoPath unset
is_dual_mode false
dual_partner_id unset
memory "recuerdo\u000a"
override "p1"
 traits ""
 personality unset
override "p3"
 traits ""
 personality "x\u000ay"
override "p5"
 traits unset
 personality ""
 chat
 id "key-esc"
 timestamp "2025-04-01"
 persona_id unset
 memory ""
 chat
 id "odd-chat"
 timestamp "2025-03-07T18:04:09.5120000+01:00"
 persona_id ""
 memory ""
  message
  role "user"
  content "hola\u000amundo"
  timestamp "2025-01-01T10:00:00"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
  message
  role ""
  content ""
  timestamp "2025-03-07T18:04:09.5120000+01:00"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
  message
  role "assistant"
  content "\u00edndice"
  timestamp "t"
  is_typing false
  typing_id "t1"
  character_id ""
  character_name "Odd"
  regeneration_id "g1"
  regeneration_index 3
  error ""
  message
  role ""
  content "sin rol"
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index -2147483648
  error ""
  message
  role ""
  content ""
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index 2147483647
  error ""
  message
  role ""
  content ""
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
  message
  role ""
  content ""
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index unset
  error ""
  message
  role ""
  content ""
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index -3
  error ""
  message
  role ""
  content ""
  timestamp "t"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index 2147483647
  error ""
  message
  role ""
  content ""
  timestamp "2025-03-07T18:04:09.5120000+01:00"
  is_typing false
  typing_id unset
  character_id unset
  character_name unset
  regeneration_id unset
  regeneration_index 2147483647
  error ""
 chat
 id "deep"
 timestamp "2025-03-01"
 persona_id unset
 memory ""
 chat
 id "no-list"
 timestamp "2025-02-01"
 persona_id unset
 memory "m"
persona
path "<data>\u005cpersonas\u005cana.json"
id "ana"
name "ana"
age ""
gender ""
orientation ""
traits ""
personality ""
photoPath unset
persona
path "<data>\u005cpersonas\u005codd.json"
id "odd-p"
name "Zeta\u000anueva"
age ""
gender ""
orientation ""
traits ""
personality ""
photoPath unset
 known
 name "K"
 age ""
 relationship ""
 description ""
 importance "De fondo"
 bubble_name ""
 trait "uno"
 photoPath "x.png"
persona
path "<data>\u005cpersonas\u005czoe.json"
id "zoe"
name "Zoe"
age ""
gender ""
orientation ""
traits ""
personality ""
photoPath unset
persona
path "<data>\u005cpersonas\u005czoe2.json"
id "zoe2"
name "Zoe"
age ""
gender ""
orientation ""
traits "otra"
personality ""
photoPath unset
)fields";

// Everything a load gave, in order, as text: each character's folder and JSON form, then its
// chats' JSON forms; each persona's file and JSON form.
std::vector<std::string> Fingerprint(const std::vector<std::shared_ptr<Character>>& characters) {
    std::vector<std::string> lines;
    for (const auto& character : characters) {
        lines.push_back(Text::ToUtf8(character->folder) + " " + Character::ToJson(*character).Dump(false));
        for (const auto& chat : *character->chats) {
            lines.push_back("  " + Chat::ToJson(*chat).Dump(false));
        }
    }
    return lines;
}

std::vector<std::string> Fingerprint(const std::vector<std::shared_ptr<Persona>>& personas) {
    std::vector<std::string> lines;
    for (const auto& persona : personas) {
        lines.push_back(Text::ToUtf8(persona->path) + " " + Persona::ToJson(*persona).Dump(false));
    }
    return lines;
}

std::string ChatJson(const std::string& id, const std::string& stamp, const std::string& content) {
    return "{\"id\": \"" + id + "\", \"timestamp\": \"" + stamp +
           "\", \"messages\": [{\"role\": \"user\", \"content\": \"" + content + "\", \"timestamp\": \"" + stamp +
           "\"}]}";
}

// A data folder of awkward cases, loaded by the tests below: files that cannot be read, are not
// objects or name unsafe ids; the text encodings and line breaks a file may hold; and one
// character, its chats and a persona whose members are duplicated, of the wrong type, escaped,
// nested deep, unknown or missing, as a hand-edited or foreign file may be.
void PutAwkwardFolder(const std::wstring& data) {
    const auto Data = [&data](const std::wstring& relative) { return Files::JoinPath(data, relative); };
    const auto Put = [](const std::wstring& path, const std::string& bytes) {
        ASSERT_TRUE(Files::WriteBytes(path, bytes));
    };
    const std::wstring chats = L"characters\\Ana\\chats\\";
    Put(Data(L"characters\\Ana\\character.json"), R"({"id": "ana", "name": "Ana"})");
    Put(Data(chats + L"a.json"), ChatJson("a", "2025-01-03", "hola"));
    // The same id twice, with equal stamps: both load, in file-name order.
    Put(Data(chats + L"b.json"), ChatJson("dup", "2025-01-01", "primero"));
    Put(Data(chats + L"c.json"), ChatJson("dup", "2025-01-01", "segundo"));
    Put(Data(chats + L"d.json"), ChatJson("..\\\\x", "2025-01-02", "fuera"));
    Put(Data(chats + L"e.json"), "{");
    Put(Data(chats + L"f.json"), "[]");
    Put(Data(chats + L"g.json"), ChatJson("locked", "2025-01-02", "cerrado"));
    const std::wstring utf16 = L"\xFEFF" + Text::ToWide(ChatJson("utf16", "2025-01-04", "\u00f1and\u00fa"));
    ASSERT_TRUE(Files::WriteBytes(Data(chats + L"h.json"), utf16.data(), utf16.size() * sizeof(wchar_t)));
    Put(Data(chats + L"i.json"), ChatJson("bad-utf8", "2025-01-05", "a\xFF\xC3(b"));
    Put(Data(chats + L"j.json"), "\xEF\xBB\xBF" + ChatJson("crlf", "2025-01-06", "uno\\r\\ndos\\rtres"));
    // An empty folder, a folder with chats but no character file, an unsafe id, a character
    // file that cannot be opened, a character without a chats folder.
    ASSERT_TRUE(Files::EnsureDir(Data(L"characters\\Empty")));
    Put(Data(L"characters\\NoFile\\chats\\x.json"), ChatJson("x", "2025", "x"));
    Put(Data(L"characters\\Evil\\character.json"), R"({"id": "..\\evil"})");
    Put(Data(L"characters\\Evil\\chats\\y.json"), ChatJson("y", "2025", "y"));
    Put(Data(L"characters\\Locked\\character.json"), R"({"id": "locked"})");
    Put(Data(L"characters\\Bob\\character.json"), R"({"id": "bob", "name": "Bob"})");
    // Enough chats in one character for every worker to take some.
    Put(Data(L"characters\\Many\\character.json"), R"({"id": "many"})");
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        std::string stamp = "2025-02-0";
        stamp += std::to_string(i % 3);
        Put(Data(L"characters\\Many\\chats\\m" + std::to_wstring(i) + L".json"),
            ChatJson("m" + n, stamp, "texto " + n));
    }
    Put(Data(L"personas\\zoe.json"), R"({"id": "zoe", "name": "Zoe"})");
    Put(Data(L"personas\\zoe2.json"), R"({"id": "zoe2", "name": "Zoe", "traits": "otra"})");
    Put(Data(L"personas\\ana.json"), R"({"id": "ana", "name": "ana"})");
    Put(Data(L"personas\\evil.json"), R"({"id": "../evil"})");
    Put(Data(L"personas\\broken.json"), "{\"id\"");

    Put(Data(L"characters\\Odd\\character.json"), R"json({"id": "odd",
  "name": "\u00d1o\u00f1o \ud83d\ude00 end", "name": "second",
  "\u0061ge": "30", "gender": 5, "orientation": null,
  "traits": "uno\r\ndos\rtres\n", "personality": "tab\there \"quoted\" back\\slash \/ \b\f",
  "background": "", "scenario": ["not", "text"], "initial_message": {"a": 1},
  "speech_style": 7, "nsfw_allowed": "true", "photoPath": "",
  "known_characters": [
    {"name": "Clara", "age": "40", "relationship": "t\u00eda", "description": "l\u00ednea\r\notra",
     "importance": "Principal", "bubble_name": "Cla", "personality": ["leal", "", 5, "dos\r\nl\u00edneas", null],
     "photoPath": ""},
    "not an object", 7, null,
    {"name": "dup", "name": "segunda", "importance": null, "photoPath": "C:\\fotos\\x.png",
     "personality": "no es lista"},
    {}
  ],
  "is_dual_mode": 1, "dual_partner_id": null, "memory": "recuerdo\r\n",
  "persona_overrides": {"p1": {"traits": null}, "p2": {"other": 1}, "p1": {"traits": "again"},
    "p3": {"personality": "x\r\ny", "traits": 5, "traits": "later"}, "p4": "no", "\u0070\u0035": {"personality": ""}},
  "unknown": {"deep": [[[[[[[[[[1, {"x": [true, false, null, -0.5e-3, "s"]}]]]]]]]]]]},
  "known_characters": []})json");
    const std::wstring odd = L"characters\\Odd\\chats\\";
    Put(Data(odd + L"m.json"), R"json({"id": "odd-chat", "timestamp": 20250101, "timestamp": "ignored",
  "messages": [
    {"role": "user", "content": "hola\r\nmundo", "content": "segunda", "timestamp": "2025-01-01T10:00:00"},
    {"role": "assistant", "content": "escribiendo", "is_typing": true},
    {"role": "assistant", "content": "tambi\u00e9n", "is_typing": "true"},
    5, "texto", null, [], {},
    {"role": "assistant", "content": "\u00edndice", "timestamp": "t", "regeneration_index": 2.5,
     "regeneration_id": "g1", "character_id": "", "character_name": "Odd", "typing_id": "t1", "is_typing": false},
    {"content": "sin rol", "timestamp": "t", "regeneration_index": -1e300},
    {"timestamp": "t", "regeneration_index": 1e300, "is_typing": "false"},
    {"timestamp": "t", "regeneration_index": "2", "is_typing": 1},
    {"timestamp": "t", "regeneration_index": null, "role": null, "content": 5},
    {"timestamp": "t", "regeneration_index": -2.5, "unknown": {"a": [1, 2, {"b": "c"}]}},
    {"timestamp": "t", "regeneration_index": 1e10, "character_id": null, "character_name": 3},
    {"timestamp": 12, "regeneration_index": 2147483647.4, "regeneration_index": 1}
  ],
  "persona_id": "", "memory": null, "extra": "x"})json");
    Put(Data(odd + L"n.json"),
        R"json({"id": "no-list", "timestamp": "2025-02-01", "messages": {"role": "user"}, "persona_id": 5, "memory": "m"})json");
    Put(Data(odd + L"k.json"), R"json({"\u0069d": "key-esc", "timestamp": "2025-04-01", "messages": []})json");
    Put(Data(odd + L"deep.json"), "{\"id\": \"deep\", \"timestamp\": \"2025-03-01\", \"x\": " + std::string(150, '[') +
                                      std::string(150, ']') + "}");
    // Files that are not one JSON object: each chat is left out.
    Put(Data(odd + L"toodeep.json"), "{\"id\": \"too-deep\", \"timestamp\": \"2025\", \"x\": " + std::string(250, '[') +
                                         "1" + std::string(250, ']') + "}");
    Put(Data(odd + L"trailing.json"), R"({"id": "trail", "timestamp": "2025"} x)");
    Put(Data(odd + L"cut.json"), R"({"id": "cut", "timestamp": "2025", "messages": [{"content": "abc}]})");
    Put(Data(odd + L"esc.json"), R"({"id": "esc", "timestamp": "2025", "messages": [{"content": "a\qb"}]})");
    Put(Data(odd + L"hex.json"), R"({"id": "hex", "timestamp": "2025", "messages": [{"content": "\u12G4"}]})");
    Put(Data(odd + L"number.json"), "5");
    Put(Data(L"personas\\odd.json"), R"json({"id": "odd-p", "name": "Zeta\r\nnueva", "age": 5, "photoPath": null,
  "known_characters": [{"name": "K", "photoPath": "x.png", "personality": ["uno"]}, 3], "known_characters": 1})json");
}

// Every field of what a load gave, one line each, texts as ASCII with \uXXXX for the rest, and
// the data folder's own path left out of folders and paths.
class FieldDump {
public:
    explicit FieldDump(const std::wstring& data) : data_(data) {}

    std::string Of(const std::vector<std::shared_ptr<Character>>& characters,
                   const std::vector<std::shared_ptr<Persona>>& personas) {
        out_.clear();
        for (const auto& character : characters) {
            Line("character", {});
            Field("folder", Local(character->folder));
            Field("id", character->id);
            Field("name", character->name);
            Field("age", character->age);
            Field("gender", character->gender);
            Field("orientation", character->orientation);
            Field("traits", character->traits);
            Field("personality", character->personality);
            Field("background", character->background);
            Field("scenario", character->scenario);
            Field("initial_message", character->initial_message);
            Field("speech_style", character->speech_style);
            Flag("nsfw_allowed", character->nsfw_allowed);
            Optional("photoPath", character->photoPath);
            Known(character->known_characters);
            Flag("is_dual_mode", character->is_dual_mode);
            Optional("dual_partner_id", character->dual_partner_id);
            Field("memory", character->memory);
            for (const auto& [persona, seen] : character->persona_overrides) {
                Field("override", persona);
                Optional(" traits", seen.traits);
                Optional(" personality", seen.personality);
            }
            for (const auto& chat : *character->chats) {
                Line(" chat", {});
                Field(" id", chat->id);
                Field(" timestamp", chat->timestamp);
                Optional(" persona_id", chat->persona_id);
                Field(" memory", chat->memory);
                for (const auto& message : chat->messages) {
                    Line("  message", {});
                    Field("  role", message->role);
                    Field("  content", message->content);
                    Field("  timestamp", message->timestamp);
                    Flag("  is_typing", message->is_typing);
                    Optional("  typing_id", message->typing_id);
                    Optional("  character_id", message->character_id);
                    Optional("  character_name", message->character_name);
                    Optional("  regeneration_id", message->regeneration_id);
                    Line("  regeneration_index", message->regeneration_index
                                                     ? std::to_string(*message->regeneration_index)
                                                     : std::string("unset"));
                    Field("  error", message->error);
                }
            }
        }
        for (const auto& persona : personas) {
            Line("persona", {});
            Field("path", Local(persona->path));
            Field("id", persona->id);
            Field("name", persona->name);
            Field("age", persona->age);
            Field("gender", persona->gender);
            Field("orientation", persona->orientation);
            Field("traits", persona->traits);
            Field("personality", persona->personality);
            Optional("photoPath", persona->photoPath);
            Known(persona->known_characters);
        }
        return out_;
    }

private:
    std::wstring Local(const std::wstring& path) const {
        return path.rfind(data_, 0) == 0 ? L"<data>" + path.substr(data_.size()) : path;
    }
    static std::string Ascii(const std::wstring& text) {
        std::string ascii = "\"";
        for (const wchar_t c : text) {
            if (c >= 0x20 && c < 0x7F && c != L'\\' && c != L'"') {
                ascii.push_back(static_cast<char>(c));
            } else {
                char escape[8];
                std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
                ascii += escape;
            }
        }
        return ascii + "\"";
    }
    void Line(const char* name, const std::string& value) {
        out_ += value.empty() ? std::string(name) + "\n" : std::string(name) + " " + value + "\n";
    }
    void Field(const char* name, const std::wstring& text) { Line(name, Ascii(text)); }
    void Flag(const char* name, bool value) { Line(name, value ? "true" : "false"); }
    void Optional(const char* name, const std::optional<std::wstring>& text) {
        Line(name, text ? Ascii(*text) : std::string("unset"));
    }
    void Known(const std::vector<KnownCharacter>& known) {
        for (const KnownCharacter& person : known) {
            Line(" known", {});
            Field(" name", person.name);
            Field(" age", person.age);
            Field(" relationship", person.relationship);
            Field(" description", person.description);
            Field(" importance", person.importance);
            Field(" bubble_name", person.bubble_name);
            for (const std::wstring& trait : person.personality) {
                Field(" trait", trait);
            }
            Optional(" photoPath", person.photoPath);
        }
    }

    std::wstring data_;
    std::string out_;
};

// A fixed local clock while it lives: records read without a time stamp get this one, so two
// loads of the same folder give the same records.
class FixedClock {
public:
    FixedClock() {
        Time::SetLocalTimeForTesting([] {
            Time::LocalNow now;
            now.time = {2025, 3, 5, 7, 18, 4, 9, 512};
            now.utcOffsetMinutes = 60;
            return now;
        });
    }
    ~FixedClock() { Time::SetLocalTimeForTesting(nullptr); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
};
}  // namespace

// The load spreads files over worker threads; whatever their number, it must give what one
// thread gives: the same records in the same order, the same count of what was left out, and
// records that no worker still holds.
TEST_F(StoreTest, LoadOnWorkerThreadsGivesWhatOneThreadGives) {
    // An empty data folder: nothing, and nothing skipped.
    for (size_t workers : {1u, 2u, 8u}) {
        size_t skipped = 0;
        EXPECT_TRUE(Storage::LoadCharacters(&skipped, workers).empty());
        EXPECT_TRUE(Storage::LoadPersonas(&skipped, workers).empty());
        EXPECT_EQ(skipped, 0u);
    }

    PutAwkwardFolder(data_);
    const FixedClock clock;
    HeldFile lockedChat(Data(L"characters\\Ana\\chats\\g.json"), GENERIC_READ | GENERIC_WRITE, 0);
    HeldFile lockedCharacter(Data(L"characters\\Locked\\character.json"), GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(lockedChat.IsOpen() && lockedCharacter.IsOpen());

    size_t oneSkipped = 0;
    const auto oneCharacters = Storage::LoadCharacters(&oneSkipped, 1);
    const auto onePersonas = Storage::LoadPersonas(&oneSkipped, 1);
    // Chats d, e, f, g and six of Odd's; folders Empty, NoFile, Evil, Locked; personas evil,
    // broken.
    EXPECT_EQ(oneSkipped, 16u);
    ASSERT_EQ(oneCharacters.size(), 4u);
    const std::vector<std::string> characters = Fingerprint(oneCharacters);
    const std::vector<std::string> personas = Fingerprint(onePersonas);

    for (size_t workers : {0u, 2u, 3u, 8u}) {
        size_t skipped = 0;
        const auto loadedCharacters = Storage::LoadCharacters(&skipped, workers);
        const auto loadedPersonas = Storage::LoadPersonas(&skipped, workers);
        EXPECT_EQ(skipped, oneSkipped) << workers << " workers";
        EXPECT_EQ(Fingerprint(loadedCharacters), characters) << workers << " workers";
        EXPECT_EQ(Fingerprint(loadedPersonas), personas) << workers << " workers";
        for (const auto& character : loadedCharacters) {
            EXPECT_EQ(character.use_count(), 1) << workers << " workers";
            EXPECT_EQ(character->chats.use_count(), 1) << workers << " workers";
            for (const auto& chat : *character->chats) {
                EXPECT_EQ(chat.use_count(), 1) << workers << " workers";
            }
        }
        for (const auto& persona : loadedPersonas) {
            EXPECT_EQ(persona.use_count(), 1) << workers << " workers";
        }
    }

    // The texts went through every reading path: UTF-16, malformed UTF-8, mark and CR LF.
    const auto ana = std::find_if(oneCharacters.begin(), oneCharacters.end(),
                                  [](const auto& character) { return character->id == L"ana"; });
    ASSERT_NE(ana, oneCharacters.end());
    std::vector<std::wstring> contents;
    for (const auto& chat : *(*ana)->chats) {
        contents.push_back(chat->id + L":" + chat->messages.at(0)->content);
    }
    ASSERT_EQ(contents.size(), 6u);
    EXPECT_EQ(contents[0], L"crlf:uno\ndos\ntres");
    EXPECT_EQ(contents[1].substr(0, 11), L"bad-utf8:a\xFFFD");
    EXPECT_EQ(contents[2], L"utf16:\u00f1and\u00fa");
    EXPECT_EQ(contents[3], L"a:hola");
    EXPECT_EQ(contents[4], L"dup:primero");
    EXPECT_EQ(contents[5], L"dup:segundo");
}

// The load converts bad UTF-8 text by text: what it gives, every field, is what the files give
// once a pass over the whole of each has replaced their bad bytes (lone bytes, cut sequences,
// overlong forms and surrogates, one cut at a text's closing quote), in keys too.
TEST_F(StoreTest, BadBytesLoadAsAfterAWholeFileRepair) {
    const std::string bad = "a\xFF\xC3(b\xE2\x82 c\xF0\x9F\x98 d\xC0\xAF\xED\xA0\x80z\xC3";
    const std::wstring characterFile = Data(L"characters\\Eva\\character.json");
    const std::wstring chatFile = Data(L"characters\\Eva\\chats\\a.json");
    Put(characterFile, R"({"id": "eva", "name": "Eva)" + bad + R"(", "persona_overrides": {"p)" + bad +
                           R"(": {"traits": "t)" + bad + R"("}}, "mem)" + bad + R"(": "x"})");
    Put(chatFile, ChatJson("bad", "2025-01-05", bad));

    const auto loaded = Storage::LoadCharacters(nullptr, 1);
    ASSERT_EQ(loaded.size(), 1u);
    const auto repaired = [](const std::wstring& file) {
        std::string text;
        EXPECT_TRUE(Files::ReadTextUtf8(file, text));
        return text;
    };
    auto expected = Character::FromJsonText(repaired(characterFile));
    auto chat = Chat::FromJsonText(repaired(chatFile));
    ASSERT_TRUE(expected && chat);
    expected->folder = loaded.front()->folder;
    expected->chats->push_back(chat);
    EXPECT_EQ(loaded.front()->persona_overrides.size(), 1u);
    FieldDump dump(data_);
    EXPECT_EQ(dump.Of(loaded, {}), dump.Of({expected}, {}));
}

// Records are built straight from the files' text: what a load gives of the awkward cases, every
// field of it, is what the value tree and its readers gave (the expected text below was written
// by them).
TEST_F(StoreTest, TheAwkwardFolderLoadsFieldForFieldAsBefore) {
    PutAwkwardFolder(data_);
    const FixedClock clock;
    size_t skipped = 0;
    const auto characters = Storage::LoadCharacters(&skipped, 1);
    const auto personas = Storage::LoadPersonas(&skipped, 1);
    // The two characters of awkward texts and members, with their chats, and every persona.
    std::vector<std::shared_ptr<Character>> awkward;
    std::copy_if(characters.begin(), characters.end(), std::back_inserter(awkward),
                 [](const auto& character) { return character->id == L"ana" || character->id == L"odd"; });
    const std::string fields = FieldDump(data_).Of(awkward, personas);
    EXPECT_EQ(skipped, 14u);
    EXPECT_EQ(fields, kAwkwardFields);

    // Read through a value tree (as pulled items are), the same files give the same fields, and
    // the same files are refused.
    FieldDump dump(data_);
    const auto one = [](std::shared_ptr<Character> character) {
        return std::vector<std::shared_ptr<Character>>{std::move(character)};
    };
    std::vector<std::wstring> files = Files::ListFiles(Data(L"characters\\Odd\\chats"), L"*.json", false);
    files.push_back(Data(L"characters\\Odd\\character.json"));
    files.push_back(Data(L"personas\\odd.json"));
    for (const std::wstring& file : files) {
        SCOPED_TRACE(Text::ToUtf8(file));
        std::string text;
        ASSERT_TRUE(Files::ReadTextUtf8(file, text));
        bool parsed = false;
        const Json::Value tree = Json::Value::Parse(text, &parsed);
        const bool isObject = parsed && tree.kind == Json::Type::Object;
        if (file.ends_with(L"character.json")) {
            ASSERT_TRUE(isObject);
            EXPECT_EQ(dump.Of(one(Character::FromJsonText(text)), {}), dump.Of(one(Character::FromJson(tree)), {}));
        } else if (file.ends_with(L"odd.json")) {
            ASSERT_TRUE(isObject);
            EXPECT_EQ(dump.Of({}, {Persona::FromJsonText(text)}), dump.Of({}, {Persona::FromJson(tree)}));
        } else if (!isObject) {
            EXPECT_EQ(Chat::FromJsonText(text), nullptr);
        } else {
            auto fromText = std::make_shared<Character>();
            fromText->chats->push_back(Chat::FromJsonText(text));
            auto fromTree = std::make_shared<Character>();
            fromTree->chats->push_back(Chat::FromJson(tree));
            ASSERT_NE(fromText->chats->front(), nullptr);
            EXPECT_EQ(dump.Of(one(fromText), {}), dump.Of(one(fromTree), {}));
        }
    }
}

// Ids become file names; one that is not a plain token must neither load nor reach the disk.
TEST_F(StoreTest, UnsafeIdsNeverLeaveTheDataFolder) {
    Put(Data(L"characters\\Evil\\character.json"), R"({"id": "..\\..\\evil", "name": "Evil"})");
    Put(Data(L"characters\\Good\\character.json"), R"({"id": "good"})");
    Put(Data(L"characters\\Good\\chats\\a.json"), R"({"id": "..\\..\\..\\x", "timestamp": "1"})");
    Put(Data(L"characters\\Good\\chats\\b.json"), R"({"id": "NUL", "timestamp": "1"})");
    Put(Data(L"characters\\Good\\chats\\c.json"), R"({"id": "c", "timestamp": "1"})");
    Put(Data(L"personas\\x.json"), R"({"id": "../x"})");

    size_t skipped = 0;
    const auto characters = Storage::LoadCharacters(&skipped);
    EXPECT_EQ(skipped, 3u);
    ASSERT_EQ(characters.size(), 1u);
    EXPECT_EQ(characters[0]->id, L"good");
    EXPECT_EQ(ChatIds(*characters[0]), (std::vector<std::wstring>{L"c"}));
    EXPECT_TRUE(Storage::LoadPersonas(&skipped).empty());
    EXPECT_EQ(skipped, 4u);

    // Writing: the safe chat is still written, the unsafe one is not, and the save says so.
    Character& good = *characters[0];
    good.chats->push_back(MakeChat(L"..\\..\\..\\escaped", L"2"));
    EXPECT_FALSE(Storage::SaveCharacter(good));
    EXPECT_TRUE(Files::IsFile(Data(L"characters\\Good\\chats\\c.json")));
    EXPECT_FALSE(Storage::SaveChat(good, *good.chats->back()));

    Character evil;
    evil.id = L"..\\evil";
    EXPECT_FALSE(Storage::SaveCharacter(evil));
    EXPECT_TRUE(evil.folder.empty());

    Persona persona;
    persona.id = L"..\\..\\escaped";
    EXPECT_FALSE(Storage::SavePersona(persona));
    EXPECT_TRUE(persona.path.empty());

    // "..\character" inside "chats" would name the character's own file.
    Chat sneaky;
    sneaky.id = L"..\\character";
    Storage::DeleteChatFile(good, sneaky);
    EXPECT_TRUE(Files::IsFile(Data(L"characters\\Good\\character.json")));

    EXPECT_EQ(Names(root_), (std::vector<std::wstring>{L"data\\"}));
    EXPECT_EQ(Names(Data(L"")), (std::vector<std::wstring>{L"characters\\", L"personas\\"}));
    EXPECT_EQ(Names(Data(L"characters")), (std::vector<std::wstring>{L"Evil\\", L"Good\\"}));
}

TEST_F(StoreTest, ImportImageCopiesOnlyPicturesFromOutsideTheStore) {
    Put(Root(L"pick.png"), "picture");
    Put(Data(L"images\\kept.png"), "already");
    Put(Data(L"images2\\sibling.png"), "sibling");
    ASSERT_TRUE(Files::EnsureDir(Root(L"folder.png")));

    EXPECT_EQ(Storage::ImportImage(L"", L""), L"");
    EXPECT_EQ(Storage::ImportImage(Root(L"missing.png"), L""), L"");
    EXPECT_EQ(Storage::ImportImage(Root(L"folder.png"), L""), L"");

    // Already in the store, in any letter case: the same path, nothing copied.
    std::wstring upper = Data(L"images\\kept.png");
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; });
    EXPECT_EQ(Storage::ImportImage(upper, L"persona_"), upper);
    EXPECT_EQ(Names(Data(L"images")), (std::vector<std::wstring>{L"kept.png"}));

    // From outside, and from a sibling folder whose name only starts like the store's.
    for (const std::wstring& source : {Root(L"pick.png"), Data(L"images2\\sibling.png")}) {
        const std::wstring stored = Storage::ImportImage(source, L"known_");
        ASSERT_FALSE(stored.empty()) << Text::ToUtf8(source);
        EXPECT_EQ(Files::ParentPath(stored), Data(L"images"));
        const std::wstring name = Files::FileName(stored);
        EXPECT_EQ(name.substr(0, 6), L"known_");
        EXPECT_EQ(name.size(), 6u + 36u + 4u);
        EXPECT_EQ(Files::Extension(stored), L".png");
        EXPECT_EQ(Content(stored), Content(source));
    }
    EXPECT_EQ(Names(Data(L"images")).size(), 3u);
}

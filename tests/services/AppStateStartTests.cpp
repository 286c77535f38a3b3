// The application state's start: loading, order, duo chat lists, the cloud callbacks, and the
// bookkeeping of pictures.

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using AppStateStart = AppStateTest;
using AppStateImages = AppStateTest;

std::shared_ptr<Chat> StampedChat(const std::wstring& id, const std::wstring& stamp) {
    auto chat = std::make_shared<Chat>();
    chat->id = id;
    chat->timestamp = stamp;
    return chat;
}

// A character written to disk only, for Initialize to find.
std::shared_ptr<Character> Stored(const std::wstring& name, std::vector<std::shared_ptr<Chat>> chats = {}) {
    auto character = Character::Create();
    character->name = name;
    for (auto& chat : chats) {
        character->chats->push_back(chat);
    }
    Storage::SaveCharacter(*character);
    return character;
}

std::vector<std::wstring> Names(const std::vector<std::shared_ptr<Character>>& characters) {
    std::vector<std::wstring> names;
    for (const auto& character : characters) {
        names.push_back(character->name);
    }
    return names;
}

std::vector<std::wstring> ChatIds(const Character& character) {
    std::vector<std::wstring> ids;
    for (const auto& chat : *character.chats) {
        ids.push_back(chat->id);
    }
    return ids;
}

TEST_F(AppStateStart, LoadsEverythingNewestActivityFirstAndCharactersWithoutChatsLast) {
    Stored(L"Old", {StampedChat(L"o1", L"2024-01-01T10:00:00")});
    Stored(L"Quiet1");
    Stored(L"New", {StampedChat(L"n1", L"2025-05-01T10:00:00")});
    Stored(L"Quiet2");
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->name = L"Zoe";
    Storage::SavePersona(*persona);
    persona->id = L"p2";
    persona->name = L"ana";
    persona->path.clear();
    Storage::SavePersona(*persona);
    // Without chats both quiet ones tie: they keep the order the store loaded them in.
    std::vector<std::wstring> quietOrder;
    for (const auto& loaded : Storage::LoadCharacters()) {
        if (loaded->chats->empty()) {
            quietOrder.push_back(loaded->name);
        }
    }

    state().Initialize();

    EXPECT_TRUE(IsFolder(Data(L"characters")));
    EXPECT_TRUE(IsFolder(Data(L"personas")));
    EXPECT_TRUE(IsFolder(Data(L"images")));
    EXPECT_EQ(Names(state().characters),
              (std::vector<std::wstring>{L"New", L"Old", quietOrder.at(0), quietOrder.at(1)}));
    ASSERT_EQ(state().personas.size(), 2u);
    EXPECT_EQ(state().personas[0]->name, L"ana");
    EXPECT_EQ(state().imageRefs.size(), 6u);  // one entry per record, also without pictures
    EXPECT_FALSE(state().currentCharacter);
    EXPECT_EQ(state().revision, 1);
    EXPECT_EQ(changes_, 1);
}

TEST_F(AppStateStart, DuoHalvesShareOneChatListAfterLoading) {
    // One pair where only one half has chat files, one where both hold chats of their own.
    auto lonely = Stored(L"Lonely", {StampedChat(L"l1", L"2025-01-01")});
    auto empty = Stored(L"Empty");
    auto left = Stored(L"Left", {StampedChat(L"shared", L"2025-02-01"), StampedChat(L"onlyLeft", L"2025-01-01")});
    auto right = Stored(L"Right", {StampedChat(L"onlyRight", L"2025-03-01"), StampedChat(L"shared", L"2025-02-01")});
    for (auto [a, b] : {std::pair{lonely, empty}, std::pair{left, right}}) {
        a->is_dual_mode = b->is_dual_mode = true;
        a->dual_partner_id = b->id;
        b->dual_partner_id = a->id;
        Storage::SaveCharacter(*a);
        Storage::SaveCharacter(*b);
    }

    state().Initialize();

    auto find = [](const std::wstring& name) {
        for (const auto& c : state().characters) {
            if (c->name == name) {
                return c;
            }
        }
        return std::shared_ptr<Character>();
    };
    EXPECT_EQ(find(L"Lonely")->chats, find(L"Empty")->chats);
    EXPECT_EQ(ChatIds(*find(L"Empty")), std::vector<std::wstring>{L"l1"});
    EXPECT_EQ(find(L"Left")->chats, find(L"Right")->chats);
    EXPECT_EQ(ChatIds(*find(L"Left")), (std::vector<std::wstring>{L"onlyRight", L"shared", L"onlyLeft"}));
}

TEST_F(AppStateStart, MergingDuoListsKeepsTheOpenChatsObjectOnAnIdHeldByBoth) {
    // Both halves hold their own object of the chat "shared"; the second half's is open. The
    // merged list must keep that object, or later lines of the open chat would never be written.
    auto left = Stored(L"Left", {StampedChat(L"shared", L"2025-02-01"), StampedChat(L"a", L"2025-01-01")});
    auto right = Stored(L"Right", {StampedChat(L"shared", L"2025-02-01"), StampedChat(L"b", L"2025-03-01")});
    left->is_dual_mode = right->is_dual_mode = true;
    left->dual_partner_id = right->id;
    right->dual_partner_id = left->id;
    state().characters = {left, right};
    const std::shared_ptr<Chat> leftShared = (*left->chats)[0];
    const std::shared_ptr<Chat> rightShared = (*right->chats)[0];

    state().currentChat = rightShared;
    state().LinkSharedChats();

    ASSERT_EQ(left->chats, right->chats);
    EXPECT_EQ(ChatIds(*left), (std::vector<std::wstring>{L"b", L"shared", L"a"}));
    EXPECT_EQ((*left->chats)[1], rightShared);

    // With neither object in use, the first half's stays.
    auto first = Stored(L"First", {StampedChat(L"x", L"2025-02-01")});
    auto second = Stored(L"Second", {StampedChat(L"x", L"2025-02-01")});
    first->is_dual_mode = second->is_dual_mode = true;
    first->dual_partner_id = second->id;
    second->dual_partner_id = first->id;
    state().characters = {first, second};
    const std::shared_ptr<Chat> firstX = (*first->chats)[0];
    state().LinkSharedChats();
    ASSERT_EQ(first->chats, second->chats);
    EXPECT_EQ((*first->chats)[0], firstX);
}

// After a crash between the two writes of a duo chat, or a write that failed in one folder, the
// halves hold two copies of one chat that differ; the next save overwrites the one not kept.
TEST_F(AppStateStart, MergingDuoListsKeepsTheCopyWithTheNewerSettledLineThenTheLongerOne) {
    auto line = [](const std::wstring& stamp, bool pending = false) {
        auto message = Message::Create(L"assistant", stamp);
        message->timestamp = stamp;
        message->is_typing = pending;
        return message;
    };
    struct Case {
        const char* what;
        std::vector<std::shared_ptr<Message>> first;  // the copy in the half listed first
        std::vector<std::shared_ptr<Message>> second;
        bool secondKept;
        bool firstOpen = false;
    };
    const Case cases[] = {
        {"the second's newest line is newer", {line(L"1"), line(L"2")}, {line(L"1"), line(L"2"), line(L"3")}, true},
        {"the first's newest line is newer, though shorter",
         {line(L"1"), line(L"5")},
         {line(L"1"), line(L"2"), line(L"3")},
         false},
        {"a pending line is not settled", {line(L"1"), line(L"2")}, {line(L"1"), line(L"3", true)}, false},
        {"equal newest lines: the longer", {line(L"1"), line(L"2")}, {line(L"1"), line(L"0"), line(L"2")}, true},
        {"equal copies: the first", {line(L"1")}, {line(L"1")}, false},
        {"the open chat stays, though older", {line(L"1")}, {line(L"1"), line(L"2")}, false, true},
    };
    for (const Case& c : cases) {
        auto first = Character::Create();
        auto second = Character::Create();
        first->is_dual_mode = second->is_dual_mode = true;
        first->dual_partner_id = second->id;
        second->dual_partner_id = first->id;
        auto firstCopy = StampedChat(L"x", L"2025-01-01");
        firstCopy->messages = c.first;
        auto secondCopy = StampedChat(L"x", L"2025-01-01");
        secondCopy->messages = c.second;
        first->chats->push_back(firstCopy);
        second->chats->push_back(secondCopy);
        state().characters = {first, second};
        state().currentChat = c.firstOpen ? firstCopy : nullptr;

        state().LinkSharedChats();

        ASSERT_EQ(first->chats, second->chats) << c.what;
        ASSERT_EQ(first->chats->size(), 1u) << c.what;
        EXPECT_EQ(first->chats->front(), c.secondKept ? secondCopy : firstCopy) << c.what;
    }
}

TEST_F(AppStateStart, ADuoStaysOneAcrossRestartsAndDeletingItsChatsEmptiesBothFolders) {
    auto first = Character::Create();
    first->name = L"Uno";
    first->initial_message = L"Hola";
    auto second = Character::Create();
    second->name = L"Dos";
    state().CreateDuo(first, second);
    ASSERT_EQ(first->chats->size(), 1u);
    const auto chat = first->chats->front();
    EXPECT_TRUE(Exists(ChatFile(*first, *chat)));
    EXPECT_TRUE(Exists(ChatFile(*second, *chat)));

    Services::AppState::ResetForTesting();
    state().Initialize();
    ASSERT_EQ(state().characters.size(), 2u);
    auto one = state().characters[0];
    auto two = state().characters[1];
    ASSERT_EQ(one->chats, two->chats);
    EXPECT_EQ(ChatIds(*one), std::vector<std::wstring>{chat->id});

    state().DeleteAllChats(two);
    EXPECT_TRUE(one->chats->empty());
    EXPECT_FALSE(Exists(ChatFile(*one, *chat)));
    EXPECT_FALSE(Exists(ChatFile(*two, *chat)));

    Services::AppState::ResetForTesting();
    state().Initialize();
    ASSERT_EQ(state().characters.size(), 2u);
    EXPECT_TRUE(state().characters[0]->chats->empty());
    EXPECT_TRUE(state().characters[1]->chats->empty());
}

TEST_F(AppStateStart, InstallsTheCloudCallbacks) {
    SignIn();
    Stored(L"Ana", {StampedChat(L"a1", L"2025-01-01")});
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->name = L"Yo";
    Storage::SavePersona(*persona);
    state().Initialize();
    const std::wstring ana = state().characters[0]->id;

    cloud().onMergeNeeded();
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"persona:p1", L"character:" + ana, L"chat:" + ana + L":a1"}));

    state().characters[0]->photoPath = Images(L"Face.PNG");
    EXPECT_EQ(cloud().imageNames(), std::set<std::wstring>{L"face.png"});

    Services::CloudSync::RemoteItem row;
    row.kind = L"persona";
    row.id = L"p2";
    row.data = Json::Value(Json::Object{{"name", Json::Value(L"Otra")}});
    cloud().onPulled({row});
    EXPECT_EQ(state().personas.size(), 2u);
}

TEST_F(AppStateImages, StartDeletesOnlyPicturesNothingUses) {
    SignIn();
    Put(Images(L"used.png"));
    Put(Images(L"Known.PNG"));
    Put(Images(L"avatar.png"));
    Put(Images(L"stray.png"));
    ASSERT_TRUE(Files::EnsureDir(Images(L"folder")));
    cloud().account.avatarFile = L"AVATAR.png";
    cloud().uploaded.insert(L"stray.png");
    auto character = Stored(L"Ana");
    character->photoPath = Images(L"used.png");
    Storage::SaveCharacter(*character);
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->known_characters.resize(1);
    persona->known_characters[0].photoPath = Images(L"known.png");  // another letter case
    Storage::SavePersona(*persona);

    state().Initialize();

    EXPECT_TRUE(Exists(Images(L"used.png")));
    EXPECT_TRUE(Exists(Images(L"Known.PNG")));
    EXPECT_TRUE(Exists(Images(L"avatar.png")));
    EXPECT_TRUE(IsFolder(Images(L"folder")));
    EXPECT_FALSE(Exists(Images(L"stray.png")));
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-image:stray.png"});
}

// A record file that cannot be loaded hides the pictures it names: they must not be taken for
// unused ones, or repairing the file later brings the record back without them.
TEST_F(AppStateImages, ARecordFileLeftOutAtStartKeepsEveryPicture) {
    struct Case {
        const char* what;
        const wchar_t* path;  // under the data folder
        const char* bytes;
        bool held = false;  // opened without sharing, as an antivirus or a sync tool may
    };
    const Case cases[] = {
        {"torn character.json", L"characters\\Hidden\\character.json", R"({"id": "hidden", "photoPath": "C:)"},
        {"character.json held open", L"characters\\Hidden\\character.json", R"({"id": "hidden"})", true},
        {"folder without its character.json", L"characters\\Hidden\\chats\\c.json", R"({"id": "c"})"},
        {"character with an unsafe id", L"characters\\Hidden\\character.json", R"({"id": "..\\hidden"})"},
        {"torn chat of a loaded character", L"characters\\Ana\\chats\\c.json", R"({"id": "c", "mess)"},
        {"torn persona", L"personas\\p.json", R"({"id": "p", "na)"},
        {"persona with an unsafe id", L"personas\\p.json", R"({"id": "NUL"})"},
    };
    for (const Case& c : cases) {
        SignIn();
        cloud().uploaded.insert(L"hidden.png");
        Put(Images(L"hidden.png"));
        Stored(L"Ana");
        Put(Data(c.path), c.bytes);
        {
            std::optional<HeldFile> held;
            if (c.held) {
                held.emplace(Data(c.path), GENERIC_READ, 0);
            }

            state().Initialize();
        }

        EXPECT_TRUE(Exists(Images(L"hidden.png"))) << c.what;
        EXPECT_TRUE(QueueOrder().empty()) << c.what;
        EXPECT_EQ(Names(state().characters), std::vector<std::wstring>{L"Ana"}) << c.what;
        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        ASSERT_TRUE(Files::RemoveTree(Data(L"characters")));
        ASSERT_TRUE(Files::RemoveTree(Data(L"personas")));
    }

    // With nothing left out the same start deletes the picture.
    SignIn();
    cloud().uploaded.insert(L"hidden.png");
    Stored(L"Ana");
    state().Initialize();
    EXPECT_FALSE(Exists(Images(L"hidden.png")));
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-image:hidden.png"});
}

// A picture an older version kept under a name the bucket refuses takes a plain name at a signed-in
// start. The old name may go only once every record naming it was written on the new one: a
// record whose file cannot be written (here a folder stands where its ".tmp" goes, which fails the
// write as a full disk or a file another program holds does) stays on the old name with its
// picture, and a later start tries again. Records sharing the picture that were written share its one new name.
TEST_F(AppStateImages, APictureTakesAPlainNameOnlyInTheRecordsThatCouldBeWritten) {
    enum class Holder { Character, CharactersKnown, Persona, PersonasKnown };
    struct User {
        Holder holder;
        bool refused;  // the record's file cannot be written

        bool Own() const { return holder == Holder::Character || holder == Holder::Persona; }
        bool OnCharacter() const { return holder == Holder::Character || holder == Holder::CharactersKnown; }
    };
    struct Case {
        const char* what;
        std::vector<User> users;  // each a record of its own naming the picture
    };
    const Case cases[] = {
        {"character, written", {{Holder::Character, false}}},
        {"character, refused", {{Holder::Character, true}}},
        {"known person of a character, refused", {{Holder::CharactersKnown, true}}},
        {"persona, refused", {{Holder::Persona, true}}},
        {"known person of a persona, refused", {{Holder::PersonasKnown, true}}},
        {"character and a persona's known person, both written",
         {{Holder::Character, false}, {Holder::PersonasKnown, false}}},
        {"character refused, persona written", {{Holder::Character, true}, {Holder::Persona, false}}},
        {"character written, known person of a persona refused",
         {{Holder::Character, false}, {Holder::PersonasKnown, true}}},
    };
    const std::wstring old = L"niña.png";
    const std::string bytes = "la foto de la niña";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SignIn();
        Put(Images(old), bytes);
        std::vector<std::wstring> ids;
        std::vector<std::wstring> blocks;
        const auto namePicture = [&](const User& user, auto& record) {
            if (user.Own()) {
                record.photoPath = Images(old);
            } else {
                record.known_characters.resize(1);
                record.known_characters[0].photoPath = Images(old);
            }
        };
        for (const User& user : c.users) {
            std::wstring file;
            if (user.OnCharacter()) {
                auto character = Character::Create();
                character->name = L"Ana";
                namePicture(user, *character);
                ASSERT_TRUE(Storage::SaveCharacter(*character));
                ids.push_back(character->id);
                file = Files::JoinPath(character->folder, L"character.json");
            } else {
                auto persona = std::make_shared<Persona>();
                persona->id = L"p" + std::to_wstring(ids.size());
                namePicture(user, *persona);
                ASSERT_TRUE(Storage::SavePersona(*persona));
                ids.push_back(persona->id);
                file = persona->path;
            }
            if (user.refused) {
                blocks.push_back(file + L".tmp");
                ASSERT_TRUE(Files::EnsureDir(blocks.back()));
            }
        }
        // An upload of the old name an earlier run queued.
        cloud().QueueImageFile(Images(old));

        // The picture each record names, in memory or as its file holds it.
        const auto photoOf = [&](const User& user, const std::wstring& id, bool fromDisk) -> std::wstring {
            const auto pick = [&](const auto& record) {
                const auto& photo = user.Own() ? record.photoPath : record.known_characters.at(0).photoPath;
                return Files::FileName(photo.value_or(L""));
            };
            if (user.OnCharacter()) {
                for (const auto& character : fromDisk ? Storage::LoadCharacters() : state().characters) {
                    if (character->id == id) {
                        return pick(*character);
                    }
                }
            } else {
                for (const auto& persona : fromDisk ? Storage::LoadPersonas() : state().personas) {
                    if (persona->id == id) {
                        return pick(*persona);
                    }
                }
            }
            return L"<no record>";
        };
        // Every record on the picture it should name, and every named picture there and whole.
        const auto expectPictures = [&](bool refusalsHold) {
            std::set<std::wstring> plainNames;
            for (size_t n = 0; n < c.users.size(); ++n) {
                for (const bool fromDisk : {false, true}) {
                    const std::wstring name = photoOf(c.users[n], ids[n], fromDisk);
                    if (c.users[n].refused && refusalsHold) {
                        EXPECT_EQ(name, old) << "record " << n << (fromDisk ? " on disk" : " in memory");
                    } else {
                        EXPECT_TRUE(Services::CloudSync::IsStorageSafeName(name)) << Text::ToUtf8(name);
                        plainNames.insert(name);
                    }
                    EXPECT_EQ(Content(Images(name)), bytes) << Text::ToUtf8(name);
                }
            }
            std::set<std::wstring> held;
            for (const std::wstring& path : Files::ListFiles(Paths::ImagesDir(), L"*", false)) {
                held.insert(Files::FileName(path));
            }
            std::set<std::wstring> named = plainNames;
            if (refusalsHold && !blocks.empty()) {
                named.insert(old);
            }
            EXPECT_EQ(held, named);
            return plainNames;
        };

        state().Initialize();
        const std::set<std::wstring> plain = expectPictures(true);
        // Those written share one new name, queued for upload; the old name's upload stays queued
        // while a record still names it.
        EXPECT_LE(plain.size(), 1u);
        const std::vector<std::wstring> queue = QueueOrder();
        const auto queued = [&](const std::wstring& name) {
            return std::count(queue.begin(), queue.end(), L"image:" + name) == 1;
        };
        EXPECT_EQ(queued(old), !blocks.empty());
        for (const std::wstring& name : plain) {
            EXPECT_TRUE(queued(name)) << Text::ToUtf8(name);
        }

        // The next start, with the files still refused, loses nothing either.
        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        SignIn();
        state().Initialize();
        expectPictures(true);

        // Once the files can be written, a start gives every record a plain name.
        for (const std::wstring& block : blocks) {
            ASSERT_TRUE(Files::RemoveTree(block));
        }
        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        SignIn();
        state().Initialize();
        expectPictures(false);

        Services::AppState::ResetForTesting();
        Services::CloudSync::ResetForTesting();
        for (const wchar_t* folder : {L"characters", L"personas", L"images"}) {
            ASSERT_TRUE(Files::RemoveTree(Data(folder)));
        }
    }
}

TEST_F(AppStateImages, ReleaseDeletesOnlyUnusedPicturesInsideTheImagesFolder) {
    SignIn();
    state().Initialize();
    Put(Data(L"outside.png"));
    Put(Images(L"shared.png"));
    Put(Images(L"free.png"));
    Put(Images(L"quiet.png"));
    cloud().uploaded = {L"free.png", L"quiet.png"};
    auto other = AddCharacter(L"Otro");
    other->known_characters.resize(1);
    other->known_characters[0].photoPath = Images(L"SHARED.png");

    state().ReleaseImage(Data(L"outside.png"), true);
    state().ReleaseImage(Images(L"shared.png"), true);
    state().ReleaseImage(Images(L"free.png"), true);
    state().ReleaseImage(Images(L"quiet.png"), false);

    EXPECT_TRUE(Exists(Data(L"outside.png")));
    EXPECT_TRUE(Exists(Images(L"shared.png")));
    EXPECT_FALSE(Exists(Images(L"free.png")));
    EXPECT_FALSE(Exists(Images(L"quiet.png")));
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-image:free.png"});
}

TEST_F(AppStateImages, SetImagesReleasesWhatTheOwnerDroppedAndForgetImagesAllOfIt) {
    state().Initialize();
    for (const wchar_t* name : {L"a.png", L"b.png", L"c.png"}) {
        Put(Images(name));
    }
    state().SetImages(L"owner", {Images(L"a.png"), Images(L"b.png")}, false);

    // The same picture written in another letter case is still the same picture.
    std::wstring upperA = Images(L"A.PNG");
    state().SetImages(L"owner", {upperA, Images(L"c.png")}, false);
    EXPECT_TRUE(Exists(Images(L"a.png")));
    EXPECT_FALSE(Exists(Images(L"b.png")));
    EXPECT_EQ(state().imageRefs.at(L"owner"), (std::vector<std::wstring>{upperA, Images(L"c.png")}));

    state().ForgetImages(L"owner", false);
    EXPECT_FALSE(Exists(Images(L"a.png")));
    EXPECT_FALSE(Exists(Images(L"c.png")));
    EXPECT_EQ(state().imageRefs.count(L"owner"), 0u);
}

TEST_F(AppStateImages, KnownPhotosAreKeptInsideTheFolderAndDroppedWhenMissing) {
    Put(Images(L"in.png"));
    std::vector<KnownCharacter> known(3);
    known[0].photoPath = Images(L"in.png");
    known[1].photoPath = Data(L"gone.png");
    // known[2] has no photo

    state().StoreKnownImages(known);

    EXPECT_EQ(known[0].photoPath, Images(L"in.png"));
    EXPECT_FALSE(known[1].photoPath.has_value());
    EXPECT_FALSE(known[2].photoPath.has_value());
}

TEST(AppStateNames, NameOrderComparesLowerCasedUnitsAndPutsPrefixesFirst) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool less;
    } cases[] = {
        {L"ana", L"Bea", true},
        {L"Bea", L"ana", false},
        {L"Ana", L"ana", false},
        {L"ana", L"Ana", false},
        {L"An", L"ana", true},
        {L"", L"a", true},
        // 'Z' sorts before '[' but 'z' after it: the names are compared lower-cased.
        {L"Zoe", L"[x]", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Services::AppState::NameLessText(c.a, c.b), c.less)
            << Text::ToUtf8(c.a) << " < " << Text::ToUtf8(c.b);
    }
}

}  // namespace
}  // namespace Lorvex::Testing

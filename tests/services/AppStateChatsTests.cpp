// Opening, creating, saving and deleting characters, duos, personas and chats.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/services/AppStateTestSupport.h"

namespace Lorvex::Testing {
namespace {

using AppStateChats = AppStateTest;
using AppStateDuos = AppStateTest;
using AppStatePersonas = AppStateTest;

std::vector<std::wstring> ChatIds(const Character& character) {
    std::vector<std::wstring> ids;
    for (const auto& chat : *character.chats) {
        ids.push_back(chat->id);
    }
    return ids;
}

TEST_F(AppStateChats, OpeningACharacterWithoutChatsStartsOneWithItsGreeting) {
    SignIn();
    auto persona = AddPersona(L"p1", L"Yo");
    auto ana = AddCharacter(L"Ana", L"¡Hola!");
    auto mute = AddCharacter(L"Muda");

    state().OpenCharacter(ana);

    ASSERT_EQ(ana->chats->size(), 1u);
    const auto chat = state().currentChat;
    ASSERT_EQ(chat, ana->chats->front());
    EXPECT_EQ(Lines(*chat), std::vector<std::wstring>{L"assistant:¡Hola!"});
    // Outside a duo the greeting names nobody.
    EXPECT_FALSE(chat->messages[0]->character_id.has_value());
    EXPECT_FALSE(chat->messages[0]->character_name.has_value());
    EXPECT_EQ(chat->persona_id, L"p1");
    EXPECT_EQ(state().currentPersona, persona);
    EXPECT_FALSE(state().dualMode);
    EXPECT_EQ(FileLines(*ana, *chat), std::vector<std::wstring>{L"assistant:¡Hola!"});
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"chat:" + ana->id + L":" + chat->id});

    // No greeting text, no greeting line.
    state().OpenCharacter(mute);
    ASSERT_EQ(mute->chats->size(), 1u);
    EXPECT_TRUE(mute->chats->front()->messages.empty());
}

TEST_F(AppStateChats, OpeningACharacterSelectsItsNewestChat) {
    auto ana = AddCharacter(L"Ana");
    auto newer = Chat::Create();
    auto older = Chat::Create();
    ana->chats->assign({newer, older});
    const int before = state().revision;

    state().OpenCharacter(ana);

    EXPECT_EQ(state().currentChat, newer);
    EXPECT_EQ(ana->chats->size(), 2u);
    EXPECT_EQ(state().revision, before + 1);
}

TEST_F(AppStateChats, SelectingAChatFollowsItsPersona) {
    auto first = AddPersona(L"p1", L"Uno");
    auto second = AddPersona(L"p2", L"Dos");
    auto ana = AddCharacter(L"Ana");
    state().currentCharacter = ana;
    struct Case {
        const char* what;
        std::shared_ptr<Persona> before;
        std::optional<std::wstring> personaId;
        std::shared_ptr<Persona> after;
    } cases[] = {
        {"named persona", first, L"p2", second},
        {"unknown id: played with none", first, L"gone", nullptr},
        {"no id keeps the chosen one", second, std::nullopt, second},
        {"no id and none chosen takes the first", nullptr, std::nullopt, first},
    };
    for (const Case& c : cases) {
        auto chat = Chat::Create();
        chat->persona_id = c.personaId;
        state().currentPersona = c.before;
        state().SelectChat(chat);
        EXPECT_EQ(state().currentPersona, c.after) << c.what;
        EXPECT_EQ(chat->persona_id, c.personaId) << c.what;
        EXPECT_EQ(state().currentChat, chat) << c.what;
    }
}

TEST_F(AppStateChats, ClosingSavesTheChatAndKeepsThePersona) {
    auto persona = AddPersona(L"p1", L"Yo");
    auto ana = AddCharacter(L"Ana", L"Hola");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;
    chat->messages.push_back(Line(L"user", L"sin guardar"));

    state().CloseChat();

    EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"assistant:Hola", L"user:sin guardar"}));
    EXPECT_FALSE(state().currentCharacter);
    EXPECT_FALSE(state().currentChat);
    EXPECT_EQ(state().currentPersona, persona);
}

TEST_F(AppStateChats, ChangingTheChatPersonaSavesTheChat) {
    auto persona = AddPersona(L"p1", L"Yo");
    auto ana = AddCharacter(L"Ana");
    state().OpenCharacter(ana);
    const auto chat = state().currentChat;

    state().SetChatPersona(nullptr);
    EXPECT_FALSE(chat->persona_id.has_value());
    EXPECT_FALSE(state().currentPersona);
    Json::Value file;
    ASSERT_TRUE(Storage::ReadJsonFile(ChatFile(*ana, *chat), file));
    EXPECT_TRUE(file.Find("persona_id").kind == Json::Type::Null);

    state().SetChatPersona(persona);
    ASSERT_TRUE(Storage::ReadJsonFile(ChatFile(*ana, *chat), file));
    EXPECT_EQ(file.Find("persona_id").AsWString(), L"p1");
}

// A chat that cannot be written is reported once per run of failed writes, however many changes
// try to save it meanwhile; the chat in memory stays whole, and once the fault is gone the next
// save writes everything.
TEST_F(AppStateChats, AChatThatCannotBeWrittenIsReportedOnceAndSavedOnceItCanBe) {
    struct Fault {
        const char* what;
        // Sets the fault up for the chat file at this path; returns what takes it away again.
        std::function<std::function<void()>(const std::wstring& file)> make;
    };
    const Fault faults[] = {
        {"file held open by another program",
         [](const std::wstring& file) -> std::function<void()> {
             auto held = std::make_shared<HeldFile>(file, GENERIC_READ | GENERIC_WRITE, 0);
             return [held] { held->Close(); };
         }},
        {"chats folder gone, a file in its place",
         [](const std::wstring& file) -> std::function<void()> {
             const std::wstring folder = Files::ParentPath(file);
             Files::RemoveTree(folder);
             EXPECT_TRUE(Files::WriteBytes(folder, "not a folder"));
             return [folder] { Files::RemoveFile(folder); };
         }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        Services::AppState::ResetForTesting();
        int reported = 0;
        state().OnChatSaveFailed = [&reported] { ++reported; };
        state().manualReplies = true;
        auto ana = AddCharacter(L"Ana");
        state().OpenCharacter(ana);
        const auto chat = state().currentChat;
        const std::wstring file = ChatFile(*ana, *chat);
        ASSERT_TRUE(Exists(file));

        std::function<void()> clear = fault.make(file);
        state().SendMessage(L"uno");
        EXPECT_EQ(reported, 1);
        state().SendMessage(L"dos");
        EXPECT_FALSE(state().SaveCurrentChat());
        EXPECT_EQ(reported, 1);
        EXPECT_EQ(state().currentChat, chat);
        EXPECT_EQ(Lines(*chat), (std::vector<std::wstring>{L"user:uno", L"user:dos"}));

        clear();
        EXPECT_TRUE(state().SaveCurrentChat());
        EXPECT_EQ(FileLines(*ana, *chat), (std::vector<std::wstring>{L"user:uno", L"user:dos"}));
        EXPECT_EQ(reported, 1);

        // After a good save the next fault is news again.
        clear = fault.make(file);
        state().SendMessage(L"tres");
        EXPECT_EQ(reported, 2);
        clear();
        EXPECT_TRUE(state().SaveCurrentChat());
        EXPECT_EQ(FileLines(*ana, *chat).back(), L"user:tres");
    }
}

TEST_F(AppStateChats, SavingACharacterKeepsOnlyPicturesItCanStoreAndReleasesTheOldPhoto) {
    SignIn();
    Put(Images(L"old.png"));
    Put(Images(L"new.png"));
    cloud().uploaded.insert(L"old.png");
    auto ana = AddCharacter(L"Ana");
    ana->photoPath = Images(L"old.png");
    state().SaveCharacter(ana);
    cloud().pending.clear();

    ana->photoPath = Images(L"new.png");
    ana->known_characters.resize(1);
    ana->known_characters[0].photoPath = Data(L"nowhere.png");
    state().SaveCharacter(ana);

    EXPECT_FALSE(ana->known_characters[0].photoPath.has_value());
    EXPECT_FALSE(Exists(Images(L"old.png")));
    EXPECT_EQ(state().imageRefs.at(ana->id), std::vector<std::wstring>{Images(L"new.png")});
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"image:new.png", L"character:" + ana->id, L"-image:old.png"}));
    Json::Value file;
    ASSERT_TRUE(Storage::ReadJsonFile(Files::JoinPath(ana->folder, L"character.json"), file));
    EXPECT_EQ(file.Find("photoPath").AsWString(), Images(L"new.png"));
}

TEST_F(AppStateDuos, CreatingADuoSharesOneGreetingChatAndQueuesPicturesFirst) {
    SignIn();
    AddPersona(L"p1", L"Yo");
    Put(Images(L"uno.png"));
    auto other = AddCharacter(L"Otro");
    auto first = Character::Create();
    first->name = L"Uno";
    first->initial_message = L"Hola";
    first->photoPath = Images(L"uno.png");
    auto second = Character::Create();
    second->name = L"Dos";

    state().CreateDuo(first, second);

    ASSERT_EQ(state().characters.size(), 3u);
    EXPECT_EQ(state().characters[0], first);
    EXPECT_EQ(state().characters[1], second);
    EXPECT_EQ(state().characters[2], other);
    EXPECT_EQ(first->chats, second->chats);
    EXPECT_EQ(first->dual_partner_id, second->id);
    EXPECT_EQ(second->dual_partner_id, first->id);
    EXPECT_TRUE(first->is_dual_mode && second->is_dual_mode);
    ASSERT_EQ(first->chats->size(), 1u);
    const auto chat = first->chats->front();
    EXPECT_EQ(chat->persona_id, L"p1");
    ASSERT_EQ(chat->messages.size(), 1u);
    EXPECT_EQ(chat->messages[0]->character_id, first->id);
    EXPECT_EQ(chat->messages[0]->character_name, L"Uno");
    EXPECT_EQ(FileLines(*second, *chat), std::vector<std::wstring>{L"assistant:Hola"});
    EXPECT_FALSE(state().currentCharacter);
    const std::wstring f = first->id;
    const std::wstring s = second->id;
    const std::wstring c = chat->id;
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"image:uno.png", L"character:" + f, L"chat:" + f + L":" + c,
                                                       L"character:" + s, L"chat:" + s + L":" + c}));
}

TEST_F(AppStateDuos, DeletingOneHalfLeavesTheOtherASingleCharacterWithEveryChat) {
    SignIn();
    Put(Images(L"uno.png"));
    auto [first, second] = MakeDuo();
    first->photoPath = Images(L"uno.png");
    state().SaveCharacter(first);
    state().OpenCharacter(second);
    state().NewChat();
    ASSERT_EQ(first->chats->size(), 2u);
    const std::wstring f = first->id;
    const std::wstring s = second->id;
    const std::wstring newer = (*first->chats)[0]->id;
    const std::wstring older = (*first->chats)[1]->id;
    const std::wstring firstFolder = first->folder;
    const auto sharedList = first->chats;
    state().CloseChat();
    cloud().pending.clear();
    cloud().uploaded.insert(L"uno.png");

    state().DeleteCharacter(first);

    EXPECT_FALSE(Exists(firstFolder));
    EXPECT_FALSE(Exists(Images(L"uno.png")));
    ASSERT_EQ(state().characters, std::vector<std::shared_ptr<Character>>{second});
    EXPECT_FALSE(second->is_dual_mode);
    EXPECT_FALSE(second->dual_partner_id.has_value());
    EXPECT_EQ(ChatIds(*second), (std::vector<std::wstring>{newer, older}));
    EXPECT_NE(second->chats, sharedList);  // no longer shared with the deleted record
    EXPECT_EQ(QueueOrder(),
              (std::vector<std::wstring>{L"-chat:" + f + L":" + newer, L"-chat:" + f + L":" + older, L"-character:" + f,
                                         L"character:" + s, L"chat:" + s + L":" + newer, L"chat:" + s + L":" + older,
                                         L"-image:uno.png"}));
    Json::Value file;
    ASSERT_TRUE(Storage::ReadJsonFile(Files::JoinPath(second->folder, L"character.json"), file));
    EXPECT_FALSE(file.Find("is_dual_mode").AsBool(true));
}

TEST_F(AppStateDuos, ANewChatInADuoNamesTheOpeningCharacterAndReachesBothFolders) {
    auto [first, second] = MakeDuo();
    state().OpenCharacter(second);
    EXPECT_TRUE(state().dualMode);
    EXPECT_EQ(state().dualPartner, first);
    EXPECT_EQ(state().participantIds, (std::vector<std::wstring>{second->id, first->id}));

    const auto chat = state().NewChat();

    EXPECT_EQ(first->chats->front(), chat);
    EXPECT_TRUE(chat->messages.empty());  // the second half has no greeting text
    first->initial_message.clear();
    second->initial_message = L"Soy Dos";
    const auto greeted = state().NewChat();
    ASSERT_EQ(greeted->messages.size(), 1u);
    EXPECT_EQ(greeted->messages[0]->character_id, second->id);
    EXPECT_EQ(greeted->messages[0]->character_name, L"Dos");
    EXPECT_TRUE(Exists(ChatFile(*first, *greeted)));
    EXPECT_TRUE(Exists(ChatFile(*second, *greeted)));
}

TEST_F(AppStateDuos, DeletingChatsOfAHalfDeletesThemForBothHalves) {
    SignIn();
    auto [first, second] = MakeDuo();
    state().OpenCharacter(first);
    const auto extra = state().NewChat();
    const auto original = (*first->chats)[1];
    cloud().pending.clear();

    state().DeleteChat(second, extra);
    EXPECT_EQ(ChatIds(*first), std::vector<std::wstring>{original->id});
    EXPECT_FALSE(Exists(ChatFile(*first, *extra)));
    EXPECT_FALSE(Exists(ChatFile(*second, *extra)));
    EXPECT_FALSE(state().currentChat);
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"-chat:" + first->id + L":" + extra->id,
                                                       L"-chat:" + second->id + L":" + extra->id}));

    cloud().pending.clear();
    state().SelectChat(original);
    state().DeleteAllChats(second);
    EXPECT_TRUE(first->chats->empty());
    EXPECT_EQ(first->chats, second->chats);
    EXPECT_FALSE(state().currentChat);
    EXPECT_FALSE(Exists(ChatFile(*first, *original)));
    EXPECT_FALSE(Exists(ChatFile(*second, *original)));
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"-chat:" + first->id + L":" + original->id,
                                                       L"-chat:" + second->id + L":" + original->id}));
}

TEST_F(AppStatePersonas, SavingKeepsTheObjectReplacesOneWithTheSameIdOrAppends) {
    SignIn();
    auto bea = AddPersona(L"p1", L"Bea");
    auto ana = AddPersona(L"p2", L"Ana");
    state().currentPersona = ana;

    bea->name = L"Beatriz";
    state().SavePersona(bea);  // the same object: stays where it is
    auto replacement = std::make_shared<Persona>();
    replacement->id = L"p2";
    replacement->name = L"Ana María";
    state().SavePersona(replacement);  // another object with a known id: takes its place
    auto carla = std::make_shared<Persona>();
    carla->id = L"p3";
    carla->name = L"Carla";
    state().SavePersona(carla);  // new: appended, the list is not re-sorted

    ASSERT_EQ(state().personas, (std::vector<std::shared_ptr<Persona>>{bea, replacement, carla}));
    EXPECT_EQ(state().currentPersona, replacement);
    EXPECT_EQ(Storage::LoadPersonas().size(), 3u);
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"persona:p1", L"persona:p2", L"persona:p3"}));
}

TEST_F(AppStatePersonas, DeletingRemovesTheFileThePicturesAndTheChoice) {
    SignIn();
    Put(Images(L"me.png"));
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->photoPath = Images(L"me.png");
    state().SavePersona(persona);
    state().currentPersona = persona;
    const std::wstring file = persona->path;
    ASSERT_TRUE(Exists(file));
    cloud().pending.clear();
    cloud().uploaded.insert(L"me.png");

    state().DeletePersona(persona);

    EXPECT_TRUE(state().personas.empty());
    EXPECT_FALSE(state().currentPersona);
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(Images(L"me.png")));
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"-persona:p1", L"-image:me.png"}));
}

// The forms tell the user "Cambios guardados" only when the files were written: the saves say
// whether they were, and a file another program holds open makes them say no.
TEST_F(AppStatePersonas, SavesReportWhetherTheirFilesWereWritten) {
    SignIn();
    auto ana = AddCharacter(L"Ana");
    EXPECT_TRUE(state().SaveCharacter(ana));
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->name = L"Bea";
    EXPECT_TRUE(state().SavePersona(persona));
    cloud().pending.clear();
    const auto queued = [&](const std::wstring& key) {
        const std::vector<std::wstring> order = QueueOrder();
        return std::count(order.begin(), order.end(), key);
    };
    const auto queuedAna = [&] { return queued(L"character:" + ana->id); };
    {
        HeldFile heldCharacter(Files::JoinPath(ana->folder, L"character.json"), GENERIC_READ | GENERIC_WRITE, 0);
        HeldFile heldPersona(persona->path, GENERIC_READ | GENERIC_WRITE, 0);
        EXPECT_FALSE(state().SaveCharacter(ana));
        EXPECT_FALSE(state().SavePersona(persona));
    }
    // The cloud is not sent a form the disk does not hold.
    EXPECT_EQ(queuedAna(), 0);
    EXPECT_EQ(queued(L"persona:p1"), 0);
    EXPECT_TRUE(state().SaveCharacter(ana));
    EXPECT_EQ(queuedAna(), 1);
    EXPECT_TRUE(state().SavePersona(persona));
    EXPECT_EQ(queued(L"persona:p1"), 1);
    EXPECT_FALSE(state().SaveCharacter(nullptr));
}

}  // namespace
}  // namespace Lorvex::Testing

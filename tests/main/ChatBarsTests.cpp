// The chat screen's conversation list and top bar on the real window, driven as a user drives
// them: selecting, starting, continuing and deleting chats, the persona card, the chat menu of a
// single character and of a duo, going home, the known people, and actions whose character is no
// longer the open one when they run.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharactersDialog.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/AgreedWithCloud.h"
#include "tests/support/FrameDriver.h"
#include "ui/Icons.h"
#include "ui/Ids.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;
using UI::Material::Icon;

// Frames this far apart: only where things come to rest matters, and every frame costs.
constexpr double kStep = 0.05;
constexpr wchar_t kGreeting[] = L"¡Hola! ¿Qué tal el viaje?";

// Ana with chats of three lines each, the newest first; Bruno without chats; Kai and Lola, a duo
// with one chat.
FrameDriver::Options Fixture(int anaChats) {
    FrameDriver::Options options = WindowWithPersona(true, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->initial_message = kGreeting;
    for (int i = 0; i < anaChats; ++i) {
        auto chat = Chat::Create();
        chat->timestamp = L"2025-03-0" + std::to_wstring(7 - i) + L"T1" + std::to_wstring(i) + L":30:00.0000000+01:00";
        chat->persona_id = L"persona-1";
        chat->messages = {Message::Create(L"assistant", kGreeting),
                          Message::Create(L"user", L"Línea " + std::to_wstring(i)),
                          Message::Create(L"assistant", L"Respuesta " + std::to_wstring(i))};
        ana->chats->push_back(chat);
    }
    options.characters.push_back(ana);

    auto bruno = Character::Create();
    bruno->name = L"Bruno";
    bruno->initial_message = L"Buenas.";
    options.characters.push_back(bruno);

    auto kai = Character::Create();
    auto lola = Character::Create();
    kai->name = L"Kai";
    lola->name = L"Lola";
    kai->is_dual_mode = lola->is_dual_mode = true;
    kai->dual_partner_id = lola->id;
    lola->dual_partner_id = kai->id;
    auto chat = Chat::Create();
    chat->messages = {Message::Create(L"assistant", L"Hola")};
    kai->chats->push_back(chat);
    lola->chats = kai->chats;
    options.characters.push_back(kai);
    options.characters.push_back(lola);
    return options;
}

std::shared_ptr<Character> Find(const std::wstring& name) {
    for (const auto& character : FrameDriver::State().characters) {
        if (character->name == name) {
            return character;
        }
    }
    return nullptr;
}

std::wstring ChatFile(const Character& character, const Chat& chat) {
    return Files::JoinPath(Files::JoinPath(character.folder, L"chats"), chat.id + L".json");
}

size_t ChatFiles(const Character& character) {
    return Files::ListFiles(Files::JoinPath(character.folder, L"chats"), L"*.json", false).size();
}

// The chat screen of the character, at rest. The pointer leaves first: a tooltip shown under it
// would keep the window busy for seconds.
void ShowChat(FrameDriver& driver, const std::wstring& name) {
    driver.Window().OpenCharacter(Find(name));
    driver.Leave();
    ASSERT_TRUE(driver.Settle(10, kStep));
}

uint64_t RowId(const Chat& chat) {
    return UI::NonZeroId(UI::Fnv1a64(UI::MakeIdFromText("chat-row"), chat.id));
}

// Rests the pointer on the row until its delete button has faded in, clicks it and lets the
// confirmation come in.
void AskToDelete(FrameDriver& driver, const Chat& chat) {
    const std::optional<Rect> row = driver.WidgetRect(RowId(chat));
    ASSERT_TRUE(row.has_value());
    driver.Move(row->x + 40, row->y + row->h / 2);
    driver.RunFor(0.3, kStep);
    driver.ClickWidget(UI::SaltedId(RowId(chat), 0xde1));
    driver.RunFor(0.5, kStep);
}

void Confirm(FrameDriver& driver) {
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
}

std::vector<std::wstring> Labels(const Main::ContextMenu& menu) {
    std::vector<std::wstring> labels;
    for (const Main::ContextMenu::Item& item : menu.items) {
        labels.push_back(item.label);
    }
    return labels;
}

void OpenChatMenu(FrameDriver& driver) {
    driver.ClickWidget("top-more");
    driver.RunFor(0.5, kStep);
}

// Clicks the open menu's item with this label.
void Choose(FrameDriver& driver, const std::wstring& label) {
    const Main::ContextMenu& menu = *driver.Window().contextMenu;
    const std::vector<std::wstring> labels = Labels(menu);
    const auto found = std::find(labels.begin(), labels.end(), label);
    ASSERT_NE(found, labels.end());
    const uint64_t index = static_cast<uint64_t>(found - labels.begin());
    driver.ClickWidget(
        UI::NonZeroId(UI::Fnv1a64Word(UI::MakeIdFromText("context-menu"), menu.generation * 1000 + index)));
}

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(ChatList, ARowSelectsItsChatAndTheOpenChatsRowDoesNothing) {
    FrameDriver driver(Fixture(3));
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const ChatList chats = *Find(L"Ana")->chats;
    ASSERT_EQ(chats.size(), 3u);
    ASSERT_EQ(state.currentChat, chats[0]);
    for (size_t i = 0; i < chats.size(); ++i) {
        const std::optional<Rect> row = driver.WidgetRect(RowId(*chats[i]));
        ASSERT_TRUE(row.has_value()) << i;
        EXPECT_FLOAT_EQ(row->h, 70) << i;
        EXPECT_FLOAT_EQ(row->y, driver.WidgetRect(RowId(*chats[0]))->y + 76 * static_cast<float>(i)) << i;
    }

    driver.ClickWidget(RowId(*chats[2]));
    EXPECT_EQ(state.currentChat, chats[2]);
    EXPECT_EQ(driver.Window().chatScreen->shownChat, chats[2]);

    const int revision = state.revision;
    driver.ClickWidget(RowId(*chats[2]));
    EXPECT_EQ(state.currentChat, chats[2]);
    EXPECT_EQ(state.revision, revision);
}

TEST(ChatList, DeletingAChatAsksFirstAndKeepsTheOpenOneWhenItIsAnother) {
    FrameDriver driver(Fixture(3));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const ChatList chats = *ana->chats;
    ASSERT_EQ(ChatFiles(*ana), 3u);

    AskToDelete(driver, *chats[1]);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->title, L"Eliminar chat");
    EXPECT_EQ(window.confirmDialog->message,
              L"Se borrará este chat con todos sus mensajes. Esta acción no se puede deshacer.");
    EXPECT_EQ(window.confirmDialog->confirmLabel, L"Eliminar");
    EXPECT_TRUE(window.confirmDialog->danger);
    // Pressing the delete button did not select its row.
    EXPECT_EQ(state.currentChat, chats[0]);

    Confirm(driver);
    EXPECT_EQ(*ana->chats, (ChatList{chats[0], chats[2]}));
    EXPECT_EQ(ChatFiles(*ana), 2u);
    EXPECT_EQ(state.currentChat, chats[0]);
    EXPECT_EQ(window.chatScreen->shownChat, chats[0]);
    EXPECT_EQ(driver.Toasts().back(), L"Chat eliminado");

    // The open chat's deletion opens the first chat left.
    driver.RunFor(0.5, kStep);
    AskToDelete(driver, *chats[0]);
    Confirm(driver);
    EXPECT_EQ(*ana->chats, ChatList{chats[2]});
    EXPECT_EQ(state.currentChat, chats[2]);
    EXPECT_EQ(window.chatScreen->shownChat, chats[2]);
}

TEST(ChatList, DeletingTheOnlyChatLeavesAFreshOneWithTheGreeting) {
    FrameDriver driver(Fixture(1));
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const std::shared_ptr<Chat> only = ana->chats->front();

    AskToDelete(driver, *only);
    Confirm(driver);
    ASSERT_EQ(ana->chats->size(), 1u);
    const std::shared_ptr<Chat> fresh = ana->chats->front();
    EXPECT_NE(fresh, only);
    EXPECT_EQ(state.currentChat, fresh);
    EXPECT_EQ(driver.Window().chatScreen->shownChat, fresh);
    ASSERT_EQ(fresh->messages.size(), 1u);
    EXPECT_EQ(fresh->messages[0]->content, kGreeting);
    EXPECT_EQ(ChatFiles(*ana), 1u);
    EXPECT_FALSE(Files::IsFile(ChatFile(*ana, *only)));
    EXPECT_EQ(driver.Toasts().back(), L"Chat eliminado");
}

TEST(ChatList, AConfirmationThatArrivesAfterAnotherCharacterWasOpenedDeletesNothing) {
    FrameDriver driver(Fixture(2));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const ChatList chats = *ana->chats;

    AskToDelete(driver, *chats[1]);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    window.OpenCharacter(Find(L"Bruno"));
    Confirm(driver);
    EXPECT_EQ(*ana->chats, chats);
    EXPECT_EQ(ChatFiles(*ana), 2u);
    EXPECT_EQ(FrameDriver::State().currentCharacter, Find(L"Bruno"));
    EXPECT_FALSE(Contains(driver.Toasts(), L"Chat eliminado"));
}

// A pull while the confirmation waits may put a newer record of the same chat in the list (or
// remove it): the deletion goes to the chat the user pointed at by its id, whichever record the
// list holds now, and a chat already gone is left alone.
TEST(ChatList, AConfirmationDeletesTheChatAPullReplacedMeanwhile) {
    FrameDriver driver(Fixture(3));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const ChatList chats = *ana->chats;
    const auto pulled = [&](const Chat& chat, bool deleted) {
        Services::CloudSync::RemoteItem row;
        row.kind = L"chat";
        row.parentId = ana->id;
        row.id = ana->id + L":" + chat.id;
        row.deleted = deleted;
        Chat newer = chat;
        newer.messages.push_back(Message::Create(L"user", L"Escrito en el otro PC"));
        row.data = Chat::ToJson(newer);
        return row;
    };

    AgreeWithCloudOnEverything();  // the pulls replace chats unchanged here since
    for (const size_t index : {size_t{1}, size_t{0}}) {  // another chat, then the open one
        AskToDelete(driver, *chats[index]);
        state.ApplyRemoteItems({pulled(*chats[index], false)});
        ASSERT_NE((*ana->chats)[index], chats[index]) << index;  // the pull put a new record in
        ASSERT_EQ((*ana->chats)[index]->id, chats[index]->id) << index;
        Confirm(driver);
        EXPECT_EQ(std::count_if(ana->chats->begin(), ana->chats->end(),
                                [&](const auto& chat) { return chat->id == chats[index]->id; }),
                  0)
            << index;
        EXPECT_FALSE(Files::IsFile(ChatFile(*ana, *chats[index]))) << index;
        EXPECT_EQ(state.currentChat, ana->chats->front()) << index;
        EXPECT_EQ(window.chatScreen->shownChat, state.currentChat) << index;
        EXPECT_EQ(driver.Toasts().back(), L"Chat eliminado") << index;
        driver.RunFor(0.5, kStep);
    }
    ASSERT_EQ(*ana->chats, ChatList{chats[2]});

    // Deleted by the pull: the confirmation finds nothing to delete and says nothing.
    AskToDelete(driver, *chats[2]);
    state.ApplyRemoteItems({pulled(*chats[2], true)});
    window.toasts = {};
    Confirm(driver);
    EXPECT_TRUE(driver.Toasts().empty());
}

TEST(ChatList, NewAndContinuedChatsGoFirstAndOpen) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const std::shared_ptr<Chat> first = ana->chats->front();

    driver.ClickWidget("chat-continue");
    ASSERT_EQ(ana->chats->size(), 2u);
    const std::shared_ptr<Chat> continued = ana->chats->front();
    EXPECT_EQ(state.currentChat, continued);
    EXPECT_EQ(window.chatScreen->shownChat, continued);
    EXPECT_EQ(continued->persona_id, first->persona_id);
    EXPECT_EQ(continued->memory, L"Ana: " + std::wstring(kGreeting) + L" | Lucía: Línea 0 | Ana: Respuesta 0");
    ASSERT_EQ(continued->messages.size(), 2u);
    EXPECT_EQ(continued->messages[1]->content, L"Respuesta 0");
    EXPECT_EQ(driver.Toasts().back(), L"Chat nuevo que recuerda el anterior");

    driver.ClickWidget("chat-new");
    ASSERT_EQ(ana->chats->size(), 3u);
    const std::shared_ptr<Chat> fresh = ana->chats->front();
    EXPECT_EQ(state.currentChat, fresh);
    EXPECT_EQ(window.chatScreen->shownChat, fresh);
    ASSERT_EQ(fresh->messages.size(), 1u);
    EXPECT_EQ(fresh->messages[0]->content, kGreeting);
    EXPECT_TRUE(fresh->memory.empty());
    EXPECT_EQ(driver.Toasts().back(), L"Nuevo chat");
    EXPECT_EQ(ChatFiles(*ana), 3u);
}

TEST(ChatList, ThePersonaCardAndTheBarOpenTheChatConfigurationWithOrWithoutAPersona) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    for (const bool withPersona : {true, false}) {
        if (!withPersona) {
            FrameDriver::State().SetChatPersona(nullptr);
        }
        for (const char* opener : {"chat-persona", "top-config"}) {
            driver.ClickWidget(opener);
            EXPECT_EQ(driver.TopOverlay(), window.chatConfigDialog.get()) << withPersona << opener;
            driver.Key(VK_ESCAPE);
            driver.Leave();
            ASSERT_TRUE(driver.Settle(10, kStep));
        }
    }
}

TEST(ChatTopBar, TheChatMenuOffersThePartnerOnlyInADuo) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    const Main::ContextMenu& menu = *window.contextMenu;

    ShowChat(driver, L"Ana");
    OpenChatMenu(driver);
    ASSERT_TRUE(menu.IsOpen());
    const struct {
        const wchar_t* label;
        Icon icon;
        bool danger;
    } single[] = {
        {L"Copiar la conversación", Icon::Copy, false},
        {L"Eliminar este chat", Icon::Delete, true},
        {L"Volver al inicio", Icon::Home, false},
    };
    ASSERT_EQ(menu.items.size(), std::size(single));
    for (size_t i = 0; i < std::size(single); ++i) {
        EXPECT_EQ(menu.items[i].label, single[i].label);
        EXPECT_EQ(menu.items[i].icon, single[i].icon) << i;
        EXPECT_EQ(menu.items[i].danger, single[i].danger) << i;
        EXPECT_EQ(menu.items[i].separator, single[i].danger) << i;
        EXPECT_TRUE(menu.items[i].enabled) << i;
    }
    EXPECT_TRUE(menu.alignRight);
    EXPECT_FALSE(menu.preferAbove);
    const std::optional<Rect> more = driver.WidgetRect("top-more");
    ASSERT_TRUE(more.has_value());
    EXPECT_FLOAT_EQ(menu.anchor.x, more->x);
    EXPECT_FLOAT_EQ(menu.anchor.y, more->y);
    EXPECT_FLOAT_EQ(menu.anchor.w, 40);
    driver.Key(VK_ESCAPE);

    ShowChat(driver, L"Kai");
    OpenChatMenu(driver);
    EXPECT_EQ(Labels(menu), (std::vector<std::wstring>{L"Editar a Lola", L"Copiar la conversación",
                                                       L"Eliminar este chat", L"Volver al inicio"}));
    EXPECT_EQ(menu.items[0].icon, Icon::PersonEdit);
    Choose(driver, L"Editar a Lola");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->edited, Find(L"Lola"));

    // The bar's own edit button edits the open character.
    ShowChat(driver, L"Kai");
    driver.ClickWidget("top-edit");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->edited, Find(L"Kai"));
}

TEST(ChatTopBar, BackHomeSavesAndClosesTheChat) {
    FrameDriver driver(Fixture(1));
    ShowChat(driver, L"Ana");
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    state.currentChat->messages.push_back(Message::Create(L"user", L"Me voy"));

    OpenChatMenu(driver);
    Choose(driver, L"Volver al inicio");
    EXPECT_EQ(state.currentCharacter, nullptr);
    EXPECT_EQ(state.currentChat, nullptr);
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    const std::optional<std::wstring> saved = Files::ReadText(ChatFile(*ana, *ana->chats->front()));
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find(L"Me voy"), std::wstring::npos);
}

TEST(ChatTopBar, DeletingTheOnlyChatFromTheMenuLeavesAFreshOne) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    ShowChat(driver, L"Ana");
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const std::shared_ptr<Chat> only = ana->chats->front();

    OpenChatMenu(driver);
    Choose(driver, L"Eliminar este chat");
    driver.RunFor(0.5, kStep);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->title, L"Eliminar chat");
    Confirm(driver);
    ASSERT_EQ(ana->chats->size(), 1u);
    EXPECT_NE(ana->chats->front(), only);
    EXPECT_EQ(FrameDriver::State().currentChat, ana->chats->front());
    EXPECT_EQ(ana->chats->front()->messages.size(), 1u);
    EXPECT_EQ(driver.Toasts().back(), L"Chat eliminado");
}

TEST(ChatTopBar, MenuActionsDoNothingOnceAnotherCharacterIsOpen) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const std::shared_ptr<Chat> anasChat = ana->chats->front();
    for (const wchar_t* label : {L"Volver al inicio", L"Eliminar este chat", L"Copiar la conversación"}) {
        ShowChat(driver, L"Ana");
        OpenChatMenu(driver);
        state.OpenCharacter(Find(L"Bruno"));
        window.toasts = {};
        Choose(driver, label);
        driver.RunFor(0.5, kStep);
        EXPECT_EQ(driver.TopOverlay(), nullptr) << label;
        EXPECT_EQ(state.currentCharacter, Find(L"Bruno")) << label;
        EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen) << label;
        EXPECT_EQ(*ana->chats, ChatList{anasChat}) << label;
        EXPECT_TRUE(driver.Toasts().empty()) << label;
    }
}

TEST(ChatTopBar, KnownPeopleAreSavedOnlyWhileTheirOwnersAreStillThere) {
    FrameDriver driver(Fixture(1));
    MainWindow& window = driver.Window();
    Main::KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Character> ana = Find(L"Ana");
    const std::shared_ptr<Persona> lucia = state.personas.front();
    KnownCharacter marta;
    marta.name = L"Marta";

    // With a persona: the character's people and the persona's, each saved to its own record.
    ShowChat(driver, L"Ana");
    driver.ClickWidget("top-known");
    ASSERT_EQ(driver.TopOverlay(), &dialog);
    EXPECT_EQ(dialog.GroupTabs(), (std::vector<std::wstring>{L"De Ana", L"Tuyos (Lucía)"}));
    ASSERT_TRUE(dialog.Append(0, marta));
    ASSERT_TRUE(dialog.Append(1, marta));
    EXPECT_TRUE(ana->known_characters.empty());  // copies until saved
    dialog.OnSubmit();
    EXPECT_EQ(ana->known_characters.size(), 1u);
    EXPECT_EQ(lucia->known_characters.size(), 1u);
    // Both files hold the new person, so a restart keeps it.
    for (const std::wstring& file : {Files::JoinPath(ana->folder, L"character.json"), lucia->path}) {
        const std::optional<std::wstring> stored = Files::ReadText(file);
        ASSERT_TRUE(stored.has_value());
        EXPECT_NE(stored->find(L"Marta"), std::wstring::npos) << Text::ToUtf8(file);
    }
    ASSERT_TRUE(driver.Settle(10, kStep));

    // A persona removed meanwhile is not written back; the character still is.
    driver.ClickWidget("top-known");
    ASSERT_TRUE(dialog.Append(0, marta));
    ASSERT_TRUE(dialog.Append(1, marta));
    state.DeletePersona(lucia);
    dialog.OnSubmit();
    EXPECT_EQ(ana->known_characters.size(), 2u);
    EXPECT_EQ(lucia->known_characters.size(), 1u);
    EXPECT_TRUE(state.personas.empty());
    ASSERT_TRUE(driver.Settle(10, kStep));

    // Without a persona, one tab; a save after another character was opened writes nothing.
    state.SetChatPersona(nullptr);
    driver.ClickWidget("top-known");
    EXPECT_EQ(dialog.GroupTabs().size(), 1u);
    ASSERT_TRUE(dialog.Append(0, marta));
    window.OpenCharacter(Find(L"Bruno"));
    dialog.OnSubmit();
    EXPECT_EQ(ana->known_characters.size(), 2u);
}

}  // namespace
}  // namespace Lorvex::Testing

// The actions of one chat message on the real window, reached as the user reaches them: the hover
// bar beside a bubble and the menus it opens. Which buttons and items each kind of message gets,
// cutting the conversation while a reply is still written below the cut, editing a message (the
// dialog's texts and the replies that start again), choosing who speaks a reply, and copying when
// the clipboard refuses.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "services/state/AppState.h"
#include "tests/main/ChatBubbleAt.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::ChatScreen;
using UI::Material::Icon;

constexpr double kStep = 0.05;
const std::vector<Icon> kEveryAction = {Icon::Copy,       Icon::Pencil, Icon::Refresh,
                                        Icon::PersonEdit, Icon::Delete, Icon::DotsHorizontal};

std::shared_ptr<Character> Named(const std::wstring& name, const std::vector<std::wstring>& lines) {
    auto character = Character::Create();
    character->name = name;
    auto chat = Chat::Create();
    for (size_t i = 0; i < lines.size(); ++i) {
        chat->messages.push_back(Message::Create(i % 2 == 0 ? L"assistant" : L"user", lines[i]));
    }
    character->chats->push_back(chat);
    return character;
}

std::vector<std::wstring> Labels(const std::vector<Main::ContextMenu::Item>& items) {
    std::vector<std::wstring> labels;
    for (const Main::ContextMenu::Item& item : items) {
        labels.push_back(item.label);
    }
    return labels;
}

class ChatActionsTest : public ::testing::Test {
protected:
    static Services::AppState& state() { return FrameDriver::State(); }

    // A window roomy enough that every row of a short chat is in view, on the first character's chat.
    void Open(std::vector<std::shared_ptr<Character>> characters, std::vector<KnownCharacter> personaKnown = {}) {
        FrameDriver::Options options = WindowWithPersona(true, 1280, 860);
        options.personas.front()->known_characters = std::move(personaKnown);
        const std::wstring id = characters.front()->id;
        options.characters = std::move(characters);
        driver_.reset();  // one window at a time
        driver_ = std::make_unique<FrameDriver>(std::move(options));
        ASSERT_TRUE(driver_->Opened());
        driver_->Settle(10, kStep);
        for (const auto& character : state().characters) {
            if (character->id == id) {
                driver_->Window().OpenCharacter(character);
            }
        }
        Rest();
        ASSERT_EQ(driver_->CurrentScreen(), Main::kChatScreen);
    }

    void Rest() { driver_->Settle(10, kStep); }

    std::shared_ptr<Message> At(size_t index) { return state().currentChat->messages.at(index); }
    Main::ContextMenu& menu() { return *driver_->Window().contextMenu; }

    // Points at the message's bubble until its bar has come in; the bar's buttons from left to
    // right, empty when it has none.
    std::vector<Icon> HoverBar(size_t index) {
        const std::optional<Rect> bubble = ChatBubbleAt(*driver_, static_cast<int>(index));
        if (!bubble) {
            ADD_FAILURE() << "message " << index << " is not laid out";
            return {};
        }
        driver_->Move(bubble->x + bubble->w / 2, bubble->y + bubble->h / 2);
        driver_->RunFor(0.25, kStep);
        std::vector<std::pair<float, Icon>> found;
        for (const Icon icon : kEveryAction) {
            if (const auto rect = driver_->WidgetRect(ChatScreen::ActionId(At(index).get(), icon))) {
                found.emplace_back(rect->x, icon);
            }
        }
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<Icon> icons;
        for (const auto& [x, icon] : found) {
            icons.push_back(icon);
        }
        if (!icons.empty()) {
            // The buttons stand in a row of 32 from the bar's left edge, beside the bubble or over it.
            const Rect bar = ChatScreen::ActionBarRect(driver_->Ui().graphics->Width(), At(index)->role == L"user",
                                                       state().dualMode, *bubble);
            EXPECT_FLOAT_EQ(found.front().first, bar.x + 5);
            EXPECT_FLOAT_EQ(found.back().first, bar.x + 5 + 32 * (found.size() - 1));
        }
        return icons;
    }

    void ClickAction(size_t index, Icon icon) {
        driver_->ClickWidget(ChatScreen::ActionId(At(index).get(), icon));
        driver_->Frame(kStep);
    }

    // Runs the open menu's item with this label, as a click on it would.
    void Choose(const std::wstring& label) {
        ASSERT_TRUE(menu().IsOpen());
        const auto item = std::find_if(menu().items.begin(), menu().items.end(),
                                       [&](const Main::ContextMenu::Item& i) { return i.label == label; });
        ASSERT_NE(item, menu().items.end()) << "no item " << testing::PrintToString(label);
        ASSERT_TRUE(item->enabled);
        const std::function<void()> action = item->action;
        menu().Close();
        action();
        driver_->Frame(kStep);
    }

    void CloseMenu() {
        menu().Close();
        driver_->Leave();
        Rest();
    }

    bool WaitFor(const std::function<bool()>& done) { return driver_->RunUntil(done, 20, kStep); }

    std::vector<std::wstring> StoredLines() {
        std::vector<std::wstring> lines;
        for (const auto& character : Storage::LoadCharacters()) {
            for (const auto& chat : *character->chats) {
                if (chat->id == state().currentChat->id) {
                    for (const auto& message : chat->messages) {
                        lines.push_back(message->content);
                    }
                }
            }
        }
        return lines;
    }

    std::vector<std::wstring> Lines() {
        std::vector<std::wstring> lines;
        for (const auto& message : state().currentChat->messages) {
            lines.push_back(message->content);
        }
        return lines;
    }

    FakeHttpServer server_;
    PointAt provider_{server_};
    std::unique_ptr<FrameDriver> driver_;
};

TEST_F(ChatActionsTest, EachKindOfMessageGetsItsBarAndItsMenu) {
    const std::vector<Icon> userBar = {Icon::Copy, Icon::Pencil, Icon::Delete, Icon::DotsHorizontal};
    const std::vector<std::wstring> fullMenu = {L"Copiar texto sin formato", L"Responder otra vez después",
                                                L"Eliminar desde aquí"};
    const std::vector<std::wstring> shortMenu = {L"Copiar texto sin formato", L"Eliminar desde aquí"};
    struct Case {
        const char* name;
        std::function<void()> arrange;
        size_t index;
        std::vector<Icon> bar;  // empty: none comes in
        std::vector<std::wstring> menu;
    };
    const auto pendingBelow = [] {
        auto pending = Message::Create(L"assistant", L"Escribiendo");
        pending->is_typing = true;
        state().currentChat->messages.push_back(pending);
    };
    const auto failedBelow = [] {
        auto failed = Message::Create(L"assistant", L"");
        failed->error = L"Sin conexión";
        state().currentChat->messages.push_back(failed);
    };
    const Case cases[] = {
        {"user message", [] {}, 1, userBar, shortMenu},
        {"reply", [] {}, 2, kEveryAction, fullMenu},
        {"reply in manual mode", [] { state().manualReplies = true; }, 2, kEveryAction, shortMenu},
        {"reply above a running reply", pendingBelow, 2, kEveryAction, fullMenu},
        {"the running reply itself", pendingBelow, 3, {}, {}},
        {"failed reply", failedBelow, 3, {}, {}},
    };
    Open({Named(L"Ana", {L"Hola", L"¿Qué tal?", L"Bien, ¿y tú?"})});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state().manualReplies = false;
        state().currentChat->messages.resize(3);
        c.arrange();
        Rest();
        EXPECT_EQ(HoverBar(c.index), c.bar);
        if (c.bar.empty()) {
            continue;
        }
        const Rect more = *driver_->WidgetRect(ChatScreen::ActionId(At(c.index).get(), Icon::DotsHorizontal));
        ClickAction(c.index, Icon::DotsHorizontal);
        ASSERT_TRUE(menu().IsOpen());
        EXPECT_EQ(Labels(menu().items), c.menu);
        EXPECT_EQ(menu().anchor.x, more.x);
        EXPECT_EQ(menu().anchor.y, more.y);
        EXPECT_EQ(menu().alignRight, At(c.index)->role == L"user");
        EXPECT_FALSE(menu().preferAbove);
        const Main::ContextMenu::Item& cut = menu().items.back();
        EXPECT_TRUE(cut.danger && cut.separator);
        EXPECT_EQ(cut.hint, L"Rebobina la historia hasta este punto");
        CloseMenu();
    }
}

TEST_F(ChatActionsTest, ADuoReplyHasNoSpeakerButtonAndAnswersAgainWithItsWriter) {
    // Each answer waits until the test has seen its reply running.
    server_.Enqueue(ProviderStream().AwaitRelease().Body(Event("Otra vez yo")).Body(kFinished));
    server_.Enqueue(ProviderStream().AwaitRelease().Body(Event("Soy Dos, otra versión")).Body(kFinished));
    auto uno = Named(L"Uno", {L"Hola", L"Hola a los dos", L"Soy Dos"});
    auto dos = Character::Create();
    dos->name = L"Dos";
    uno->is_dual_mode = dos->is_dual_mode = true;
    uno->dual_partner_id = dos->id;
    dos->dual_partner_id = uno->id;
    dos->chats = uno->chats;
    uno->chats->front()->messages[2]->character_id = dos->id;
    Open({uno, dos});
    ASSERT_TRUE(state().dualMode);

    EXPECT_EQ(HoverBar(2),
              (std::vector<Icon>{Icon::Copy, Icon::Pencil, Icon::Refresh, Icon::Delete, Icon::DotsHorizontal}));
    ClickAction(2, Icon::DotsHorizontal);
    Choose(L"Responder otra vez después");
    ASSERT_EQ(state().runningReplies.size(), 1u);
    const std::shared_ptr<Message> again = state().currentChat->messages.back();
    EXPECT_EQ(again->character_id, dos->id);
    server_.Release();
    ASSERT_TRUE(WaitFor([] { return state().runningReplies.empty(); }));
    EXPECT_EQ(again->content, L"Otra vez yo");

    // "Regenerar" puts a new version of the same writer's line in its place; the old text stays a version.
    Rest();
    const std::shared_ptr<Message> old = At(2);
    HoverBar(2);
    ClickAction(2, Icon::Refresh);
    const std::shared_ptr<Message> fresh = At(2);
    ASSERT_NE(fresh.get(), old.get());
    EXPECT_TRUE(fresh->is_typing);
    EXPECT_EQ(fresh->character_id, dos->id);
    EXPECT_EQ(state().currentChat->messages.size(), 4u);
    server_.Release();
    ASSERT_TRUE(WaitFor([] { return state().runningReplies.empty(); }));
    EXPECT_EQ(fresh->content, L"Soy Dos, otra versión");
    ASSERT_TRUE(fresh->regeneration_id);
    EXPECT_EQ(state().versions[*fresh->regeneration_id],
              (std::vector<std::wstring>{L"Soy Dos", L"Soy Dos, otra versión"}));
    EXPECT_EQ(fresh->regeneration_index, 1);
}

TEST_F(ChatActionsTest, CuttingFromAMessageStopsTheReplyBelowAndSavesTheChatWithoutTheRest) {
    server_.Enqueue(ProviderStream().Body(Event("Aparte")).AwaitRelease().Body(Event(", sigo")).Body(kFinished));
    server_.Enqueue(ProviderStream().Body(Event("Vale")).AwaitRelease().Body(Event(", sigo")).Body(kFinished));
    auto ana = Named(L"Ana", {L"Hola", L"uno", L"r1", L"dos"});
    auto second = Chat::Create();
    second->messages = {Message::Create(L"assistant", L"Hola"), Message::Create(L"user", L"otro chat")};
    ana->chats->push_back(second);
    Open({ana});
    std::shared_ptr<Chat> thisChat;
    std::shared_ptr<Chat> other;
    for (const std::shared_ptr<Chat>& chat : *state().currentCharacter->chats) {
        (chat->id == second->id ? other : thisChat) = chat;
    }
    ASSERT_TRUE(thisChat && other);
    state().SelectChat(thisChat);
    Rest();
    Main::ConfirmDialog& confirm = *driver_->Window().confirmDialog;
    const auto askToCut = [&] {
        HoverBar(2);
        ClickAction(2, Icon::DotsHorizontal);
        Choose(L"Eliminar desde aquí");
    };

    // Cancelled, nothing changes.
    askToCut();
    ASSERT_TRUE(confirm.IsOpen());
    EXPECT_EQ(confirm.title, L"Eliminar desde aquí");
    EXPECT_EQ(confirm.subtitle, L"");
    EXPECT_EQ(confirm.message, L"Se borrarán este mensaje y todos los que vienen después.");
    EXPECT_EQ(confirm.confirmLabel, L"Eliminar");
    EXPECT_TRUE(confirm.danger);
    EXPECT_EQ(confirm.headerIcon, Icon::AlertCircle);
    driver_->Key(VK_ESCAPE);
    Rest();
    EXPECT_FALSE(confirm.IsOpen());
    EXPECT_EQ(state().currentChat->messages.size(), 4u);

    // While the menu is up, a reply starts in the character's other chat, which stays in the
    // background, and one below the cut (the client gives up on a silent stream after 30 s, so
    // the cut follows at once).
    HoverBar(2);
    ClickAction(2, Icon::DotsHorizontal);
    state().SelectChat(other);
    state().ReplyNow(state().currentCharacter);
    ASSERT_EQ(state().runningReplies.size(), 1u);
    const Services::AppState::RunningReply elsewhere = state().runningReplies.front();
    state().SelectChat(thisChat);
    ASSERT_TRUE(server_.WaitForRequests(1));
    state().ReplyNow(state().currentCharacter);
    ASSERT_EQ(state().runningReplies.size(), 2u);
    const Services::AppState::RunningReply running = state().runningReplies.back();
    ASSERT_TRUE(WaitFor([&] { return running.message->content == L"Vale"; }));
    Choose(L"Eliminar desde aquí");
    ASSERT_TRUE(confirm.IsOpen());
    const int revision = state().revision;
    driver_->Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(confirm.IsOpen());
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Hola", L"uno"}));
    EXPECT_TRUE(running.cancel.IsSet());
    EXPECT_FALSE(elsewhere.cancel.IsSet());
    EXPECT_GT(state().revision, revision);
    EXPECT_EQ(StoredLines(), (std::vector<std::wstring>{L"Hola", L"uno"}));

    // The stopped reply's end finds no place to land; the other chat's reply ends in its chat.
    server_.Release(2);
    ASSERT_TRUE(WaitFor([] { return state().runningReplies.empty(); }));
    Rest();
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Hola", L"uno"}));
    EXPECT_EQ(StoredLines(), (std::vector<std::wstring>{L"Hola", L"uno"}));
    EXPECT_EQ(other->messages.back()->content, L"Aparte, sigo");
}

TEST_F(ChatActionsTest, TheEditDialogSaysWhatFollowsAndEditingAnEarlierMessageStartsTheRepliesAgain) {
    server_.Enqueue(ProviderStream().Body(Event("De nuevo")).Body(kFinished));
    Open({Named(L"Ana", {L"Hola", L"uno", L"r1", L"dos"})});
    Main::TextEditDialog& dialog = *driver_->Window().textEditDialog;
    const std::wstring later = L"Se borrarán los mensajes posteriores y el personaje responderá de nuevo.";
    struct Case {
        const char* name;
        size_t index;
        bool manual;
        std::optional<std::wstring> speaker;
        std::wstring title, subtitle, note;
    };
    const Case cases[] = {
        {"earlier user message", 1, false, {}, L"Editar tu mensaje", L"Tu mensaje", later},
        {"last user message", 3, false, {}, L"Editar tu mensaje", L"Tu mensaje", L"El personaje responderá de nuevo."},
        {"user message in manual mode", 1, true, {}, L"Editar tu mensaje", L"Tu mensaje", L""},
        {"reply", 2, false, {}, L"Editar mensaje", L"Respuesta de Ana", L""},
        {"reply under another name", 2, false, L"Clari", L"Editar mensaje", L"Respuesta de Clari", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state().manualReplies = c.manual;
        At(c.index)->character_name = c.speaker;
        Rest();
        HoverBar(c.index);
        ClickAction(c.index, Icon::Pencil);
        ASSERT_TRUE(dialog.IsOpen());
        EXPECT_EQ(dialog.title, c.title);
        EXPECT_EQ(dialog.subtitle, c.subtitle);
        EXPECT_EQ(dialog.note, c.note);
        EXPECT_EQ(dialog.editText, At(c.index)->content);
        EXPECT_EQ(dialog.headerIcon, Icon::PencilOutline);
        dialog.Close();
        driver_->Leave();
        Rest();
        At(c.index)->character_name.reset();
    }

    state().manualReplies = false;
    HoverBar(1);
    ClickAction(1, Icon::Pencil);
    ASSERT_TRUE(dialog.IsOpen());
    dialog.Close();
    dialog.onSave(L"  uno bis \n");
    ASSERT_EQ(state().runningReplies.size(), 1u);
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Hola", L"uno bis", L""}));
    ASSERT_TRUE(WaitFor([] { return state().runningReplies.empty(); }));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Hola", L"uno bis", L"De nuevo"}));
    EXPECT_EQ(StoredLines(), Lines());
    const std::string request = server_.Requests().at(0).body;
    EXPECT_NE(request.find("uno bis"), std::string::npos);
    EXPECT_EQ(request.find("\"dos\""), std::string::npos);
}

TEST_F(ChatActionsTest, TheSpeakerMenuMarksTheCurrentSpeakerAndSavesTheChosenOne) {
    auto ana = Named(L"Ana", {L"Hola", L"¿Quién eres?", L"Soy yo"});
    KnownCharacter clara;
    clara.name = L"Clara";
    clara.bubble_name = L"Clari";
    KnownCharacter tomas;
    tomas.name = L"Tomás";
    ana->known_characters = {clara, tomas};
    KnownCharacter pablo;
    pablo.name = L"Pablo";
    Open({ana}, {pablo});
    ASSERT_TRUE(state().currentPersona);
    const std::shared_ptr<Message> reply = At(2);

    struct Case {
        std::optional<std::wstring> speaker;
        size_t marked;
    };
    for (const Case& c : {Case{std::nullopt, 0}, Case{L"Ana", 1}, Case{L"Clari", 2}, Case{L"Tomás", 3},
                          Case{L"Pablo", 4}, Case{L"Clara", 99}}) {
        SCOPED_TRACE(testing::PrintToString(c.speaker));
        reply->character_name = c.speaker;
        Rest();
        HoverBar(2);
        const Rect button = *driver_->WidgetRect(ChatScreen::ActionId(reply.get(), Icon::PersonEdit));
        ClickAction(2, Icon::PersonEdit);
        ASSERT_TRUE(menu().IsOpen());
        EXPECT_EQ(menu().anchor.x, button.x);
        const auto& items = menu().items;
        ASSERT_EQ(Labels(items), (std::vector<std::wstring>{L"Detectar automáticamente", L"Ana", L"Clara (Clari)",
                                                            L"Tomás", L"Pablo"}));
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].selected, i == c.marked) << i;
            EXPECT_EQ(items[i].separator, i == 1 || i == 4) << i;
            EXPECT_EQ(items[i].hint, i == 4 ? L"Conocido de Lucía" : L"") << i;
        }
        EXPECT_EQ(items[2].icon, Icon::PersonGroup);
        EXPECT_EQ(items[4].icon, Icon::PersonHeart);
        CloseMenu();
    }

    reply->character_name.reset();
    Rest();
    HoverBar(2);
    ClickAction(2, Icon::PersonEdit);
    const int revision = state().revision;
    Choose(L"Clara (Clari)");
    EXPECT_EQ(reply->character_name, L"Clari");
    EXPECT_GT(state().revision, revision);
    const auto stored = Storage::LoadCharacters().front()->chats->front()->messages.at(2);
    EXPECT_EQ(stored->character_name, L"Clari");

    Rest();
    HoverBar(2);
    ClickAction(2, Icon::PersonEdit);
    Choose(L"Detectar automáticamente");
    EXPECT_FALSE(reply->character_name);
    EXPECT_FALSE(Storage::LoadCharacters().front()->chats->front()->messages.at(2)->character_name);
}

TEST_F(ChatActionsTest, CopyingSaysWhenTheClipboardRefusedAndDeletingSaysItWasDone) {
    Open({Named(L"Ana", {L"Hola", L"**Ven** *ya*"})});
    struct Case {
        bool fails;
        bool plain;
        std::wstring clipboard, toast;
    };
    const Case cases[] = {
        {false, false, L"**Ven** *ya*", L"Mensaje copiado"},
        {false, true, L"Ven ya", L"Texto copiado"},
        {true, false, L"antes", L"No se pudo copiar al portapapeles"},
        {true, true, L"antes", L"No se pudo copiar al portapapeles"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fails " << c.fails << ", plain " << c.plain);
        driver_->clipboard = L"antes";
        driver_->clipboardFails = c.fails;
        HoverBar(1);
        if (c.plain) {
            ClickAction(1, Icon::DotsHorizontal);
            Choose(L"Copiar texto sin formato");
        } else {
            ClickAction(1, Icon::Copy);
        }
        EXPECT_EQ(driver_->clipboard, c.clipboard);
        ASSERT_FALSE(driver_->Toasts().empty());
        EXPECT_EQ(driver_->Toasts().back(), c.toast);
        CloseMenu();
    }

    HoverBar(1);
    ClickAction(1, Icon::Delete);
    EXPECT_EQ(Lines(), std::vector<std::wstring>{L"Hola"});
    EXPECT_EQ(driver_->Toasts().back(), L"Mensaje eliminado");
    EXPECT_EQ(StoredLines(), std::vector<std::wstring>{L"Hola"});
}

}  // namespace
}  // namespace Lorvex::Testing

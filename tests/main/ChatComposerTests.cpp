// The chat screen's composer, reply-mode bar and AI writing, driven through the real window
// against the fake language-model provider: which Enter sends, the stop button, the menu's AI jobs
// with their partial texts, cancel, a newer job, a failure and a change of chat while one runs, and
// the Auto/Manual switch with the duo's chips and speaker buttons.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/dialogs/ContextMenu.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Ids.h"
#include "ui/TextEditor.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::ChatScreen;

constexpr double kStep = 0.05;

struct Point {
    float x = 0;
    float y = 0;
};

Point Centre(const Rect& rect) {
    return {rect.x + rect.w / 2, rect.y + rect.h / 2};
}

std::shared_ptr<Character> MakeCharacter(const std::wstring& name) {
    auto character = Character::Create();
    character->name = name;
    return character;
}

// Two characters that share one chat list, as a saved duo does.
void MakeDuo(const std::shared_ptr<Character>& first, const std::shared_ptr<Character>& second) {
    first->is_dual_mode = true;
    second->is_dual_mode = true;
    first->dual_partner_id = second->id;
    second->dual_partner_id = first->id;
    second->chats = first->chats;
}

// One streamed answer of the provider that stops after its first piece until the test releases it.
FakeReply HeldAnswer(const std::string& first, const std::string& rest) {
    return ProviderStream().Body(Event(first)).AwaitRelease().Body(Event(rest)).Body(kFinished);
}

FakeReply WholeStream(const std::string& text) {
    return ProviderStream().Body(Event(text)).Body(kFinished);
}

class ChatComposerTest : public ::testing::Test {
protected:
    static Services::AppState& state() { return FrameDriver::State(); }

    // The window over these characters, with the chat of the first one open.
    void Open(std::vector<std::shared_ptr<Character>> characters, int width = 980, int height = 640) {
        FrameDriver::Options options = WindowWithPersona(true, width, height);
        options.characters = characters;
        driver_ = std::make_unique<FrameDriver>(options);
        ASSERT_TRUE(driver_->Opened());
        driver_->Settle(10, kStep);
        OpenChatOf(characters.front());
        ASSERT_EQ(driver_->CurrentScreen(), Main::kChatScreen);
    }

    // The application state's record of a fixture character (it loaded its own copies).
    static std::shared_ptr<Character> Loaded(const std::shared_ptr<Character>& fixture) {
        for (const auto& character : state().characters) {
            if (character->id == fixture->id) {
                return character;
            }
        }
        ADD_FAILURE() << "not loaded";
        return nullptr;
    }

    void OpenChatOf(const std::shared_ptr<Character>& fixture) {
        driver_->Window().OpenCharacter(Loaded(fixture));
        driver_->RunFor(1.0, kStep);
    }

    ChatScreen& screen() { return *driver_->Window().chatScreen; }

    // Where the composer stands now, as the chat screen lays out its column.
    ChatScreen::ComposerLayout Layout() {
        const Rect content = driver_->Window().contentRect;
        const float sidebar = std::min(0.3f * content.w, 300.0f);
        const float width = content.w - sidebar;
        const float height = screen().ComposerHeight(driver_->Ui(), width);
        return ChatScreen::LayOutComposer({content.x + sidebar, content.y + content.h - height, width, height});
    }

    void Click(const Rect& rect) {
        const Point p = Centre(rect);
        driver_->Click(p.x, p.y);
    }

    void FocusInput() { Click(Layout().editor); }

    bool RunUntil(const std::function<bool()>& done) { return driver_->RunUntil(done, 20, kStep); }

    // Opens the AI menu from its button and runs one of its items, as a click on it would.
    void ChooseAiItem(size_t index) {
        Click(Layout().aiButton);
        Main::ContextMenu& menu = *driver_->Window().contextMenu;
        ASSERT_TRUE(menu.IsOpen());
        ASSERT_EQ(menu.items.size(), 2u);
        ASSERT_TRUE(menu.items[index].enabled);
        const std::function<void()> action = menu.items[index].action;
        menu.Close();
        action();
        driver_->Frame(kStep);
    }

    size_t MessageCount() { return state().currentChat ? state().currentChat->messages.size() : 0; }

    std::string RequestBody(size_t index) {
        const std::vector<RecordedRequest> requests = server_.Requests();
        return index < requests.size() ? requests[index].body : std::string();
    }

    FakeHttpServer server_;
    PointAt provider_{server_};
    std::unique_ptr<FrameDriver> driver_;
};

TEST_F(ChatComposerTest, TheEnterRuleFollowsTheSettingAndABlankDraftSendsNothing) {
    Open({MakeCharacter(L"Ana")});
    state().manualReplies = true;  // sending is all this test looks at: nobody replies
    struct Case {
        bool enterToSend;
        uint32_t modifiers;
        std::wstring draft;
        bool sends;
        std::wstring left;  // the draft after the key
    };
    const Case cases[] = {
        {true, FrameDriver::kNone, L"Hola", true, L""},
        {true, FrameDriver::kShift, L"Hola", false, L"Hola\n"},
        {true, FrameDriver::kCtrl, L"Hola", false, L"Hola"},
        {false, FrameDriver::kCtrl, L"Hola", true, L""},
        {false, FrameDriver::kNone, L"Hola", false, L"Hola\n"},
        // The rule takes the Enter even when there is nothing to send: no line is added either.
        {true, FrameDriver::kNone, L" \n\u00A0 ", false, L" \n\u00A0 "},
        {false, FrameDriver::kCtrl, L"\t\n", false, L"\t\n"},
    };
    // Held over a frame, and quick: a chord whose modifier is let go before the frame that reads it
    // (injected keys, a slow frame, a remote desktop) does the same.
    for (const bool quick : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "enter_to_send " << c.enterToSend << ", modifiers " << c.modifiers
                                            << (quick ? ", quick" : ""));
            Settings::Instance().enter_to_send = c.enterToSend;
            screen().composerText = c.draft;
            FocusInput();
            // The caret goes to the end, where typing continues.
            driver_->Key(VK_END, FrameDriver::kCtrl);
            const size_t before = MessageCount();
            if (quick) {
                driver_->QuickKey(VK_RETURN, c.modifiers);
                driver_->Frame();
            } else {
                driver_->Key(VK_RETURN, c.modifiers);
            }
            EXPECT_EQ(MessageCount(), before + (c.sends ? 1 : 0));
            EXPECT_EQ(screen().composerText, c.left);
            if (c.sends) {
                EXPECT_EQ(state().currentChat->messages.back()->content, L"Hola");
            }
        }
    }
}

TEST_F(ChatComposerTest, QuickEditingChordsKeepTheirCtrl) {
    Open({MakeCharacter(L"Ana")});
    state().manualReplies = true;
    screen().composerText = L"primera idea";
    FocusInput();
    // Select all, then what is typed replaces it.
    driver_->QuickKey('A', FrameDriver::kCtrl);
    driver_->Type(L"otra");
    EXPECT_EQ(screen().composerText, L"otra");
    // A password manager's paste: Ctrl held for no frame at all.
    driver_->clipboard = L" y pegado";
    driver_->QuickKey('V', FrameDriver::kCtrl);
    EXPECT_EQ(screen().composerText, L"otra y pegado");
    // Ctrl+Backspace deletes the word and types nothing (its character 127 is a command).
    driver_->QuickKey(VK_BACK, FrameDriver::kCtrl);
    EXPECT_EQ(screen().composerText, L"otra y ");
}

TEST_F(ChatComposerTest, SendReturnsToTheNewestMessagesOnlyFromAWindowThatNoLongerReachesThem) {
    Open({MakeCharacter(L"Ana")});
    state().manualReplies = true;
    auto& messages = state().currentChat->messages;
    struct Case {
        int32_t windowStart;
        int32_t after;
    };
    // Of 70 messages, a window of 60 from 10 still shows the newest; one from 9 does not.
    for (const Case c : {Case{0, -1}, Case{9, -1}, Case{10, 10}, Case{30, 30}, Case{-1, -1}}) {
        messages.clear();
        for (int i = 0; i < 70; ++i) {
            messages.push_back(Message::Create(L"user", L"línea"));
        }
        screen().windowStart = c.windowStart;
        screen().followLatest = false;
        screen().composerText = L"  otra  ";
        screen().Send();
        EXPECT_EQ(screen().windowStart, c.after) << c.windowStart;
        EXPECT_TRUE(screen().followLatest);
        EXPECT_TRUE(screen().composerText.empty());
        EXPECT_EQ(state().currentChat->messages.back()->content, L"otra");
    }
}

TEST_F(ChatComposerTest, TheBandGrowsWithTheDraftUpToSevenLines) {
    Open({MakeCharacter(L"Ana")});
    UI::Ui& ui = driver_->Ui();
    const float width = 700;
    const auto heightWith = [&](const std::wstring& draft) {
        screen().composerText = draft;
        return screen().ComposerHeight(ui, width);
    };
    const auto lines = [](int count) {
        std::wstring text = L"uno";
        for (int i = 1; i < count; ++i) {
            text += L"\nmás";
        }
        return text;
    };
    const float line = std::ceil(ui.graphics->MeasureText(L"Ag", Main::Kit::KitStyle(14.5f, 400), 100000).height);
    EXPECT_EQ(heightWith(L""), line + 116);
    EXPECT_EQ(heightWith(L"Hola"), line + 116);
    EXPECT_GT(heightWith(lines(3)), heightWith(lines(2)));
    EXPECT_LT(heightWith(lines(6)), 7 * line + 116);
    EXPECT_EQ(heightWith(lines(9)), 7 * line + 116);
    EXPECT_EQ(heightWith(lines(30)), 7 * line + 116);
}

TEST_F(ChatComposerTest, TheBoxHoldsEveryLineTheEditorBreaksTheDraftInto) {
    Open({MakeCharacter(L"Ana")});
    UI::Ui& ui = driver_->Ui();
    const uint64_t input = ui.MakeIdFromText("chat-input");
    const HWND hwnd = driver_->Surface().hwnd;
    RECT frame = {};
    GetWindowRect(hwnd, &frame);
    const auto resize = [&](int width) {
        SetWindowPos(hwnd, nullptr, 0, 0, width, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
        driver_->Frames(2);
    };
    // A second line that ends a few DIPs short of where the box's text ends in a window of about
    // 995 DIPs. Widening the window from 980 in steps of a pixel moves that end past the line's
    // in steps under a DIP, so every way the line can meet it comes by, the one where the line
    // only just wraps included.
    resize(995);
    TextStyle style = Main::Kit::KitStyle(14.5f, 400);
    style.wrap = false;
    const float target = Layout().box.w - 129;
    std::wstring line;
    for (int i = 0; ui.graphics->MeasureText(line, style, 100000).width < target; ++i) {
        line += i % 6 == 5 ? L' ' : static_cast<wchar_t>(L'a' + i % 7);
    }
    screen().composerText = L"Hola\n" + line;
    for (int width = 980; width <= 1010; ++width) {
        resize(width);
        ui.State<UI::EditState>(input).caret = static_cast<int32_t>(screen().composerText.size());
        driver_->Frames(2);
        EXPECT_EQ(ui.State<UI::EditState>(input).scroll, 0.0f) << width << " pixels wide";
    }
}

TEST_F(ChatComposerTest, TheSendButtonStopsBothRepliesOfADuoEvenWithAnEmptyDraft) {
    server_.Enqueue(ProviderStream().Body(Event("Ho")).Stall());
    server_.Enqueue(ProviderStream().Body(Event("Ey")).Stall());
    auto uno = MakeCharacter(L"Uno");
    auto dos = MakeCharacter(L"Dos");
    MakeDuo(uno, dos);
    Open({uno, dos});
    ASSERT_TRUE(state().dualMode);

    screen().composerText = L"Hola a los dos";
    Click(Layout().sendButton);
    ASSERT_EQ(state().runningReplies.size(), 2u);
    EXPECT_TRUE(screen().composerText.empty());
    const std::vector<Services::AppState::RunningReply> running = state().runningReplies;
    ASSERT_TRUE(server_.WaitForRequests(2));
    const auto chat = state().currentChat;
    // The two jobs reach the provider in either order.
    ASSERT_TRUE(RunUntil([&] {
        return chat->messages.size() == 3 && !chat->messages[1]->content.empty() && !chat->messages[2]->content.empty();
    }));

    const int revision = state().revision;
    Click(Layout().sendButton);
    for (const auto& reply : running) {
        EXPECT_TRUE(reply.cancel.IsSet());
    }
    EXPECT_GT(state().revision, revision);
    ASSERT_TRUE(RunUntil([] { return state().runningReplies.empty(); }));
    // Stopped after some text, both lines stay as far as they came; nothing new was sent.
    ASSERT_EQ(chat->messages.size(), 3u);
    EXPECT_FALSE(chat->messages[1]->is_typing || chat->messages[2]->is_typing);
    EXPECT_EQ(chat->messages[1]->content + chat->messages[2]->content == L"HoEy" ||
                  chat->messages[1]->content + chat->messages[2]->content == L"EyHo",
              true);
    EXPECT_EQ(server_.Requests().size(), 2u);
}

TEST_F(ChatComposerTest, TheAiWritesFromTheIdeaStreamingIntoALockedComposerAndPolishesADraft) {
    server_.Enqueue(HeldAnswer("*Me acerco*", " Perdona por lo de ayer."));
    server_.Enqueue(WholeStream("Hola, \xC2\xBFqu\xC3\xA9 tal?"));
    Open({MakeCharacter(L"Ana")});
    Main::ContextMenu& menu = *driver_->Window().contextMenu;

    // The menu: polishing needs a draft, and the write item's hint says whether one is used.
    screen().composerText = L"  \n";
    Click(Layout().aiButton);
    ASSERT_TRUE(menu.IsOpen());
    ASSERT_EQ(menu.items.size(), 2u);
    EXPECT_EQ(menu.items[0].label, L"Escribir mi mensaje");
    EXPECT_EQ(menu.items[0].hint, L"Usa lo que has escrito como idea");
    EXPECT_TRUE(menu.items[0].enabled);
    EXPECT_EQ(menu.items[1].label, L"Mejorar mi texto");
    EXPECT_FALSE(menu.items[1].enabled);
    menu.Close();
    driver_->RunFor(0.5, kStep);
    screen().composerText.clear();
    Click(Layout().aiButton);
    EXPECT_EQ(menu.items[0].hint, L"La IA escribe tu próxima respuesta");
    menu.Close();
    driver_->RunFor(0.5, kStep);

    const std::wstring idea = L"  pedir perdon por lo de ayer ";
    screen().composerText = idea;
    ChooseAiItem(0);
    EXPECT_TRUE(screen().aiBusy);
    EXPECT_EQ(screen().savedDraft, idea);
    ASSERT_TRUE(RunUntil([&] { return screen().composerText == L"*Me acerco*"; }));
    EXPECT_TRUE(screen().aiBusy);
    const std::string body = RequestBody(0);
    EXPECT_NE(body.find("escritor de roleplay"), std::string::npos);
    EXPECT_NE(body.find("pedir perdon por lo de ayer\""), std::string::npos) << body;  // trimmed
    // The job carries the open character and the chat's persona.
    EXPECT_NE(body.find("habla: Ana"), std::string::npos) << body;
    EXPECT_NE(body.find("Ficha de Luc"), std::string::npos) << body;

    // Neither typing nor Enter nor the send button touches the text being written.
    FocusInput();
    driver_->Type(L"xyz");
    driver_->Key(VK_RETURN);
    Click(Layout().sendButton);
    EXPECT_EQ(screen().composerText, L"*Me acerco*");
    EXPECT_EQ(MessageCount(), 0u);

    server_.Release();
    ASSERT_TRUE(RunUntil([&] { return !screen().aiBusy; }));
    EXPECT_EQ(screen().composerText, L"*Me acerco* Perdona por lo de ayer.");
    EXPECT_TRUE(driver_->Toasts().empty());

    screen().composerText = L"hola q tal";
    ChooseAiItem(1);
    ASSERT_TRUE(RunUntil([&] { return !screen().aiBusy; }));
    EXPECT_EQ(screen().composerText, L"Hola, ¿qué tal?");
    EXPECT_NE(RequestBody(1).find("corrector de estilo"), std::string::npos);
    EXPECT_NE(RequestBody(1).find("hola q tal"), std::string::npos);
}

TEST_F(ChatComposerTest, CancelRestoresTheExactDraftAndOnlyTheNewerJobsTextLands) {
    server_.Enqueue(HeldAnswer("Primera", " tarde"));
    // The newer job is still writing when the cancelled one's rest and result arrive: it waits on
    // a gate of its own until the first has ended.
    server_.Enqueue(ProviderStream().Body(Event("Segunda")).AwaitRelease(1).Body(kFinished));
    Open({MakeCharacter(L"Ana")});
    const std::wstring draft = L"  una idea\u00A0con espacios \n";
    screen().composerText = draft;
    ChooseAiItem(0);
    ASSERT_TRUE(RunUntil([&] { return screen().composerText == L"Primera"; }));

    Click(Layout().aiButton);  // the spinner's stop control stands where the AI button was
    EXPECT_FALSE(screen().aiBusy);
    EXPECT_EQ(screen().composerText, draft);

    ChooseAiItem(0);
    ASSERT_TRUE(RunUntil([&] { return screen().composerText == L"Segunda"; }));
    server_.Release();
    ASSERT_TRUE(RunUntil([] { return Async::UnfinishedJobs() == 1; }));
    EXPECT_EQ(screen().composerText, L"Segunda");
    EXPECT_TRUE(screen().aiBusy);
    server_.Release(1, 1);
    ASSERT_TRUE(RunUntil([&] { return !screen().aiBusy; }));
    EXPECT_EQ(screen().composerText, L"Segunda");
    EXPECT_TRUE(driver_->Toasts().empty());
}

TEST_F(ChatComposerTest, AFailedJobLeavesTheDraftAndSaysWhy) {
    const std::string body = "{\"error\":{\"message\":\"Authentication Fails\",\"type\":\"authentication_error\"}}";
    server_.Enqueue(FakeReply::Json(401, body));
    // Nothing but blanks, which cleaning leaves empty: the model wrote nothing.
    server_.Enqueue(WholeStream("   "));
    Open({MakeCharacter(L"Ana")});
    struct Case {
        bool improve;
        std::wstring toast;
    };
    const Case cases[] = {
        {true, L"No se pudo mejorar el texto: " + Services::DeepSeekService::ErrorText(body, 401)},
        {false, L"No se pudo escribir el mensaje: respuesta vac\u00EDa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "improve " << c.improve);
        const std::wstring draft = L" mi borrador ";
        screen().composerText = draft;
        // Straight to the job: the first toast may stand over the AI button.
        screen().AiWrite(c.improve);
        EXPECT_TRUE(screen().aiBusy);
        ASSERT_TRUE(RunUntil([&] { return !screen().aiBusy; }));
        EXPECT_EQ(screen().composerText, draft);
        const std::vector<std::wstring> toasts = driver_->Toasts();
        ASSERT_FALSE(toasts.empty());
        EXPECT_EQ(toasts.back(), c.toast);
    }
}

TEST_F(ChatComposerTest, AJobNeverWritesIntoTheComposerOfAnotherChat) {
    server_.Enqueue(HeldAnswer("Hola", " Bruno"));
    auto ana = MakeCharacter(L"Ana");
    auto bruno = MakeCharacter(L"Bruno");
    Open({ana, bruno});
    screen().composerText = L"borrador ";
    ChooseAiItem(0);
    ASSERT_TRUE(RunUntil([&] { return screen().composerText == L"Hola"; }));

    driver_->Window().OpenCharacter(Loaded(bruno));
    driver_->Frame(kStep);
    ASSERT_EQ(state().currentCharacter->name, L"Bruno");
    EXPECT_FALSE(screen().aiBusy);
    EXPECT_EQ(screen().composerText, L"borrador ");

    server_.Release();
    ASSERT_TRUE(driver_->RunUntilJobsDone());
    EXPECT_EQ(screen().composerText, L"borrador ");
    EXPECT_FALSE(screen().aiBusy);
}

TEST_F(ChatComposerTest, TheModeBarSwitchesToManualAndItsSpeakersReplyWhateverTheChipsSay) {
    // The answer waits until the test has seen the reply running.
    server_.Enqueue(ProviderStream().AwaitRelease().Body(Event("Aqu\xC3\xAD estoy")).Body(kFinished));
    auto uno = MakeCharacter(L"Uno");
    auto dos = MakeCharacter(L"Dos");
    MakeDuo(uno, dos);
    // Wide enough for both speaker buttons after the chips.
    Open({uno, dos}, 1400, 800);
    ASSERT_TRUE(state().dualMode);
    ASSERT_EQ(state().currentCharacter->id, uno->id);
    ASSERT_EQ(state().participantIds, (std::vector<std::wstring>{uno->id, dos->id}));

    const Rect bar = Layout().modeBar;
    const int revision = state().revision;
    driver_->Click(bar.x + 135, bar.y + bar.h / 2);  // "Manual"
    EXPECT_TRUE(state().manualReplies);
    EXPECT_GT(state().revision, revision);

    // Both chips off: nobody takes part, and the order of toggling decides the list's order.
    Graphics& graphics = *driver_->Ui().graphics;
    TextStyle nameStyle = Main::Kit::KitStyle(13, 500);
    const auto chipWidth = [&](const std::wstring& name) {
        return std::ceil(graphics.MeasureText(name, nameStyle, 100000).width + 28) + 26;
    };
    const float firstChip = bar.x + 196 + 80;
    const float secondChip = firstChip + chipWidth(L"Uno") + 8;
    const float middle = bar.y + bar.h / 2;
    driver_->Click(secondChip + 10, middle);
    driver_->Click(firstChip + 10, middle);
    EXPECT_TRUE(state().participantIds.empty());
    driver_->Click(secondChip + 10, middle);
    EXPECT_EQ(state().participantIds, std::vector<std::wstring>{dos->id});
    driver_->Click(secondChip + 10, middle);
    EXPECT_TRUE(state().participantIds.empty());

    // Sending in manual mode starts nobody; the partner's button makes it reply though its chip is off.
    screen().composerText = L"¿Quién está?";
    Click(Layout().sendButton);
    EXPECT_TRUE(state().runningReplies.empty());
    const float speakers = secondChip + chipWidth(L"Dos") + 8 + 8 + 98;
    const float partnerButton =
        speakers + Main::Kit::ButtonWidth(driver_->Ui(), L"Uno", Main::Kit::kButtonFontSize) + 8;
    driver_->Click(partnerButton + 10, middle);
    ASSERT_EQ(state().runningReplies.size(), 1u);
    const auto reply = state().currentChat->messages.back();
    EXPECT_EQ(reply->character_id, dos->id);
    server_.Release();
    ASSERT_TRUE(RunUntil([] { return state().runningReplies.empty(); }));
    EXPECT_EQ(reply->content, L"Aquí estoy");

    driver_->Click(bar.x + 45, middle);  // "Auto"
    EXPECT_FALSE(state().manualReplies);
}

TEST_F(ChatComposerTest, BothSpeakerButtonsAlwaysFitWholeInTheBarAndTheChipsGiveWayFirst) {
    struct Case {
        int width;
        const wchar_t* first;
        const wchar_t* partner;
        bool fullChips;  // the chips keep their names
    };
    const Case cases[] = {
        {1400, L"Uno", L"Dos", true},
        {1400, L"Uno", L"Maximiliano Cienfuegos", false},
        {980, L"Kai", L"Lola", false},  // the smallest window
        {980, L"Maximiliano Cienfuegos", L"Carla Domínguez de la Fuente", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " " << c.partner);
        driver_.reset();
        auto first = MakeCharacter(c.first);
        auto partner = MakeCharacter(c.partner);
        MakeDuo(first, partner);
        Open({first, partner}, c.width, 640);
        state().manualReplies = true;
        driver_->RunFor(0.3, kStep);

        UI::Ui& ui = driver_->Ui();
        const auto keyed = [&](const char* literal, const std::wstring& key) {
            return UI::NonZeroId(UI::Fnv1a64(ui.MakeIdFromText(literal), std::wstring_view(key)));
        };
        const Rect bar = Layout().modeBar;
        float taken = bar.x + 180;  // the Auto/Manual switch
        for (const auto& member : {first, partner}) {
            if (const std::optional<Rect> chip = driver_->WidgetRect(keyed("dual-chip", member->id))) {
                EXPECT_GE(chip->x, taken);
                taken = chip->x + chip->w;
                const float named =
                    std::ceil(ui.graphics->MeasureText(member->name, Main::Kit::KitStyle(13, 500), 100000).width + 28) +
                    26;
                EXPECT_EQ(chip->w == named, c.fullChips);
            } else {
                EXPECT_FALSE(c.fullChips);
            }
        }
        for (const auto& member : {first, partner}) {
            const std::optional<Rect> button = driver_->WidgetRect(keyed("manual-reply", member->name));
            ASSERT_TRUE(button.has_value()) << "no button for the speaker";
            EXPECT_GE(button->x, taken);
            EXPECT_LE(button->x + button->w, bar.x + bar.w);
            EXPECT_GE(button->w, 34.0f);
            taken = button->x + button->w;
        }
    }

    // The partner's button, shortened or not, makes the partner reply.
    server_.Enqueue(WholeStream("Hola"));
    const std::shared_ptr<Character> partner = state().dualPartner;
    driver_->ClickWidget(
        UI::NonZeroId(UI::Fnv1a64(driver_->Ui().MakeIdFromText("manual-reply"), std::wstring_view(partner->name))));
    ASSERT_EQ(state().runningReplies.size(), 1u);
    EXPECT_EQ(state().currentChat->messages.back()->character_id, partner->id);
    ASSERT_TRUE(RunUntil([] { return state().runningReplies.empty(); }));
}

}  // namespace
}  // namespace Lorvex::Testing

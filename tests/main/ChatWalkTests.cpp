// A new user's first chats, driven only through the window against the fake language-model
// provider: a character's chat opened from its card, a reply watched as it streams in word by
// word, a second one stopped half-way, the stopped one regenerated with its versions switched and
// one kept, a failed reply retried from its bubble, then a duo answering by itself in Auto and
// only when asked in Manual; the chat files hold what the screen showed.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Async.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "main/home/HomeLayout.h"
#include "main/home/HomeList.h"
#include "main/home/HomeScreen.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "services/ai/DeepSeekService.h"
#include "services/state/AppState.h"
#include "tests/main/ChatBubbleAt.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Ids.h"

namespace Lorvex::Testing {
namespace {

using Main::ChatScreen;
using UI::Material::Icon;

// Frames this far apart: llvmpipe frames are slow, and only what the user would see matters.
constexpr double kStep = 0.05;
constexpr wchar_t kGreeting[] = L"*Levanta la vista del libro* Hola, ¿te conozco?";

class ChatWalk {
public:
    explicit ChatWalk(FrameDriver& driver) : driver_(driver) {}

    static Services::AppState& State() { return FrameDriver::State(); }
    ChatScreen& Screen() { return *driver_.Window().chatScreen; }

    // Frames of the driver's clock, enough for the list to glide to rest and short of a toast's
    // time on screen.
    void Rest() { driver_.RunFor(0.6, kStep); }

    bool RunUntil(const std::function<bool()>& done) { return driver_.RunUntil(done, 20, kStep); }

    // The card of the character with this name on the home screen, as the grid orders it now.
    void ClickCard(const std::wstring& name) {
        std::vector<std::shared_ptr<Character>> shown = State().characters;
        Main::Home::SortForDisplay(shown, driver_.Window().homeScreen->sortAlphabetical);
        const auto found =
            std::find_if(shown.begin(), shown.end(), [&](const auto& character) { return character->name == name; });
        ASSERT_NE(found, shown.end()) << "no card for " << testing::PrintToString(name);
        const Rect& content = driver_.Window().contentRect;
        const Rect card =
            Main::Home::CardRect(Main::Home::GridFor(content), static_cast<size_t>(found - shown.begin()));
        ASSERT_LT(card.y + 130, content.y + content.h) << "the card is below the window's edge";
        driver_.Click(card.x + 60, card.y + 130);
    }

    ChatScreen::ComposerLayout Composer() {
        const Rect content = driver_.Window().contentRect;
        const float sidebar = std::min(0.3f * content.w, 300.0f);
        const float width = content.w - sidebar;
        const float height = Screen().ComposerHeight(driver_.Ui(), width);
        return ChatScreen::LayOutComposer({content.x + sidebar, content.y + content.h - height, width, height});
    }

    void ClickAt(const Rect& rect) { driver_.Click(rect.x + rect.w / 2, rect.y + rect.h / 2); }

    void Send(const std::wstring& text) {
        ClickAt(Composer().editor);
        driver_.Type(text);
        driver_.Key(VK_RETURN);
    }

    // The rows the list lays out now, oldest first.
    std::vector<ChatScreen::MessageRow> Rows() {
        const Rect& content = driver_.Window().contentRect;
        const float sidebar = std::min(0.3f * content.w, 300.0f);
        const Main::ChatRows::Column column = Main::ChatRows::ColumnFor(
            {content.x + sidebar, content.y + 70, content.w - sidebar, Screen().viewportHeight});
        std::vector<ChatScreen::MessageRow> rows;
        Screen().LayoutMessages(driver_.Ui(), rows, column.maxBubble);
        return rows;
    }

    std::vector<std::wstring> ShownTexts() {
        std::vector<std::wstring> texts;
        for (const ChatScreen::MessageRow& row : Rows()) {
            texts.push_back(row.message->content);
        }
        return texts;
    }

    size_t LastIndex() { return State().currentChat->messages.size() - 1; }
    std::shared_ptr<Message> Last() { return State().currentChat->messages.back(); }

    Rect Bubble(size_t index) {
        const std::optional<Rect> bubble = ChatBubbleAt(driver_, static_cast<int>(index));
        EXPECT_TRUE(bubble.has_value()) << "message " << index << " is not laid out";
        return bubble.value_or(Rect{});
    }

    // The rect of the widget that takes the pointer at (x, y); none when nothing does.
    std::optional<Rect> WidgetAt(float x, float y) {
        driver_.Move(x, y);
        driver_.Frame(kStep);
        const uint64_t hovered = driver_.Ui().hover;
        return hovered ? driver_.WidgetRect(hovered) : std::nullopt;
    }

    // The composer's round button draws the stop disc in the danger colour while a reply runs.
    bool StopShown() {
        const Rect button = Composer().sendButton;
        const std::vector<uint32_t> pixels = driver_.Pixels();
        const int width = driver_.Window().graphics.PixelWidth();
        const auto x = static_cast<size_t>(button.x + button.w / 2);
        const auto y = static_cast<size_t>(button.y + button.h / 2 + 14);  // below the square and the icon
        return !pixels.empty() && SameColor(pixels[y * width + x], Main::Kit::KitPalette().danger);
    }

    // Brings in the message's hover bar and clicks one of its buttons.
    void ClickAction(size_t index, Icon icon) {
        const Rect bubble = Bubble(index);
        driver_.Move(bubble.x + bubble.w / 2, bubble.y + bubble.h / 2);
        driver_.RunFor(0.25, kStep);
        driver_.ClickWidget(ChatScreen::ActionId(State().currentChat->messages.at(index).get(), icon));
        driver_.Frame(kStep);
    }

private:
    FrameDriver& driver_;
};

std::vector<std::wstring> StoredTexts(const std::wstring& chatId) {
    std::vector<std::wstring> texts;
    for (const auto& character : Storage::LoadCharacters()) {
        for (const auto& chat : *character->chats) {
            if (chat->id == chatId && texts.empty()) {
                for (const auto& message : chat->messages) {
                    texts.push_back(message->content);
                }
            }
        }
    }
    return texts;
}

FrameDriver::Options Fixture() {
    FrameDriver::Options options = WindowWithPersona(false, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->initial_message = kGreeting;
    options.characters.push_back(ana);

    // A duo whose chat has only its greeting.
    auto bea = Character::Create();
    auto ciro = Character::Create();
    bea->name = L"Bea";
    ciro->name = L"Ciro";
    bea->is_dual_mode = ciro->is_dual_mode = true;
    bea->dual_partner_id = ciro->id;
    ciro->dual_partner_id = bea->id;
    // Written the evening before the driver's clock.
    auto chat = Chat::Create();
    chat->timestamp = L"2025-03-06T21:10:00.0000000+01:00";
    chat->messages.push_back(Message::Create(L"assistant", L"¡Bienvenida a la librería!"));
    chat->messages.back()->timestamp = chat->timestamp;
    bea->chats->push_back(chat);
    ciro->chats = bea->chats;
    options.characters.push_back(bea);
    options.characters.push_back(ciro);
    return options;
}

TEST(ChatWalk, SendStreamStopRegenerateRetryAndADuoInAutoAndManualReachTheFiles) {
    FakeHttpServer server;
    PointAt provider(server);
    FrameDriver driver(Fixture());
    ASSERT_TRUE(driver.Opened());
    Main::MainWindow& window = driver.Window();
    ChatWalk walk(driver);
    Services::AppState& state = ChatWalk::State();
    ChatScreen& screen = walk.Screen();
    ASSERT_TRUE(driver.Settle(10, kStep));
    ASSERT_EQ(driver.CurrentScreen(), Main::kHomeScreen);

    // 1. Ana's card opens her chat with her greeting; a message sent with Enter gets a reply that
    //    comes in word by word under a caret while the stop button stands in for send.
    driver.ClickWidget("sort-az");
    walk.ClickCard(L"Ana");
    ASSERT_EQ(driver.CurrentScreen(), Main::kChatScreen);
    ASSERT_EQ(state.currentCharacter->name, L"Ana");
    walk.Rest();
    EXPECT_EQ(walk.ShownTexts(), std::vector<std::wstring>{kGreeting});
    EXPECT_FALSE(walk.StopShown());

    server.Enqueue(ProviderStream()
                       .Body(Event("Claro,"))
                       .AwaitRelease()
                       .Body(Event(" te vi ayer"))
                       .AwaitRelease()
                       .Body(Event(" en el faro."))
                       .Body(kFinished));
    walk.Send(L"Hola, Ana. ¿Me recuerdas?");
    EXPECT_TRUE(screen.composerText.empty());
    ASSERT_EQ(state.currentChat->messages.size(), 3u);
    const std::shared_ptr<Message> first = walk.Last();
    for (const std::wstring partial : {L"Claro,", L"Claro, te vi ayer"}) {
        ASSERT_TRUE(walk.RunUntil([&] { return first->content == partial; })) << testing::PrintToString(partial);
        driver.Frame(kStep);
        const ChatScreen::MessageRow row = walk.Rows().back();
        EXPECT_TRUE(row.message->is_typing);
        // The caret's room follows the streamed text.
        EXPECT_EQ(row.text.text.rfind(partial, 0), 0u) << testing::PrintToString(row.text.text);
        EXPECT_TRUE(walk.StopShown());
        server.Release();
    }
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    EXPECT_EQ(first->content, L"Claro, te vi ayer en el faro.");
    EXPECT_FALSE(first->is_typing);
    EXPECT_EQ(walk.ShownTexts(),
              (std::vector<std::wstring>{kGreeting, L"Hola, Ana. ¿Me recuerdas?", L"Claro, te vi ayer en el faro."}));
    EXPECT_FALSE(walk.StopShown());
    EXPECT_TRUE(driver.Toasts().empty());

    // 2. The next reply is stopped from the composer while it streams: what came stays.
    server.Enqueue(ProviderStream().Body(Event("Pues mira, te cuento")).Stall());
    walk.Send(L"¿Qué hacías allí?");
    const std::shared_ptr<Message> stopped = walk.Last();
    ASSERT_TRUE(walk.RunUntil([&] { return stopped->content == L"Pues mira, te cuento"; }));
    ASSERT_TRUE(walk.StopShown());
    walk.ClickAt(walk.Composer().sendButton);
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    EXPECT_FALSE(stopped->is_typing);
    EXPECT_TRUE(stopped->error.empty());
    EXPECT_EQ(walk.Last(), stopped);
    EXPECT_EQ(walk.ShownTexts().back(), L"Pues mira, te cuento");
    EXPECT_FALSE(walk.StopShown());
    EXPECT_TRUE(driver.Toasts().empty());

    // 3. Regenerated from its hover bar, the reply has two versions: the switcher goes back to the
    //    stopped text, and "Quedarme con esta" keeps that one alone.
    server.Enqueue(ProviderStream().Body(Event("Buscaba un libro perdido.")).Body(kFinished));
    const size_t replyIndex = walk.LastIndex();
    walk.ClickAction(replyIndex, Icon::Refresh);
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    const std::shared_ptr<Message> regenerated = walk.Last();
    EXPECT_EQ(regenerated->content, L"Buscaba un libro perdido.");
    ChatScreen::MessageRow row = walk.Rows().back();
    ASSERT_EQ(row.versionCount, 2);
    EXPECT_EQ(Main::ChatRows::VersionCounter(*regenerated, row.versionCount), L"2 / 2");

    Rect bubble = walk.Bubble(replyIndex);
    const float switcher = bubble.y + bubble.h + 6 + 14;  // the line under the bubble
    driver.Click(bubble.x + 14, switcher);                // "Versión anterior"
    EXPECT_EQ(regenerated->content, L"Pues mira, te cuento");
    row = walk.Rows().back();
    EXPECT_EQ(Main::ChatRows::VersionCounter(*regenerated, row.versionCount), L"1 / 2");
    EXPECT_EQ(StoredTexts(state.currentChat->id).back(), L"Pues mira, te cuento");
    walk.Rest();
    ASSERT_EQ(walk.Bubble(replyIndex).y, bubble.y);
    driver.Click(bubble.x + 112 + 20, switcher);  // "Quedarme con esta"
    EXPECT_FALSE(regenerated->regeneration_id);
    walk.Rest();
    EXPECT_EQ(walk.Rows().back().versionCount, 0);
    EXPECT_EQ(walk.ShownTexts().back(), L"Pues mira, te cuento");

    // 4. The provider refuses the next one: the bubble says why and offers to retry or discard;
    //    the retry answers.
    const std::string refusal =
        "{\"error\":{\"message\":\"Rate limit reached for requests\",\"type\":\"rate_limit_error\",\"param\":null,"
        "\"code\":\"rate_limit_exceeded\"}}";
    const std::wstring why = Services::DeepSeekService::ErrorText(refusal, 429);
    server.Enqueue(FakeReply::Json(429, refusal));
    walk.Send(L"¿Lo encontraste?");
    const std::shared_ptr<Message> failed = walk.Last();
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    EXPECT_EQ(failed->error, why);
    ASSERT_FALSE(driver.Toasts().empty());
    EXPECT_EQ(driver.Toasts().back(), why);
    bubble = walk.Bubble(walk.LastIndex());
    EXPECT_GE(bubble.w, 260);
    const float buttons = bubble.y + bubble.h - 44;
    const float retryWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Reintentar", Main::Kit::kButtonFontSize);
    const float discardWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Descartar", Main::Kit::kButtonFontSize);
    const Rect retry = {bubble.x + 16, buttons, retryWidth, 34};
    const Rect discard = {retry.x + retryWidth + 8, buttons, discardWidth, 34};
    for (const Rect& button : {discard, retry}) {
        const std::optional<Rect> under = walk.WidgetAt(button.x + button.w / 2, button.y + button.h / 2);
        ASSERT_TRUE(under.has_value());
        EXPECT_FLOAT_EQ(under->x, button.x);
        EXPECT_FLOAT_EQ(under->w, button.w);
    }
    server.Enqueue(ProviderStream().Body(Event("Sí, estaba bajo la escalera.")).Body(kFinished));
    walk.ClickAt(retry);
    EXPECT_TRUE(failed->error.empty());
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    EXPECT_EQ(walk.Last(), failed);
    EXPECT_EQ(failed->content, L"Sí, estaba bajo la escalera.");
    // The error's toast lies over the composer in this window; a click sends it away.
    const Rect& client = window.windowRect;
    driver.Click(client.x + client.w / 2, client.y + client.h - 24 - 20);
    driver.RunFor(0.4, kStep);
    EXPECT_TRUE(driver.Toasts().empty());
    const std::wstring anaChat = state.currentChat->id;
    const std::vector<std::wstring> anaShown = walk.ShownTexts();
    EXPECT_EQ(anaShown,
              (std::vector<std::wstring>{kGreeting, L"Hola, Ana. ¿Me recuerdas?", L"Claro, te vi ayer en el faro.",
                                         L"¿Qué hacías allí?", L"Pues mira, te cuento", L"¿Lo encontraste?",
                                         L"Sí, estaba bajo la escalera."}));

    // 5. The duo, from home: in Auto both answer a message, each under its own name; in Manual
    //    nobody does until the user picks who speaks.
    driver.Click(43, Main::MainWindow::kTitleBarHeight + 14 + 38);  // the rail's "Inicio"
    ASSERT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    driver.RunFor(0.8, kStep);
    walk.ClickCard(L"Bea");
    ASSERT_EQ(driver.CurrentScreen(), Main::kChatScreen);
    ASSERT_TRUE(state.dualMode);
    ASSERT_EQ(state.currentCharacter->name, L"Bea");
    walk.Rest();

    // Both answers wait until the test has seen the two replies running: the fake provider would
    // otherwise answer within the frames of the key that sends.
    server.Enqueue(ProviderStream().AwaitRelease().Body(Event("Pasa, pasa.")).Body(kFinished));
    server.Enqueue(ProviderStream().AwaitRelease().Body(Event("Yo te enseño la tienda.")).Body(kFinished));
    walk.Send(L"Hola a los dos.");
    ASSERT_EQ(state.runningReplies.size(), 2u);
    server.Release(2);
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    std::vector<ChatScreen::MessageRow> rows = walk.Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].speakerName, L"Bea");
    EXPECT_EQ(rows[3].speakerName, L"Ciro");
    std::vector<std::wstring> answers = {rows[2].message->content, rows[3].message->content};
    std::sort(answers.begin(), answers.end());
    // The two jobs reach the provider in either order.
    EXPECT_EQ(answers, (std::vector<std::wstring>{L"Pasa, pasa.", L"Yo te enseño la tienda."}));

    const Rect modeBar = walk.Composer().modeBar;
    driver.Click(modeBar.x + 135, modeBar.y + modeBar.h / 2);  // "Manual"
    EXPECT_TRUE(state.manualReplies);
    walk.Send(L"¿Quién me atiende?");
    walk.Rest();
    EXPECT_TRUE(state.runningReplies.empty());
    EXPECT_EQ(Async::UnfinishedJobs(), 0);
    EXPECT_EQ(walk.Last()->content, L"¿Quién me atiende?");
    EXPECT_EQ(server.Requests().size(), 7u);

    // Both speaker buttons fit beside the duo's chips, in the small window too.
    server.Enqueue(ProviderStream().AwaitRelease().Body(Event("Yo mismo.")).Body(kFinished));
    const uint64_t ciroButton = UI::NonZeroId(UI::Fnv1a64(UI::MakeIdFromText("manual-reply"), std::wstring(L"Ciro")));
    walk.Rest();
    ASSERT_TRUE(driver.WidgetRect(ciroButton).has_value()) << "no speaker button for Ciro";
    driver.ClickWidget(ciroButton);
    ASSERT_EQ(state.runningReplies.size(), 1u);
    server.Release();
    ASSERT_TRUE(walk.RunUntil([&] { return state.runningReplies.empty(); }));
    walk.Rest();
    rows = walk.Rows();
    EXPECT_EQ(rows.back().speakerName, L"Ciro");
    EXPECT_EQ(rows.back().message->content, L"Yo mismo.");

    // 6. Each chat file holds what its screen showed.
    EXPECT_EQ(StoredTexts(anaChat), anaShown);
    EXPECT_EQ(StoredTexts(state.currentChat->id), walk.ShownTexts());
    driver.Leave();
    driver.RunFor(0.3, kStep);
    EXPECT_TRUE(driver.SavePng(L"chat-walk.png"));
}

}  // namespace
}  // namespace Lorvex::Testing

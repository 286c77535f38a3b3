// The chat's message list on the real window, driven as a user drives it: it opens at the newest
// message and follows it, lets go when the wheel turns up and comes back by the jump button or a
// message of the user's own, pages the window with its two buttons, switches between regenerated
// versions and keeps one, and retries or discards a failed reply.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "main/kit/Buttons.h"
#include "services/state/AppState.h"
#include "ui/ScrollArea.h"
#include "tests/main/ChatBubbleAt.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::ChatScreen;

// Frames this far apart where only where things come to rest matters: llvmpipe frames are slow.
constexpr double kStep = 0.05;

std::wstring Stamp(int day, int minute) {
    wchar_t text[48];
    std::swprintf(text, 48, L"2025-02-%02dT%02d:%02d:00.0000000+01:00", day, 9 + minute / 60 % 12, minute % 60);
    return text;
}

// Ana with one chat of count lines, the user and Ana taking turns, ten lines a day.
FrameDriver::Options ChatOf(int count) {
    FrameDriver::Options options = WindowWithPersona(true, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    auto chat = Chat::Create();
    for (int i = 0; i < count; ++i) {
        auto message = Message::Create(i % 2 == 0 ? L"assistant" : L"user",
                                       L"Línea " + std::to_wstring(i) + L": *sonríe* y sigue hablando del viaje.");
        message->timestamp = Stamp(1 + i / 10 % 28, i);
        chat->messages.push_back(message);
    }
    ana->chats->push_back(chat);
    options.characters.push_back(ana);
    return options;
}

class ChatListTest : public ::testing::Test {
protected:
    void Open(FrameDriver::Options options) {
        driver_ = std::make_unique<FrameDriver>(std::move(options));
        ASSERT_TRUE(driver_->Opened());
        driver_->Window().OpenCharacter(FrameDriver::State().characters.front());
        Rest();
    }

    void Rest() { driver_->Settle(10, kStep); }

    ChatScreen& Screen() { return *driver_->Window().chatScreen; }
    Services::AppState& State() { return FrameDriver::State(); }

    // The list's area in the window, as the screen lays it out.
    Rect Area() {
        const Rect& content = driver_->Window().contentRect;
        const float side = std::min(0.3f * content.w, 300.0f);
        return {content.x + side, content.y + 70, content.w - side, Screen().viewportHeight};
    }

    float Bottom() { return std::max(Screen().contentHeight - Screen().viewportHeight, 0.0f); }

    void ClickJump() {
        const Rect area = Area();
        driver_->Click(area.x + area.w - 70 + 23, area.y + area.h - 64 + 23);
    }

    // The bubble of the window's last row, in window coordinates, with the list at rest.
    Rect LastBubble() {
        const Rect area = Area();
        const Main::ChatRows::Column column = Main::ChatRows::ColumnFor(area);
        std::vector<ChatScreen::MessageRow> rows;
        Screen().LayoutMessages(driver_->Ui(), rows, column.maxBubble);
        float top = Main::ChatRows::FirstRowTop(Screen().windowStart);
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            top += rows[i].height;
        }
        const ChatScreen::MessageRow& row = rows.back();
        const float y = area.y + top - Screen().scrollOffset + (row.newDay ? 46.0f : 0.0f) + (row.grouped ? 4 : 36);
        const float x = row.isUser ? column.x + column.width - 48 - row.bubbleWidth : column.x + 48;
        return {x, y, row.bubbleWidth, row.bubbleHeight};
    }

    std::unique_ptr<FrameDriver> driver_;
};

TEST_F(ChatListTest, FollowsTheNewestUntilTheWheelTurnsUpAndComesBackByTheJumpOrTheUsersMessage) {
    Open(ChatOf(200));
    ChatScreen& screen = Screen();
    EXPECT_EQ(screen.windowStart, 140);
    EXPECT_TRUE(screen.followLatest);
    EXPECT_EQ(screen.rowsBuilt, 60u);
    EXPECT_LT(screen.rowsDrawn, 20u);  // only the rows near the viewport
    EXPECT_NEAR(screen.scrollOffset, Bottom(), 0.5f);

    const Rect area = Area();
    driver_->Scroll(area.x + area.w / 2, area.y + area.h / 2, 4);
    EXPECT_FALSE(screen.followLatest);
    Rest();
    const float reading = screen.scrollOffset;
    EXPECT_NEAR(reading, Bottom() - 4 * 72, 0.5f);

    // A reply arrives while the user reads: nothing moves, and the jump button offers the rest.
    State().currentChat->messages.push_back(Message::Create(L"assistant", L"¿Sigues ahí?"));
    Rest();
    EXPECT_FALSE(screen.followLatest);
    EXPECT_EQ(screen.windowStart, 140);
    EXPECT_FLOAT_EQ(screen.scrollOffset, reading);

    ClickJump();
    Rest();
    EXPECT_TRUE(screen.followLatest);
    EXPECT_EQ(screen.windowStart, 141);  // the newest window again
    EXPECT_NEAR(screen.scrollOffset, Bottom(), 0.5f);

    // The user's own message brings a reading list back to the bottom.
    driver_->Scroll(area.x + area.w / 2, area.y + area.h / 2, 3);
    Rest();
    EXPECT_FALSE(screen.followLatest);
    State().currentChat->messages.push_back(Message::Create(L"user", L"Aquí sigo."));
    Rest();
    EXPECT_TRUE(screen.followLatest);
    EXPECT_EQ(screen.windowStart, 142);
    EXPECT_NEAR(screen.scrollOffset, Bottom(), 0.5f);
}

TEST_F(ChatListTest, DraggingTheThumbUpLetsGoOfTheNewestAndDraggingItBackDownTakesItAgain) {
    Open(ChatOf(200));
    ChatScreen& screen = Screen();
    const Rect area = Area();
    const std::optional<UI::ScrollThumb> thumb = UI::ThumbFor(area, screen.scrollOffset, screen.contentHeight);
    ASSERT_TRUE(thumb);
    const float x = thumb->hit.x + thumb->hit.w / 2;
    const float y = thumb->hit.y + thumb->hit.h / 2;
    driver_->Move(x, y);
    driver_->Press();
    for (int step = 1; step <= 4; ++step) {
        driver_->Move(x, y - 40.0f * step);
    }
    driver_->Release();
    Rest();
    EXPECT_FALSE(screen.followLatest);
    const float reading = screen.scrollOffset;
    EXPECT_LT(reading, Bottom() - 300);

    // A reply arriving now leaves the list where the user dragged it.
    State().currentChat->messages.push_back(Message::Create(L"assistant", L"¿Sigues ahí?"));
    Rest();
    EXPECT_FLOAT_EQ(screen.scrollOffset, reading);

    const std::optional<UI::ScrollThumb> up = UI::ThumbFor(area, screen.scrollOffset, screen.contentHeight);
    ASSERT_TRUE(up);
    driver_->Move(x, up->hit.y + up->hit.h / 2);
    driver_->Press();
    driver_->Move(x, area.y + area.h + 200);  // past the end of the track
    driver_->Release();
    Rest();
    EXPECT_TRUE(screen.followLatest);
    EXPECT_NEAR(screen.scrollOffset, Bottom(), 0.5f);
}

TEST_F(ChatListTest, ThePagingButtonsMoveTheWindowByTwentyFiveAndTheJumpReturnsToTheNewest) {
    Open(ChatOf(200));
    ChatScreen& screen = Screen();
    const Rect area = Area();
    const Main::ChatRows::Column column = Main::ChatRows::ColumnFor(area);
    const float middle = column.x + column.width / 2;

    driver_->Scroll(middle, area.y + area.h / 2, 200);  // to the top
    Rest();
    ASSERT_FLOAT_EQ(screen.scrollOffset, 0);
    driver_->Click(middle, area.y + 14 + 18);  // "Cargar 25 mensajes anteriores"
    Rest();
    EXPECT_EQ(screen.windowStart, 115);
    EXPECT_FALSE(screen.followLatest);

    driver_->Scroll(middle, area.y + area.h / 2, -200);  // to the bottom, above the newer button
    Rest();
    ASSERT_NEAR(screen.scrollOffset, Bottom(), 0.5f);
    EXPECT_EQ(screen.windowStart, 115);  // reaching the bottom of an older window does not page
    driver_->Click(middle, area.y + screen.contentHeight - 70 + 18 - screen.scrollOffset);
    Rest();
    EXPECT_EQ(screen.windowStart, 140);

    driver_->Scroll(middle, area.y + area.h / 2, 200);
    Rest();
    driver_->Click(middle, area.y + 14 + 18);
    Rest();
    ASSERT_EQ(screen.windowStart, 115);
    ClickJump();
    Rest();
    EXPECT_EQ(screen.windowStart, 140);
    EXPECT_TRUE(screen.followLatest);
    EXPECT_NEAR(screen.scrollOffset, Bottom(), 0.5f);
}

TEST_F(ChatListTest, TheVersionSwitcherStepsThroughTheVersionsSavesTheChoiceAndKeepsOne) {
    FrameDriver::Options options = ChatOf(3);
    options.characters.front()->chats->front()->messages.back()->content = L"uno";
    Open(std::move(options));
    Message& reply = *State().currentChat->messages.back();
    reply.regeneration_id = L"grupo";
    reply.regeneration_index = 0;
    State().versions[L"grupo"] = {L"uno", L"dos", L"tres"};
    Rest();

    const auto versionLine = [&] { return LastBubble().y + LastBubble().h + 6 + 14; };
    const auto previous = [&] { driver_->Click(LastBubble().x + 14, versionLine()); };
    const auto next = [&] { driver_->Click(LastBubble().x + 76 + 14, versionLine()); };
    const int revision = State().revision;
    next();
    EXPECT_EQ(reply.content, L"dos");
    EXPECT_EQ(reply.regeneration_index, 1);
    EXPECT_GT(State().revision, revision);
    next();
    next();  // disabled on the last version
    EXPECT_EQ(reply.content, L"tres");
    EXPECT_EQ(reply.regeneration_index, 2);
    previous();
    EXPECT_EQ(reply.content, L"dos");

    // The chosen version is what the chat file holds.
    std::vector<std::shared_ptr<Character>> stored = Storage::LoadCharacters();
    ASSERT_EQ(stored.size(), 1u);
    ASSERT_EQ(stored.front()->chats->size(), 1u);
    EXPECT_EQ(stored.front()->chats->front()->messages.back()->content, L"dos");

    Rest();
    driver_->Click(LastBubble().x + 112 + 20, versionLine());  // "Quedarme con esta"
    EXPECT_EQ(State().versions.count(L"grupo"), 0u);
    EXPECT_FALSE(reply.regeneration_id);
    EXPECT_FALSE(reply.regeneration_index);
    EXPECT_EQ(reply.content, L"dos");
    Rest();
    std::vector<ChatScreen::MessageRow> rows;
    Screen().LayoutMessages(driver_->Ui(), rows, 500);
    EXPECT_EQ(rows.back().versionCount, 0);
}

TEST_F(ChatListTest, AFailedReplyIsRetriedOrDiscardedFromItsBubble) {
    // The retried reply's stream is cut, once the test has seen it typing.
    FakeHttpServer server;
    PointAt provider(server);
    server.Enqueue(ProviderStream().AwaitRelease().Reset());

    FrameDriver::Options options = ChatOf(2);
    Open(std::move(options));
    auto failed = Message::Create(L"assistant", L"");
    failed->error = L"Sin conexión";
    State().currentChat->messages.push_back(failed);
    Rest();

    const Rect bubble = LastBubble();
    EXPECT_GE(bubble.w, 260);
    const float buttons = bubble.y + bubble.h - 44 + 17;
    driver_->Click(bubble.x + 16 + 20, buttons);  // "Reintentar"
    EXPECT_TRUE(failed->is_typing);
    EXPECT_TRUE(failed->error.empty());
    server.Release();
    ASSERT_TRUE(driver_->RunUntil([&] { return !failed->is_typing; }, 20, kStep));
    EXPECT_FALSE(failed->error.empty());
    EXPECT_EQ(State().currentChat->messages.back(), failed);

    Rest();
    const float retryWidth = Main::Kit::ButtonWidth(driver_->Ui(), L"Reintentar", Main::Kit::kButtonFontSize);
    driver_->Click(LastBubble().x + 16 + retryWidth + 8 + 20, buttons);  // "Descartar"
    EXPECT_EQ(State().currentChat->messages.size(), 2u);
}

TEST_F(ChatListTest, TheStreamingCaretStandsRightAfterTheLastCharacterOfBoldText) {
    Open(ChatOf(2));
    // The caret is placed in the styled text's own layout: where bold runs are wider than plain
    // text (Segoe UI's semibold), the plain text's layout would put it inside the words, or on
    // another line.
    auto reply = Message::Create(L"assistant",
                                 L"**Entonces vamos al mercado del puerto, que a esta hora ya "
                                 L"abre sus puestos de fruta y de pescado fresco**");
    reply->is_typing = true;
    State().currentChat->messages.push_back(reply);
    driver_->RunFor(1, kStep);

    const std::optional<Rect> bubble = ChatBubbleAt(*driver_, 2);
    ASSERT_TRUE(bubble);
    const std::vector<uint32_t> pixels = driver_->Pixels();
    const int width = driver_->Ui().graphics->PixelWidth();
    ASSERT_EQ(static_cast<float>(width), driver_->Ui().graphics->Width());  // one pixel per DIP
    // Inside the bubble, clear of its outline and round corners: the text is light on the dark
    // surface, the caret is the accent's pink.
    const int left = static_cast<int>(bubble->x) + 12;
    const int right = static_cast<int>(bubble->x + bubble->w) - 16;
    const int top = static_cast<int>(bubble->y) + 8;
    const int bottom = static_cast<int>(bubble->y + bubble->h) - 8;
    const auto channel = [](uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); };
    const auto ink = [&](uint32_t p) { return channel(p, 8) > 110; };
    const auto caret = [&](uint32_t p) { return channel(p, 16) > 80 && channel(p, 16) > channel(p, 0) + 20; };
    int caretLeft = right;
    int caretRight = left;
    int caretTop = bottom;
    int caretBottom = top;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (caret(pixels[static_cast<size_t>(y) * width + x])) {
                caretLeft = std::min(caretLeft, x);
                caretRight = std::max(caretRight, x);
                caretTop = std::min(caretTop, y);
                caretBottom = std::max(caretBottom, y);
            }
        }
    }
    ASSERT_LT(caretLeft, caretRight) << "no caret drawn";
    int lastInk = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (!ink(pixels[static_cast<size_t>(y) * width + x])) {
                continue;
            }
            EXPECT_LT(y, caretBottom + 6) << "text below the caret's line at " << x << "," << y;
            if (y >= caretTop && y <= caretBottom) {
                EXPECT_LT(x, caretLeft) << "text right of the caret at " << x << "," << y;
                lastInk = std::max(lastInk, x);
            }
        }
    }
    // Right after the last glyph (the caret stands 2 DIP on), not after the space kept for it.
    EXPECT_GE(lastInk, 0) << "no text on the caret's line";
    EXPECT_LE(caretLeft - lastInk, 6) << "the caret stands apart from the text";
}

}  // namespace
}  // namespace Lorvex::Testing

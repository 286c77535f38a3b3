// The chat screen's rules that need no picture: where a message's action bar goes, whose photo a
// known speaker shows, and the rows the message list builds from the open chat (on a window that
// was never opened, so every text measures empty and the sizes are the bubbles' minimums).

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "main/kit/KitColor.h"
#include "tests/main/MainWindowTestSupport.h"

namespace Lorvex::Main {
namespace {

TEST(ChatScreenRules, TheActionBarStandsBesideTheBubbleWhenItFitsElseOverItsTopEdge) {
    struct Case {
        const char* what;
        float surface;
        bool isUser;
        bool duo;
        Rect bubble;
        Rect bar;
    };
    const Case cases[] = {
        {"user, room on the left", 1000, true, false, {500, 100, 300, 80}, {354, 102, 138, 38}},
        {"user, exactly room", 1000, true, false, {146, 100, 300, 80}, {0, 102, 138, 38}},
        {"user, no room", 1000, true, false, {145, 100, 300, 80}, {153, 68, 138, 38}},
        {"user, wide bubble", 1000, true, false, {300, 100, 600, 80}, {308, 68, 138, 38}},
        {"reply, room on the right", 1000, false, false, {100, 100, 300, 80}, {408, 102, 202, 38}},
        {"duo reply, narrower bar", 1000, false, true, {100, 100, 300, 80}, {408, 102, 170, 38}},
        {"reply, no room", 1000, false, false, {500, 100, 300, 80}, {590, 68, 202, 38}},
        {"duo reply, one DIP short", 618, false, true, {100, 100, 300, 80}, {222, 68, 170, 38}},
        {"duo reply, one DIP to spare", 619, false, true, {100, 100, 300, 80}, {408, 102, 170, 38}},
        {"reply 620 wide with room beside it", 2000, false, false, {100, 100, 620, 80}, {510, 68, 202, 38}},
    };
    for (const Case& c : cases) {
        const Rect bar = ChatScreen::ActionBarRect(c.surface, c.isUser, c.duo, c.bubble);
        EXPECT_FLOAT_EQ(bar.x, c.bar.x) << c.what;
        EXPECT_FLOAT_EQ(bar.y, c.bar.y) << c.what;
        EXPECT_FLOAT_EQ(bar.w, c.bar.w) << c.what;
        EXPECT_FLOAT_EQ(bar.h, c.bar.h) << c.what;
    }
}

TEST(ChatScreenRules, AKnownSpeakersPhotoComesFromTheFirstPersonOfThatNameInAnyCase) {
    const auto person = [](const std::wstring& name, const std::wstring& bubble, std::optional<std::wstring> photo) {
        KnownCharacter known;
        known.name = name;
        known.bubble_name = bubble;
        known.photoPath = std::move(photo);
        return known;
    };
    const std::vector<KnownCharacter> known = {
        person(L"Clara", L"Clari", L"clara.png"), person(L"Leo", L"", std::nullopt), person(L"leo", L"", L"leo.png"),
        person(L"", L"", L"nobody.png"),          person(L"Ana", L"", L"ana.png"),
    };
    struct Case {
        std::wstring speaker;
        std::optional<std::wstring> photo;
    };
    const Case cases[] = {
        {L"Clari", L"clara.png"},  {L"cLARI", L"clara.png"},
        {L"CLARA", L"clara.png"},  {L"Leo", std::nullopt},  // the first Leo has no photo and ends the search
        {L"ana", L"ana.png"},      {L"An", std::nullopt},
        {L"Anabel", std::nullopt}, {L"Marta", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChatScreen::FindKnownPhoto(c.speaker, known), c.photo) << c.speaker;
    }
    EXPECT_EQ(ChatScreen::FindKnownPhoto(L"Ana", {}), std::nullopt);
}

class ChatRowsTest : public Testing::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        window_ = std::make_unique<MainWindow>();
    }
    void TearDown() override {
        window_.reset();
        MainWindowTest::TearDown();
    }

    static bool SaidByUser(int i) { return (i + 1) / 3 % 2 == 0; }

    // The open chat: count messages, the day changing every 20 and the speaker every 3 (from the
    // second message on).
    std::shared_ptr<Chat> OpenChat(int count) {
        auto character = AddCharacter(L"Ana");
        auto chat = Chat::Create();
        for (int i = 0; i < count; ++i) {
            auto message = Message::Create(SaidByUser(i) ? L"user" : L"assistant", L"Línea " + std::to_wstring(i));
            wchar_t stamp[48];
            std::swprintf(stamp, 48, L"2025-02-%02dT10:%02d:00.0000000+01:00", 1 + i / 20 % 28, i % 60);
            message->timestamp = stamp;
            chat->messages.push_back(message);
        }
        character->chats->push_back(chat);
        state().currentCharacter = character;
        state().currentChat = chat;
        window_->chatScreen->ResetForChat();
        return chat;
    }

    std::vector<ChatScreen::MessageRow> Rows(float maxBubble = 500) {
        std::vector<ChatScreen::MessageRow> rows;
        window_->chatScreen->LayoutMessages(window_->ui, rows, maxBubble);
        return rows;
    }

    std::unique_ptr<MainWindow> window_;
};

TEST_F(ChatRowsTest, TheWindowHoldsTheNewestSixtyWithDaysAndGroupsReadAcrossItsEdge) {
    OpenChat(200);
    ChatScreen& screen = *window_->chatScreen;
    std::vector<ChatScreen::MessageRow> rows = Rows();
    EXPECT_EQ(screen.windowStart, 140);  // the newest window, stored
    ASSERT_EQ(rows.size(), 60u);
    EXPECT_EQ(rows.front().index, 140);
    EXPECT_EQ(rows.back().index, 199);
    // 140 starts a day (139, outside the window, belongs to the day before) and a run of the
    // character's lines (140..142); 143 is the user's.
    EXPECT_TRUE(rows[0].newDay);
    EXPECT_FALSE(rows[0].grouped);
    EXPECT_FALSE(rows[1].newDay);
    EXPECT_TRUE(rows[1].grouped);
    EXPECT_TRUE(rows[2].grouped);
    EXPECT_FALSE(rows[3].grouped);
    EXPECT_EQ(rows[0].dayKey, L"2025-02-08");
    EXPECT_EQ(rows[0].timeText, L"10:20");

    screen.windowStart = 141;
    rows = Rows();
    EXPECT_FALSE(rows[0].newDay);  // 140 is of the same day, though outside the window
    EXPECT_TRUE(rows[0].grouped);
    EXPECT_EQ(rows.size(), 59u);

    screen.windowStart = 500;  // after deletions: repaired to the newest window
    rows = Rows();
    EXPECT_EQ(screen.windowStart, 140);

    // Speakers, colours and heights: the user in the accent, the character in the secondary one.
    const UI::Material::Theme& palette = Kit::KitPalette();
    for (const ChatScreen::MessageRow& row : rows) {
        EXPECT_EQ(row.isUser, SaidByUser(row.index));
        EXPECT_EQ(row.speakerName, row.isUser ? L"Tú" : L"Ana");
        EXPECT_EQ(row.color.ToArgb(), (row.isUser ? palette.accent : palette.secondary).ToArgb());
        EXPECT_FLOAT_EQ(row.height, ChatRows::RowHeight(row.grouped, row.newDay, row.bubbleHeight, row.versionCount));
    }
}

TEST_F(ChatRowsTest, FailedTypingAndRegeneratedRepliesGetTheirOwnBubblesAndNoTimeWhenHidden) {
    std::shared_ptr<Chat> chat = OpenChat(6);
    for (int i = 0; i < 3; ++i) {
        chat->messages[i]->role = L"assistant";
    }
    Message& failed = *chat->messages[0];
    failed.error = L"Sin conexión";
    Message& typing = *chat->messages[1];
    typing.is_typing = true;
    typing.content.clear();
    Message& versioned = *chat->messages[2];
    versioned.regeneration_id = L"g";
    versioned.regeneration_index = 1;
    state().versions[L"g"] = {L"uno", L"dos", L"tres"};

    std::vector<ChatScreen::MessageRow> rows = Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_FLOAT_EQ(rows[0].bubbleWidth, 260);  // at least 260 when the maximum allows
    EXPECT_FLOAT_EQ(rows[0].bubbleHeight, rows[0].textHeight + 66);
    EXPECT_FALSE(rows[1].grouped);  // a failed reply never groups with the next
    EXPECT_FLOAT_EQ(rows[1].bubbleWidth, 78);
    EXPECT_FLOAT_EQ(rows[1].bubbleHeight, 44);
    EXPECT_TRUE(rows[2].grouped);
    EXPECT_EQ(rows[2].versionCount, 3);
    EXPECT_FLOAT_EQ(rows[2].height, ChatRows::RowHeight(true, false, rows[2].bubbleHeight, 3));
    EXPECT_EQ(Rows(200)[0].bubbleWidth, 200);  // the maximum wins over the 260

    // Hiding the times changes nothing else.
    Settings::Instance().show_timestamps = false;
    const std::vector<ChatScreen::MessageRow> hidden = Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].timeText.empty());
        EXPECT_TRUE(hidden[i].timeText.empty());
        EXPECT_FLOAT_EQ(hidden[i].height, rows[i].height);
    }
}

TEST_F(ChatRowsTest, ALongChatLaysOutOnlyItsWindowAndKeepsOnlyTheWindowsMeasurements) {
    OpenChat(10000);
    ChatScreen& screen = *window_->chatScreen;
    EXPECT_EQ(Rows().size(), 60u);
    EXPECT_EQ(screen.rowLayouts.Size(), 60u);
    screen.windowStart = 0;
    EXPECT_EQ(Rows().front().index, 0);
    EXPECT_EQ(screen.rowLayouts.Size(), 60u);  // the newest window's measurements went
}

TEST_F(ChatRowsTest, TheScreenNamesTheConversationAndGivesAnOpenCharacterWithoutAChatANewOne) {
    ChatScreen& screen = *window_->chatScreen;
    EXPECT_EQ(screen.Title(), L"Chat");
    auto ana = AddCharacter(L"Ana");
    ana->initial_message = L"*Levanta la vista* Hola.";
    auto kai = AddCharacter(L"Kai");
    state().currentCharacter = ana;
    EXPECT_EQ(screen.Title(), L"Chat con Ana");
    state().dualMode = true;
    EXPECT_EQ(screen.Title(), L"Chat con Ana");  // a duo needs its partner
    state().dualPartner = kai;
    EXPECT_EQ(screen.Title(), L"Ana y Kai");
    state().dualMode = false;
    state().dualPartner = nullptr;

    window_->Navigate(kChatScreen);
    ASSERT_EQ(window_->currentScreen, kChatScreen);
    ASSERT_FALSE(state().currentChat);
    Frame(*window_);
    ASSERT_TRUE(state().currentChat);
    ASSERT_EQ(state().currentChat->messages.size(), 1u);
    EXPECT_EQ(state().currentChat->messages.front()->content, L"*Levanta la vista* Hola.");
    Frame(*window_);
    EXPECT_EQ(screen.shownChat, state().currentChat);
    EXPECT_EQ(ana->chats->size(), 1u);  // one chat, not one per frame
}

TEST_F(ChatRowsTest, OpeningAChatLetsItsNewestRowsEnterFirstAndALaterMessageAtOnce) {
    Frame(*window_);  // the clock runs, as it does before a user can open anything
    std::shared_ptr<Chat> chat = OpenChat(30);
    window_->Navigate(kChatScreen);
    Frame(*window_);
    ChatScreen& screen = *window_->chatScreen;
    const double reset = screen.lastResetTime;
    ASSERT_EQ(screen.appearTimes.size(), 30u);  // every row of the window, drawn or not
    const auto enters = [&](int index) { return screen.appearTimes.at(chat->messages[index].get()); };
    EXPECT_DOUBLE_EQ(enters(29), reset);
    EXPECT_DOUBLE_EQ(enters(28), reset + 0.035);
    EXPECT_DOUBLE_EQ(enters(19), reset + 0.35);
    EXPECT_DOUBLE_EQ(enters(0), reset + 0.35);

    RunFor(*window_, 1);
    chat->messages.push_back(Message::Create(L"assistant", L"Otra línea."));
    Frame(*window_);
    EXPECT_DOUBLE_EQ(screen.appearTimes.at(chat->messages.back().get()), window_->ui.time);
    EXPECT_DOUBLE_EQ(enters(29), reset);  // a row keeps its entrance
}

}  // namespace
}  // namespace Lorvex::Main

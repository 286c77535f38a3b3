// The main window's pure rules: the hit test of its own frame, the slide direction of screen
// switches, the toast of a finished reply, the stored size's round trip and the tooltip box.

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "main/MainWindow.h"
#include "main/WindowRules.h"

namespace Lorvex::Main {
namespace {

TEST(MainWindowRules, HitTestSizesAtTheEdgesDragsByTheTitleBandAndLeavesItsButtonsToTheClient) {
    const std::vector<Rect> buttons = {{900, 12, 34, 34}, {940, 12, 34, 34}};
    struct Case {
        float x, y;
        bool maximized;
        LRESULT code;
    };
    const Case cases[] = {
        {0, 0, false, HTTOPLEFT},         {5.9f, 5.9f, false, HTTOPLEFT},
        {999, 0, false, HTTOPRIGHT},      {994, 5, false, HTTOPRIGHT},
        {0, 300, false, HTLEFT},          {2, 699, false, HTBOTTOMLEFT},
        {999, 300, false, HTRIGHT},       {995, 696, false, HTBOTTOMRIGHT},
        {500, 2, false, HTTOP},           {500, 698, false, HTBOTTOM},
        {6, 6, false, HTCAPTION},     // just inside the border: the title band
        {500, 30, false, HTCAPTION},  // between the buttons' band and the rail
        {934, 30, false, HTCAPTION},  // a button's right edge is outside it
        {900, 12, false, HTCLIENT},   // its top-left corner is inside
        {933.9f, 45.9f, false, HTCLIENT}, {950, 20, false, HTCLIENT},
        {500, 58, false, HTCLIENT},                                 // below the title band
        {500, 57.9f, false, HTCAPTION},   {0, 0, true, HTCAPTION},  // maximised: no sizing edges
        {999, 699, true, HTCLIENT},       {910, 20, true, HTCLIENT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MainWindow::HitTest(c.x, c.y, 1000, 700, c.maximized, buttons), c.code)
            << c.x << "," << c.y << (c.maximized ? " maximised" : "");
    }
}

// The maximise button answers as the system's own, so that Windows 11 offers its snap layouts over
// it; an overlay that takes the band takes it too.
TEST(MainWindowRules, TheMaximiseButtonAnswersHtMaxButtonUnlessAnOverlayTakesTheBand) {
    const std::vector<Rect> buttons = {{900, 12, 34, 34}, {940, 12, 34, 34}};
    const std::optional<Rect> maximize = buttons[0];
    struct Case {
        float x, y;
        bool maximized;
        bool takesBand;
        LRESULT code;
    };
    const Case cases[] = {
        {900, 12, false, false, HTMAXBUTTON},    {933.9f, 45.9f, true, false, HTMAXBUTTON},
        {934, 30, false, false, HTCAPTION},      {950, 20, false, false, HTCLIENT},
        {910, 20, false, true, HTCLIENT},        {910, 2, false, false, HTTOP},  // the sizing edge first
    };
    for (const Case& c : cases) {
        const BandCover cover{std::nullopt, c.takesBand};
        EXPECT_EQ(MainWindow::HitTest(c.x, c.y, 1000, 700, c.maximized, buttons, cover, maximize), c.code)
            << c.x << "," << c.y;
    }
}

TEST(MainWindowRules, AnOpenOverlaysPanelIsNeverADragAndABandItClosesOnIsItsToo) {
    const std::vector<Rect> buttons = {{900, 12, 34, 34}};
    const Rect panel = {200, 32, 600, 500};
    struct Case {
        float x, y;
        bool takesBand;
        LRESULT code;
    };
    const Case cases[] = {
        {300, 40, false, HTCLIENT},   // the panel's title, under the band
        {799, 32, false, HTCLIENT},   // its top-right corner
        {800, 40, false, HTCAPTION},  // just right of it, not dismissable: the band drags
        {100, 20, true, HTCLIENT},    // beside it, where a click closes it
        {910, 20, false, HTCLIENT},   // the window's own buttons stay the client's
        {300, 2, true, HTTOP},        // the sizing edge still sizes
        {300, 300, false, HTCLIENT},
    };
    for (const Case& c : cases) {
        const BandCover cover{panel, c.takesBand};
        EXPECT_EQ(MainWindow::HitTest(c.x, c.y, 1000, 700, false, buttons, cover), c.code) << c.x << "," << c.y;
    }
}

TEST(MainWindowRules, ScreensSlideInFromTheRightGoingForwardOrFromHomeAndFromTheLeftGoingBack) {
    struct Case {
        int32_t from, to;
        float direction;
    };
    const Case cases[] = {
        {kHomeScreen, kChatScreen, 1},
        {kHomeScreen, kPersonaFormScreen, 1},
        {kPersonaFormScreen, kHomeScreen, -1},
        {kPersonasScreen, kChatScreen, -1},
        {kChatScreen, kCharacterFormScreen, 1},
        {kCharacterFormScreen, kChatScreen, -1},
        {kPersonasScreen, kPersonaFormScreen, 1},
        {kChatScreen, kHomeScreen, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MainWindow::SlideDirection(c.from, c.to), c.direction) << c.from << " -> " << c.to;
    }
}

TEST(MainWindowRules, AFinishedReplyIsAnnouncedOffTheChatScreenAndAFailedOneEverywhere) {
    for (int32_t screen = kHomeScreen; screen < kScreenCount; ++screen) {
        const std::optional<ToastNote> failed = ReplyFinishedToast(L"Sin conexión", screen);
        ASSERT_TRUE(failed) << screen;
        EXPECT_EQ(failed->text, L"Sin conexión");
        EXPECT_EQ(failed->kind, Kit::ToastKind::Error);

        const std::optional<ToastNote> done = ReplyFinishedToast(L"", screen);
        if (screen == kChatScreen) {
            EXPECT_FALSE(done);
        } else {
            ASSERT_TRUE(done) << screen;
            EXPECT_EQ(done->text, L"Nueva respuesta en el chat");
            EXPECT_EQ(done->kind, Kit::ToastKind::Info);
        }
    }
}

TEST(MainWindowRules, AStoredSizeOpenedAndClosedUnchangedIsStoredAgainAtEveryScale) {
    EXPECT_EQ(WindowPixels(1200, 96), 1200);
    EXPECT_EQ(WindowPixels(1201, 120), 1501);  // 1501.25, truncated
    EXPECT_EQ(WindowPixels(980, 144), 1470);
    for (const float dpi : {96.0f, 120.0f, 144.0f, 168.0f, 192.0f, 216.0f}) {
        for (int32_t dips = 980; dips <= 2000; ++dips) {
            ASSERT_EQ(WindowDips(WindowPixels(dips, dpi), dpi), dips) << dips << " at " << dpi;
        }
    }
    // A size the user dragged to stores the smallest size that opens at least as large.
    EXPECT_EQ(WindowDips(1502, 120), 1202);
    EXPECT_GE(WindowPixels(WindowDips(1502, 120), 120), 1502);
}

TEST(MainWindowRules, ATooltipSitsCentredBelowThePointerInsideTheWindowOrAboveItNearTheBottom) {
    struct Case {
        float x, y;
        Rect box;
    };
    // A text of 63.4 by 14.2 makes a box of 80 by 31.
    const Case cases[] = {
        {400, 100, {360, 120, 80, 31}},       {10, 100, {0, 120, 80, 31}},  // kept inside the left edge
        {790, 100, {720, 120, 80, 31}},                                     // and the right one
        {400, 549, {360, 569, 80, 31}},                                     // just fits below
        {400, 550, {360, 515, 80, 31}},                                     // flipped above: 550 - 31 - 4
        {400.6f, 100.4f, {361, 120, 80, 31}},
    };
    for (const Case& c : cases) {
        const Rect box = TooltipBox(63.4f, 14.2f, c.x, c.y, 800, 600);
        EXPECT_EQ(box.x, c.box.x) << c.x << "," << c.y;
        EXPECT_EQ(box.y, c.box.y) << c.x << "," << c.y;
        EXPECT_EQ(box.w, c.box.w);
        EXPECT_EQ(box.h, c.box.h);
    }
}

}  // namespace
}  // namespace Lorvex::Main

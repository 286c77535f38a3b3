// The main loop's wait arithmetic, its drawing step and its waking for posted work.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "App/MainLoop.h"
#include "foundation/Async.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Window.h"

namespace Lorvex::App {
namespace {

TEST(MainLoop, WaitsAreWholeMillisecondsEndingAtOrAfterTheDeadline) {
    struct Case {
        double seconds;
        uint32_t expected;
    };
    const Case cases[] = {
        {0.0102, 11},  // a timer due in 10.2 ms
        {0.0033, 4},   // a frame due 8.3 ms after a start 5 ms ago
        {0.0000001, 1}, {0.005, 6}, {0, 0}, {-0.25, 0}, {1e9, 4294967294u},  // far away, yet never INFINITE
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WaitMilliseconds(c.seconds), c.expected) << c.seconds;
    }

    EXPECT_EQ(IdleTimeout({}), INFINITE);
    EXPECT_EQ(IdleTimeout({0.5, 0.0102}), 11u);
    EXPECT_EQ(IdleTimeout({5.0, -1.0}), 0u);  // an overdue timer ends the wait at once
}

class LoopWindow : public UI::Window {
public:
    void Draw() override {
        ++draws;
        if (onDraw) {
            onDraw();
        }
    }
    std::function<void()> onDraw;
    int draws = 0;
};

TEST(MainLoop, DrawsOnlyVisibleLiveWindowsThatAreDue) {
    ASSERT_TRUE(Testing::GraphicsReady());
    UI::Window::Options options;
    options.width = 200;
    options.height = 150;
    options.showCommand = 0;
    LoopWindow hidden;
    ASSERT_TRUE(hidden.Create(options));
    options.showCommand = SW_SHOWNOACTIVATE;
    LoopWindow first;
    ASSERT_TRUE(first.Create(options));
    auto second = std::make_unique<LoopWindow>();
    ASSERT_TRUE(second->Create(options));

    // The first window's frame destroys the second: the turn skips it instead of drawing it.
    first.onDraw = [&] { second.reset(); };
    EXPECT_TRUE(DrawDueWindows(UI::Window::Clock()));
    EXPECT_EQ(first.draws, 1);
    EXPECT_EQ(hidden.draws, 0);
    EXPECT_TRUE(hidden.dirty);
    // Nothing is due any more.
    EXPECT_FALSE(DrawDueWindows(UI::Window::Clock()));

    ShowWindow(first.hwnd, SW_MINIMIZE);
    first.dirty = true;
    EXPECT_FALSE(DrawDueWindows(UI::Window::Clock()));
}

TEST(MainLoop, APostFromAWorkerWakesTheIdleLoop) {
    ASSERT_TRUE(Async::Startup());
    // A timer ends the test if the wake is lost.
    Async::SetTimeout(5000, [] { PostQuitMessage(99); });
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(Async::StartThread([] {
        Sleep(100);
        Async::Post([] { PostQuitMessage(7); });
    }));
    EXPECT_EQ(RunLoop(), 7);
    EXPECT_LT(GetTickCount64() - start, 3000u);
    Async::Shutdown();
}

TEST(MainLoop, WakesForTheFramesOfAnAnimatingWindowInTheBackground) {
    ASSERT_TRUE(Testing::GraphicsReady());
    ASSERT_TRUE(Async::Startup());
    // In the background a frame falls due 1.5 refreshes after the last: later than the pacing
    // wait after a frame, so the idle wait must end at the window's deadline.
    UI::Window::SetPacingSeamsForTesting({nullptr, nullptr, [] { return false; }});
    UI::Window::Options options;
    options.width = 200;
    options.height = 150;
    options.showCommand = SW_SHOWNOACTIVATE;
    LoopWindow window;
    ASSERT_TRUE(window.Create(options));
    window.onDraw = [&] { window.ui.animating = true; };

    // About 30 frames a second.
    Async::SetTimeout(1000, [] { PostQuitMessage(0); });
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_GE(window.draws, 10);
    UI::Window::SetPacingSeamsForTesting({});
    Async::Shutdown();
}

}  // namespace
}  // namespace Lorvex::App

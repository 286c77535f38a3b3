// Work deferred to the end of a frame, and the tooltip's timeline under injected time: it waits
// for the pointer to rest, shows for five seconds, and a press hides it until the pointer leaves.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/UiHarness.h"

namespace Lorvex::UI {
namespace {

using Testing::UiHarness;

TEST(UiDefer, RunsInOrderIncludingWorkDeferredWhileRunning) {
    UiHarness h;
    std::vector<int> order;
    h.Frame([&] {
        h.ui.Defer([&] { order.push_back(1); });
        h.ui.Defer([&] {
            // Enough to move the list while this callback runs.
            for (int i = 0; i < 50; ++i) {
                h.ui.Defer([&order, i] { order.push_back(100 + i); });
            }
            order.push_back(2);
        });
        h.ui.Defer([&] { order.push_back(3); });
        EXPECT_TRUE(order.empty());  // nothing runs before the frame ends
    });
    ASSERT_EQ(order.size(), 53u);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 2);
    EXPECT_EQ(order[2], 3);
    EXPECT_EQ(order[3], 100);
    EXPECT_EQ(order[52], 149);
    EXPECT_EQ(h.ui.DeferredCount(), 0u);

    // Work deferred by a frame that never ended is dropped by the next frame's start.
    bool ran = false;
    h.ui.BeginFrame(h.input, h.now, UiHarness::kFrameDt);
    h.ui.Defer([&] { ran = true; });
    h.Frame();
    EXPECT_FALSE(ran);
}

TEST(UiDefer, DeferredWorkKeepsTheSuspensionItWasDeferredUnder) {
    UiHarness h;
    h.MoveTo(20, 20);
    const Rect everywhere = {0, 0, 100, 100};
    std::vector<bool> hits;
    h.Frame([&] {
        // Content beneath a modal: its tooltip must not react either.
        h.ui.hitSuspended = true;
        h.ui.Defer([&] { hits.push_back(h.ui.Hit(everywhere)); });
        h.ui.hitSuspended = false;
        h.ui.Defer([&] { hits.push_back(h.ui.Hit(everywhere)); });
        h.ui.hitSuspended = true;  // left set by the draw routine
    });
    EXPECT_EQ(hits, (std::vector<bool>{false, true}));
    EXPECT_FALSE(h.ui.hitSuspended);
}

class UiTooltip : public ::testing::Test {
protected:
    struct Shown {
        std::wstring text;
        float x, y;
    };

    void SetUp() override {
        h.ui.tooltipDrawer = [this](Graphics&, const std::wstring& text, float x, float y) {
            shown.push_back({text, x, y});
        };
    }

    // One frame of the button with its tooltip, dt after the previous; true when it was drawn.
    bool Frame(float dt = UiHarness::kFrameDt) {
        shown.clear();
        h.Frame(
            [&] {
                h.ui.Interact(kButton, {0, 0, 100, 40});
                h.ui.Tooltip(kButton, L"Guardar");
            },
            dt);
        return !shown.empty();
    }
    // Brings the pointer onto the button and runs the frame that makes it the hover owner.
    void Enter(float x = 20, float y = 20) {
        h.MoveTo(x, y);
        Frame();
    }

    const uint64_t kButton = MakeIdFromText("save-btn");
    UiHarness h;
    std::vector<Shown> shown;
};

TEST_F(UiTooltip, ShowsAfterRestingAndEndsAfterFiveSeconds) {
    Enter(20, 20);
    // Hovered from here: the timeline starts at this frame.
    EXPECT_FALSE(Frame(0.1f));
    EXPECT_TRUE(h.ui.animating);  // waiting needs frames
    EXPECT_FALSE(Frame(0.39f));
    EXPECT_TRUE(Frame(0.02f));  // 0.41 s after the start
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Guardar");
    EXPECT_EQ(shown[0].x, 20);
    EXPECT_EQ(shown[0].y, 20);

    // Once shown, a move keeps it where it appeared.
    h.MoveTo(30, 25);
    EXPECT_TRUE(Frame());
    EXPECT_EQ(shown[0].x, 20);
    EXPECT_TRUE(Frame(4.9f));   // 5.33 s
    EXPECT_FALSE(Frame(0.1f));  // 5.43 s: over
    EXPECT_FALSE(h.ui.animating);
    EXPECT_FALSE(Frame(10));
}

TEST_F(UiTooltip, MovingRestartsTheDelayAndTheAnchorFollows) {
    Enter();
    EXPECT_FALSE(Frame(0.1f));
    h.MoveTo(40, 30);
    EXPECT_FALSE(Frame(0.3f));  // moved 0.3 s in: the delay starts over here
    EXPECT_FALSE(Frame(0.3f));
    EXPECT_TRUE(Frame(0.11f));
    EXPECT_EQ(shown[0].x, 40);
    EXPECT_EQ(shown[0].y, 30);
}

TEST_F(UiTooltip, PressHidesItUntilThePointerLeavesAndReturns) {
    for (const size_t button : {Button::Left, Button::Right}) {
        SCOPED_TRACE(button);
        Enter();
        Frame(0.1f);
        EXPECT_TRUE(Frame(0.5f));
        h.Press(button);
        EXPECT_FALSE(Frame());
        EXPECT_FALSE(h.ui.animating);
        h.Release(button);
        EXPECT_FALSE(Frame());
        EXPECT_FALSE(Frame(0.5f));  // resting again does not bring it back

        h.MoveTo(300, 300);  // away
        Frame();
        EXPECT_EQ(h.ui.tooltipId, 0u);
        Enter();
        EXPECT_FALSE(Frame(0.1f));
        EXPECT_TRUE(Frame(0.5f));
        h.MoveTo(300, 300);
        Frame();
    }
}

TEST_F(UiTooltip, OnlyTheHoveredWidgetWithATextShowsOne) {
    Enter();
    Frame(0.1f);
    const auto frameWith = [&](uint64_t id, const wchar_t* text) {
        shown.clear();
        h.Frame(
            [&] {
                h.ui.Interact(kButton, {0, 0, 100, 40});
                h.ui.Tooltip(id, text);
            },
            0.5f);
        return !shown.empty();
    };
    EXPECT_FALSE(frameWith(kButton, L""));
    EXPECT_FALSE(frameWith(MakeIdFromText("other"), L"Otro"));
    EXPECT_TRUE(frameWith(kButton, L"Guardar"));
}

TEST(UiTooltipBox, BelowTheAnchorInsideTheSurface) {
    struct Case {
        const char* name;
        float anchorX, anchorY;
        float pixelsPerDip;
        Rect expected;
    };
    // Text 50.2 x 14.6 gives a 63 x 21 box; surface 300 x 200.
    const Case cases[] = {
        {"below the pointer", 40, 50, 1, {40, 70, 63, 21}},
        {"kept inside the right edge", 280, 50, 1, {237, 70, 63, 21}},
        {"kept inside the left edge", -10, 50, 1, {0, 70, 63, 21}},
        {"above near the bottom", 40, 170, 1, {40, 147, 63, 21}},
        {"snapped to whole pixels", 40.4f, 50.2f, 1, {40, 70, 63, 21}},
        {"snapped at 150 %", 40.4f, 50, 1.5f, {40.0f + 2.0f / 3, 70, 63, 21}},
    };
    for (const auto& c : cases) {
        const Rect box = Ui::TooltipBox({50.2f, 14.6f}, c.anchorX, c.anchorY, 300, 200, c.pixelsPerDip);
        EXPECT_FLOAT_EQ(box.x, c.expected.x) << c.name;
        EXPECT_FLOAT_EQ(box.y, c.expected.y) << c.name;
        EXPECT_FLOAT_EQ(box.w, c.expected.w) << c.name;
        EXPECT_FLOAT_EQ(box.h, c.expected.h) << c.name;
    }
    // Wider than the surface: it starts at the left edge.
    EXPECT_FLOAT_EQ(Ui::TooltipBox({500, 14}, 100, 50, 300, 200, 1).x, 0);
}

}  // namespace
}  // namespace Lorvex::UI

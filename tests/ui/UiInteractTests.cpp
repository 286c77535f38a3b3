// Hover, press, click, wheel ownership and focus, driven frame by frame with hand-fed input: the
// hover owner of a frame is whatever claimed the pointer last in the frame before.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/ui/UiHarness.h"

namespace Lorvex::UI {
namespace {

using Testing::UiHarness;

const uint64_t kA = MakeIdFromText("a-btn");
const uint64_t kB = MakeIdFromText("b-btn");
const uint64_t kArea = MakeIdFromText("list");
const Rect kRectA = {10, 10, 40, 40};
const Rect kRectB = {30, 30, 40, 40};  // overlaps A at 30..50

class UiInteract : public ::testing::Test {
protected:
    // One frame drawing A then B (B on top); returns both results.
    std::pair<Interaction, Interaction> FrameAB(bool enabledB = true) {
        Interaction a;
        Interaction b;
        h.Frame([&] {
            a = h.ui.Interact(kA, kRectA);
            b = h.ui.Interact(kB, kRectB, enabledB);
        });
        return {a, b};
    }
    Interaction FrameA() {
        Interaction a;
        h.Frame([&] { a = h.ui.Interact(kA, kRectA); });
        return a;
    }

    UiHarness h;
};

TEST_F(UiInteract, HoverIsDecidedOneFrameLateAndEntersOnce) {
    h.MoveTo(20, 20);
    Interaction a = FrameA();
    EXPECT_FALSE(a.hovered);  // claimed now, owned from the next frame
    EXPECT_EQ(h.ui.hover, kA);
    EXPECT_EQ(h.ui.cursor, kArrowCursor);

    a = FrameA();
    EXPECT_TRUE(a.hovered);
    EXPECT_TRUE(a.entered);
    EXPECT_EQ(h.ui.cursor, kHandCursor);

    a = FrameA();
    EXPECT_TRUE(a.hovered);
    EXPECT_FALSE(a.entered);

    // Leaving: not hovered at once (the pointer is off the rect), the ownership goes at frame end.
    h.MoveTo(100, 100);
    a = FrameA();
    EXPECT_FALSE(a.hovered);
    EXPECT_EQ(h.ui.hover, 0u);
    EXPECT_EQ(h.ui.cursor, kArrowCursor);

    // Coming back enters again.
    h.MoveTo(20, 20);
    FrameA();
    a = FrameA();
    EXPECT_TRUE(a.entered);

    // The pointer leaving the window drops the hover even over the rect.
    h.input.inside = false;
    FrameA();
    EXPECT_EQ(h.ui.hover, 0u);
}

TEST_F(UiInteract, TopmostClaimWins) {
    h.MoveTo(40, 40);  // over both
    FrameAB();
    auto [a, b] = FrameAB();
    EXPECT_FALSE(a.hovered);
    EXPECT_TRUE(b.hovered);

    // Work deferred to the end of the frame is drawn on top of everything and wins over both.
    const uint64_t menu = MakeIdFromText("menu");
    Interaction m;
    for (int i = 0; i < 2; ++i) {
        h.Frame([&] {
            h.ui.Interact(kA, kRectA);
            h.ui.Defer([&] { m = h.ui.Interact(menu, {0, 0, 100, 100}); });
            b = h.ui.Interact(kB, kRectB);
        });
    }
    EXPECT_FALSE(b.hovered);
    EXPECT_TRUE(m.hovered);

    // Where only A lies, A is hovered.
    h.MoveTo(15, 15);
    FrameAB();
    std::tie(a, b) = FrameAB();
    EXPECT_TRUE(a.hovered);
    EXPECT_FALSE(b.hovered);
}

TEST_F(UiInteract, DisabledWidgetCoversWithoutReacting) {
    h.MoveTo(40, 40);
    h.Frame([&] {
        h.ui.Interact(kA, kRectA);
        h.ui.Interact(kB, kRectB, false);
    });
    EXPECT_EQ(h.ui.hover, SaltedId(kB, Ui::kDisabledHoverSalt));

    h.Press();
    auto [a, b] = FrameAB(false);
    EXPECT_FALSE(a.hovered);
    EXPECT_FALSE(a.held);
    EXPECT_FALSE(b.hovered);
    EXPECT_FALSE(b.held);
    EXPECT_EQ(h.ui.active, 0u);
    h.Release();
    std::tie(a, b) = FrameAB(false);
    EXPECT_FALSE(a.clicked);
    EXPECT_FALSE(b.clicked);
}

TEST_F(UiInteract, ClickNeedsPressAndReleaseOnTheSameOwner) {
    h.MoveTo(20, 20);
    FrameA();
    FrameA();  // A is the hover owner now

    h.Press();
    Interaction a = FrameA();
    EXPECT_TRUE(a.held);
    EXPECT_FALSE(a.clicked);
    EXPECT_EQ(h.ui.active, kA);
    a = FrameA();
    EXPECT_TRUE(a.held);
    h.Release();
    a = FrameA();
    EXPECT_TRUE(a.clicked);
    EXPECT_FALSE(a.held);
    EXPECT_EQ(h.ui.active, 0u);  // the press ends with the frame
    a = FrameA();
    EXPECT_FALSE(a.clicked);

    // Press and release within one frame is a click too.
    h.Press();
    h.Release();
    EXPECT_TRUE(FrameA().clicked);

    // Pressed on A, released outside it: no click.
    h.Press();
    FrameA();
    h.MoveTo(90, 90);
    a = FrameA();
    EXPECT_TRUE(a.held);  // held follows the button, not the pointer
    h.Release();
    a = FrameA();
    EXPECT_FALSE(a.clicked);
    EXPECT_FALSE(a.held);
}

TEST_F(UiInteract, PressOnOneReleaseOnAnotherClicksNeither) {
    const Rect left = {0, 0, 50, 50};
    const Rect right = {60, 0, 50, 50};
    Interaction a;
    Interaction b;
    const auto frame = [&] {
        h.Frame([&] {
            a = h.ui.Interact(kA, left);
            b = h.ui.Interact(kB, right);
        });
    };
    h.MoveTo(20, 20);
    frame();
    h.Press();
    frame();
    EXPECT_TRUE(a.held);
    h.MoveTo(80, 20);
    frame();
    frame();  // B is the hover owner now, the button still down on A
    EXPECT_TRUE(b.hovered);
    EXPECT_TRUE(a.held);
    EXPECT_FALSE(b.held);
    h.Release();
    frame();
    EXPECT_FALSE(a.clicked);
    EXPECT_FALSE(b.clicked);
    EXPECT_FALSE(a.held);
}

TEST_F(UiInteract, PressBeforeTheWidgetOwnsTheHoverDoesNotCount) {
    // The pointer arrives and presses in the same frame: A is not yet the hover owner.
    h.MoveTo(20, 20);
    h.Press();
    Interaction a = FrameA();
    EXPECT_FALSE(a.held);
    h.Release();
    a = FrameA();
    EXPECT_FALSE(a.clicked);
}

TEST_F(UiInteract, RightAndMiddleClicksOnlyWhileHovered) {
    h.MoveTo(20, 20);
    FrameA();
    FrameA();
    h.Press(Button::Right);
    FrameA();
    h.Release(Button::Right);
    Interaction a = FrameA();
    EXPECT_TRUE(a.rightClicked);
    EXPECT_FALSE(a.clicked);
    h.Press(Button::Middle);
    h.Release(Button::Middle);
    a = FrameA();
    EXPECT_TRUE(a.middleClicked);
    EXPECT_FALSE(a.rightClicked);

    h.MoveTo(200, 200);
    FrameA();
    h.Release(Button::Right);
    EXPECT_FALSE(FrameA().rightClicked);
}

TEST_F(UiInteract, HooksRunOnlyWhenAskedFor) {
    int entered = 0;
    int clicked = 0;
    h.ui.onPointerEntered = [&] { ++entered; };
    h.ui.onClicked = [&] { ++clicked; };
    bool notify = false;
    const auto frame = [&] { h.Frame([&] { h.ui.Interact(kA, kRectA, true, notify); }); };

    h.MoveTo(20, 20);
    frame();
    frame();
    h.Press();
    h.Release();
    frame();
    EXPECT_EQ(entered, 0);
    EXPECT_EQ(clicked, 0);

    notify = true;
    h.MoveTo(200, 200);
    frame();
    h.MoveTo(20, 20);
    frame();
    frame();
    frame();
    EXPECT_EQ(entered, 1);
    h.Press();
    h.Release();
    frame();
    EXPECT_EQ(clicked, 1);
}

TEST_F(UiInteract, PressOnEmptySpaceDropsTheFocus) {
    h.ui.focus = kB;
    h.MoveTo(20, 20);
    FrameA();
    FrameA();
    h.Press();  // on A, the hover owner
    FrameA();
    EXPECT_EQ(h.ui.focus, kB);
    h.Release();
    FrameA();

    h.MoveTo(200, 200);
    FrameA();  // nothing is hovered from here on
    h.Press();
    FrameA();
    EXPECT_EQ(h.ui.focus, 0u);
}

TEST_F(UiInteract, BlockHoverCoversWhatWasDrawnBeneath) {
    const Rect panel = {0, 0, 100, 100};
    const uint64_t onPanel = MakeIdFromText("panel-btn");
    for (const bool blockWheel : {true, false}) {
        SCOPED_TRACE(blockWheel);
        UiHarness local;
        Interaction beneath;
        Interaction above;
        const auto frame = [&] {
            local.Frame([&] {
                beneath = local.ui.Interact(kA, kRectA);
                local.ui.nextWheelOwner = kArea;  // a scroll area beneath the panel
                local.ui.BlockHover(panel, blockWheel);
                above = local.ui.Interact(onPanel, {60, 60, 20, 20});
            });
        };
        local.MoveTo(20, 20);
        frame();
        local.Press();
        frame();
        local.Release();
        frame();
        EXPECT_FALSE(beneath.hovered);
        EXPECT_FALSE(beneath.clicked);
        EXPECT_NE(local.ui.hover, 0u);  // the panel owns the hover itself
        EXPECT_EQ(local.ui.wheelOwner, blockWheel ? 0u : kArea);

        // What is drawn on the panel, after it, is hovered as usual.
        local.MoveTo(70, 70);
        frame();
        frame();
        EXPECT_TRUE(above.hovered);
    }
}

TEST_F(UiInteract, WheelOwnerFollowsTheLastClaimWhileInside) {
    h.MoveTo(20, 20);
    h.Frame([&] { h.ui.nextWheelOwner = kArea; });
    EXPECT_EQ(h.ui.wheelOwner, kArea);
    h.Frame();
    EXPECT_EQ(h.ui.wheelOwner, 0u);
    h.input.inside = false;
    h.Frame([&] { h.ui.nextWheelOwner = kArea; });
    EXPECT_EQ(h.ui.wheelOwner, 0u);
}

TEST_F(UiInteract, HitFollowsClipsTransformsAndSuspension) {
    Ui& ui = h.ui;
    EXPECT_FALSE(ui.Hit({0, 0, 1000, 1000}));  // no input before the first frame

    const auto clip = [](Ui& u) { u.PushClip({10, 10, 20, 20}); };
    const auto translateThenScale = [](Ui& u) {  // local p is at 2p + 5 in the window
        u.PushTranslate(10, 10);
        u.PushScale(2, 5, 5);
    };
    const auto nestedScales = [](Ui& u) {  // local p is at 4p - 10
        u.PushScale(2, 0, 0);
        u.PushScale(2, 5, 5);
    };
    struct Case {
        const char* name;
        std::function<void(Ui&)> push;
        Rect rect;
        float x, y;
        bool expected;
    };
    // Rects and clips are half-open: the right and bottom edges belong to what lies beyond.
    const Case cases[] = {
        {"clip top-left corner", clip, {0, 0, 100, 100}, 10, 10, true},
        {"clip inside", clip, {0, 0, 100, 100}, 29.9f, 29.9f, true},
        {"clip right edge", clip, {0, 0, 100, 100}, 30, 15, false},
        {"clip bottom edge", clip, {0, 0, 100, 100}, 15, 30, false},
        {"left of clip", clip, {0, 0, 100, 100}, 9.9f, 15, false},
        {"mapped top-left", translateThenScale, {0, 0, 10, 10}, 5, 5, true},
        {"mapped inside", translateThenScale, {0, 0, 10, 10}, 24.9f, 24.9f, true},
        {"mapped right edge", translateThenScale, {0, 0, 10, 10}, 25, 10, false},
        {"before the mapped rect", translateThenScale, {0, 0, 10, 10}, 4, 4, false},
        {"nested top-left", nestedScales, {5, 5, 5, 5}, 10, 10, true},
        {"nested inside", nestedScales, {5, 5, 5, 5}, 29.9f, 29.9f, true},
        {"nested right edge", nestedScales, {5, 5, 5, 5}, 30, 20, false},
        {"before the nested rect", nestedScales, {5, 5, 5, 5}, 9.5f, 9.5f, false},
    };
    for (const auto& c : cases) {
        h.MoveTo(c.x, c.y);
        h.Frame([&] {
            c.push(ui);
            EXPECT_EQ(ui.Hit(c.rect), c.expected) << c.name;
        });
    }

    h.Frame([&] {
        translateThenScale(ui);
        EXPECT_FLOAT_EQ(ui.scale, 2);
        EXPECT_FLOAT_EQ(ui.offsetX, 5);
        // A clip pushed under the transform is kept in window coordinates.
        ui.PushClip({0, 0, 5, 5});
        EXPECT_FLOAT_EQ(ui.Clips().back().x, 5);
        EXPECT_FLOAT_EQ(ui.Clips().back().w, 10);
        ui.PopClip();
        EXPECT_TRUE(ui.Clips().empty());
        ui.PopTransform();
        EXPECT_FLOAT_EQ(ui.scale, 1);
        EXPECT_FLOAT_EQ(ui.offsetX, 10);
        ui.PopTransform();
        ui.PopTransform();  // nothing left: no effect
        ui.PopClip();
        EXPECT_FLOAT_EQ(ui.offsetX, 0);
    });

    h.MoveTo(20, 20);
    h.Frame([&] {
        ui.hitSuspended = true;
        EXPECT_FALSE(ui.Hit({0, 0, 100, 100}));
        ui.hitSuspended = false;
        // A frame that left pushes behind starts clean.
        ui.PushTranslate(500, 500);
        ui.PushClip({0, 0, 1, 1});
        ui.hitSuspended = true;
    });
    h.Frame([&] {
        EXPECT_TRUE(ui.Hit({0, 0, 100, 100}));
        EXPECT_TRUE(ui.Clips().empty());
        EXPECT_EQ(ui.TransformDepth(), 0u);
    });
}

TEST_F(UiInteract, IsVisibleAgainstTheClipAndTransform) {
    struct Case {
        const char* name;
        float scroll;  // translation applied before the row
        Rect row;
        float margin;
        bool expected;
    };
    // Clip {0, 0, 100, 100}.
    const Case cases[] = {
        {"inside", 0, {0, 10, 100, 20}, 0, true},
        {"just below", 0, {0, 105, 100, 20}, 0, false},
        {"just below, margin wider than the gap", 0, {0, 105, 100, 20}, 10, true},
        {"touching the bottom edge", 0, {0, 100, 100, 20}, 0, false},
        {"scrolled into view", -50, {0, 120, 100, 20}, 0, true},
        {"scrolled out above", -200, {0, 50, 100, 20}, 0, false},
        {"empty row", 0, {0, 10, 100, 0}, 0, false},
    };
    for (const auto& c : cases) {
        h.Frame([&] {
            h.ui.PushClip({0, 0, 100, 100});
            h.ui.PushTranslate(0, c.scroll);
            EXPECT_EQ(h.ui.IsVisible(c.row, c.margin), c.expected) << c.name;
        });
    }
    // Without a clip everything near the window is visible.
    h.Frame([&] { EXPECT_TRUE(h.ui.IsVisible({5000, 5000, 10, 10}, 0)); });
}

}  // namespace
}  // namespace Lorvex::UI

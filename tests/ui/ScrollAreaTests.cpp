// The scroll area driven frame by frame with hand-fed wheel and pointer input: the limits, the
// easing toward the target, which of nested areas takes the wheel, and the thumb's size and drag.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/UiHarness.h"
#include "ui/ScrollArea.h"

namespace Lorvex::UI {
namespace {

using Testing::UiHarness;

const uint64_t kList = MakeIdFromText("list");
const uint64_t kInner = MakeIdFromText("inner");
constexpr Rect kViewport = {0, 0, 100, 200};

// One area of the given content height; what it drew with, as seen by the caller.
float DrawArea(Ui& ui, uint64_t id, const Rect& viewport, float content, float step = 48) {
    ScrollArea area(ui, id, viewport, step);
    area.content = content;
    return area.offset;
}

float Offset(UiHarness& h, uint64_t id, const Rect& viewport, float content) {
    float offset = -1;
    h.Frame([&] { offset = DrawArea(h.ui, id, viewport, content); });
    return offset;
}

TEST(ScrollArea, WheelIsClampedToTheContentAndTakenFromTheInput) {
    UiHarness h;
    h.MoveTo(50, 50);
    // The first frame only learns the content height and claims the wheel.
    EXPECT_EQ(Offset(h, kList, kViewport, 500), 0);

    // Ten notches down aim past the end: the target stops at content - viewport.
    h.input.wheel = -1200;
    float wheelLeft = -1;
    h.Frame([&] {
        DrawArea(h.ui, kList, kViewport, 500);
        wheelLeft = h.input.wheel;
    });
    EXPECT_EQ(wheelLeft, 0);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 300);

    float offset = 0;
    for (int i = 0; i < 200 && h.ui.redraw; ++i) {
        offset = Offset(h, kList, kViewport, 500);
    }
    EXPECT_EQ(offset, 300);

    // Content drawn inside is hit where it shows: 350 DIPs down the content is 50 down the window.
    bool hovered = false;
    for (int i = 0; i < 2; ++i) {
        h.Frame([&] {
            ScrollArea area(h.ui, kList, kViewport, 48);
            hovered = h.ui.Interact(MakeIdFromText("row"), {0, 340, 100, 20}).hovered;
            area.content = 500;
        });
    }
    EXPECT_TRUE(hovered);

    // Past the top.
    h.input.wheel = 1200;
    Offset(h, kList, kViewport, 500);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 0);

    // Content that shrinks pulls the offset back at once, not by easing.
    h.ui.State<ScrollState>(kList).target = 300;
    h.ui.State<ScrollState>(kList).current = 300;
    Offset(h, kList, kViewport, 250);
    EXPECT_EQ(Offset(h, kList, kViewport, 250), 50);

    // Content that fits (with half a DIP to spare) does not scroll and leaves the wheel alone.
    Offset(h, kList, kViewport, 200.5f);
    h.input.wheel = -120;
    h.Frame([&] {
        EXPECT_EQ(DrawArea(h.ui, kList, kViewport, 200.5f), 0);
        wheelLeft = h.input.wheel;
    });
    EXPECT_EQ(wheelLeft, -120);
}

TEST(ScrollArea, OffsetEasesTowardTheTargetAndSettles) {
    UiHarness h;
    h.MoveTo(50, 50);
    Offset(h, kList, kViewport, 1000);
    h.input.wheel = -120;
    // A notch of 64: 18 per second of the remaining distance, 0.3 of it in a 1/60 s frame.
    float offset = 0;
    h.Frame([&] { offset = DrawArea(h.ui, kList, kViewport, 1000, 64); });
    EXPECT_NEAR(offset, 64 * 0.3f, 1e-4);
    EXPECT_TRUE(h.ui.redraw);

    int frames = 1;
    float previous = offset;
    while (h.ui.redraw && frames < 100) {
        offset = Offset(h, kList, kViewport, 1000);
        EXPECT_GT(offset, previous);
        previous = offset;
        ++frames;
    }
    // 64 * 0.7^n < 0.5 after 14 frames; it lands on the target exactly and stops asking.
    EXPECT_EQ(offset, 64);
    EXPECT_EQ(frames, 14);
    EXPECT_EQ(Offset(h, kList, kViewport, 1000), 64);
    EXPECT_FALSE(h.ui.redraw);

    // A long frame does not overshoot.
    h.input.wheel = 120;
    h.Frame([&] { offset = DrawArea(h.ui, kList, kViewport, 1000); }, 0.1f);
    EXPECT_EQ(offset, 16);
    EXPECT_FALSE(h.ui.redraw);
}

TEST(ScrollArea, InnermostAreaUnderThePointerTakesTheWheel) {
    UiHarness h;
    const Rect outer = {0, 0, 200, 400};
    const Rect inner = {0, 50, 200, 100};  // content coordinates of the outer area
    float innerContent = 300;
    float wheelLeft = 0;
    const auto draw = [&] {
        ScrollArea area(h.ui, kList, outer, 48);
        DrawArea(h.ui, kInner, inner, innerContent);
        area.content = 1000;
        wheelLeft = h.input.wheel;
    };
    // The pointer rests a frame (the wheel owner is decided one frame late), then one notch down.
    const auto notchAt = [&](float x, float y) {
        h.MoveTo(x, y);
        h.Frame(draw);
        h.input.wheel = -120;
        h.Frame(draw);
    };
    notchAt(100, 100);
    EXPECT_EQ(h.ui.State<ScrollState>(kInner).target, 48);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 0);
    EXPECT_EQ(wheelLeft, 0);

    // Outside the inner area the outer one scrolls.
    notchAt(100, 300);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 48);
    EXPECT_EQ(h.ui.State<ScrollState>(kInner).target, 48);

    // An inner area that cannot scroll still owns the wheel: nothing scrolls and the caller keeps
    // the delta.
    innerContent = 50;
    h.Frame(draw);     // the inner area learns its new height
    notchAt(100, 80);  // inside the inner area wherever the outer one has eased to
    EXPECT_EQ(h.ui.wheelOwner, kInner);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 48);
    EXPECT_EQ(wheelLeft, -120);
}

TEST(ScrollArea, ThumbLengthFollowsTheContentAndNeverGoesUnder24) {
    struct Case {
        float offset;
        float content;
        float top;
        float length;
    };
    const Case cases[] = {
        {0, 400, 0, 100},      // half the content shows: half the track
        {200, 400, 100, 100},  // at the end the thumb reaches the bottom
        {0, 100000, 0, 24},    // very long content: the minimum
        {99800, 100000, 176, 24},
    };
    for (const Case& c : cases) {
        const auto thumb = ThumbFor(kViewport, c.offset, c.content);
        ASSERT_TRUE(thumb) << c.content;
        EXPECT_FLOAT_EQ(thumb->thumb.y, c.top) << c.offset << " " << c.content;
        EXPECT_FLOAT_EQ(thumb->thumb.h, c.length) << c.content;
        EXPECT_FLOAT_EQ(thumb->thumb.x, 92);
        EXPECT_FLOAT_EQ(thumb->thumb.w, 6);
        EXPECT_FLOAT_EQ(thumb->hit.x, 88);
        EXPECT_FLOAT_EQ(thumb->hit.w, 12);
        EXPECT_FLOAT_EQ(thumb->hit.h, c.length);
    }
    EXPECT_FALSE(ThumbFor(kViewport, 0, 200.5f));
    EXPECT_TRUE(ThumbFor(kViewport, 0, 200.6f));
}

TEST(ScrollArea, DraggingTheThumbMovesTheContentProportionallyWithoutEasing) {
    UiHarness h;
    // Content 1000 in 200: a 40 DIP thumb on a 160 DIP track for 800 DIPs of scrolling.
    h.MoveTo(95, 10);
    Offset(h, kList, kViewport, 1000);
    Offset(h, kList, kViewport, 1000);  // the thumb is the hover owner now
    h.Press();
    Offset(h, kList, kViewport, 1000);
    EXPECT_TRUE(h.ui.State<ScrollState>(kList).dragging);

    h.MoveTo(40, 50);  // off the thumb: the drag goes on
    Offset(h, kList, kViewport, 1000);
    EXPECT_EQ(h.ui.State<ScrollState>(kList).target, 200);
    EXPECT_EQ(Offset(h, kList, kViewport, 1000), 200);

    h.MoveTo(40, 500);  // past the end of the track
    Offset(h, kList, kViewport, 1000);
    EXPECT_EQ(Offset(h, kList, kViewport, 1000), 800);

    h.Release();
    Offset(h, kList, kViewport, 1000);
    EXPECT_FALSE(h.ui.State<ScrollState>(kList).dragging);

    // Content that comes to fit ends a drag in progress.
    h.ui.State<ScrollState>(kList).dragging = true;
    Offset(h, kList, kViewport, 150);
    EXPECT_FALSE(h.ui.State<ScrollState>(kList).dragging);
}

}  // namespace
}  // namespace Lorvex::UI

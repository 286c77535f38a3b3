// The toast queue driven frame by frame with a hand-fed clock and pointer: what a push keeps,
// when each kind hides and goes, how the rest slide into freed space, and dismissal by click.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/kit/Toasts.h"
#include "tests/ui/UiHarness.h"

namespace Lorvex::Main::Kit {
namespace {

using Testing::UiHarness;

// Without a device nothing measures, so every toast is 48 high and 72 wide, centred at x 400;
// the newest lies at the bottom slot, top 600 - 24 - 48.
constexpr Rect kArea = {0, 0, 800, 600};
constexpr float kBottomSlot = 528;
constexpr float kSlotStep = 58;  // height plus the gap

struct ToastsFixture : ::testing::Test {
    void Frame(float dt = UiHarness::kFrameDt) {
        harness.Frame([this] { toasts.Draw(harness.ui, kArea); }, dt);
    }
    void RunFor(double seconds) {
        const double until = harness.now + seconds;
        while (harness.now < until) {
            Frame();
        }
    }
    // Press and release over (x, y), with the hover frame it needs first.
    void ClickAt(float x, float y) {
        harness.MoveTo(x, y);
        Frame();
        harness.Press();
        Frame();
        harness.Release();
        Frame();
    }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> texts;
        for (const Toast& toast : toasts.Items()) {
            texts.push_back(toast.text);
        }
        return texts;
    }

    UiHarness harness;
    Toasts toasts;
};

TEST_F(ToastsFixture, RepeatedTextStacksOnlyOnceTheFirstCopyHides) {
    toasts.Push(L"Sin conexión", ToastKind::Error);
    toasts.Push(L"Sin conexión", ToastKind::Error);
    EXPECT_EQ(toasts.Items().size(), 1u);

    // An older copy does not block: only the newest is compared.
    toasts.Push(L"Guardado", ToastKind::Success);
    toasts.Push(L"Sin conexión", ToastKind::Error);
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Sin conexión", L"Guardado", L"Sin conexión"}));

    RunFor(0.5);
    ClickAt(400, kBottomSlot + 24);
    ASSERT_NE(toasts.Items().back().end, -1);
    toasts.Push(L"Sin conexión", ToastKind::Error);
    EXPECT_EQ(toasts.Items().size(), 4u);
    EXPECT_EQ(toasts.Items().back().end, -1);
}

TEST_F(ToastsFixture, SixPushesKeepTheFourNewest) {
    for (int i = 1; i <= 6; ++i) {
        toasts.Push(L"Aviso " + std::to_wstring(i), ToastKind::Info);
    }
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Aviso 3", L"Aviso 4", L"Aviso 5", L"Aviso 6"}));
}

TEST_F(ToastsFixture, EachKindHidesAfterItsTimeAndGoesShortlyAfter) {
    struct Case {
        ToastKind kind;
        double shown;
    };
    for (const Case c : {Case{ToastKind::Info, 3.6}, Case{ToastKind::Success, 3.6}, Case{ToastKind::Error, 6.0}}) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        Toasts queue;
        UiHarness clock;
        queue.Push(L"Aviso", c.kind);
        auto frame = [&] { clock.Frame([&] { queue.Draw(clock.ui, kArea); }); };

        // Times start at the first drawn frame, not at the push.
        clock.now += 100;
        frame();
        const double start = queue.Items().front().start;
        EXPECT_EQ(start, clock.now);
        while (queue.Items().front().end == -1) {
            frame();
        }
        const double end = queue.Items().front().end;
        EXPECT_GT(end - start, c.shown);
        EXPECT_LE(end - start, c.shown + UiHarness::kFrameDt + 1e-6);
        while (!queue.Empty()) {
            EXPECT_TRUE(clock.ui.animating);
            frame();
        }
        EXPECT_GT(clock.now - end, Toasts::kRemoveAfter);
        EXPECT_LE(clock.now - end, Toasts::kRemoveAfter + UiHarness::kFrameDt + 1e-6);
    }
}

TEST_F(ToastsFixture, OlderToastsGlideUpForANewOneAndDownIntoTheSpaceOfADismissedOne) {
    // Runs frames until the queue rests, checking that the oldest toast moves one way only (but
    // for what is left of an earlier glide: the queue rests within half a DIP of its slot) and
    // never jumps a whole slot in one frame.
    auto glide = [this](float direction) {
        float previous = toasts.Items()[0].y;
        bool moving = true;
        for (int i = 0; i < 120 && moving; ++i) {
            Frame();
            const float step = (toasts.Items()[0].y - previous) * direction;
            EXPECT_GE(step, -0.5f) << "frame " << i;
            EXPECT_LT(step, kSlotStep / 2) << "frame " << i;
            moving = harness.ui.redraw;
            previous = toasts.Items()[0].y;
        }
    };

    toasts.Push(L"Primero", ToastKind::Info);
    RunFor(1.0);
    EXPECT_NEAR(toasts.Items()[0].y, kBottomSlot, 0.5);
    toasts.Push(L"Segundo", ToastKind::Info);
    glide(-1);
    ASSERT_EQ(toasts.Items().size(), 2u);
    EXPECT_NEAR(toasts.Items()[0].y, kBottomSlot - kSlotStep, 0.5);
    EXPECT_NEAR(toasts.Items()[1].y, kBottomSlot, 0.5);

    ClickAt(400, kBottomSlot + 24);
    ASSERT_NE(toasts.Items()[1].end, -1);
    glide(1);
    ASSERT_EQ(toasts.Items().size(), 1u);
    EXPECT_NEAR(toasts.Items()[0].y, kBottomSlot, 0.5);
}

TEST_F(ToastsFixture, AClickDismissesOnlyTheToastUnderThePointer) {
    toasts.Push(L"Primero", ToastKind::Error);
    toasts.Push(L"Segundo", ToastKind::Error);
    RunFor(1.0);
    const double clickTime = harness.now + 3 * UiHarness::kFrameDt;
    ClickAt(400, kBottomSlot - kSlotStep + 24);
    EXPECT_NEAR(toasts.Items()[0].end, clickTime, 1e-6);
    EXPECT_EQ(toasts.Items()[1].end, -1);

    // A click beside the toasts touches nothing.
    ClickAt(100, kBottomSlot + 24);
    EXPECT_EQ(toasts.Items().back().end, -1);
    RunFor(0.35);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Segundo"});
}

TEST_F(ToastsFixture, APressHeldWhileAnOlderToastGoesStillDismisses) {
    // Removing the older toast moves the newer one inside the queue; its widget id must not
    // change with it.
    toasts.Push(L"Primero", ToastKind::Error);
    toasts.Push(L"Segundo", ToastKind::Error);
    RunFor(1.0);
    ClickAt(400, kBottomSlot - kSlotStep + 24);
    harness.MoveTo(400, kBottomSlot + 24);
    Frame();
    harness.Press();
    Frame();
    RunFor(0.4);
    ASSERT_EQ(Texts(), std::vector<std::wstring>{L"Segundo"});
    harness.Release();
    Frame();
    EXPECT_NE(toasts.Items().front().end, -1);
}

TEST(ToastCurves, EntryOvershootsThenSettlesAndExitFadesIn025Seconds) {
    EXPECT_NEAR(ToastEntry(0), 0, 1e-6);
    EXPECT_FLOAT_EQ(ToastEntry(0.35), 1);
    EXPECT_FLOAT_EQ(ToastEntry(10), 1);
    float peak = 0;
    for (double t = 0; t < 0.35; t += 0.005) {
        peak = std::max(peak, ToastEntry(t));
    }
    EXPECT_GT(peak, 1.0f);
    EXPECT_LT(peak, 1.2f);

    EXPECT_FLOAT_EQ(ToastExit(0), 1);
    EXPECT_GT(ToastExit(0.2), 0);
    EXPECT_FLOAT_EQ(ToastExit(0.25), 0);
}

}  // namespace
}  // namespace Lorvex::Main::Kit

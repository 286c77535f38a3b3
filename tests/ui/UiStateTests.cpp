// Per-id values with injected frame times: the two easing rules, plain floats and typed state.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/ui/UiHarness.h"

namespace Lorvex::UI {
namespace {

using Testing::UiHarness;

const uint64_t kId = MakeIdFromText("fade");

TEST(UiState, SmoothApproachesExponentiallyAndSnaps) {
    UiHarness h;
    float v = 0;
    // First use without an initial value: already at the target, nothing to animate.
    h.Frame([&] { v = h.ui.Smooth(kId, 1, 10); });
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(h.ui.redraw);

    const uint64_t id = MakeIdFromText("glide");
    h.Frame([&] { v = h.ui.Smooth(id, 1, 10, 0); }, 0.1f);
    EXPECT_NEAR(v, 1 - std::exp(-1.0f), 1e-5);
    EXPECT_TRUE(h.ui.redraw);

    // A frame with no time passing moves nothing and still asks for more.
    const float before = v;
    h.Frame([&] { v = h.ui.Smooth(id, 1, 10); }, 0);
    EXPECT_EQ(v, before);
    EXPECT_TRUE(h.ui.redraw);

    // It settles on the target exactly, and stops asking for frames there.
    int frames = 0;
    do {
        h.Frame([&] { v = h.ui.Smooth(id, 1, 10); });
        ++frames;
    } while (h.ui.redraw && frames < 1000);
    EXPECT_EQ(v, 1);
    EXPECT_LT(frames, 60);  // |0.37| * exp(-10 t) < 0.002 takes about half a second

    // Within 0.002 after the step: the target, exactly, with no further frame.
    const uint64_t almost = MakeIdFromText("almost");
    h.Frame([&] { v = h.ui.Smooth(almost, 1, 10, 0.9985f); });
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(h.ui.redraw);
}

TEST(UiState, ApproachMovesLinearlyWithoutOvershoot) {
    UiHarness h;
    float v = -1;
    // Duration 0: the target at once, also when no time passed.
    h.Frame([&] { v = h.ui.Approach(kId, 0, 0.3f, 1); }, 0);
    EXPECT_EQ(v, 1);
    h.Frame([&] { v = h.ui.Approach(kId, 0, 0); }, 0);
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(h.ui.redraw);

    // A quarter of the way per 0.1 s frame at duration 0.4, ending exactly on the target.
    const uint64_t id = MakeIdFromText("open");
    const float expected[] = {0.25f, 0.5f, 0.75f, 1, 1};
    const bool moving[] = {true, true, true, false, false};
    for (int i = 0; i < 5; ++i) {
        h.Frame([&] { v = h.ui.Approach(id, 1, 0.4f, 0); }, 0.1f);
        EXPECT_NEAR(v, expected[i], 1e-6) << i;
        EXPECT_EQ(h.ui.redraw, moving[i]) << i;
    }
    // A long frame does not pass the target on the way back.
    h.Frame([&] { v = h.ui.Approach(id, 0, 0.4f); }, 0.05f);
    EXPECT_NEAR(v, 0.875f, 1e-6);
    h.Frame([&] { v = h.ui.Approach(id, 0, 0.01f); }, 0.05f);
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(h.ui.redraw);

    // First use without an initial value starts at the target.
    h.Frame([&] { v = h.ui.Approach(MakeIdFromText("fresh"), 1, 0.4f); });
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(h.ui.redraw);
}

TEST(UiState, FloatsAndTypedStateLiveUnderTheirIds) {
    UiHarness h;
    Ui& ui = h.ui;
    float& timer = ui.FloatState(kId, 2.5f);
    EXPECT_EQ(timer, 2.5f);
    timer = 7;
    EXPECT_EQ(ui.FloatState(kId, 0), 7);  // the default counts only on first use
    EXPECT_EQ(ui.FloatState(MakeIdFromText("other"), 1), 1);

    struct Scroll {
        float target = 0;
        float current = 0;
        bool dragging = false;
    };
    const uint64_t list = MakeIdFromText("list");
    Scroll& s = ui.State<Scroll>(list);
    EXPECT_EQ(s.target, 0);
    s.target = 120;
    // References stay valid however many other ids are added, and across frames.
    for (uint64_t i = 0; i < 2000; ++i) {
        ui.State<Scroll>(MakeId("row", i)).current = static_cast<float>(i);
        ui.FloatState(MakeId("f", i), 0);
    }
    h.Frame();
    s.current = 60;
    EXPECT_EQ(ui.State<Scroll>(list).target, 120);
    EXPECT_EQ(ui.State<Scroll>(list).current, 60);
    EXPECT_EQ(ui.State<Scroll>(MakeId("row", 1999)).current, 1999);
    EXPECT_EQ(timer, 7);

    // An id asked for as another type starts over with a fresh value instead of misreading.
    ui.State<uint64_t>(MakeIdFromText("stamp")) = 99;
    EXPECT_EQ(ui.State<std::string>(MakeIdFromText("stamp")), "");
}

}  // namespace
}  // namespace Lorvex::UI

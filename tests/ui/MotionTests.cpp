// Motion and feedback with injected frame times: the easing curve, the one-shot pulse, the state
// layer amounts, the ripple's timeline and the shadow's shape per elevation. The ripple and the
// shadow are checked as numbers: round clips and shadows draw nothing under Wine.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/UiHarness.h"
#include "ui/Motion.h"

namespace Lorvex::UI::Material {
namespace {

using Testing::UiHarness;

const uint64_t kButton = MakeIdFromText("send-btn");

TEST(Motion, EaseInOutCubic) {
    const float cases[][2] = {
        {-1, 0}, {0, 0}, {0.25f, 0.0625f}, {0.5f, 0.5f}, {0.75f, 0.9375f}, {1, 1}, {3, 1},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(Motion::EaseInOutCubic(c[0]), c[1]) << c[0];
    }
}

TEST(Motion, PulseDecaysOnceForEachRisingEdge) {
    UiHarness h;
    float v = -1;
    const auto pulse = [&](bool on, float dt) { h.Frame([&] { v = Motion::Pulse(h.ui, kButton, on, 0.4f); }, dt); };

    // First drawn with on true: it pulses at once.
    pulse(true, 0.1f);
    EXPECT_FLOAT_EQ(v, 1);
    EXPECT_TRUE(h.ui.redraw);
    pulse(true, 0.2f);
    EXPECT_NEAR(v, 0.125f, 1e-5);  // halfway: (1 - 0.5)^3
    EXPECT_TRUE(h.ui.redraw);
    pulse(true, 0.2f);
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(h.ui.redraw);
    // Still on: no second pulse.
    for (int i = 0; i < 5; ++i) {
        pulse(true, 0.1f);
        EXPECT_EQ(v, 0);
    }
    pulse(false, 0.1f);
    EXPECT_EQ(v, 0);
    EXPECT_FALSE(h.ui.redraw);
    pulse(true, 0.1f);
    EXPECT_FLOAT_EQ(v, 1);
    // Off cuts a running pulse short.
    pulse(false, 0.1f);
    EXPECT_EQ(v, 0);
}

TEST(Motion, StateLayerEasesHoverAndFollowsPress) {
    UiHarness h;
    std::pair<float, float> v;
    const auto layer = [&](bool hovered, bool pressed, float dt) {
        h.Frame([&] { v = StateLayer(h.ui, kButton, hovered, pressed); }, dt);
    };
    // Both start at 0, not at their first target.
    layer(true, true, 0.03f);
    EXPECT_NEAR(v.first, 1 - 0.75f * 0.75f * 0.75f, 1e-5);  // a quarter of 0.12 s, eased out
    EXPECT_NEAR(v.second, 0.375f, 1e-5);                    // 0.03 of 0.08 s, linear
    EXPECT_TRUE(h.ui.redraw);
    layer(true, true, 0.03f);
    EXPECT_NEAR(v.first, 1 - 0.125f, 1e-5);
    EXPECT_NEAR(v.second, 0.75f, 1e-5);
    layer(true, true, 0.06f);
    EXPECT_FLOAT_EQ(v.first, 1);
    EXPECT_FLOAT_EQ(v.second, 1);
    EXPECT_FALSE(h.ui.redraw);
    // Letting go runs the same curves back.
    layer(false, false, 0.06f);
    EXPECT_NEAR(v.first, 1 - 0.5f * 0.5f * 0.5f, 1e-5);
    EXPECT_NEAR(v.second, 0.25f, 1e-5);
    layer(false, false, 0.06f);
    EXPECT_EQ(v.first, 0);
    EXPECT_EQ(v.second, 0);
    EXPECT_FALSE(h.ui.redraw);
}

class RippleTimeline : public ::testing::Test {
protected:
    static constexpr Rect kRect = {0, 0, 100, 40};

    // One frame dt long in which the button, shifted 200 right, is interacted with and its
    // ripple drawn; held is what the widget reports, unless overridden.
    Interaction Frame(float dt, int heldOverride = -1) {
        Interaction interaction;
        h.Frame(
            [&] {
                h.ui.PushTranslate(200, 0);
                interaction = h.ui.Interact(kButton, kRect);
                if (heldOverride >= 0) {
                    interaction.held = heldOverride != 0;
                }
                Ripple(h.ui, kButton, interaction, kRect, 8, Color{1, 1, 1, 1});
                h.ui.PopTransform();
            },
            dt);
        return interaction;
    }
    RippleState& State() { return h.ui.State<RippleState>(SaltedId(kButton, kRippleSalt)); }
    std::optional<RippleLook> Look() { return RippleAt(State(), kRect, h.now); }
    // Hovers the button and presses it at the start of the next frame.
    void PressAt(float x, float y) {
        h.MoveTo(x, y);
        Frame(0.01f);
        Frame(0.01f);
        h.Press();
        Frame(0.01f);
    }

    UiHarness h;
};

TEST_F(RippleTimeline, LongPressGrowsHoldsThenFadesAfterRelease) {
    PressAt(210, 10);
    const double pressed = h.now;
    EXPECT_EQ(State().start, pressed);
    EXPECT_EQ(State().release, -1);
    // The press point is local to the widget, not the window.
    EXPECT_FLOAT_EQ(State().x, 10);
    EXPECT_FLOAT_EQ(State().y, 10);
    // The farthest corner from (10, 10) is (100, 40).
    const float reach = std::sqrt(90.0f * 90 + 30 * 30);

    EXPECT_EQ(Look()->radius, 0);
    Frame(0.15f);
    EXPECT_NEAR(Look()->radius, (1 - std::pow(2 / 3.0f, 3)) * reach, 1e-3);  // a third of 0.45 s
    EXPECT_FLOAT_EQ(Look()->alpha, 0.26f);
    EXPECT_TRUE(h.ui.redraw);
    Frame(0.45f);
    EXPECT_FLOAT_EQ(Look()->radius, reach);
    EXPECT_FLOAT_EQ(Look()->alpha, 0.26f);

    h.Release();
    Frame(0.01f);
    EXPECT_EQ(State().release, h.now);
    EXPECT_FLOAT_EQ(Look()->alpha, 0.26f);
    Frame(0.15f);
    EXPECT_NEAR(Look()->alpha, 0.13f, 1e-5);
    EXPECT_FLOAT_EQ(Look()->radius, reach);
    Frame(0.16f);
    EXPECT_FALSE(Look());
    EXPECT_EQ(State().start, -1);
    EXPECT_FALSE(h.ui.redraw);
}

TEST_F(RippleTimeline, QuickClickStillGrowsBeforeFading) {
    PressAt(250, 20);
    const double pressed = h.now;
    h.Release();
    Frame(0.02f);
    EXPECT_EQ(State().release, pressed + 0.02f);
    // Until 0.12 s after the press it stays at full alpha and keeps growing.
    Frame(0.09f);
    EXPECT_FLOAT_EQ(Look()->alpha, 0.26f);
    // Then 0.3 s of fade, counted from start + 0.12.
    Frame(0.16f);
    EXPECT_NEAR(Look()->alpha, 0.26f * (1 - (0.27 - 0.12) / 0.3), 1e-4);
    Frame(0.16f);
    EXPECT_FALSE(Look());
    EXPECT_EQ(State().start, -1);
}

TEST_F(RippleTimeline, LosingHeldWhileTheButtonIsDownFadesLikeARelease) {
    PressAt(220, 20);
    Frame(0.5f);
    EXPECT_EQ(State().release, -1);
    // The widget stops reporting held (the pointer left), the button still down.
    Frame(0.01f, 0);
    const double lost = h.now;
    EXPECT_EQ(State().release, lost);
    Frame(0.15f, 0);
    EXPECT_NEAR(Look()->alpha, 0.13f, 1e-4);
    // A later release changes nothing.
    h.Release();
    Frame(0.01f);
    EXPECT_EQ(State().release, lost);
    Frame(0.2f);
    EXPECT_EQ(State().start, -1);

    // Without a press nothing starts: the interaction alone draws no ripple.
    Frame(0.1f);
    EXPECT_EQ(State().start, -1);
    EXPECT_FALSE(h.ui.redraw);
}

TEST(Motion, ShadowByElevation) {
    struct Case {
        float level;
        float offset;
        float blur;
        float opacity;
    };
    const Case cases[] = {
        {0.5f, 0.75f, 2, 0.225f}, {1, 1, 3, 0.45f},       {4, 2.5f, 9, 0.45f},    {8, 4.5f, 17, 0.45f},
        {10, 5.5f, 21, 0.45f},    {12, 6.5f, 25, 0.45f},  {14, 7.5f, 29, 0.45f},  {16, 8.5f, 33, 0.45f},
        {20, 10.5f, 41, 0.45f},   {24, 12.5f, 49, 0.45f}, {30, 12.5f, 49, 0.45f},
    };
    for (const Case& c : cases) {
        const auto look = ShadowAt(c.level);
        ASSERT_TRUE(look) << c.level;
        EXPECT_FLOAT_EQ(look->offset, c.offset) << c.level;
        EXPECT_FLOAT_EQ(look->blur, c.blur) << c.level;
        EXPECT_FLOAT_EQ(look->opacity, c.opacity) << c.level;
    }
    EXPECT_FALSE(ShadowAt(0));
    EXPECT_FALSE(ShadowAt(0.01f));
    EXPECT_FALSE(ShadowAt(-3));

    // No step where one row of the table hands over to the next.
    for (const float joint : {8.0f, 12.0f, 16.0f}) {
        const auto below = ShadowAt(joint - 1e-3f);
        const auto above = ShadowAt(joint + 1e-3f);
        EXPECT_NEAR(below->offset, above->offset, 1e-2) << joint;
        EXPECT_NEAR(below->blur, above->blur, 1e-2) << joint;
    }
}

}  // namespace
}  // namespace Lorvex::UI::Material

// When a window wants its next frame, and the refresh period from the compositor's rate.

#include <gtest/gtest.h>

#include "ui/FramePacing.h"

namespace Lorvex::UI::Pacing {
namespace {

TEST(FramePacing, DelayTable) {
    constexpr double p60 = 1.0 / 60;
    constexpr double p144 = 1.0 / 144;
    constexpr double p240 = 1.0 / 240;
    Demand idle;
    Demand dirty;
    dirty.dirty = true;
    Demand animating;
    animating.animating = true;
    Demand unpaced;
    unpaced.continuous = true;
    Demand paced;
    paced.continuous = paced.continuousPaced = true;
    Demand pacedTenth = paced;
    pacedTenth.continuousPeriod = 0.1;
    // Ambient loops alone, their budget spent or not; what they wait is not the others' to follow.
    Demand ambientFree = animating;
    ambientFree.ambientOnly = true;
    Demand ambientWaiting = ambientFree;
    ambientWaiting.ambientWait = 0.5;
    Demand waitNotAmbient = ambientWaiting;
    waitNotAmbient.ambientOnly = false;

    struct Case {
        const char* name;
        Demand demand;
        double period;
        bool foreground;
        double expected;
    };
    const Case cases[] = {
        {"idle", idle, p60, true, -1},
        {"idle in the background", idle, p60, false, -1},
        {"dirty", dirty, p60, true, 0},
        {"dirty in the background: 1.5 periods", dirty, p60, false, 0.025},
        {"animating at 60 Hz: every refresh", animating, p60, true, 0.5 * p60},
        {"animating at 144 Hz: every second refresh", animating, p144, true, 1.5 * p144},
        {"animating at 240 Hz: every fourth refresh", animating, p240, true, 3.5 * p240},
        {"animating at 30 Hz: at least one refresh", animating, 1.0 / 30, true, 0.5 / 30},
        {"animating in the background at 60 Hz", animating, p60, false, 1.5 * p60},
        {"continuous unpaced", unpaced, p60, true, 0},
        {"continuous paced without a period", paced, p60, true, 0.5 * p60},
        {"continuous paced every 0.1 s", pacedTenth, p60, true, 5.5 * p60},
        {"continuous paced slower than the background rule", pacedTenth, p60, false, 5.5 * p60},
        {"ambient loops within their budget keep the animation rate", ambientFree, p60, true, 0.5 * p60},
        {"ambient loops waiting half a second", ambientWaiting, p60, true, 29.5 * p60},
        {"ambient loops waiting, in the background", ambientWaiting, p60, false, 29.5 * p60},
        {"ambient loops waiting half a second at 144 Hz", ambientWaiting, p144, true, 71.5 * p144},
        {"an animation does not wait for the ambient budget", waitNotAmbient, p60, true, 0.5 * p60},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(FrameDelay(c.demand, c.period, c.foreground), c.expected, 1e-12) << c.name;
    }
}

// Frames of 1 ms at 60 Hz never wait, a processor clock's tick of 15.6 ms among them included;
// frames of 150 ms settle at one every 1.5 s (a tenth of the time), the first drawn from the full
// allowance.
TEST(FramePacing, AmbientBudget) {
    AmbientBudget cheap;
    double start = 10;
    for (int i = 0; i < 600; ++i, start += 1.0 / 60) {
        cheap.Spend(start, i == 300 ? 0.0156 : 0.001);
        ASSERT_EQ(cheap.Wait(start), 0.0) << "frame " << i;
    }

    AmbientBudget slow;
    start = 10;
    slow.Spend(start, 0.15);
    EXPECT_NEAR(slow.Wait(start), 1.0, 1e-9);
    // Asked from a later frame's start (a whole frame came between), the wait is what is left.
    EXPECT_NEAR(slow.Wait(start + 0.25), 0.75, 1e-9);
    start += slow.Wait(start);
    for (int i = 0; i < 5; ++i) {
        slow.Spend(start, 0.15);
        EXPECT_NEAR(slow.Wait(start), 1.5, 1e-9) << "frame " << i;
        start += slow.Wait(start);
    }
    EXPECT_NEAR(slow.Wait(start + 1), 0.0, 1e-12);
}

TEST(FramePacing, PeriodTable) {
    struct Case {
        uint32_t numerator;
        uint32_t denominator;
        double expected;
    };
    const Case cases[] = {
        {240, 1, 1.0 / 240}, {60000, 1001, 1001.0 / 60000}, {10, 1, 1.0 / 24}, {1000, 1, 0.002}, {0, 1, 0.5},
        {60, 0, 0.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(PeriodFromRate(c.numerator, c.denominator, 0.5), c.expected)
            << c.numerator << "/" << c.denominator;
    }
}

}  // namespace
}  // namespace Lorvex::UI::Pacing

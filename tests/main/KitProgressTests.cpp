// The spinner's arc, the typing dots and the empty state's placement as functions of time.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "main/kit/Avatar.h"
#include "main/kit/Backdrop.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/Headings.h"
#include "main/kit/Progress.h"
#include "main/kit/Toasts.h"
#include "tests/ui/UiHarness.h"

namespace Lorvex::Main::Kit {
namespace {

TEST(KitProgress, SpinnerArcTurnsAndBreathesBetween70And270Degrees) {
    EXPECT_DOUBLE_EQ(SpinnerArc(0).start, 0);
    EXPECT_DOUBLE_EQ(SpinnerArc(0).sweep, 170);
    EXPECT_DOUBLE_EQ(SpinnerArc(1).start, 330);
    double lowest = 1000;
    double highest = 0;
    for (double t = 0; t < 4; t += 0.001) {
        const double sweep = SpinnerArc(t).sweep;
        lowest = std::min(lowest, sweep);
        highest = std::max(highest, sweep);
    }
    EXPECT_GE(lowest, 70);
    EXPECT_LT(lowest, 70.01);
    EXPECT_LE(highest, 270);
    EXPECT_GT(highest, 269.99);
}

TEST(KitProgress, TypingDotsBounceInTurnAndNeverDipBelowRest) {
    // Each dot peaks a quarter cycle into its own turn; the cycle is 0.625 s.
    for (int i = 0; i < 3; ++i) {
        const double peak = (0.25 + 0.18 * i) / 1.6;
        EXPECT_NEAR(TypingDot(peak, i).rise, 5, 1e-4) << i;
        EXPECT_NEAR(TypingDot(peak, i).alpha, 1, 1e-4) << i;
        EXPECT_NEAR(TypingDot(peak + 0.625, i).rise, 5, 1e-3) << i;
        // Resting through the second half of its cycle.
        EXPECT_FLOAT_EQ(TypingDot(peak + 0.625 * 0.5, i).rise, 0) << i;
        EXPECT_FLOAT_EQ(TypingDot(peak + 0.625 * 0.5, i).alpha, 0.45f) << i;
    }
    // From the very first frame, while the later dots wait for their turn too.
    for (double t = 0; t < 2; t += 0.002) {
        for (int i = 0; i < 3; ++i) {
            const TypingDotLook dot = TypingDot(t, i);
            ASSERT_GE(dot.rise, 0) << t << " " << i;
            ASSERT_GE(dot.alpha, 0.45f) << t << " " << i;
            ASSERT_LE(dot.alpha, 1.0f) << t << " " << i;
        }
    }
}

TEST(KitProgress, ProgressAsksForFramesAsItAnimates) {
    Testing::UiHarness harness;
    harness.Frame([&] {
        Spinner(harness.ui, 50, 50, 10, {1, 1, 1, 1}, 3);
        EXPECT_TRUE(harness.ui.redraw);
    });
    harness.Frame([&] {
        TypingDots(harness.ui, 10, 10, {1, 1, 1, 1}, 7);
        EXPECT_TRUE(harness.ui.redraw);
    });
    harness.Frame([&] {
        EXPECT_FALSE(EmptyState(harness.ui, 1, {0, 0, 800, 600}, UI::Material::Icon::Chat, L"Nada", L"Aún nada.", L"",
                                UI::Material::Icon::Plus));
        EXPECT_TRUE(harness.ui.ambient);
    });
}

// An idle window draws no frames: once a widget has settled it may ask for the animation rate
// only when it moves by the clock (as an ambient loop when it moves forever within its own
// rect), and for frames at once only while it really changes.
TEST(KitProgress, SettledWidgetsAskOnlyForTheFramesTheirMotionNeeds) {
    struct Case {
        const char* name;
        std::function<void(UI::Ui&)> draw;
        bool redraw;
        bool animating;
        bool ambient;
    };
    const Color ink = {0.4f, 0.3f, 0.9f, 1};
    Toasts toasts;
    toasts.Push(L"Guardado", ToastKind::Success);
    const Case cases[] = {
        {"spinner", [&](UI::Ui& ui) { Spinner(ui, 50, 50, 10, ink, 3); }, true, false, false},
        {"typing dots", [&](UI::Ui& ui) { TypingDots(ui, 10, 10, ink, 7); }, true, false, false},
        {"backdrop",
         [&](UI::Ui& ui) {
             Backdrop(ui, {0, 0, 800, 600}, 22, 1.2f);
         },
         false, false, true},
        {"empty state",
         [&](UI::Ui& ui) {
             EmptyState(ui, 1, {0, 0, 800, 600}, UI::Material::Icon::Chat, L"Nada", L"Aún nada.", L"Crear",
                        UI::Material::Icon::Plus);
         },
         false, false, true},
        {"shown toast",
         [&](UI::Ui& ui) {
             toasts.Draw(ui, {0, 0, 800, 600});
         },
         false, true, false},
        {"buttons",
         [&](UI::Ui& ui) {
             Button(ui, 2, {10, 10, 120, 42}, UI::Material::Icon::Plus, L"Nuevo", ink, true, true);
             Button(ui, 3, {10, 60, 120, 42}, UI::Material::Icon::Plus, L"Nuevo", ink, false, false, 45);
             IconButton(ui, 4, {10, 110, 40, 40}, UI::Material::Icon::Close, ink, L"Cerrar", true, 20);
         },
         false, false, false},
        {"chips",
         [&](UI::Ui& ui) {
             std::wstring selection = L"B";
             ChoiceChips(ui, 5, 10, 10, 300, {L"A", L"B"}, selection, ink);
             ChoiceChip(ui, 6, {10, 60, 80, 32}, L"C", true, ink, true);
             Chip(ui, {10, 100, 80, 22}, L"D", ink, UI::Material::Icon::Heart, true);
         },
         false, false, false},
        {"captions and avatars",
         [&](UI::Ui& ui) {
             SectionHeader(ui, {10, 10, 300, 30}, L"Título", UI::Material::Icon::Person);
             FieldLabel(ui, {10, 50, 200, 20}, L"Nombre", true);
             Avatar(ui, {10, 80, 40, 40}, std::nullopt, L"Ana", 2, {});
         },
         false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Testing::UiHarness harness;
        const auto frame = [&] { harness.Frame([&] { c.draw(harness.ui); }); };
        // A second: entries, pulses and first-use easing have ended.
        for (int i = 0; i < 60; ++i) {
            frame();
        }
        EXPECT_EQ(harness.ui.redraw, c.redraw);
        EXPECT_EQ(harness.ui.animating, c.animating);
        EXPECT_EQ(harness.ui.ambient, c.ambient);
    }
}

// Held ambient loops (tests, pictures) stand still: the backdrop and the empty state then ask for
// no frames, so a screen that shows them can come to rest.
TEST(KitProgress, HeldAmbientLoopsAskForNoFrames) {
    Testing::UiHarness harness;
    harness.ui.ambientHeld = true;
    for (int i = 0; i < 3; ++i) {
        harness.Frame([&] {
            Backdrop(harness.ui, {0, 0, 800, 600}, 22, 1.2f);
            EmptyState(harness.ui, 1, {0, 0, 800, 600}, UI::Material::Icon::Chat, L"Nada", L"Aún nada.", L"",
                       UI::Material::Icon::Plus);
            EXPECT_EQ(harness.ui.AmbientTime(), 0.0);
        });
        EXPECT_FALSE(harness.ui.animating);
        EXPECT_FALSE(harness.ui.ambient);
    }
    harness.ui.ambientHeld = false;
    harness.Frame([&] { Backdrop(harness.ui, {20, 30, 400, 200}, 22, 1.2f); });
    EXPECT_TRUE(harness.ui.ambient);
    // Only its own rect changes.
    EXPECT_FLOAT_EQ(harness.ui.ambientRegion.x, 20);
    EXPECT_FLOAT_EQ(harness.ui.ambientRegion.y, 30);
    EXPECT_FLOAT_EQ(harness.ui.ambientRegion.w, 400);
    EXPECT_FLOAT_EQ(harness.ui.ambientRegion.h, 200);
    EXPECT_EQ(harness.ui.AmbientTime(), harness.ui.time);
}

TEST(KitProgress, EmptyStateIsCentredWithRoomForItsAction) {
    const Rect rect = {100, 40, 600, 500};
    EXPECT_FLOAT_EQ(EmptyStateTop(rect, false), 290 - 95);
    EXPECT_FLOAT_EQ(EmptyStateTop(rect, true), 290 - 125);
}

}  // namespace
}  // namespace Lorvex::Main::Kit

// The input record between frames: what counts as input that earns a follow-up frame, and what a
// frame's end clears and keeps.

#include <gtest/gtest.h>

#include <functional>

#include "ui/Input.h"

namespace Lorvex::UI {
namespace {

TEST(UiInput, SawInputCountsEveryKindOfEvent) {
    struct Case {
        const char* name;
        std::function<void(Input&)> apply;
    };
    const Case cases[] = {
        {"move", [](Input& in) { in.moved = true; }},
        {"wheel", [](Input& in) { in.wheel = -120; }},
        {"key",
         [](Input& in) {
             in.keys.push_back({0x0D, true});
         }},
        {"typed text", [](Input& in) { in.text = L"a"; }},
        {"X2 pressed", [](Input& in) { in.pressed[Button::X2] = true; }},
        {"right released", [](Input& in) { in.released[Button::Right] = true; }},
    };
    for (const auto& c : cases) {
        Input input;
        c.apply(input);
        EXPECT_TRUE(input.SawInput()) << c.name;
        input.ClearFrame();
        EXPECT_FALSE(input.SawInput()) << c.name;
    }
    // A button held, the pointer's place and the modifiers are state, not events.
    Input held;
    held.down[Button::Left] = true;
    held.inside = true;
    held.x = 5;
    held.ctrl = true;
    EXPECT_FALSE(held.SawInput());
}

TEST(UiInput, FrameEndKeepsStateAndClearsEvents) {
    Input input;
    EXPECT_EQ(input.x, -1);
    EXPECT_EQ(input.y, -1);
    input.x = 12;
    input.y = 34;
    input.inside = true;
    input.moved = true;
    input.down[Button::Left] = true;
    input.pressed[Button::Left] = true;
    input.released[Button::Middle] = true;
    input.doubleClicked = true;
    input.wheel = 240;
    input.keys.push_back({0x41, true});
    input.text = L"hola";
    input.ctrl = input.shift = input.alt = true;

    input.ClearFrame();
    EXPECT_EQ(input.x, 12);
    EXPECT_EQ(input.y, 34);
    EXPECT_TRUE(input.inside);
    EXPECT_TRUE(input.down[Button::Left]);
    EXPECT_TRUE(input.ctrl && input.shift && input.alt);
    EXPECT_FALSE(input.moved);
    EXPECT_FALSE(input.pressed[Button::Left]);
    EXPECT_FALSE(input.released[Button::Middle]);
    EXPECT_FALSE(input.doubleClicked);
    EXPECT_EQ(input.wheel, 0);
    EXPECT_TRUE(input.keys.empty());
    EXPECT_TRUE(input.text.empty());
}

}  // namespace
}  // namespace Lorvex::UI

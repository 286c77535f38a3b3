#pragma once
// A widget context driven by hand: a surface with no device (drawing does nothing), an input
// record the test fills, and a clock that only moves when a frame is run.

#include <functional>

#include "graphics/Graphics.h"
#include "ui/Ui.h"

namespace Lorvex::Testing {

class UiHarness {
public:
    static constexpr float kFrameDt = 1.0f / 60;

    UiHarness() = default;
    // The Ui draws on drawing (an off-screen surface with a device) instead of its own surface.
    explicit UiHarness(Graphics& drawing) : ui{drawing} {}

    // One frame dt after the previous one: the clock moves on by dt, then begin, draw, end, and
    // the per-frame input is cleared.
    void Frame(const std::function<void()>& draw = {}, float dt = kFrameDt) {
        now += dt;
        ui.BeginFrame(input, now, dt);
        if (draw) {
            draw();
        }
        ui.EndFrame();
        input.ClearFrame();
    }

    void MoveTo(float x, float y) {
        input.x = x;
        input.y = y;
        input.inside = true;
        input.moved = true;
    }
    void Press(size_t button = UI::Button::Left) {
        input.down[button] = true;
        input.pressed[button] = true;
    }
    void Release(size_t button = UI::Button::Left) {
        input.down[button] = false;
        input.released[button] = true;
    }

    Graphics surface;
    UI::Ui ui{surface};
    UI::Input input;
    double now = 10.0;
};

}  // namespace Lorvex::Testing

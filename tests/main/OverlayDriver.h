#pragma once
// Drives a stack of overlays the way the main window does: every visible one is drawn bottom
// first, and only the one that was top-most open when the frame started takes input. A click is
// a move, a press and a release frame, since hover is decided one frame late. Test thread only.

#include <functional>
#include <vector>

#include "main/overlays/Overlay.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/ui/UiHarness.h"

namespace Lorvex::Testing {

class OverlayDriver {
public:
    static constexpr Rect kWindow = {0, 0, 1000, 700};

    explicit OverlayDriver(std::vector<Main::Overlay*> overlays) : stack(std::move(overlays)) {
        // Text is measured through the shared text factory, which needs the device set up.
        GraphicsReady();
    }

    // One frame; beneath draws first as the screen layer, with input only when no overlay is open.
    void Frame() {
        h.Frame([&] {
            int top = -1;
            for (int i = static_cast<int>(stack.size()) - 1; i >= 0 && top < 0; --i) {
                top = stack[i]->IsOpen() ? i : -1;
            }
            h.ui.hitSuspended = top >= 0;
            if (beneath) {
                beneath(h.ui);
            }
            for (int i = 0; i < static_cast<int>(stack.size()); ++i) {
                if (stack[i]->IsVisible()) {
                    h.ui.hitSuspended = blocked || i != top;
                    stack[i]->Draw(h.ui, kWindow);
                }
            }
            h.ui.hitSuspended = false;
            keys = h.input.keys;
        });
    }
    // Enough frames for every entrance and exit animation to end.
    void Settle() {
        for (int i = 0; i < 40; ++i) {
            Frame();
        }
    }

    void MoveTo(float x, float y) {
        h.MoveTo(x, y);
        Frame();
    }
    void Press(size_t button = UI::Button::Left) {
        h.Press(button);
        Frame();
    }
    void Release(size_t button = UI::Button::Left) {
        h.Release(button);
        Frame();
    }
    void Click(float x, float y, size_t button = UI::Button::Left) {
        MoveTo(x, y);
        Press(button);
        Release(button);
    }
    void ClickIn(const Rect& r, size_t button = UI::Button::Left) { Click(r.x + r.w / 2, r.y + r.h / 2, button); }
    // One frame with a key press (and Ctrl held for it when asked).
    void Key(int32_t vk, bool ctrl = false) {
        h.input.keys.push_back({vk, true, false, false, false, ctrl});
        Frame();
    }

    UiHarness h;
    std::vector<Main::Overlay*> stack;
    std::function<void(UI::Ui&)> beneath;  // the screen layer, if any
    bool blocked = false;                  // the whole frame's input is blocked
    std::vector<UI::KeyEvent> keys;        // the frame's keys as the overlays left them
};

}  // namespace Lorvex::Testing

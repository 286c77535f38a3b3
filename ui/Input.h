#pragma once
// The per-frame record of one window's mouse and keyboard input. The window procedure fills it as
// messages arrive, widgets read it while a frame is drawn, and frame production clears the
// per-frame members when the frame ends. Widgets only write the handled mark of a key event (and
// the scroll area and the text editor take the wheel delta and the typed text they consume).
// UI thread only; nothing here can fail.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Lorvex::UI {

// Index of a mouse button in the down, pressed and released arrays.
namespace Button {
enum : size_t { Left = 0, Right = 1, Middle = 2, X1 = 3, X2 = 4, Count = 5 };
}  // namespace Button

struct KeyEvent {
    int32_t vk = 0;        // virtual-key code
    bool down = false;     // false for a release
    bool repeat = false;   // the key was already down; always false for a release
    bool system = false;   // WM_SYSKEYDOWN or WM_SYSKEYUP
    bool handled = false;  // set by the widget that consumed the key
};

struct Input {
    // Pointer position in DIPs relative to the client area; -1, -1 until the first mouse message.
    float x = -1;
    float y = -1;
    bool inside = false;                         // the pointer is over the window
    bool moved = false;                          // the pointer moved during this frame
    std::array<bool, Button::Count> down{};      // held now
    std::array<bool, Button::Count> pressed{};   // went down during this frame
    std::array<bool, Button::Count> released{};  // went up during this frame
    bool doubleClicked = false;                  // a left double-click arrived during this frame
    float wheel = 0;                             // vertical wheel, 120 per notch, positive away from the user
    std::vector<KeyEvent> keys;                  // this frame's key transitions in arrival order
    std::wstring text;                           // characters typed during this frame (UTF-16)
    // Sampled when the frame starts.
    bool ctrl = false;
    bool shift = false;
    bool alt = false;

    // Whether this frame saw anything that asks for a follow-up frame: a move, wheel, key, typed
    // text or a button going down or up.
    bool SawInput() const;
    // Ends a frame: clears everything but the buttons held, the pointer position, inside and the
    // modifiers.
    void ClearFrame();
};

}  // namespace Lorvex::UI

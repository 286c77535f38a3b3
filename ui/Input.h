#pragma once
// The per-frame record of one window's mouse and keyboard input. The window procedure fills it as
// messages arrive, widgets read it while a frame is drawn, and frame production clears the
// per-frame members when the frame ends. Widgets only write the handled mark of a key event (and
// the scroll area and the text editor take the wheel delta and the typed text they consume).
// Every key event and typed unit carries the modifier keys as they were at its own message: a
// chord released before the frame that reads it keeps its Ctrl, Shift or Alt.
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
    // Modifier keys held when the key went down or up (not when the frame began).
    bool ctrl = false;
    bool shift = false;
    bool alt = false;

    // Ctrl held without Alt: the key is a Ctrl shortcut. AltGr arrives as Ctrl+Alt and types
    // (on many layouts the very letters of the shortcuts), so it never is one.
    bool CtrlShortcut() const { return ctrl && !alt; }
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
    // One entry per unit of text, when it is known: Ctrl was held without Alt as the unit was
    // typed, which makes it part of a command rather than text (AltGr is Ctrl+Alt and types).
    std::vector<bool> textUnderCtrl;
    // Sampled when the frame starts: for what the pointer does (hover-time uses); a key's own
    // modifiers are on its event.
    bool ctrl = false;
    bool shift = false;
    bool alt = false;

    // Appends a typed unit with the modifier state it was typed under.
    void AddTyped(wchar_t unit, bool underCtrl);
    // Whether the unit of text at index was typed under Ctrl without Alt; a unit whose state was
    // not recorded (text set directly) goes by the frame's modifiers.
    bool TypedUnderCtrl(size_t index) const;
    // Removes every typed unit equal to unit, keeping the rest in step with their states.
    void EraseTyped(wchar_t unit);
    // Empties the typed text (a widget took it).
    void ClearTyped();

    // Whether this frame saw anything that asks for a follow-up frame: a move, wheel, key, typed
    // text or a button going down or up.
    bool SawInput() const;
    // Ends a frame: clears everything but the buttons held, the pointer position, inside and the
    // modifiers.
    void ClearFrame();
};

}  // namespace Lorvex::UI

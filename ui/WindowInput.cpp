// What the window's input messages do to the input record, and the presses held back until a
// frame has decided the hover where they land.
//
// Hover is decided one frame late, and a press counts only on the widget that is the hover owner
// already. A pointer that jumps and presses between two frames (a tap on a touch screen or with
// a pen, scripted input, a loaded machine) would press on whatever the pointer was over before.
// So such a press waits: the pointer moves to it at once, the next frame decides the hover there,
// and the press (with everything that arrived after it, in order) is recorded for the frame
// after that. Likewise the pointer does not move on in a frame that has a press or release to
// judge where it is. Capture and mouse tracking answer the system as the messages arrive; only
// the record waits.

#include <windowsx.h>

#include <algorithm>
#include <array>

#include "ui/Window.h"

namespace Lorvex::UI {
namespace {

size_t ButtonOf(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        return Button::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
        return Button::Middle;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_XBUTTONUP:
        return HIWORD(wParam) == XBUTTON1 ? Button::X1 : Button::X2;
    default:
        return Button::Left;
    }
}

bool HasPosition(UINT message) {
    return message == WM_MOUSEMOVE || Window::IsButtonMessage(message);
}

// Whether a button went down or up in this frame's record.
bool ButtonsChanged(const Input& input) {
    const auto any = [](const std::array<bool, Button::Count>& buttons) {
        return std::any_of(buttons.begin(), buttons.end(), [](bool b) { return b; });
    };
    return any(input.pressed) || any(input.released);
}

}  // namespace

bool Window::IsPressMessage(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

bool Window::IsButtonMessage(UINT message) {
    return IsPressMessage(message) || message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP ||
           message == WM_XBUTTONUP;
}

Window::InputMessage Window::WithModifiers(InputMessage message) {
    message.ctrl = KeyHeld(VK_CONTROL);
    message.shift = KeyHeld(VK_SHIFT);
    message.alt = KeyHeld(VK_MENU);
    return message;
}

void Window::SetPosition(LPARAM lParam) {
    const float perDip = graphics.Dpi() / 96.0f;
    input.x = static_cast<float>(GET_X_LPARAM(lParam)) / perDip;
    input.y = static_cast<float>(GET_Y_LPARAM(lParam)) / perDip;
    input.inside = true;
}

void Window::Capture() {
    if (captureCount++ == 0) {
        SetCapture(hwnd);
    }
}

void Window::Uncapture() {
    if (captureCount > 0 && --captureCount == 0) {
        ReleaseCapture();
    }
}

bool Window::HoverDecidedAt(LPARAM lParam) const {
    const float perDip = graphics.Dpi() / 96.0f;
    return hoverDecidedInside && static_cast<float>(GET_X_LPARAM(lParam)) / perDip == hoverDecidedX &&
           static_cast<float>(GET_Y_LPARAM(lParam)) / perDip == hoverDecidedY;
}

bool Window::MustWait(const InputMessage& message) const {
    if (IsPressMessage(message.message) && !HoverDecidedAt(message.lParam)) {
        return true;
    }
    // A button already went down or up in this frame, judged where the pointer is: the pointer
    // may not leave that place before the frame has judged it.
    if (ButtonsChanged(input) && HasPosition(message.message)) {
        const float perDip = graphics.Dpi() / 96.0f;
        return static_cast<float>(GET_X_LPARAM(message.lParam)) / perDip != input.x ||
               static_cast<float>(GET_Y_LPARAM(message.lParam)) / perDip != input.y;
    }
    return false;
}

void Window::MoveToWaitingPress(const InputMessage& message) {
    // Nothing of the buttons is judged in this frame yet: the pointer can go to the press now, so
    // that this frame decides the hover there.
    if (IsPressMessage(message.message) && !ButtonsChanged(input)) {
        SetPosition(message.lParam);
        input.moved = true;
    }
}

void Window::Arrive(const InputMessage& message, bool markDirty) {
    if (markDirty) {
        dirty = true;
    }
    if (heldInput.empty() && !MustWait(message)) {
        Record(message);
        return;
    }
    if (heldInput.empty()) {
        MoveToWaitingPress(message);
    }
    heldInput.push_back(message);
}

void Window::ReplayHeldInput() {
    size_t taken = 0;
    while (taken < heldInput.size()) {
        const InputMessage& message = heldInput[taken];
        if (MustWait(message)) {
            MoveToWaitingPress(message);
            break;
        }
        Record(message);
        ++taken;
    }
    heldInput.erase(heldInput.begin(), heldInput.begin() + static_cast<std::ptrdiff_t>(taken));
}

void Window::Record(const InputMessage& m) {
    if (IsButtonMessage(m.message)) {
        const size_t button = ButtonOf(m.message, m.wParam);
        SetPosition(m.lParam);
        if (IsPressMessage(m.message)) {
            input.down[button] = true;
            input.pressed[button] = true;
            input.doubleClicked = input.doubleClicked || m.message == WM_LBUTTONDBLCLK;
        } else {
            if (input.down[button]) {
                input.released[button] = true;
            }
            input.down[button] = false;
        }
        return;
    }
    switch (m.message) {
    case WM_MOUSEMOVE:
        SetPosition(m.lParam);
        input.moved = true;
        return;
    case WM_MOUSELEAVE:
        if (m.leavesWindow) {
            input.inside = false;
        }
        return;
    case WM_CAPTURECHANGED:
        // Another window took the mouse: every button held counts as let go.
        for (size_t b = 0; b < Button::Count; ++b) {
            if (input.down[b]) {
                input.released[b] = true;
                input.down[b] = false;
            }
        }
        return;
    case WM_MOUSEWHEEL:
        input.wheel += static_cast<float>(GET_WHEEL_DELTA_WPARAM(m.wParam));
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        KeyEvent key;
        key.vk = static_cast<int32_t>(m.wParam);
        key.down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
        key.repeat = key.down && (m.lParam & (1 << 30)) != 0;
        key.system = m.message == WM_SYSKEYDOWN || m.message == WM_SYSKEYUP;
        key.ctrl = m.ctrl;
        key.shift = m.shift;
        key.alt = m.alt;
        input.keys.push_back(key);
        return;
    }
    case WM_CHAR:
        // Ctrl+letter combinations arrive as control characters (Ctrl+A is 1): they are commands,
        // not text. Surrogate halves arrive one message each and are kept in order.
        if (m.wParam >= 32 || m.wParam == 8 || m.wParam == 9 || m.wParam == 13) {
            input.AddTyped(static_cast<wchar_t>(m.wParam), m.ctrl && !m.alt);
        }
        return;
    default:
        return;
    }
}

}  // namespace Lorvex::UI

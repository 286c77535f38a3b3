// Where the system's text input windows open: an input method's composition and candidate
// windows, the emoji panel (Win+.) and the touch keyboard. The window draws its own editors, so
// the system cannot see their caret: after every frame the input method context is told where the
// focused editor's caret stands, and a system caret that is never shown stands there too, which
// the emoji panel, the touch keyboard and the input methods that follow the caret go by. Without
// an editor with the keyboard there is no system caret. Calls reach the system only when the place
// changed.

#include <windows.h>
#include <imm.h>

#include <algorithm>
#include <cmath>

#include "ui/Window.h"

namespace Lorvex::UI {

void Window::PlaceTextInput() {
    if (!hwnd || !ui.textCaret || GetFocus() != hwnd) {
        DropTextInput();
        return;
    }
    const float perDip = graphics.Dpi() / 96.0f;
    const Rect& caret = *ui.textCaret;
    const int x = static_cast<int>(std::lround(caret.x * perDip));
    const int y = static_cast<int>(std::lround(caret.y * perDip));
    const int height = std::max(1, static_cast<int>(std::lround(caret.h * perDip)));
    if (systemCaret_.made && systemCaret_.x == x && systemCaret_.y == y && systemCaret_.height == height) {
        return;
    }
    if (!systemCaret_.made || systemCaret_.height != height) {
        DropTextInput();
        // Never shown: the editor draws its own caret.
        systemCaret_.made = CreateCaret(hwnd, nullptr, 1, height) != FALSE;
        if (!systemCaret_.made) {
            return;
        }
        systemCaret_.height = height;
    }
    SetCaretPos(x, y);
    systemCaret_.x = x;
    systemCaret_.y = y;

    if (const HIMC context = ImmGetContext(hwnd)) {
        // The composition starts at the caret; the candidate list opens beside it without covering
        // the line.
        COMPOSITIONFORM composition = {};
        composition.dwStyle = CFS_POINT;
        composition.ptCurrentPos = {x, y};
        ImmSetCompositionWindow(context, &composition);
        CANDIDATEFORM candidates = {};
        candidates.dwIndex = 0;
        candidates.dwStyle = CFS_EXCLUDE;
        candidates.ptCurrentPos = {x, y};
        candidates.rcArea = {x, y, x + 1, y + height};
        ImmSetCandidateWindow(context, &candidates);
        ImmReleaseContext(hwnd, context);
    }
}

void Window::DropTextInput() {
    if (systemCaret_.made) {
        DestroyCaret();
    }
    systemCaret_ = {};
}

}  // namespace Lorvex::UI

#pragma once
// What the user's system settings ask of motion: whether animation effects are on (Windows'
// "Animation effects", SPI_GETCLIENTAREAANIMATION; off, the ambient loops stand still) and how
// the text caret blinks (GetCaretBlinkTime; the Control Panel's "none" answers INFINITE). Windows
// read it when they are made and again on WM_SETTINGCHANGE. UI thread only; a setting that
// cannot be read keeps Windows' default.

#include <windows.h>

#include <functional>

namespace Lorvex::UI {

struct SystemMotion {
    bool animations = true;
    // Seconds the caret is shown, then as many hidden; 0: it does not blink.
    double caretBlink = 0.53;
};

// The settings now, from the system or from the test seam.
SystemMotion ReadSystemMotion();
// The blink for GetCaretBlinkTime's answer: none for INFINITE, Windows' default for 0 (the call
// failed).
double CaretBlinkSeconds(UINT milliseconds);
// Tests only: what ReadSystemMotion answers instead of the system (changing the real settings
// would reach every program of the session); an empty function restores the system's.
void SetSystemMotionForTesting(std::function<SystemMotion()> read);

}  // namespace Lorvex::UI

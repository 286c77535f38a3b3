#pragma once
// The theme switch: a request from the title bar or the settings dialog is played as a reveal.
// The last frame of the old theme is kept as a picture over the new theme, and a growing circle
// centred on the control that was used cuts it away until the new theme fills the window.
// UI thread only; a snapshot that cannot be made only drops the animation (the theme still
// switches).

#include <d2d1_1.h>

#include <cstdint>

#include "foundation/ComPtr.h"

namespace Lorvex::Main {

class ThemeReveal {
public:
    // Asks for a switch centred at (x, y), window DIPs; ignored while one is pending or running.
    void Request(float x, float y) {
        if (Busy()) {
            return;
        }
        pending = true;
        centerX = x;
        centerY = y;
    }
    // A switch was asked for or is playing: both controls stay disabled.
    bool Busy() const { return pending || running; }

    bool pending = false;
    bool running = false;
    float centerX = 0;
    float centerY = 0;
    double start = -10.0;
    ComPtr<ID2D1Bitmap1> snapshot;
    int32_t displayedIcon = 90;  // what the title bar's theme button shows
    int32_t targetIcon = 90;
};

}  // namespace Lorvex::Main

#pragma once
// The theme switch: a request from the title bar or the settings dialog is played as a reveal.
// The last frame of the old theme is kept as a picture over the new theme, and a growing circle
// centred on the control that was used cuts it away until the new theme fills the window. The
// new theme is set in the settings as soon as it takes effect; the window writes them.
// UI thread only; a snapshot that cannot be made only drops the animation (the theme still
// switches), and a frame whose mask cannot be made shows the new theme alone.

#include <windows.h>

#include <d2d1_1.h>

#include <cstdint>
#include <functional>

#include "foundation/ComPtr.h"
#include "graphics/Graphics.h"
#include "graphics/Types.h"

namespace Lorvex::Main {

class ThemeReveal {
public:
    // The title bar's theme button: the sun while the dark theme is shown, the moon for the light.
    static constexpr int32_t kSunIcon = 90;
    static constexpr int32_t kMoonIcon = 89;
    // Seconds from the start: the button shows its new icon, and the reveal is over.
    static constexpr double kIconSwapSeconds = 0.3;
    static constexpr double kRevealSeconds = 0.8;

    static int32_t IconFor(bool dark) { return dark ? kSunIcon : kMoonIcon; }

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

    // Both icons show the current theme (the window sets them when it opens).
    void ShowTheme(bool dark) { displayedIcon = targetIcon = IconFor(dark); }

    // The frame a pending switch starts in, in place of drawing the screen layer: drawContent
    // draws the old theme's screen layer into a bitmap, which is shown this frame and kept as
    // the snapshot; then the theme flips, the settings take it (for the caller to save), and the
    // window's native dark mode follows.
    // Without a bitmap the screen layer is drawn directly and the theme switches at once.
    void Start(Graphics& graphics, const Rect& window, double now, HWND hwnd, const std::function<void()>& drawContent);

    // Draws the running reveal over the screen layer of the new theme; ends it after
    // kRevealSeconds or at once without a snapshot.
    void Draw(Graphics& graphics, const Rect& window, double now);

    bool pending = false;
    bool running = false;
    float centerX = 0;
    float centerY = 0;
    double start = -10.0;
    ComPtr<ID2D1Bitmap1> snapshot;
    int32_t displayedIcon = kSunIcon;  // what the title bar's theme button shows
    int32_t targetIcon = kSunIcon;
};

}  // namespace Lorvex::Main

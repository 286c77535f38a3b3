#include "main/window/ThemeReveal.h"

#include <dwmapi.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "domain/Settings.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

// Missing from the MinGW headers.
constexpr DWORD kDwmUseImmersiveDarkMode = 20;

// How far the radii reach beyond the window: the circle covers every corner before p reaches 1,
// whichever control it starts from.
constexpr float kRadiusFactor = 3;

}  // namespace

void ThemeReveal::Start(Graphics& graphics, const Rect& window, double now, HWND hwnd,
                        const std::function<void()>& drawContent) {
    ComPtr<ID2D1Bitmap1> picture = graphics.CreateTargetBitmap();
    if (picture && graphics.RedirectTarget(picture.Get())) {
        graphics.Clear(UI::Material::ReadyPalette().background);
        drawContent();
        graphics.RestoreTarget();
        graphics.DrawBitmap(picture.Get(), window, 1);
    } else {
        picture.Reset();
        drawContent();
    }

    pending = false;
    running = true;
    snapshot = std::move(picture);
    start = now;

    // The flag the palette is built from, not the palette's own copy of it, which ApplyTheme
    // overwrites.
    UI::Material::DarkTheme = !UI::Material::DarkTheme;
    UI::Material::ApplyTheme();
    targetIcon = IconFor(UI::Material::DarkTheme);

    Settings::Instance().dark_theme = UI::Material::DarkTheme;

    if (hwnd) {
        const BOOL dark = UI::Material::DarkTheme ? TRUE : FALSE;
        DwmSetWindowAttribute(hwnd, kDwmUseImmersiveDarkMode, &dark, sizeof(dark));
    }
}

void ThemeReveal::Draw(Graphics& graphics, const Rect& window, double now) {
    if (!running) {
        return;
    }
    const double elapsed = now - start;
    // The title bar's button has shrunk to nothing by now and grows back with the new icon.
    if (elapsed >= kIconSwapSeconds) {
        displayedIcon = targetIcon;
    }
    if (elapsed >= kRevealSeconds || !snapshot) {
        running = false;
        snapshot.Reset();
        displayedIcon = targetIcon;
        return;
    }

    // Transparent inside the circle of radius p (the new theme shows), opaque outside (the old
    // picture covers), softened over about 2 % of the radius.
    const float p = UI::Material::Motion::EaseInOutCubic(static_cast<float>(elapsed / kRevealSeconds));
    const Color clear = {0, 0, 0, 0};
    const Color opaque = {0, 0, 0, 1};
    const std::vector<Graphics::GradientStop> stops = {
        {0, clear}, {p, clear}, {std::max(p + 0.0001f, 0.98f * p + 0.02f), opaque}, {1, opaque}};
    if (!graphics.PushRadialMaskLayer(stops, D2D1::Point2F(centerX, centerY), kRadiusFactor * window.w,
                                      kRadiusFactor * window.h)) {
        return;
    }
    graphics.DrawBitmap(snapshot.Get(), window, 1);
    graphics.PopLayer();
}

}  // namespace Lorvex::Main

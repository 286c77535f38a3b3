// The start-up splash: the logo grows in with an overshoot, the name and the tagline rise into
// place, and the whole picture fades out, all within the first 1.25 s. It covers the window and
// keeps the pointer from everything beneath it while it shows.

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/kit/Backdrop.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "main/window/Mark.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

constexpr double kFadeStart = 0.8;
constexpr double kFadeSeconds = 0.45;
constexpr double kLogoSeconds = 0.45;
constexpr float kLogoSide = 84;
constexpr float kPi = 3.14159265f;

float Clamp01(double v) {
    return static_cast<float>(std::clamp(v, 0.0, 1.0));
}

void DrawLogo(Graphics& graphics, const Rect& window, double s) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const float m = 1 - Clamp01(s / kLogoSeconds);
    // Grows from 0.4 of its size to the whole, passing it on the way.
    const float k = (1 - (m * m * m - 1.6f * m * std::sin(kPi * m))) * 0.6f;
    const float side = (k + 0.4f) * kLogoSide;
    const float cx = window.x + window.w / 2;
    const float cy = window.y + window.h / 2 - 60;
    const Rect logo = {cx - side / 2, cy - side / 2, side, side};
    graphics.GlowRound(logo, Mark::kCornerShare * side, palette.accent, 30, k);
    Mark::Draw(graphics, logo);
}

void DrawWords(UI::Ui& ui, const Rect& window, double s) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float e = Entrance(s, 0.2, 0.4);
    if (e <= 0) {
        return;
    }
    graphics.PushLayer(e, nullptr);
    ui.PushTranslate(0, (1 - e) * 14);
    const float middle = window.y + window.h / 2;
    TextStyle title = Kit::KitStyle(30, 600);
    title.align = TextAlign::Center;
    title.valign = VerticalAlign::Center;
    graphics.DrawText(L"Lorvex", {window.x, middle + 4, window.w, 40}, palette.onBackground, title);
    TextStyle tagline = Kit::KitStyle(14, 400);
    tagline.align = TextAlign::Center;
    tagline.valign = VerticalAlign::Center;
    graphics.DrawText(L"Historias con personajes que responden", {window.x, middle + 44, window.w, 24},
                      palette.onBackgroundMuted, tagline);
    ui.PopTransform();
    graphics.PopLayer();
}

}  // namespace

void MainWindow::DrawSplash(const Rect& window) {
    // The frame stamps the start before anything else reads it.
    const double s = ui.time - splashStart;
    if (splashStart < 0 || s >= kSplashSeconds) {
        return;
    }
    ui.redraw = true;
    ui.BlockHover(window, true);
    const float fade = UI::Material::Motion::EaseInOutCubic(Clamp01((s - kFadeStart) / kFadeSeconds));
    graphics.PushLayer(1 - fade, nullptr);
    graphics.FillRect(window, UI::Material::ReadyPalette().background);
    Kit::Backdrop(ui, window, 0, 1.4f);
    DrawLogo(graphics, window, s);
    DrawWords(ui, window, s);
    graphics.PopLayer();
}

}  // namespace Lorvex::Main

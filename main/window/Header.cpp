// The title bar: brand, screen title, account, settings and theme buttons, window buttons.

#include "main/window/Header.h"

#include <windows.h>

#include <d2d1_1.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "main/window/Mark.h"
#include "services/sync/CloudSync.h"
#include "ui/Motion.h"

namespace Lorvex::Main::Header {
namespace {

using UI::Material::Icon;

constexpr float kWindowButtonWidth = 46;
constexpr float kButtonSide = 38;
constexpr float kButtonStep = 44;  // from one round button's right edge to the next one's
constexpr float kTitleSeconds = 0.3f;
constexpr double kThemeTurnSeconds = 0.6;
constexpr double kThemeShrinkSeconds = 0.3;
constexpr float kBrandTile = 34;
constexpr uint64_t kGlowClockSalt = 0xB7A2;
constexpr float kGlowRate = 1.8f;  // radians per second
constexpr float kGlowPeriod = 6.28318531f / kGlowRate;

constexpr Icon kCloseIcon = static_cast<Icon>(28);
constexpr Icon kMinimizeIcon = static_cast<Icon>(92);
constexpr Icon kSignedOutIcon = static_cast<Icon>(1);
constexpr Icon kSettingsIcon = static_cast<Icon>(35);
constexpr int32_t kDarkThemeIcon = 90;  // shown while the dark theme is: it offers the light one

// What the title bar shows beside the name, and when that last changed.
struct TitleFade {
    std::wstring shown;
    double changed = -10.0;
};

Rect Centered(float cx, float cy, float side) {
    return {cx - side / 2, cy - side / 2, side, side};
}

// The brand tile's glow breathes on its own clock, which runs only in frames that are drawn
// anyway: the title bar never keeps an idle window drawing, and the pulse resumes where it paused.
// Like every ambient loop it stands still while they are held (pictures taken then agree) or the
// system's animation effects are off.
float GlowClock(UI::Ui& ui) {
    float& clock = ui.FloatState(UI::SaltedId(ui.MakeIdFromText("header-sub"), kGlowClockSalt), 0);
    if (!ui.AmbientStill()) {
        clock = std::fmod(clock + ui.dt, kGlowPeriod);
    }
    return clock;
}

// Brand tile and name; returns the right edge of the name.
float DrawBrand(UI::Ui& ui, const Rect& bar) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float cy = bar.y + bar.h / 2;
    const Rect tile = {bar.x + 24, cy - kBrandTile / 2, kBrandTile, kBrandTile};
    const float t = GlowClock(ui);
    graphics.GlowRound(tile, Mark::kCornerShare * kBrandTile, palette.accent, 12,
                       0.25f + 0.25f * (0.5f + 0.5f * std::sin(kGlowRate * t)));
    Mark::Draw(graphics, tile);

    TextStyle style = Kit::KitStyle(18, 600);
    style.valign = VerticalAlign::Center;
    const float x = tile.x + tile.w + 12;
    const float width = graphics.MeasureText(L"Lorvex", style, 100000).width;
    graphics.DrawText(L"Lorvex", {x, bar.y, width + 4, bar.h}, palette.onBackground, style);
    return x + width;
}

// The current screen's title after a dot; a new title slides in from the right while it fades in.
void DrawScreenTitle(UI::Ui& ui, MainWindow& window, const Rect& bar, float nameRight) {
    const std::wstring title = window.screens[window.currentScreen]->Title();
    if (title.empty()) {
        return;
    }
    TitleFade& fade = ui.State<TitleFade>(ui.MakeIdFromText("header-sub"));
    if (title != fade.shown) {
        fade.shown = title;
        fade.changed = ui.time;
    }
    const float q = Entrance(ui.time, fade.changed, kTitleSeconds);
    if (q < 1) {
        ui.redraw = true;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float cy = bar.y + bar.h / 2;
    const float dotX = nameRight + 12;
    graphics.FillEllipse(dotX, cy + 1, 2.5f, 2.5f, palette.onBackgroundMuted);

    TextStyle style = Kit::KitStyle(14, 400);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    const bool layered = q < 1;
    if (layered) {
        graphics.PushLayer(q, nullptr);
    }
    graphics.DrawText(title, {dotX + 12 + (1 - q) * 8, bar.y, 0.4f * bar.w, bar.h}, palette.onBackgroundMuted, style);
    if (layered) {
        graphics.PopLayer();
    }
}

// The account: its avatar with the sync dot while signed in, else the sign-in button.
void AccountButton(UI::Ui& ui, MainWindow& window, const Rect& rect) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const uint64_t id = ui.MakeIdFromText("hdr-account");
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    if (!cloud.SignedIn()) {
        if (Kit::IconButton(ui, id, rect, kSignedOutIcon, palette.onBackground, L"Iniciar sesión · copia en la nube",
                            true, 22)) {
            window.accountDialog->Open();
        }
        return;
    }

    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, rect, true, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    const float cx = rect.x + rect.w / 2;
    const float cy = rect.y + rect.h / 2;
    if (hover > 0) {
        graphics.FillEllipse(cx, cy, 19, 19, Kit::Faded(palette.accent, 0.16f * hover));
    }
    const Services::CloudSync::Account& account = cloud.account;
    const std::wstring& name = account.displayName.empty() ? account.email : account.displayName;
    const std::wstring photo = cloud.AvatarPath();
    const float side = 30 * (1 + 0.06f * hover - 0.05f * press);
    Kit::Avatar(ui, Centered(cx, cy, side), photo.empty() ? std::nullopt : std::optional<std::wstring>(photo), name, 0,
                {0, 0, 0, 0});
    const float dotX = cx + 10.5f;
    const float dotY = cy + 10.5f;
    graphics.FillEllipse(dotX, dotY, 5.5f, 5.5f, palette.chrome);
    graphics.FillEllipse(dotX, dotY, 4, 4,
                         SyncDotColor(cloud.syncing, cloud.offline, !cloud.lastError.empty(), palette));
    ui.Tooltip(id, name + L"\n" + cloud.StatusText());
    if (interaction.clicked) {
        window.profileDialog->Open(account.displayName.empty());
    }
}

// The theme button: disabled while a switch is asked for or plays; its icon turns once and
// changes while it has shrunk to nothing.
void ThemeButton(UI::Ui& ui, MainWindow& window, const Rect& rect) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    ThemeReveal& reveal = window.themeReveal;
    const uint64_t id = ui.MakeIdFromText("hdr-theme");
    const bool busy = reveal.Busy();
    const UI::Interaction interaction = ui.Interact(id, rect, !busy, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    const float cx = rect.x + rect.w / 2;
    const float cy = rect.y + rect.h / 2;
    if (hover > 0) {
        graphics.FillEllipse(cx, cy, 19, 19, Kit::Faded(palette.onBackground, 0.1f * hover));
    }

    const double a = ui.time - reveal.start;
    const bool turning = a >= 0 && a < kThemeTurnSeconds;
    if (busy || turning) {
        ui.redraw = true;
    }
    float degrees = 0;
    float scale = 1;
    if (turning) {
        degrees = UI::Material::Motion::EaseInOutCubic(static_cast<float>(a / kThemeTurnSeconds)) * 360;
        const double b =
            a < kThemeShrinkSeconds ? a / kThemeShrinkSeconds : 1 - (a - kThemeShrinkSeconds) / kThemeShrinkSeconds;
        scale = static_cast<float>(1 - b * b * b);
    }
    const bool sun = reveal.displayedIcon == kDarkThemeIcon;
    if (scale > 0) {
        graphics.PushTransform(D2D1::Matrix3x2F::Rotation(degrees, D2D1::Point2F(cx, cy)));
        UI::Material::DrawIcon(graphics, static_cast<Icon>(reveal.displayedIcon), Centered(cx, cy, 20 * scale),
                               sun ? palette.highlight : palette.secondary);
        graphics.PopTransform();
    }
    ui.Tooltip(id, palette.dark ? L"Tema claro" : L"Tema oscuro");
    if (interaction.clicked && !busy) {
        reveal.Request(cx, cy);
    }
}

}  // namespace

MaximizeLook MaximizeButtonLook(bool maximized) {
    if (maximized) {
        return {static_cast<Icon>(93), L"Restaurar"};
    }
    return {static_cast<Icon>(91), L"Maximizar"};
}

Color SyncDotColor(bool syncing, bool offline, bool lastFailed, const UI::Material::Theme& palette) {
    if (syncing) {
        return palette.accent;
    }
    if (offline) {
        return palette.warning;
    }
    if (lastFailed) {
        return palette.danger;
    }
    return palette.success;
}

bool WindowButton(UI::Ui& ui, MainWindow& window, uint64_t id, const Rect& rect, Icon icon, bool danger,
                  const std::wstring& tooltip) {
    window.headerHits.push_back(rect);
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, rect, true, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    if (hover > 0) {
        graphics.FillRect(rect,
                          danger ? Kit::Faded(palette.danger, hover) : Kit::Faded(palette.onBackground, 0.08f * hover));
    }
    const Color color = danger ? Kit::Mix(Kit::Faded(palette.onBackground, 0.8f), {1, 1, 1, 1}, hover)
                               : Kit::Faded(palette.onBackground, 0.8f + 0.2f * hover);
    UI::Material::DrawIcon(graphics, icon, Centered(rect.x + rect.w / 2, rect.y + rect.h / 2, 16 * (1 - 0.1f * press)),
                           color);
    ui.Tooltip(id, tooltip);
    return interaction.clicked;
}

void Draw(UI::Ui& ui, MainWindow& window, const Rect& bar) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.FillRect(bar, palette.chrome);
    graphics.FillRect({bar.x, bar.y + bar.h - 1, bar.w, 1}, palette.surfaceOverlay);
    ui.BlockHover(bar, true);

    const float nameRight = DrawBrand(ui, bar);
    DrawScreenTitle(ui, window, bar, nameRight);

    const HWND hwnd = window.hwnd;
    const bool maximized = hwnd && IsZoomed(hwnd);
    const float right = bar.x + bar.w;
    const float buttonHeight = bar.h - 1;
    if (WindowButton(ui, window, ui.MakeIdFromText("win-close"),
                     {right - kWindowButtonWidth, bar.y, kWindowButtonWidth, buttonHeight}, kCloseIcon, true,
                     L"Cerrar") &&
        hwnd) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    const MaximizeLook maximize = MaximizeButtonLook(maximized);
    const Rect maximizeRect = {right - 2 * kWindowButtonWidth, bar.y, kWindowButtonWidth, buttonHeight};
    window.maximizeButton = maximizeRect;
    if (WindowButton(ui, window, ui.MakeIdFromText("win-max"), maximizeRect, maximize.icon, false, maximize.tooltip) &&
        hwnd) {
        ShowWindow(hwnd, maximized ? SW_RESTORE : SW_MAXIMIZE);
    }
    const float minimizeLeft = right - 3 * kWindowButtonWidth;
    if (WindowButton(ui, window, ui.MakeIdFromText("win-min"), {minimizeLeft, bar.y, kWindowButtonWidth, buttonHeight},
                     kMinimizeIcon, false, L"Minimizar") &&
        hwnd) {
        ShowWindow(hwnd, SW_MINIMIZE);
    }

    const float cy = bar.y + bar.h / 2;
    const float lineX = minimizeLeft - 58;
    graphics.FillRect({lineX, cy - 12, 1, 24}, palette.surfaceOverlay);

    const float accountRight = lineX - 12;
    const Rect account = {accountRight - kButtonSide, cy - kButtonSide / 2, kButtonSide, kButtonSide};
    window.headerHits.push_back(account);
    AccountButton(ui, window, account);

    const Rect settings = {account.x - kButtonStep, account.y, kButtonSide, kButtonSide};
    window.headerHits.push_back(settings);
    if (Kit::IconButton(ui, ui.MakeIdFromText("hdr-settings"), settings, kSettingsIcon, palette.onBackground,
                        L"Ajustes", true, 20)) {
        window.settingsDialog->Open();
    }

    const Rect theme = {settings.x - kButtonStep, settings.y, kButtonSide, kButtonSide};
    window.headerHits.push_back(theme);
    ThemeButton(ui, window, theme);
}

}  // namespace Lorvex::Main::Header

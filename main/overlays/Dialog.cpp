#include "main/overlays/Dialog.h"

#include <d2d1_1.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "graphics/Graphics.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "main/overlays/OverlayInput.h"
#include "ui/Ids.h"
#include "ui/Motion.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Main {
namespace {

uint32_t dialogCounter = 0;

// Salts of the dialog's own controls and animation state.
constexpr uint64_t kVisibleSalt = 0xD1A0;
constexpr uint64_t kOutsideSalt = 0xD1A2;
constexpr uint64_t kCloseSalt = 0xD1A3;
constexpr uint64_t kScrollSalt = 0xD1A4;

constexpr float kHeaderHeight = 76;
constexpr float kFooterHeight = 72;
constexpr float kInset = 24;
constexpr float kMinBody = 80;
constexpr float kWindowMargin = 32;  // above and below the tallest panel
constexpr float kRadius = 20;
constexpr float kBandHeight = 106;  // the header's tinted band, fading out downwards
constexpr float kOpenSeconds = 0.28f;
constexpr float kCloseSeconds = 0.18f;

// The pop-in of a panel or a tile: starts at 0, passes 1 and settles back on it.
float Overshoot(float rest, float bounce) {
    return 1 - (rest * rest * rest - bounce * rest * std::sin(std::numbers::pi_v<float> * rest));
}

}  // namespace

uint64_t Dialog::SeedFor(uint32_t counter) {
    return UI::NonZeroId(UI::Fnv1a64Word(0xD1A1, counter));
}

float Dialog::Width(const Rect& window) const {
    return std::min(window.w - 48, panelWidth_);
}

void Dialog::Open() {
    if (seed == 0) {
        seed = SeedFor(dialogCounter++);
    }
    open = true;
    openTime = -1.0;
}

void Dialog::Close() {
    open = false;
    OnClosed();
}

uint64_t Dialog::LabelId(const std::wstring& label) const {
    return UI::NonZeroId(UI::Fnv1a64(seed, std::wstring_view(label)));
}

uint64_t Dialog::ControlId(uint64_t salt) const {
    return UI::NonZeroId(UI::Fnv1a64Word(seed, salt));
}

Dialog::Geometry Dialog::Layout(const Rect& window, float panelWidth, float contentHeight, bool scrollable) {
    const float wanted = contentHeight + 8;
    const float room = window.h - kHeaderHeight - kFooterHeight - 2 * kWindowMargin;
    const float body = std::min(std::max(room, kMinBody), wanted);
    const float height = kHeaderHeight + body + kFooterHeight;
    const float left = std::round(window.x + window.w / 2 - panelWidth / 2);
    const float top = std::round(window.y + window.h / 2 - height / 2);
    Geometry g;
    g.panel = {left, top, panelWidth, height};
    g.body = {left, top + kHeaderHeight, panelWidth, body};
    g.bodyContent = {left + kInset, top + kHeaderHeight + 4, panelWidth - 2 * kInset, wanted};
    g.footer = {left + kInset, top + height - kFooterHeight, panelWidth - 2 * kInset, kFooterHeight};
    g.scrolls = scrollable && wanted - body > 0.5f;
    return g;
}

void Dialog::Draw(UI::Ui& ui, const Rect& window) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    if (open && openTime < 0) {
        openTime = ui.time;
    }
    visible = ui.Approach(ControlId(kVisibleSalt), open ? 1.0f : 0.0f, open ? kOpenSeconds : kCloseSeconds, 0.0f);
    if (!IsVisible()) {
        shownPanel_.reset();
        return;
    }
    const float v = std::clamp(visible, 0.0f, 1.0f);
    const float fade = EaseOut(v);
    const float pop = open ? Overshoot(1 - v, 0.9f) : UI::Material::Motion::EaseInOutCubic(v);

    graphics.FillRect(window, {4 / 255.0f, 3 / 255.0f, 12 / 255.0f, std::trunc(fade * 150) / 255});
    const Color tint = accent.a > 0 ? accent : palette.primary;
    graphics.FillEllipseRadial(window.x + window.w / 2, window.y + window.h / 2, 0.45f * window.w, 0.5f * window.h,
                               {{0, Kit::Faded(tint, 0.1f * fade)}, {1, Kit::Faded(tint, 0)}}, 1);

    const float width = Width(window);
    const Geometry g = Layout(window, width, ContentHeight(ui, width - 2 * kInset), scrollable);
    shownPanel_ = ui.ToWindow(g.panel);

    // Keys and the outside click come before anything in the panel, so that a field in the body
    // never sees the Escape or Ctrl+Enter meant for the dialog.
    if (open && dismissable && ClickedOutside(ui, ControlId(kOutsideSalt), window, g.panel, false)) {
        Close();
    }
    if (open && dismissable && TakeKey(ui, kEscapeKey)) {
        Close();
    }
    if (open && TakeKey(ui, kEnterKey, true)) {
        OnSubmit();
    }

    graphics.PushLayer(fade, nullptr);
    ui.PushScale(0.92f + 0.08f * pop, g.panel.x + g.panel.w / 2, g.panel.y + g.panel.h / 2 + 20);
    ui.PushTranslate(0, (1 - pop) * 16);
    ui.BlockHover(g.panel, true);
    DrawHeader(ui, g.panel, tint);
    DrawBody(ui, g);
    {
        UI::Ui::IdScope ids(ui, seed);
        graphics.FillRect({g.panel.x, g.footer.y, g.panel.w, 1}, palette.surfaceOverlay);
        Footer(ui, g.footer);
    }
    ui.PopTransform();
    ui.PopTransform();
    graphics.PopLayer();
}

void Dialog::DrawHeader(UI::Ui& ui, const Rect& panel, const Color& tint) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    UI::Material::Shadow(graphics, panel, kRadius, 24);
    graphics.FillRoundRect(panel, kRadius, palette.surfaceRaised);
    // The tinted band fades out 106 DIPs down: the panel's own rounded shape is filled with it (the
    // gradient is transparent past its end), which rounds the band's corners without a clip layer.
    if (panel.h > 0) {
        graphics.FillLinearGradient(panel, kRadius, {{0, Kit::Faded(tint, 0.16f)}, {1, Kit::Faded(tint, 0)}}, {0, 0},
                                    {0, kBandHeight / panel.h});
    }
    graphics.StrokeRoundRect({panel.x + 0.5f, panel.y + 0.5f, panel.w - 1, panel.h - 1}, kRadius - 0.5f,
                             palette.surfaceOverlay, 1);

    // The icon tile pops in a little after the panel.
    const Rect tile = {panel.x + kInset, panel.y + 18, 44, 44};
    const float tileIn = Entrance(ui.time, openTime + 0.08, 0.4);
    if (tileIn < 1) {
        ui.redraw = true;
    }
    ui.PushScale(Overshoot(1 - tileIn, 1.4f) * 0.4f + 0.6f, tile.x + tile.w / 2, tile.y + tile.h / 2);
    graphics.FillLinearGradient(tile, 13, {{0, tint}, {1, Kit::Mix(tint, palette.secondary, 0.6f)}}, {0, 0}, {1, 0});
    UI::Material::DrawIcon(graphics, headerIcon, {tile.x + 11, tile.y + 11, 22, 22}, {1, 1, 1, 1});
    ui.PopTransform();

    const float textLeft = panel.x + 82;
    const float textWidth = panel.w - 146;
    TextStyle titleStyle = Kit::KitStyle(19, 600);
    titleStyle.valign = VerticalAlign::Center;
    titleStyle.ellipsis = true;
    if (subtitle.empty()) {
        graphics.DrawText(title, {textLeft, panel.y + 18, textWidth, 44}, palette.onBackground, titleStyle);
    } else {
        graphics.DrawText(title, {textLeft, panel.y + 17, textWidth, 26}, palette.onBackground, titleStyle);
        TextStyle subtitleStyle = Kit::KitStyle(13, 400);
        subtitleStyle.valign = VerticalAlign::Center;
        subtitleStyle.ellipsis = true;
        graphics.DrawText(subtitle, {textLeft, panel.y + 42, textWidth, 20}, palette.onBackgroundMuted, subtitleStyle);
    }

    const Rect close = {panel.x + panel.w - kInset - 34, panel.y + 23, 34, 34};
    if (dismissable && Kit::IconButton(ui, ControlId(kCloseSalt), close, UI::Material::Icon::Close,
                                       palette.onBackground, L"Cerrar (Esc)", true, 18)) {
        if (open) {
            Close();
        }
    }
}

void Dialog::DrawBody(UI::Ui& ui, const Geometry& g) {
    UI::Ui::IdScope ids(ui, seed);
    std::optional<UI::ScrollArea> scroll;
    if (g.scrolls) {
        scroll.emplace(ui, ControlId(kScrollSalt), g.body, 48);
        scroll->content = g.bodyContent.h;
    } else {
        // A little air on the sides for focus rings and outlines that reach past the body.
        ui.PushClip({g.body.x - 2, g.body.y, g.body.w + 4, g.body.h});
    }
    {
        // The body follows the panel in a little later, rising into place.
        const float bodyIn = Entrance(ui.time, openTime + 0.12, 0.35);
        UI::Ui::ClipScope staged(ui);
        if (bodyIn < 1) {
            ui.redraw = true;
            ui.graphics->PushLayer(bodyIn, nullptr);
            staged.layerPushed = true;
            ui.PushTranslate(0, (1 - bodyIn) * 10);
            staged.transformPushed = true;
        }
        Body(ui, g.bodyContent);
    }
    if (!g.scrolls) {
        ui.PopClip();
    }
}

bool Dialog::FooterButton(UI::Ui& ui, float& x, const Rect& footer, const std::wstring& label, UI::Material::Icon icon,
                          const Color& color, bool filled, bool enabled) {
    const float width = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
    const Rect rect = {x - width, footer.y + footer.h / 2 - 21, width, 42};
    x -= width + 10;
    return Kit::Button(ui, LabelId(label), rect, icon, label, color, filled, enabled);
}

}  // namespace Lorvex::Main

// The toast queue: pushing with its de-duplication, and the per-frame walk that times, places,
// draws and dismisses the toasts.

#include "main/kit/Toasts.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"
#include "ui/Icons.h"
#include "ui/Ids.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr float kBottomMargin = 24;
constexpr float kGap = 10;
constexpr float kMaxWidth = 520;
constexpr float kSideMargin = 80;
constexpr float kRadius = 14;
constexpr float kRise = 30;
constexpr float kSlotRate = 14;

Color KindColor(ToastKind kind) {
    const UI::Material::Theme& palette = UI::Material::Palette;
    switch (kind) {
    case ToastKind::Success:
        return palette.success;
    case ToastKind::Error:
        return palette.danger;
    case ToastKind::Info:
    default:
        return palette.secondary;
    }
}

UI::Material::Icon KindIcon(ToastKind kind) {
    switch (kind) {
    case ToastKind::Success:
        return UI::Material::Icon::CheckCircle;
    case ToastKind::Error:
        return UI::Material::Icon::AlertCircle;
    case ToastKind::Info:
    default:
        return UI::Material::Icon::InfoCircle;
    }
}

TextStyle ToastTextStyle() {
    TextStyle style;
    style.size = 14;
    style.weight = 400;
    style.wrap = true;
    style.valign = VerticalAlign::Center;
    return style;
}

}  // namespace

double ToastDisplayTime(ToastKind kind) {
    return kind == ToastKind::Error ? 6.0 : 3.6;
}

float ToastEntry(double elapsed) {
    const double e = std::clamp(elapsed / 0.35, 0.0, 1.0);
    const double l = 1 - e;
    return static_cast<float>(1 - (l * l * l - 0.6 * l * std::sin(std::numbers::pi * l)));
}

float ToastExit(double sinceEnd) {
    const double u = std::clamp(sinceEnd * 4, 0.0, 1.0);
    return static_cast<float>(1 - u * u * u);
}

uint64_t Toasts::WidgetId(const Toast& toast) {
    return UI::SaltedId(UI::MakeId("toast", toast.serial), kClickSalt);
}

void Toasts::Push(const std::wstring& text, ToastKind kind) {
    if (!items_.empty() && items_.back().text == text && items_.back().end == -1) {
        return;
    }
    Toast toast;
    toast.text = text;
    toast.kind = kind;
    toast.serial = nextSerial_++;
    items_.push_back(std::move(toast));
    while (items_.size() > kMaxQueued) {
        items_.pop_front();
    }
}

void Toasts::Draw(UI::Ui& ui, const Rect& area) {
    if (items_.empty()) {
        return;
    }
    const UI::Material::Theme& palette = UI::Material::ReadyPalette();
    Graphics& graphics = *ui.graphics;
    const double now = ui.time;
    const TextStyle textStyle = ToastTextStyle();
    const float maxWidth = std::min(area.w - kSideMargin, kMaxWidth);
    float bottom = area.y + area.h - kBottomMargin;

    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        Toast& toast = *it;
        if (toast.start == -1) {
            toast.start = now;
        }
        if (toast.end == -1 && now - toast.start > ToastDisplayTime(toast.kind)) {
            toast.end = now;
        }
        const float m = ToastEntry(now - toast.start);
        const float o = toast.end == -1 ? 1.0f : ToastExit(now - toast.end);
        ui.animating = true;
        if (m < 1 || o < 1) {
            ui.redraw = true;
        }

        const Graphics::TextSize measured = graphics.MeasureText(toast.text, textStyle, maxWidth - 64);
        const float h = std::max(measured.height + 26, 48.0f);
        const float w = std::min(measured.width + 72, maxWidth);

        const float slot = bottom - h;
        if (toast.y == -1) {
            toast.y = slot;
        } else {
            toast.y = slot + (toast.y - slot) * std::exp(-kSlotRate * ui.dt);
        }
        if (std::fabs(toast.y - slot) > 0.5f) {
            ui.redraw = true;
        }

        const Rect box = {area.x + area.w / 2 - w / 2, toast.y + kRise * (1 - m), w, h};
        bottom -= (h + kGap) * o;

        const Color kind = KindColor(toast.kind);
        graphics.PushLayer(o * std::clamp(m, 0.0f, 1.0f), nullptr);
        UI::Material::Shadow(graphics, box, kRadius, 8);
        graphics.FillRoundRect(box, kRadius, palette.surfaceRaised);
        graphics.FillRoundRect(box, kRadius, Faded(kind, 0.08f));
        graphics.StrokeRoundRect({box.x + 0.5f, box.y + 0.5f, box.w - 1, box.h - 1}, kRadius - 0.5f, Faded(kind, 0.35f),
                                 1);
        UI::Material::DrawIcon(graphics, KindIcon(toast.kind), {box.x + 16, box.y + h / 2 - 10, 20, 20}, kind);
        if (!toast.text.empty() && palette.onBackground.a > 0 && w - 60 > 0) {
            graphics.DrawText(toast.text, {box.x + 46, box.y, w - 60, h}, palette.onBackground, textStyle);
        }
        graphics.PopLayer();

        const UI::Interaction interaction = ui.Interact(WidgetId(toast), box, true, true);
        if (interaction.clicked && toast.end == -1) {
            toast.end = now;
        }
    }

    std::erase_if(items_, [now](const Toast& toast) { return toast.end != -1 && now - toast.end > kRemoveAfter; });
}

}  // namespace Lorvex::Main::Kit

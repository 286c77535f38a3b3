// Tooltips: the hover timeline that decides when one shows, and the built-in drawing used until
// a window installs its own drawer.

#include <algorithm>
#include <cmath>

#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

constexpr float kMaxTextWidth = 400;
constexpr float kPadX = 6;
constexpr float kPadY = 3;
constexpr float kGapBelow = 20;  // clears the pointer's arrow
constexpr float kGapAbove = 2;

TextStyle TooltipStyle() {
    TextStyle style;
    style.size = 12;
    style.weight = 400;
    return style;
}

Color Grey(int level, float alpha = 1) {
    const float v = static_cast<float>(level) / 255.0f;
    return {v, v, v, alpha};
}

}  // namespace

void Ui::Tooltip(uint64_t id, std::wstring_view text) {
    if (!input || id != hover || text.empty()) {
        return;
    }
    if (id != tooltipId) {
        tooltipId = id;
        tooltipStart = time;
        tooltipHidden = false;
    }
    // The delay restarts while the pointer moves; once shown, moving keeps the tooltip.
    if (input->moved && time - tooltipStart < kTooltipDelay) {
        tooltipStart = time;
    }
    if (input->pressed[Button::Left] || input->pressed[Button::Right]) {
        tooltipHidden = true;
    }
    if (tooltipHidden) {
        return;
    }
    const double elapsed = time - tooltipStart;
    if (elapsed >= kTooltipEnd) {
        return;
    }
    animating = true;
    if (elapsed < kTooltipDelay) {
        tooltipAnchorX = input->x;
        tooltipAnchorY = input->y;
        return;
    }
    Defer([this, copy = std::wstring(text), x = tooltipAnchorX, y = tooltipAnchorY] {
        if (tooltipDrawer) {
            tooltipDrawer(*graphics, copy, x, y);
        } else {
            DrawTooltip(copy, x, y);
        }
    });
}

Rect Ui::TooltipBox(Graphics::TextSize text, float anchorX, float anchorY, float surfaceWidth, float surfaceHeight,
                    float pixelsPerDip) {
    const float w = std::ceil(text.width) + 2 * kPadX;
    const float h = std::ceil(text.height) + 2 * kPadY;
    float x = std::max(0.0f, std::min(anchorX, surfaceWidth - w));
    float y = anchorY + kGapBelow;
    if (y + h > surfaceHeight) {
        y = anchorY - h - kGapAbove;
    }
    if (pixelsPerDip > 0) {
        x = std::round(x * pixelsPerDip) / pixelsPerDip;
        y = std::round(y * pixelsPerDip) / pixelsPerDip;
    }
    return {x, y, w, h};
}

void Ui::DrawTooltip(const std::wstring& text, float x, float y) {
    Graphics& g = *graphics;
    const TextStyle style = TooltipStyle();
    const Graphics::TextSize size = g.MeasureText(text, style, kMaxTextWidth);
    const Rect box = TooltipBox(size, x, y, g.Width(), g.Height(), g.Dpi() / 96.0f);
    // A soft shadow of six faint rings, widest first.
    for (int n = 6; n >= 1; --n) {
        const float m = static_cast<float>(n) * 0.5f;
        g.FillRoundRect({box.x - m, box.y - m, box.w + 2 * m, box.h + 2 * m}, m, {0, 0, 0, 0.0294f});
    }
    g.FillRect(box, {1, 1, 1, 1});
    g.StrokeRoundRect(box, 0, Grey(118), 1);
    g.DrawText(text, {box.x + kPadX, box.y + kPadY, box.w - 2 * kPadX, box.h - 2 * kPadY}, Grey(87), style);
}

}  // namespace Lorvex::UI

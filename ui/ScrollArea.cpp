// The scroll area: wheel and drag move a target, the shown offset eases after it, and the thumb
// is drawn and grabbed after the content so that it lies on top.

#include "ui/ScrollArea.h"

#include <algorithm>
#include <cmath>

#include "ui/Theme.h"

namespace Lorvex::UI {
namespace {

constexpr float kWheelNotch = 120;
// The shown offset snaps to the target this close to it.
constexpr float kSettle = 0.5f;
// Content this close to the viewport's height still fits.
constexpr float kFitSlack = 0.5f;
constexpr float kThumbWidth = 6;
constexpr float kThumbInset = 8;  // thumb's left edge from the viewport's right edge
constexpr float kThumbHitWidth = 12;
constexpr float kThumbRadius = 3;
constexpr float kActiveThumbAlpha = 0.85f;
// Air left above or below an editor scrolled into view.
constexpr float kRevealMargin = 16;

}  // namespace

std::optional<ScrollThumb> ThumbFor(const Rect& viewport, float offset, float content) {
    const float h = viewport.h;
    if (content <= h + kFitSlack) {
        return std::nullopt;
    }
    const float length = std::max(h * h / content, ScrollArea::kMinThumb);
    const float track = h - length;
    const float top = viewport.y + offset / (content - h) * track;
    const float right = viewport.x + viewport.w;
    ScrollThumb result;
    result.thumb = {right - kThumbInset, top, kThumbWidth, length};
    result.hit = {right - kThumbHitWidth, top, kThumbHitWidth, length};
    result.track = track;
    return result;
}

ScrollArea::ScrollArea(Ui& ui, uint64_t id, const Rect& viewport, float step) : viewport(viewport), ui(ui), id(id) {
    ScrollState& s = ui.State<ScrollState>(id);
    // Content that fits shows no thumb, so it does not scroll either (not even by the half DIP).
    const float max = s.content > viewport.h + kFitSlack ? s.content - viewport.h : 0.0f;
    if (ui.Hit(viewport)) {
        ui.nextWheelOwner = id;
    }
    if (ui.input && id == ui.wheelOwner && ui.input->wheel != 0 && max > 0) {
        s.target -= ui.input->wheel / kWheelNotch * step;
        // Taken: an area further out does not scroll with the same notch.
        ui.input->wheel = 0;
    }
    s.target = std::clamp(s.target, 0.0f, max);
    if (s.dragging) {
        s.current = s.target;
    } else {
        s.current += (s.target - s.current) * std::min(ui.dt * kEaseRate, 1.0f);
        if (std::fabs(s.current - s.target) < kSettle) {
            s.current = s.target;
        } else {
            ui.redraw = true;
        }
    }
    s.current = std::clamp(s.current, 0.0f, max);
    offset = s.current;
    windowViewport_ = ui.ToWindow(viewport);
    revealedBefore_ = ui.HasRevealed();
    ui.PushClip(viewport);
    ui.PushTranslate(0, -offset);
}

void ScrollArea::Reveal(ScrollState& s) {
    const std::optional<Rect> shown = ui.TakeRevealed();
    if (!shown || ui.scale <= 0) {
        return;
    }
    // Window coordinates: the editor as drawn at this frame's offset, and the viewport.
    const Rect& v = windowViewport_;
    float delta = 0;
    if (shown->y < v.y) {
        delta = shown->y - v.y - kRevealMargin * ui.scale;
    } else if (shown->y + shown->h > v.y + v.h) {
        // A field taller than the viewport shows its top.
        delta = std::min(shown->y + shown->h - (v.y + v.h) + kRevealMargin * ui.scale, shown->y - v.y);
    }
    if (delta == 0) {
        return;
    }
    const float max = content > viewport.h + kFitSlack ? content - viewport.h : 0.0f;
    s.target = std::clamp(offset + delta / ui.scale, 0.0f, max);
    ui.redraw = true;
}

ScrollArea::~ScrollArea() {
    ui.PopTransform();
    ui.PopClip();
    ScrollState& s = ui.State<ScrollState>(id);
    s.content = content;
    if (!revealedBefore_ && ui.HasRevealed()) {
        Reveal(s);
    }
    const std::optional<ScrollThumb> thumb = ThumbFor(viewport, offset, content);
    if (!thumb) {
        s.dragging = false;
        return;
    }

    const Interaction grip = ui.Interact(SaltedId(id, kThumbSalt), thumb->hit, true, false);
    const bool buttonDown = ui.input && ui.input->down[Button::Left];
    const float pointerY = ui.input ? (ui.input->y - ui.offsetY) / ui.scale : 0;
    if (grip.held && !s.dragging) {
        s.dragging = true;
        s.grabY = pointerY;
        s.grabTarget = s.target;
    }
    if (s.dragging) {
        if (buttonDown) {
            // The whole track stands for the whole scrollable range, so the content follows the
            // pointer proportionally.
            const float range = content - viewport.h;
            s.target =
                std::clamp((pointerY - s.grabY) * range / std::max(thumb->track, 1.0f) + s.grabTarget, 0.0f, range);
        } else {
            s.dragging = false;
        }
    }

    Color color = Material::ReadyPalette().scrollThumb;
    if (s.dragging || grip.hovered) {
        color = Material::Palette.primary;
        color.a *= kActiveThumbAlpha;
    }
    ui.graphics->FillRoundRect(thumb->thumb, kThumbRadius, color);
}

}  // namespace Lorvex::UI

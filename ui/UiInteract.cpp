// Hit testing, hover and press ownership, and the visibility test of long lists.

#include <algorithm>
#include <cstdint>

#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

// Half-open: a point on the right or bottom edge belongs to the next rect.
bool Contains(const Rect& r, float x, float y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

}  // namespace

bool Ui::Hit(const Rect& rect) const {
    if (!input || !input->inside || hitSuspended) {
        return false;
    }
    for (const Rect& clip : clips_) {
        if (!Contains(clip, input->x, input->y)) {
            return false;
        }
    }
    return Contains(rect, (input->x - offsetX) / scale, (input->y - offsetY) / scale);
}

Interaction Ui::Interact(uint64_t id, const Rect& rect, bool enabled, bool notify) {
    Interaction result;
    if (onInteract) {
        onInteract(id, ToWindow(rect));
    }
    const bool hit = Hit(rect);
    if (hit) {
        // A disabled widget still covers what lies beneath it, under an id no widget has.
        nextHover = enabled ? id : SaltedId(id, kDisabledHoverSalt);
    }
    if (!enabled) {
        return result;
    }
    if (id == hover && hit) {
        result.hovered = true;
        nextCursor = kHandCursor;
        uint64_t& stamp = State<uint64_t>(SaltedId(id, kEnteredSalt));
        if (stamp + 1 != frame) {
            result.entered = true;
            if (notify && onPointerEntered) {
                onPointerEntered();
            }
        }
        stamp = frame;
        if (input->pressed[Button::Left]) {
            active = id;
        }
        result.rightClicked = input->released[Button::Right];
        result.middleClicked = input->released[Button::Middle];
    }
    result.held = id == active && input && input->down[Button::Left];
    if (id == active && input && input->released[Button::Left] && hit) {
        result.clicked = true;
        if (notify && onClicked) {
            onClicked();
        }
    }
    return result;
}

void Ui::BlockHover(const Rect& rect, bool blockWheel) {
    if (!Hit(rect)) {
        return;
    }
    nextHover = SaltedId(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)), kBlockHoverSalt);
    if (blockWheel) {
        nextWheelOwner = 0;
    }
}

bool Ui::IsVisible(const Rect& rect, float margin) const {
    float left = -1000000;
    float top = -1000000;
    float right = 1000000;
    float bottom = 1000000;
    for (const Rect& clip : clips_) {
        left = std::max(left, clip.x);
        top = std::max(top, clip.y);
        right = std::min(right, clip.x + clip.w);
        bottom = std::min(bottom, clip.y + clip.h);
    }
    const float x = scale * (rect.x - margin) + offsetX;
    const float y = scale * (rect.y - margin) + offsetY;
    const float w = scale * (rect.w + 2 * margin);
    const float h = scale * (rect.h + 2 * margin);
    const float overlapW = std::min(right, x + w) - std::max(left, x);
    const float overlapH = std::min(bottom, y + h) - std::max(top, y);
    return overlapW > 0 && overlapH > 0;
}

}  // namespace Lorvex::UI

// Frame start and end of the widget context, the deferred work run between them, and the
// ambient loops' requests for frames.

#include <algorithm>
#include <utility>

#include "ui/Ui.h"

namespace Lorvex::UI {

void Ui::BeginFrame(Input& frameInput, double frameTime, float frameDt) {
    input = &frameInput;
    dt = frameDt;
    time = frameTime;
    ++frame;
    redraw = false;
    animating = false;
    ambient = false;
    ambientRegion = {};
    nextHover = 0;
    nextWheelOwner = 0;
    nextCursor = kArrowCursor;
    idScopes_.clear();
    clips_.clear();
    transforms_.clear();
    scale = 1;
    offsetX = 0;
    offsetY = 0;
    // Work deferred by a frame that never reached its end is dropped, not run late.
    deferred_.clear();
    hitSuspended = false;
    // The press landed where nothing was hovered: a click on empty space lets go of the keyboard.
    if (frameInput.pressed[Button::Left] && hover == 0) {
        focus = 0;
    }
}

void Ui::RequestAmbientFrames(const Rect& rect) {
    if (ambientHeld || !(rect.w > 0) || !(rect.h > 0)) {
        return;
    }
    const Rect mapped = ToWindow(rect);
    if (!ambient) {
        ambientRegion = mapped;
    } else {
        const float left = std::min(ambientRegion.x, mapped.x);
        const float top = std::min(ambientRegion.y, mapped.y);
        const float right = std::max(ambientRegion.x + ambientRegion.w, mapped.x + mapped.w);
        const float bottom = std::max(ambientRegion.y + ambientRegion.h, mapped.y + mapped.h);
        ambientRegion = {left, top, right - left, bottom - top};
    }
    ambient = true;
}

void Ui::Defer(std::function<void()> callback) {
    deferred_.push_back({std::move(callback), hitSuspended});
}

void Ui::EndFrame() {
    // By index, re-reading the length: a callback may defer more, which may move the list, so each
    // callback is taken out before it runs.
    for (size_t i = 0; i < deferred_.size(); ++i) {
        hitSuspended = deferred_[i].blocked;
        std::function<void()> callback = std::move(deferred_[i].callback);
        if (callback) {
            callback();
        }
    }
    deferred_.clear();
    hitSuspended = false;

    const bool pointerInside = input && input->inside;
    hover = pointerInside ? nextHover : 0;
    if (hover != tooltipId) {
        tooltipId = 0;
    }
    wheelOwner = pointerInside ? nextWheelOwner : 0;
    if (input && !input->down[Button::Left]) {
        active = 0;
    }
    cursor = nextCursor;
}

void Ui::PopId() {
    if (!idScopes_.empty()) {
        idScopes_.pop_back();
    }
}

}  // namespace Lorvex::UI

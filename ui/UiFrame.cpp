// Frame start and end of the widget context, the deferred work run between them, and the
// ambient loops' requests for frames.

#include <windows.h>

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
    focusOrder_.clear();
    revealed_.reset();
    textCaret.reset();
    hitSuspended = false;
    // The press landed where nothing was hovered: a click on empty space lets go of the keyboard.
    if (frameInput.pressed[Button::Left] && hover == 0) {
        focus = 0;
    }
}

void Ui::RequestAmbientFrames(const Rect& rect) {
    if (!animationsOff) {
        RequestCaretFrames(rect);
    }
}

void Ui::RequestCaretFrames(const Rect& rect) {
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
    FollowTabs();
    // An editor scrolled into view (or in no scroll area at all) is shown now, and one that lost
    // the focus meanwhile has nothing more to ask.
    if (revealed_ || revealFocus_ != focus) {
        revealFocus_ = 0;
        revealed_.reset();
    }
    if (tabbedInto_ != focus) {
        tabbedInto_ = 0;
    }

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

void Ui::JoinFocusOrder(uint64_t id) {
    if (!hitSuspended) {
        focusOrder_.push_back(id);
    }
}

void Ui::ReportRevealed(uint64_t id, const Rect& windowRect) {
    if (id == revealFocus_) {
        revealed_ = windowRect;
    }
}

std::optional<Rect> Ui::TakeRevealed() {
    std::optional<Rect> taken = revealed_;
    if (taken) {
        revealed_.reset();
        revealFocus_ = 0;
    }
    return taken;
}

bool Ui::TakeTabbedInto(uint64_t id) {
    if (id != tabbedInto_ || id == 0) {
        return false;
    }
    tabbedInto_ = 0;
    return true;
}

void Ui::FollowTabs() {
    if (!input) {
        return;
    }
    for (KeyEvent& key : input->keys) {
        // Ctrl+Tab and Alt+Tab belong to others (tabs of a document, the system's switcher).
        if (key.vk != VK_TAB || !key.down || key.handled || key.ctrl || key.alt) {
            continue;
        }
        if (focusOrder_.empty()) {
            continue;
        }
        key.handled = true;
        const auto at = std::find(focusOrder_.begin(), focusOrder_.end(), focus);
        const size_t count = focusOrder_.size();
        size_t next = 0;
        if (at == focusOrder_.end()) {
            next = key.shift ? count - 1 : 0;
        } else {
            const size_t index = static_cast<size_t>(at - focusOrder_.begin());
            next = key.shift ? (index + count - 1) % count : (index + 1) % count;
        }
        focus = focusOrder_[next];
        caretTime = time;
        tabbedInto_ = focus;
        revealFocus_ = focus;
        redraw = true;
    }
}

void Ui::PopId() {
    if (!idScopes_.empty()) {
        idScopes_.pop_back();
    }
}

}  // namespace Lorvex::UI

#pragma once
// A vertical, clipped region that scrolls by wheel and by dragging its thumb. It is a scope: the
// constructor clips to the viewport and shifts drawing up by the scroll offset, the caller draws
// its content where it would stand unscrolled (its top at the viewport's top) and sets `content`
// to its height, and the destructor ends the region and draws the thumb. The position lives in the Ui under the area's id (ScrollState), so screens may
// read or move it between frames. The content height lags one frame: this frame's height limits
// scrolling from the next frame on.
// UI thread only; nothing fails (without input nothing scrolls and no thumb is grabbed).

#include <cstdint>
#include <optional>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::UI {

// The per-id position of a scroll area; all zero at creation.
struct ScrollState {
    float target = 0;   // the offset aimed at, DIPs from the top of the content
    float current = 0;  // the offset shown, easing toward target
    float content = 0;  // the content height reported by the previous frame
    bool dragging = false;
    float grabY = 0;       // pointer y (local) when the thumb was grabbed
    float grabTarget = 0;  // target when the thumb was grabbed
};

// Where the thumb of a viewport lies for a scroll offset and a content height.
struct ScrollThumb {
    Rect thumb;       // what is drawn
    Rect hit;         // what takes the pointer: wider than the thumb, same height
    float track = 0;  // how far the thumb's top can travel
};

// Nothing when the content fits in the viewport (with half a DIP to spare).
std::optional<ScrollThumb> ThumbFor(const Rect& viewport, float offset, float content);

class ScrollArea {
public:
    static constexpr uint64_t kThumbSalt = 0x7B;
    static constexpr float kMinThumb = 24;
    // How fast the shown offset follows the target, per second.
    static constexpr float kEaseRate = 18;

    // step: DIPs per wheel notch.
    ScrollArea(Ui& ui, uint64_t id, const Rect& viewport, float step);
    ~ScrollArea();
    ScrollArea(const ScrollArea&) = delete;
    ScrollArea& operator=(const ScrollArea&) = delete;

    Rect viewport;
    Ui& ui;
    uint64_t id;
    float offset = 0;   // the offset used in this frame (to skip rows outside the viewport)
    float content = 0;  // set by the caller before the area ends: the height drawn inside

private:
    // Scrolls so that an editor the Tab key focused inside the area comes into view.
    void Reveal(ScrollState& state);

    Rect windowViewport_;         // the viewport in window coordinates
    bool revealedBefore_ = false;  // an editor outside the area had already asked to be shown
};

}  // namespace Lorvex::UI

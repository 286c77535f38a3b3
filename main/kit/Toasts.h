#pragma once
// The main window's short notices at the bottom of the window: a queue of at most four toasts
// that slide up as they appear, stay for a time that depends on their kind, fade out and go; a
// click dismisses one early. Any screen or dialog pushes into the main window's queue, which
// draws it on top of everything once per frame. Times are the Ui's frame times, so the queue
// never reads a clock. UI thread only; nothing fails (text that cannot be laid out leaves the
// toast's box and icon without text).

#include <cstdint>
#include <deque>
#include <string>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

enum class ToastKind : int32_t { Info = 0, Success = 1, Error = 2 };

struct Toast {
    std::wstring text;
    ToastKind kind = ToastKind::Info;
    double start = -1;  // Ui time of the first frame that drew it; -1 until then
    double end = -1;    // Ui time it began to hide; -1 while it is not hiding
    float y = -1;       // current top edge, easing toward its slot; -1 until placed
    // Gives the toast its widget id: the queue moves its elements, so their addresses are no
    // identity.
    uint64_t serial = 0;
};

class Toasts {
public:
    static constexpr size_t kMaxQueued = 4;
    // Seconds from the start of hiding until the toast is removed (the fade takes 0.25 s).
    static constexpr double kRemoveAfter = 0.3;
    static constexpr uint64_t kClickSalt = 0x7057;

    // Queues a toast, unless the newest one says the same and is not hiding yet; drops the oldest
    // beyond four.
    void Push(const std::wstring& text, ToastKind kind);
    // Draws every toast inside area (bottom-centred, newest lowest), advances their timelines,
    // dismisses a clicked one and removes those hidden long enough.
    void Draw(UI::Ui& ui, const Rect& area);

    const std::deque<Toast>& Items() const { return items_; }
    bool Empty() const { return items_.empty(); }

    // The widget id of a toast: its serial number salted for the click.
    static uint64_t WidgetId(const Toast& toast);

private:
    std::deque<Toast> items_;
    uint64_t nextSerial_ = 1;
};

// Seconds a toast of the kind stays before it hides: errors longer than the rest.
double ToastDisplayTime(ToastKind kind);

// How far a toast has entered, elapsed seconds after it was first drawn: a back-out ease over
// 0.35 s that overshoots 1 briefly and ends at exactly 1.
float ToastEntry(double elapsed);

// The opacity left while hiding, seconds after hiding began: 1 at 0, 0 from 0.25 s on.
float ToastExit(double sinceEnd);

}  // namespace Lorvex::Main::Kit

#pragma once
// The UI thread's main loop: each turn takes the waiting messages, runs the dispatcher and draws
// every window whose frame is due, then paces itself on the display's refresh or, with nothing
// drawn, sleeps until input, a posted task, a timer or the next frame deadline, so an idle window
// costs no processor time. UI thread only. Nothing fails: without a high-resolution timer the
// loop waits with Sleep and whole-millisecond time-outs.

#include <cstdint>
#include <vector>

namespace Lorvex::App {

// Runs until WM_QUIT arrives and returns its wParam (the process exit code).
int RunLoop();

// The pacing timer: a high-resolution waitable timer made on first use, or null when the system
// has none (then timeBeginPeriod(1) was called once, for Sleep's sake).
void* HighResTimer();
// Arms the pacing timer once, relative, for max(seconds, 0); false when there is no timer or
// arming failed. A signal left from an earlier arming is drained first.
bool ArmHighResTimer(double seconds);

// One turn's drawing: a frame for each visible, non-minimised window whose next frame is due at
// now. Returns whether any frame was drawn.
bool DrawDueWindows(double now);

// Whole milliseconds for a wait of the given seconds: 0 when it is due, else truncated plus one,
// so the wait ends at or just after the deadline, never before it.
uint32_t WaitMilliseconds(double seconds);
// The idle wait's time-out for the given waits in seconds (the next timer, each window's next
// frame): the shortest in whole milliseconds, INFINITE when there is none.
uint32_t IdleTimeout(const std::vector<double>& waits);

}  // namespace Lorvex::App

#include "App/MainLoop.h"

#include <windows.h>

#include <dwmapi.h>
#include <timeapi.h>

#include <algorithm>

#include "foundation/Async.h"
#include "ui/Window.h"

namespace Lorvex::App {
namespace {

// Missing from older SDK headers.
constexpr DWORD kHighResolutionTimer = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

bool Drawable(const UI::Window& window) {
    return window.hwnd && IsWindowVisible(window.hwnd) && !IsIconic(window.hwnd);
}

bool Live(const UI::Window* window) {
    const auto& all = UI::Window::All();
    return std::find(all.begin(), all.end(), window) != all.end();
}

// Relative due time in 100-nanosecond units, truncated toward zero (negative means relative).
LARGE_INTEGER RelativeDue(double seconds) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(std::max(seconds, 0.0) * 10000000.0);
    return due;
}

}  // namespace

void* HighResTimer() {
    static const HANDLE timer = [] {
        const HANDLE made = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
        if (!made) {
            timeBeginPeriod(1);
        }
        return made;
    }();
    return timer;
}

bool ArmHighResTimer(double seconds) {
    const HANDLE timer = HighResTimer();
    if (!timer) {
        return false;
    }
    // A timer armed again while signalled may keep the old signal (Wine does), and the wait
    // would then end at once.
    WaitForSingleObject(timer, 0);
    const LARGE_INTEGER due = RelativeDue(seconds);
    return SetWaitableTimerEx(timer, &due, 0, nullptr, nullptr, nullptr, 0) != FALSE;
}

uint32_t WaitMilliseconds(double seconds) {
    const double ms = seconds * 1000;
    if (ms <= 0) {
        return 0;
    }
    // A deadline beyond the unsigned range still leaves INFINITE to mean "no deadline".
    return static_cast<uint32_t>(std::min(ms, 4294967293.0)) + 1;
}

uint32_t IdleTimeout(const std::vector<double>& waits) {
    uint32_t timeout = INFINITE;
    for (double wait : waits) {
        timeout = std::min(timeout, WaitMilliseconds(wait));
    }
    return timeout;
}

bool DrawDueWindows(double now) {
    bool drawn = false;
    // A copy: a frame may destroy another window, which is then skipped.
    const std::vector<UI::Window*> windows = UI::Window::All();
    for (UI::Window* window : windows) {
        if (!Live(window) || !Drawable(*window)) {
            continue;
        }
        const double delay = window->NextFrameDelay();
        if (delay < 0 || (delay > 0 && now - window->lastFrameTime < delay)) {
            continue;
        }
        window->Frame();
        drawn = true;
    }
    return drawn;
}

int RunLoop() {
    double lastFrameEnd = 0;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                return static_cast<int>(msg.wParam);
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Async::Pump();

        if (DrawDueWindows(UI::Window::Clock())) {
            const double period = UI::Window::RefreshPeriod();
            const bool flushed = SUCCEEDED(DwmFlush());
            if (!flushed || UI::Window::Clock() - lastFrameEnd < 0.75 * period) {
                // The compositor did not wait out the refresh (or there is none): the timer does.
                const double remaining = period + lastFrameEnd - UI::Window::Clock();
                if (remaining > 0) {
                    if (ArmHighResTimer(remaining)) {
                        WaitForSingleObject(HighResTimer(), INFINITE);
                    } else {
                        Sleep(static_cast<DWORD>(remaining * 1000));
                    }
                }
            }
            lastFrameEnd = UI::Window::Clock();
            continue;
        }

        std::vector<HANDLE> handles;
        if (Async::WakeEvent()) {
            handles.push_back(Async::WakeEvent());
        }
        std::vector<double> waits;
        if (const std::optional<double> due = Async::NextTimerDue()) {
            waits.push_back(*due - Async::Now());
        }
        for (const UI::Window* window : UI::Window::All()) {
            if (!Drawable(*window)) {
                continue;
            }
            const double delay = window->NextFrameDelay();
            if (delay >= 0) {
                waits.push_back(delay + window->lastFrameTime - UI::Window::Clock());
            }
        }
        DWORD timeout = IdleTimeout(waits);
        if (timeout != INFINITE && timeout != 0 && HighResTimer() && ArmHighResTimer(timeout / 1000.0)) {
            // The timer, not the time-out, ends the wait: it is accurate below a millisecond.
            handles.push_back(HighResTimer());
            timeout = INFINITE;
        }
        MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.empty() ? nullptr : handles.data(),
                                    timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace Lorvex::App

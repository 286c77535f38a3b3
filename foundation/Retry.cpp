// Attempts repeated with growing pauses while what they need is held elsewhere.

#include "foundation/Retry.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace Lorvex::Retry {

namespace {

constexpr uint64_t kFirstPauseMs = 5;
constexpr uint64_t kLongestPauseMs = 200;

std::mutex g_hookLock;
std::function<void()> g_pauseHook;

void RunPauseHook() {
    std::function<void()> hook;
    {
        const std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_pauseHook;
    }
    if (hook) {
        hook();
    }
}

}  // namespace

Outcome WhileBusy(const std::function<Outcome()>& attempt, const std::function<uint64_t()>& deadline) {
    Outcome outcome = attempt();
    if (outcome != Outcome::Busy) {
        return outcome;
    }
    const uint64_t until = deadline();
    uint64_t pause = kFirstPauseMs;
    for (;;) {
        const uint64_t now = GetTickCount64();
        if (now >= until) {
            return outcome;
        }
        RunPauseHook();
        Sleep(static_cast<DWORD>(std::min(pause, until - now)));
        pause = std::min(pause * 2, kLongestPauseMs);
        outcome = attempt();
        if (outcome != Outcome::Busy) {
            return outcome;
        }
    }
}

void SetPauseHookForTesting(std::function<void()> hook) {
    const std::lock_guard<std::mutex> lock(g_hookLock);
    g_pauseHook = std::move(hook);
}

}  // namespace Lorvex::Retry

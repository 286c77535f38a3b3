#include "foundation/Async.h"

#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace Lorvex::Async {
namespace {

// Closes the wake event when the last holder lets go.
struct EventCloser {
    void operator()(void* handle) const {
        if (handle) {
            CloseHandle(handle);
        }
    }
};

struct PostState {
    std::mutex mutex;  // guards only this record; never held while a task runs
    std::vector<std::function<void()>> queue;
    // Shared so that a Post that took the event just before shut-down still signals a live
    // object: the handle is closed once shut-down and every such Post have let go of it.
    std::shared_ptr<void> wakeEvent;
};

// Never destroyed: detached workers may still post while the process runs its exit code, and
// tasks queued after shut-down must not be destroyed there (they may hold UI objects).
PostState& Posts() {
    static PostState* const state = new PostState;
    return *state;
}

std::atomic<int64_t> g_origin{0};
std::atomic<int64_t> g_frequency{0};
std::atomic<double> g_testOffset{0.0};
// While a test holds the clock, the ticks since the origin at which it stopped; negative otherwise.
std::atomic<int64_t> g_heldTicks{-1};

// UI thread only.
std::map<uint32_t, Timer> g_timers;
uint32_t g_nextTimerId = 1;

std::shared_ptr<void> CurrentWakeEvent() {
    PostState& posts = Posts();
    std::lock_guard lock(posts.mutex);
    return posts.wakeEvent;
}

void Signal(const std::shared_ptr<void>& event) {
    if (event) {
        SetEvent(event.get());
    }
}

uint32_t AddTimer(double due, double interval, std::function<void()> callback) {
    // Ids grow for the life of the process; should the counter ever wrap, 0 stays "no timer"
    // and a live timer's id is never handed out twice.
    while (g_nextTimerId == 0 || g_timers.count(g_nextTimerId) != 0) {
        ++g_nextTimerId;
    }
    const uint32_t id = g_nextTimerId++;
    g_timers[id] = Timer{due, interval, std::move(callback)};
    Signal(CurrentWakeEvent());
    return id;
}

unsigned __stdcall ThreadMain(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (*body) {
        (*body)();
    }
    // The body's captures go before the apartment does, so any COM object they hold is
    // released while COM is still initialised on this thread.
    body.reset();
    if (SUCCEEDED(initialised)) {
        CoUninitialize();
    }
    return 0;
}

}  // namespace

double Now() {
    const int64_t frequency = g_frequency.load(std::memory_order_relaxed);
    if (frequency == 0) {
        return 0.0;
    }
    int64_t ticks = g_heldTicks.load(std::memory_order_relaxed);
    if (ticks < 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        ticks = counter.QuadPart - g_origin.load(std::memory_order_relaxed);
    }
    return static_cast<double>(ticks) / static_cast<double>(frequency) + g_testOffset.load(std::memory_order_relaxed);
}

void Post(std::function<void()> task) {
    PostState& posts = Posts();
    std::shared_ptr<void> event;
    {
        std::lock_guard lock(posts.mutex);
        posts.queue.push_back(std::move(task));
        event = posts.wakeEvent;
    }
    Signal(event);
}

bool StartThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const uintptr_t thread = _beginthreadex(nullptr, 0, &ThreadMain, owned.get(), 0, nullptr);
    if (thread == 0) {
        return false;
    }
    owned.release();  // the thread owns it now
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

uint32_t SetTimeout(uint32_t ms, std::function<void()> callback) {
    return AddTimer(Now() + ms / 1000.0, 0.0, std::move(callback));
}

uint32_t SetInterval(uint32_t ms, std::function<void()> callback) {
    const double interval = (ms < 1 ? 1u : ms) / 1000.0;
    return AddTimer(Now() + interval, interval, std::move(callback));
}

void CancelTimer(uint32_t id) {
    g_timers.erase(id);
}

bool Pump() {
    bool ran = false;

    std::vector<std::function<void()>> tasks;
    {
        PostState& posts = Posts();
        std::lock_guard lock(posts.mutex);
        tasks.swap(posts.queue);
    }
    for (auto& task : tasks) {
        // An empty task is a caller's mistake; skipping it keeps the UI thread alive.
        if (task) {
            task();
            ran = true;
        }
    }

    const double now = Now();
    std::vector<uint32_t> due;
    for (const auto& [id, timer] : g_timers) {
        if (now >= timer.due) {
            due.push_back(id);
        }
    }
    for (uint32_t id : due) {
        auto found = g_timers.find(id);
        if (found == g_timers.end()) {
            continue;  // cancelled by an earlier callback of this turn
        }
        // Run a copy: the callback may cancel its own timer, which destroys the stored one.
        std::function<void()> callback;
        if (found->second.interval > 0) {
            callback = found->second.callback;
            found->second.due = now + found->second.interval;
        } else {
            callback = std::move(found->second.callback);
            g_timers.erase(found);
        }
        if (callback) {
            callback();
            ran = true;
        }
    }

    return ran;
}

bool Startup() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    g_origin.store(counter.QuadPart, std::memory_order_relaxed);
    g_testOffset.store(0.0, std::memory_order_relaxed);
    g_heldTicks.store(-1, std::memory_order_relaxed);
    g_frequency.store(frequency.QuadPart, std::memory_order_relaxed);

    HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::shared_ptr<void> event;
    if (handle) {
        event = std::shared_ptr<void>(handle, EventCloser{});
    }
    std::shared_ptr<void> previous;
    {
        PostState& posts = Posts();
        std::lock_guard lock(posts.mutex);
        previous = std::exchange(posts.wakeEvent, std::move(event));
    }
    return handle != nullptr;
}

void Shutdown() {
    std::vector<std::function<void()>> dropped;
    std::shared_ptr<void> event;
    {
        PostState& posts = Posts();
        std::lock_guard lock(posts.mutex);
        dropped.swap(posts.queue);
        event = std::move(posts.wakeEvent);
    }
    // Destroyed here, outside the lock: a task's captures may post from their destructors.
    dropped.clear();
    std::map<uint32_t, Timer> timers;
    timers.swap(g_timers);
    timers.clear();
    event.reset();
}

void* WakeEvent() {
    return CurrentWakeEvent().get();
}

std::optional<double> NextTimerDue() {
    std::optional<double> earliest;
    for (const auto& [id, timer] : g_timers) {
        if (!earliest || timer.due < *earliest) {
            earliest = timer.due;
        }
    }
    return earliest;
}

namespace {
std::atomic<int> g_unfinishedJobs{0};
}  // namespace

Detail::JobTicket::JobTicket() {
    g_unfinishedJobs.fetch_add(1, std::memory_order_relaxed);
}

Detail::JobTicket::~JobTicket() {
    g_unfinishedJobs.fetch_sub(1, std::memory_order_release);
}

int UnfinishedJobs() {
    return g_unfinishedJobs.load(std::memory_order_acquire);
}

void AdvanceClockForTesting(double seconds) {
    g_testOffset.fetch_add(seconds, std::memory_order_relaxed);
}

void HoldClockForTesting(bool held) {
    if (!held) {
        // On from where it stood: the origin moves by the time it was held.
        const int64_t stood = g_heldTicks.exchange(-1, std::memory_order_relaxed);
        if (stood >= 0) {
            LARGE_INTEGER counter;
            QueryPerformanceCounter(&counter);
            g_origin.store(counter.QuadPart - stood, std::memory_order_relaxed);
        }
        return;
    }
    if (g_heldTicks.load(std::memory_order_relaxed) >= 0) {
        return;
    }
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    g_heldTicks.store(counter.QuadPart - g_origin.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

}  // namespace Lorvex::Async

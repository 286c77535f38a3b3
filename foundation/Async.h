#pragma once
// The bridge between the one UI thread and the worker threads: a clock, a queue of tasks that any
// thread may post for the UI thread, timers that run on the UI thread, detached worker threads and
// the job pattern Run built from them. The main loop calls Pump once per turn and, when idle,
// waits on WakeEvent and on NextTimerDue.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "foundation/Cancel.h"

namespace Lorvex::Async {

struct Timer {
    double due = 0;       // seconds on the Now clock of the next firing
    double interval = 0;  // 0 for a one-shot timer
    std::function<void()> callback;
};

// Seconds since start-up; 0 before it. Any thread.
double Now();

// Queues a task for the UI thread's next Pump, then signals the wake event. Any thread.
void Post(std::function<void()> task);

// Runs body once on a new detached thread in the multithreaded COM apartment. Returns false, and
// runs nothing, when the thread cannot be created.
bool StartThread(std::function<void()> body);

// Timer ids start at 1 and only grow, so 0 means "no timer". UI thread only.
uint32_t SetTimeout(uint32_t ms, std::function<void()> callback);
// The first firing is one interval after the call; a late timer fires once per Pump, no catch-up.
uint32_t SetInterval(uint32_t ms, std::function<void()> callback);
// Unknown ids (fired, cancelled, 0) are ignored. Safe from inside a callback.
void CancelTimer(uint32_t id);

// One dispatcher turn: the tasks queued before it, then the timers due at its start. Returns
// whether anything ran. UI thread only.
bool Pump();

// Start-up: the wake event and the clock origin, before any other thread exists. Returns false
// when the event could not be created (Post then signals nothing).
bool Startup();
// Shut-down, after the main loop: queued tasks and timers are destroyed without running and the
// wake event is closed. A worker's later Post queues a task that never runs.
void Shutdown();
// The auto-reset event that Post and the timer calls signal (a HANDLE), or null outside
// Startup..Shutdown. UI thread only.
void* WakeEvent();
// The earliest due time of all timers, none when there is no timer. UI thread only.
std::optional<double> NextTimerDue();

// Tests only: moves the Now clock forward so timer tests never sleep. Startup resets it.
void AdvanceClockForTesting(double seconds);
// Tests only: stops the Now clock where it stands (true), so that no timer fires until a test
// advances it, or lets it run on from there (false). Startup lets it run. Any thread.
void HoldClockForTesting(bool held);

// Jobs started by Run that have not ended: their done has not run, or their posted task has not
// been dropped by Shutdown. Any thread. Tests wait for it to reach 0 instead of waiting a fixed
// time for what a worker may still deliver.
int UnfinishedJobs();

namespace Detail {

// Counts its job as unfinished for as long as the job lives.
class JobTicket {
public:
    JobTicket();
    ~JobTicket();
    JobTicket(const JobTicket&) = delete;
    JobTicket& operator=(const JobTicket&) = delete;
};

// What one job owns. Held by pointer and never copied: a capture declared const (a const local
// captured by copy) is copied by every move of its lambda, and such a copy left behind on the
// worker could hold the last reference to a UI object.
template <class Work, class Done>
struct Job {
    Job(Work&& w, Done&& d) : work(std::move(w)), done(std::move(d)) {}
    std::optional<Work> work;
    Done done;
    JobTicket ticket;
};

}  // namespace Detail

// A job: work runs on a new worker thread, then done(result) runs on the UI thread from Pump.
// done runs exactly once for every started job, also when the caller's Cancel was set; work's
// copies are destroyed before done can run and done's own copies are destroyed on the UI thread,
// so the last reference to a UI object is never dropped on the worker. Returns false when the
// worker could not be started; done is then never called.
template <class Work, class Done>
bool Run(Work work, Done done) {
    using R = std::decay_t<std::invoke_result_t<Work&>>;
    static_assert(!std::is_void_v<R>, "a job's work returns a result record");
    using JobRecord = Detail::Job<Work, Done>;
    auto job = std::make_shared<JobRecord>(std::move(work), std::move(done));
    return StartThread([job = std::move(job)]() mutable {
        // The worker lets go of the job before posting, so the posted task holds the only
        // reference and the job ends on the UI thread.
        std::shared_ptr<JobRecord> held = std::move(job);
        auto result = std::make_shared<R>((*held->work)());
        held->work.reset();
        Post([held = std::move(held), result = std::move(result)]() mutable {
            if constexpr (std::is_invocable_v<Done&, R&&>) {
                held->done(std::move(*result));
            } else {
                held->done(*result);
            }
        });
    });
}

}  // namespace Lorvex::Async

#pragma once
// Splits one job made of independent pieces over several threads and returns when every piece is
// done: reading many files at once, for instance. Each piece writes only its own result slot and
// the per-worker scratch it is handed, so the caller reads the results afterwards without locks.
// Any thread may call it. A worker thread that cannot be started is not an error: the pieces go
// to the threads that did start, always including the calling one.

#include <cstddef>
#include <functional>
#include <string>

namespace Lorvex::Parallel {

// More threads than this gain nothing on the file-reading jobs it serves (the system serialises
// much of opening and closing files) and only add memory.
inline constexpr std::size_t kMaxWorkers = 8;

// The number of workers to use: `requested` when it is not 0, else one per logical processor;
// always between 1 and kMaxWorkers.
std::size_t Workers(std::size_t requested);

// What a short allocation workload (the small blocks and churn of building records) showed of
// the heap: the seconds one thread took alone, and the seconds `threads` threads took side by
// side, each doing the same amount.
struct HeapReadBack {
    std::size_t threads = 1;
    double alone = 0;
    double together = 0;
    // The work done per second side by side, as a multiple of one thread's: near `threads` where
    // the heap serves threads apart, near 1 or below where they queue on one lock.
    double Speedup() const;
    // Whether that makes parallel allocating work worth its threads.
    bool ThreadsPay() const;
};

// Runs the workload now, on the calling thread and threads - 1 more (a few milliseconds).
HeapReadBack ReadBackHeap(std::size_t threads);

// The read-back AllocatingWorkers decides by, made on its first call and kept for the process.
const HeapReadBack& ProcessHeapReadBack();

// The workers for a job that mostly allocates memory, such as building records from files: one
// per processor where the heap's read-back says threads do not serialise on it, else one (Wine's
// heap takes one lock for every allocation: eight workers made the data folder's load several
// times slower than one). The first call measures.
std::size_t AllocatingWorkers();

// Calls body(index, worker) once for every index in [0, count), in no particular order, on up to
// Workers(requested) threads, the calling thread among them. `worker` is below Workers(requested)
// and no two calls with the same worker overlap, so it can pick per-worker scratch. Returns after
// the last call has returned and the other threads have ended. body must not throw.
void ForEachIndex(std::size_t count, std::size_t requested,
                  const std::function<void(std::size_t index, std::size_t worker)>& body);

// How many pieces ForEachFetched's fetching thread may run ahead of their use: enough to ride
// out one slow file, few enough that their buffers stay small.
inline constexpr std::size_t kFetchAhead = 8;

// Calls fetch(index, buffer) and then use(index, buffer) with the same buffer for every index in
// [0, count), for jobs whose pieces first wait on the system (opening and reading a file into the
// buffer) and then compute on what came (parsing it). With one worker, fetch runs on a thread of
// its own, up to kFetchAhead pieces before use, which runs on the calling thread in index order:
// the waits and the work overlap, and the job takes about the longer of the two instead of their
// sum, while only the calling thread computes. With more workers, each piece is fetched and used
// in turn by one of them, as ForEachIndex does, with the worker's own buffer. Buffers are reused
// from piece to piece and hold whatever the last piece left. Without `fetchAhead` (a job too short
// to repay a thread), or when the fetching thread cannot be started, one worker runs the job on
// the calling thread alone. Returns after the last call has returned and the other threads have
// ended; neither function may throw.
void ForEachFetched(std::size_t count, std::size_t requested, bool fetchAhead,
                    const std::function<void(std::size_t index, std::string& buffer)>& fetch,
                    const std::function<void(std::size_t index, std::string& buffer)>& use);

}  // namespace Lorvex::Parallel

#pragma once
// Splits one job made of independent pieces over several threads and returns when every piece is
// done: reading many files at once, for instance. Each piece writes only its own result slot and
// the per-worker scratch it is handed, so the caller reads the results afterwards without locks.
// Any thread may call it. A worker thread that cannot be started is not an error: the pieces go
// to the threads that did start, always including the calling one.

#include <cstddef>
#include <functional>

namespace Lorvex::Parallel {

// More threads than this gain nothing on the file-reading jobs it serves (the system serialises
// much of opening and closing files) and only add memory.
inline constexpr std::size_t kMaxWorkers = 8;

// The number of workers to use: `requested` when it is not 0, else one per logical processor;
// always between 1 and kMaxWorkers.
std::size_t Workers(std::size_t requested);

// The workers for a job that mostly allocates memory, such as building records from files: one
// per processor, except where the process heap serves every thread through one lock (Wine's,
// measured: eight workers made the data folder's load four times slower than one); there one.
std::size_t AllocatingWorkers();

// Calls body(index, worker) once for every index in [0, count), in no particular order, on up to
// Workers(requested) threads, the calling thread among them. `worker` is below Workers(requested)
// and no two calls with the same worker overlap, so it can pick per-worker scratch. Returns after
// the last call has returned and the other threads have ended. body must not throw.
void ForEachIndex(std::size_t count, std::size_t requested,
                  const std::function<void(std::size_t index, std::size_t worker)>& body);

}  // namespace Lorvex::Parallel

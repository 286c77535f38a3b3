#include "foundation/Parallel.h"

#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "foundation/Handle.h"

namespace Lorvex::Parallel {

namespace {

struct Job {
    std::size_t count = 0;
    std::atomic<std::size_t> next{0};
    const std::function<void(std::size_t, std::size_t)>* body = nullptr;
};

struct WorkerStart {
    Job* job = nullptr;
    std::size_t worker = 0;
};

// Pieces are taken one at a time: they are few and each costs far more than the counter.
void RunPieces(Job& job, std::size_t worker) {
    for (std::size_t index = job.next.fetch_add(1); index < job.count; index = job.next.fetch_add(1)) {
        (*job.body)(index, worker);
    }
}

unsigned __stdcall WorkerMain(void* parameter) {
    const WorkerStart* start = static_cast<const WorkerStart*>(parameter);
    RunPieces(*start->job, start->worker);
    return 0;
}

}  // namespace

std::size_t Workers(std::size_t requested) {
    const std::size_t wanted = requested != 0 ? requested : std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(wanted, 1, kMaxWorkers);
}

std::size_t AllocatingWorkers() {
    // Windows' heaps give each thread its own buckets for small blocks; Wine's takes one lock for
    // every allocation, which turns parallel record building into contention.
    static const bool oneLockHeap = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return oneLockHeap ? 1 : Workers(0);
}

void ForEachIndex(std::size_t count, std::size_t requested,
                  const std::function<void(std::size_t index, std::size_t worker)>& body) {
    Job job;
    job.count = count;
    job.body = &body;
    const std::size_t workers = std::min(Workers(requested), count);
    // Worker 0 is the calling thread; the others get their numbers before any of them starts.
    std::vector<WorkerStart> starts(workers > 1 ? workers - 1 : 0);
    std::vector<UniqueHandle> threads;
    threads.reserve(starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        starts[i] = WorkerStart{&job, i + 1};
        const uintptr_t thread = _beginthreadex(nullptr, 0, &WorkerMain, &starts[i], 0, nullptr);
        if (thread == 0) {
            break;
        }
        threads.emplace_back(reinterpret_cast<HANDLE>(thread));
    }
    RunPieces(job, 0);
    for (const UniqueHandle& thread : threads) {
        WaitForSingleObject(thread.Get(), INFINITE);
    }
}

}  // namespace Lorvex::Parallel

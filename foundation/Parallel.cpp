#include "foundation/Parallel.h"

#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <new>
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

// Through pointers the compiler cannot see into, so no allocation is folded away.
void* (*volatile allocate)(std::size_t) = &::operator new;
void (*volatile release)(void*) = &::operator delete;

// Blocks of record sizes (texts, records, list storage), a window of them alive and the oldest
// freed as each new one comes, as building records from files allocates.
void AllocationWorkload() {
    constexpr std::size_t kLive = 256;
    constexpr std::size_t kRounds = 6000;
    void* live[kLive] = {};
    for (std::size_t i = 0; i < kRounds; ++i) {
        void*& slot = live[i % kLive];
        if (slot != nullptr) {
            release(slot);
        }
        const std::size_t size = 24 + (i * 37) % 600;
        slot = allocate(size);
        static_cast<volatile char*>(slot)[0] = static_cast<char>(i);
    }
    for (void* block : live) {
        if (block != nullptr) {
            release(block);
        }
    }
}

struct WorkloadStart {
    std::atomic<std::size_t> ready{0};
    std::atomic<bool> go{false};
};

unsigned __stdcall WorkloadMain(void* parameter) {
    WorkloadStart* start = static_cast<WorkloadStart*>(parameter);
    start->ready.fetch_add(1);
    while (!start->go.load(std::memory_order_acquire)) {
        YieldProcessor();
    }
    AllocationWorkload();
    return 0;
}

// Seconds from the start signal until every one of `threads` threads (the calling one among
// them) has run the workload once; the clock starts once all of them are running. A thread that
// cannot be made is left out: *ran says how many ran.
double AllocationWorkloadSeconds(std::size_t threads, std::size_t* ran) {
    WorkloadStart start;
    std::vector<UniqueHandle> others;
    for (std::size_t i = 1; i < threads; ++i) {
        const uintptr_t thread = _beginthreadex(nullptr, 0, &WorkloadMain, &start, 0, nullptr);
        if (thread == 0) {
            break;
        }
        others.emplace_back(reinterpret_cast<HANDLE>(thread));
    }
    while (start.ready.load() < others.size()) {
        Sleep(0);
    }
    *ran = others.size() + 1;
    LARGE_INTEGER frequency;
    LARGE_INTEGER begin;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    start.go.store(true, std::memory_order_release);
    AllocationWorkload();
    for (const UniqueHandle& thread : others) {
        WaitForSingleObject(thread.Get(), INFINITE);
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The pieces of a one-worker ForEachFetched, fetched on one thread and used on another. Each buffer
// of the ring belongs to the fetching thread from the time its last use returned until its fetch
// has returned, and to the using thread from then until its use returns: the counters, changed
// under the lock, hand it over.
struct FetchRing {
    std::size_t count = 0;
    const std::function<void(std::size_t, std::string&)>* fetch = nullptr;
    std::vector<std::string> buffers = std::vector<std::string>(kFetchAhead);
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::size_t fetched = 0;  // pieces whose fetch has returned
    std::size_t used = 0;     // pieces whose use has returned

    // Waits until ready() holds; ready reads the counters under the lock.
    template <class Ready>
    void WaitFor(Ready&& ready) {
        AcquireSRWLockExclusive(&lock);
        while (!ready()) {
            SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
        }
        ReleaseSRWLockExclusive(&lock);
    }
    void Set(std::size_t& counter, std::size_t value) {
        AcquireSRWLockExclusive(&lock);
        counter = value;
        ReleaseSRWLockExclusive(&lock);
        WakeAllConditionVariable(&changed);
    }
};

unsigned __stdcall FetchMain(void* parameter) {
    FetchRing& ring = *static_cast<FetchRing*>(parameter);
    for (std::size_t index = 0; index < ring.count; ++index) {
        ring.WaitFor([&] { return index < ring.used + kFetchAhead; });
        (*ring.fetch)(index, ring.buffers[index % kFetchAhead]);
        ring.Set(ring.fetched, index + 1);
    }
    return 0;
}

}  // namespace

std::size_t Workers(std::size_t requested) {
    const std::size_t wanted = requested != 0 ? requested : std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(wanted, 1, kMaxWorkers);
}

double HeapReadBack::Speedup() const {
    return together > 0 ? static_cast<double>(threads) * alone / together : 0.0;
}

bool HeapReadBack::ThreadsPay() const {
    // Half the ideal at least: a heap that serves threads apart scales nearly with their number,
    // one that serialises them gains nothing or loses.
    return threads > 1 && Speedup() >= 0.5 * static_cast<double>(threads);
}

HeapReadBack ReadBackHeap(std::size_t threads) {
    HeapReadBack result;
    std::size_t ran = 1;
    // Once unmeasured, so that the heap's first growth counts against neither figure.
    AllocationWorkload();
    result.alone = AllocationWorkloadSeconds(1, &ran);
    result.together = AllocationWorkloadSeconds(std::clamp<std::size_t>(threads, 1, kMaxWorkers), &ran);
    result.threads = ran;
    return result;
}

const HeapReadBack& ProcessHeapReadBack() {
    // Four threads tell a shared lock from separate ones as well as eight, in half the time.
    static const HeapReadBack readBack = ReadBackHeap(std::min<std::size_t>(Workers(0), 4));
    return readBack;
}

std::size_t AllocatingWorkers() {
    return ProcessHeapReadBack().ThreadsPay() ? Workers(0) : 1;
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

void ForEachFetched(std::size_t count, std::size_t requested, bool fetchAhead,
                    const std::function<void(std::size_t index, std::string& buffer)>& fetch,
                    const std::function<void(std::size_t index, std::string& buffer)>& use) {
    if (Workers(requested) > 1 && count > 1) {
        std::vector<std::string> buffers(std::min(Workers(requested), count));
        ForEachIndex(count, requested, [&](std::size_t index, std::size_t worker) {
            fetch(index, buffers[worker]);
            use(index, buffers[worker]);
        });
        return;
    }
    FetchRing ring;
    ring.count = count;
    ring.fetch = &fetch;
    UniqueHandle fetching;
    if (fetchAhead && count > 1) {
        fetching.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &FetchMain, &ring, 0, nullptr)));
    }
    if (!fetching.IsOpen()) {
        std::string& buffer = ring.buffers.front();
        for (std::size_t index = 0; index < count; ++index) {
            fetch(index, buffer);
            use(index, buffer);
        }
        return;
    }
    for (std::size_t index = 0; index < count; ++index) {
        ring.WaitFor([&] { return index < ring.fetched; });
        use(index, ring.buffers[index % kFetchAhead]);
        ring.Set(ring.used, index + 1);
    }
    WaitForSingleObject(fetching.Get(), INFINITE);
}

}  // namespace Lorvex::Parallel

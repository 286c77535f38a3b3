#include "foundation/Parallel.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

using namespace Lorvex;

TEST(Parallel, WorkerCountsStayWithinTheBound) {
    EXPECT_EQ(Parallel::Workers(1), 1u);
    EXPECT_EQ(Parallel::Workers(3), 3u);
    EXPECT_EQ(Parallel::Workers(1000), Parallel::kMaxWorkers);
    EXPECT_GE(Parallel::Workers(0), 1u);
    EXPECT_LE(Parallel::Workers(0), Parallel::kMaxWorkers);
}

// Every index exactly once, every worker number in range and never in two calls at once, and
// nothing still running when the call returns.
TEST(Parallel, EveryIndexRunsOnceAndAllHaveEndedOnReturn) {
    for (size_t count : {0u, 1u, 5u, 200u}) {
        for (size_t requested : {1u, 3u, 8u}) {
            const size_t workers = Parallel::Workers(requested);
            std::vector<std::atomic<int>> calls(count);
            std::vector<std::atomic<int>> busy(workers);
            std::atomic<int> overlaps{0};
            std::atomic<int> running{0};
            std::atomic<int> threadsSeen{0};
            std::vector<std::atomic<DWORD>> threads(workers);
            Parallel::ForEachIndex(count, requested, [&](size_t index, size_t worker) {
                ASSERT_LT(worker, workers);
                if (busy[worker].fetch_add(1) != 0) {
                    ++overlaps;
                }
                ++running;
                DWORD expected = 0;
                if (threads[worker].compare_exchange_strong(expected, GetCurrentThreadId())) {
                    ++threadsSeen;
                }
                // Long enough that the other workers get pieces too.
                Sleep(index % 7 == 0 ? 1 : 0);
                ++calls[index];
                --running;
                --busy[worker];
            });
            EXPECT_EQ(running.load(), 0);
            EXPECT_EQ(overlaps.load(), 0);
            for (size_t index = 0; index < count; ++index) {
                EXPECT_EQ(calls[index].load(), 1) << index << " of " << count << ", " << requested << " workers";
            }
            EXPECT_LE(static_cast<size_t>(threadsSeen.load()), std::min(workers, count));
        }
    }
}

// Threads are worth it for allocating work only where side by side they do at least half the
// ideal: a heap whose one lock makes them queue gains nothing and stays on one thread.
TEST(Parallel, TheHeapsReadBackDecidesWhetherAllocatingWorkGoesParallel) {
    const struct {
        size_t threads;
        double alone;
        double together;
        bool pays;
    } cases[] = {
        {4, 0.001, 0.0011, true},   // apart: four times the work in about the same time
        {4, 0.001, 0.002, true},    // two times: half the ideal
        {4, 0.001, 0.0021, false},  // less than that
        {4, 0.001, 0.0045, false},  // one lock: four times as long
        {1, 0.001, 0.001, false},   // no other thread could be started
        {4, 0.001, 0.0, false},     // nothing measured
    };
    for (const auto& c : cases) {
        Parallel::HeapReadBack readBack;
        readBack.threads = c.threads;
        readBack.alone = c.alone;
        readBack.together = c.together;
        EXPECT_EQ(readBack.ThreadsPay(), c.pays) << c.threads << " " << c.together;
    }

    // Measured here: both figures and the thread count are real, and the decision follows them.
    const Parallel::HeapReadBack measured = Parallel::ReadBackHeap(2);
    EXPECT_GT(measured.alone, 0.0);
    EXPECT_GT(measured.together, 0.0);
    EXPECT_GE(measured.threads, 1u);
    EXPECT_LE(measured.threads, 2u);
    EXPECT_EQ(Parallel::AllocatingWorkers(),
              Parallel::ProcessHeapReadBack().ThreadsPay() ? Parallel::Workers(0) : size_t{1});
}

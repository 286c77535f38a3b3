#include "foundation/Parallel.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
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

// Each piece is used once, after its own fetch and with the buffer that fetch filled. One worker
// uses the pieces in order on the calling thread, fetching them on a thread of its own when asked
// to fetch ahead (never more than kFetchAhead pieces before their use) and on the calling thread
// otherwise; more workers fetch and use each piece on one thread.
TEST(Parallel, FetchedPiecesAreUsedOnceWithWhatTheirFetchLeft) {
    const DWORD caller = GetCurrentThreadId();
    for (size_t count : {0u, 1u, 2u, 9u, 100u}) {
        for (size_t requested : {1u, 4u}) {
            for (bool ahead : {false, true}) {
                const std::string label = std::to_string(count) + " pieces, " + std::to_string(requested) +
                                          " workers" + (ahead ? ", fetched ahead" : "");
                std::vector<std::atomic<int>> fetches(count);
                std::vector<std::atomic<int>> uses(count);
                std::vector<DWORD> fetchThread(count);
                std::vector<DWORD> useThread(count);
                std::atomic<size_t> fetched{0};
                std::atomic<size_t> used{0};
                std::atomic<size_t> mostAhead{0};
                std::atomic<int> outOfOrder{0};
                std::atomic<int> wrongBuffer{0};
                Parallel::ForEachFetched(
                    count, requested, ahead,
                    [&](size_t index, std::string& buffer) {
                        const size_t lead = index - used.load();
                        size_t most = mostAhead.load();
                        while (lead > most && !mostAhead.compare_exchange_weak(most, lead)) {
                        }
                        ++fetches[index];
                        fetchThread[index] = GetCurrentThreadId();
                        buffer = "piece " + std::to_string(index);
                        ++fetched;
                    },
                    [&](size_t index, std::string& buffer) {
                        if (fetches[index].load() != 1 || buffer != "piece " + std::to_string(index)) {
                            ++wrongBuffer;
                        }
                        useThread[index] = GetCurrentThreadId();
                        if (Parallel::Workers(requested) == 1 && index != used.load()) {
                            ++outOfOrder;
                        }
                        ++uses[index];
                        ++used;
                    });
                EXPECT_EQ(fetched.load(), count) << label;
                EXPECT_EQ(used.load(), count) << label;
                EXPECT_EQ(wrongBuffer.load(), 0) << label;
                EXPECT_EQ(outOfOrder.load(), 0) << label;
                for (size_t index = 0; index < count; ++index) {
                    EXPECT_EQ(uses[index].load(), 1) << label << ", piece " << index;
                    if (requested == 1) {
                        EXPECT_EQ(useThread[index], caller) << label << ", piece " << index;
                        EXPECT_EQ(fetchThread[index] != caller, ahead && count > 1) << label << ", piece " << index;
                    } else {
                        EXPECT_EQ(fetchThread[index], useThread[index]) << label << ", piece " << index;
                    }
                }
                if (requested == 1) {
                    EXPECT_LE(mostAhead.load(), Parallel::kFetchAhead) << label;
                }
            }
        }
    }
}

// The point of fetching ahead: while one piece is in use, the next ones are fetched. Each use
// waits until the fetch of the piece after it has begun, which happens only if the two overlap.
TEST(Parallel, OneWorkerFetchesTheNextPiecesWhileItUsesOne) {
    constexpr size_t kCount = 20;
    std::vector<HANDLE> begun(kCount);
    for (HANDLE& event : begun) {
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
    }
    std::atomic<int> waitedInVain{0};
    Parallel::ForEachFetched(
        kCount, 1, true, [&](size_t index, std::string&) { SetEvent(begun[index]); },
        [&](size_t index, std::string&) {
            // A long bound only so that a fault fails instead of hanging the suite.
            if (index + 1 < kCount && WaitForSingleObject(begun[index + 1], 60000) != WAIT_OBJECT_0) {
                ++waitedInVain;
            }
        });
    EXPECT_EQ(waitedInVain.load(), 0);
    for (HANDLE event : begun) {
        CloseHandle(event);
    }
}

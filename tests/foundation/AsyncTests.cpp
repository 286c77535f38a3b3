#include "foundation/Async.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Async = Lorvex::Async;

namespace {

class AsyncFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Async::Startup()); }
    void TearDown() override { Async::Shutdown(); }
};

using AsyncPost = AsyncFixture;
using AsyncTimers = AsyncFixture;
using AsyncRun = AsyncFixture;
using AsyncLifecycle = AsyncFixture;

// Pumps as the main loop would, sleeping on the wake event between turns, until done() holds or
// a generous deadline passes.
template <class Predicate>
bool PumpUntil(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        WaitForSingleObject(Async::WakeEvent(), 50);
        Async::Pump();
    }
    return true;
}

bool IsSignalled(void* event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace

TEST_F(AsyncPost, RunsInPostingOrderAndTasksPostedByTasksWaitForTheNextPump) {
    std::string log;
    EXPECT_FALSE(Async::Pump());

    Async::Post([&] {
        log += 'a';
        Async::Post([&] { log += 'c'; });
    });
    Async::Post([&] { log += 'b'; });
    EXPECT_EQ(log, "");  // never inside Post

    EXPECT_TRUE(Async::Pump());
    EXPECT_EQ(log, "ab");
    EXPECT_TRUE(Async::Pump());
    EXPECT_EQ(log, "abc");
    EXPECT_FALSE(Async::Pump());
}

TEST_F(AsyncPost, TasksFromManyThreadsEachRunOnceInTheirThreadsOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 2000;
    std::vector<int> next(threads, 0);
    int outOfOrder = 0;
    int ran = 0;

    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                Async::Post([&, t, i] {
                    if (next[t] != i) {
                        ++outOfOrder;
                    }
                    next[t] = i + 1;
                    ++ran;
                });
            }
        });
    }
    // Pump while the posters run, so the swap races real posts.
    EXPECT_TRUE(PumpUntil([&] { return ran == threads * perThread; }));
    for (auto& poster : posters) {
        poster.join();
    }
    Async::Pump();
    EXPECT_EQ(ran, threads * perThread);
    EXPECT_EQ(outOfOrder, 0);
}

TEST_F(AsyncPost, PostAndTimerCallsSignalTheAutoResetWakeEvent) {
    void* event = Async::WakeEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(IsSignalled(event));

    struct Case {
        const char* name;
        std::function<void()> arm;
    };
    const Case cases[] = {
        {"Post", [] { Async::Post([] {}); }},
        {"Post from a worker", [] { std::thread([] { Async::Post([] {}); }).join(); }},
        {"SetTimeout", [] { Async::SetTimeout(60000, [] {}); }},
        {"SetInterval", [] { Async::SetInterval(60000, [] {}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arm();
        EXPECT_TRUE(IsSignalled(event));
        EXPECT_FALSE(IsSignalled(event));  // one wait consumes one signal
    }
}

TEST_F(AsyncTimers, OneShotFiresOnceWhenDue) {
    struct Case {
        uint32_t ms;
        double advance;  // seconds before the first Pump
        bool firesAtFirstPump;
    };
    const Case cases[] = {
        {0, 0.0, true}, {1500, 0.0, false}, {1500, 1.4, false}, {1500, 1.5, true}, {1500, 30.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ms << " ms, advanced " << c.advance << " s");
        int fired = 0;
        const uint32_t id = Async::SetTimeout(c.ms, [&] { ++fired; });
        EXPECT_NE(id, 0u);
        Async::AdvanceClockForTesting(c.advance);
        EXPECT_EQ(Async::Pump(), c.firesAtFirstPump);
        EXPECT_EQ(fired, c.firesAtFirstPump ? 1 : 0);

        Async::AdvanceClockForTesting(60.0);
        Async::Pump();
        Async::Pump();
        EXPECT_EQ(fired, 1);
        EXPECT_FALSE(Async::NextTimerDue().has_value());
        Async::CancelTimer(id);  // already fired: ignored
    }
}

TEST_F(AsyncTimers, IdsAreNeverZeroOnlyGrowAndUnknownIdsAreIgnored) {
    const uint32_t a = Async::SetTimeout(1000, [] {});
    const uint32_t b = Async::SetInterval(1000, [] {});
    const uint32_t c = Async::SetTimeout(1000, [] {});
    EXPECT_GE(a, 1u);
    EXPECT_GT(b, a);
    EXPECT_GT(c, b);

    Async::CancelTimer(b);
    Async::CancelTimer(b);
    Async::CancelTimer(0);
    Async::CancelTimer(c + 1000);
    EXPECT_GT(Async::SetTimeout(1000, [] {}), c);  // a cancelled id is not reused
}

TEST_F(AsyncTimers, DueTimersFireInIdOrderWhateverTheirDueTimes) {
    std::string log;
    Async::SetTimeout(3000, [&] { log += 'a'; });
    Async::SetInterval(1000, [&] { log += 'b'; });
    Async::SetTimeout(2000, [&] { log += 'c'; });
    Async::SetTimeout(0, [&] { log += 'd'; });
    Async::AdvanceClockForTesting(5.0);
    Async::Pump();
    EXPECT_EQ(log, "abcd");
}

TEST_F(AsyncTimers, PostedTasksRunBeforeTimersAndWorkAddedDuringATurnWaitsForTheNext) {
    std::string log;
    Async::SetTimeout(0, [&] {
        log += 't';
        Async::Post([&] { log += 'p'; });
        Async::SetTimeout(0, [&] { log += 'u'; });
    });
    Async::Post([&] { log += 'q'; });

    Async::Pump();
    EXPECT_EQ(log, "qt");
    Async::Pump();
    EXPECT_EQ(log, "qtpu");
}

TEST_F(AsyncTimers, ACallbackCanCancelTimersThatAreDueLaterInTheSameTurn) {
    std::string log;
    uint32_t oneShot = 0;
    uint32_t interval = 0;
    Async::SetTimeout(0, [&] {
        log += 'a';
        Async::CancelTimer(oneShot);
        Async::CancelTimer(interval);
    });
    oneShot = Async::SetTimeout(0, [&] { log += 'b'; });
    interval = Async::SetInterval(1, [&] { log += 'c'; });
    Async::SetTimeout(0, [&] { log += 'd'; });

    Async::AdvanceClockForTesting(1.0);
    Async::Pump();
    EXPECT_EQ(log, "ad");
    Async::AdvanceClockForTesting(1.0);
    EXPECT_FALSE(Async::Pump());
    EXPECT_FALSE(Async::NextTimerDue().has_value());
}

TEST_F(AsyncTimers, ARepeatingTimerThatCancelsItselfStops) {
    int fired = 0;
    uint32_t id = 0;
    // The callback owns state that must outlive its own cancellation.
    auto state = std::make_shared<int>(0);
    id = Async::SetInterval(1000, [&, state] {
        ++*state;
        fired = *state;
        if (*state == 2) {
            Async::CancelTimer(id);
        }
    });
    for (int turn = 0; turn < 5; ++turn) {
        Async::AdvanceClockForTesting(1.0);
        Async::Pump();
    }
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(Async::NextTimerDue().has_value());
    EXPECT_EQ(state.use_count(), 1);  // the stored callback was destroyed
}

TEST_F(AsyncTimers, ALateIntervalFiresOnceAndRearmsFromTheTurnsClock) {
    int fired = 0;
    // A lower id that moves the clock while the turn runs: the interval must still re-arm from
    // the clock reading taken at the start of the turn.
    Async::SetTimeout(2000, [] { Async::AdvanceClockForTesting(1.0); });
    Async::SetInterval(2000, [&] { ++fired; });

    Async::AdvanceClockForTesting(7.0);  // five seconds late, two and a half periods
    const double before = Async::Now();
    Async::Pump();
    const double after = Async::Now();
    EXPECT_EQ(fired, 1);
    ASSERT_TRUE(Async::NextTimerDue().has_value());
    const double due = *Async::NextTimerDue();
    EXPECT_GE(due, before + 2.0);
    EXPECT_LE(due, after - 1.0 + 2.0);

    Async::Pump();
    EXPECT_EQ(fired, 1);  // missed periods are dropped
    Async::AdvanceClockForTesting(2.0);
    Async::Pump();
    EXPECT_EQ(fired, 2);
}

TEST_F(AsyncTimers, IntervalStartsOnePeriodAfterArmingAndZeroMeansOneMillisecond) {
    struct Case {
        uint32_t ms;
        double period;
    };
    const Case cases[] = {{0, 0.001}, {1, 0.001}, {250, 0.25}, {60000, 60.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ms << " ms");
        const double before = Async::Now();
        int fired = 0;
        const uint32_t id = Async::SetInterval(c.ms, [&] { ++fired; });
        const double after = Async::Now();
        ASSERT_TRUE(Async::NextTimerDue().has_value());
        EXPECT_GE(*Async::NextTimerDue(), before + c.period);
        EXPECT_LE(*Async::NextTimerDue(), after + c.period);

        Async::AdvanceClockForTesting(c.period * 100);
        Async::Pump();
        Async::Pump();  // too soon for a second firing unless the period is tiny
        EXPECT_GE(fired, 1);
        EXPECT_LE(fired, 2);  // at most once per Pump, never a catch-up burst
        Async::CancelTimer(id);
    }
}

TEST_F(AsyncTimers, NextTimerDueIsTheEarliestOfAllTimers) {
    EXPECT_FALSE(Async::NextTimerDue().has_value());
    const double before = Async::Now();
    Async::SetTimeout(5000, [] {});
    const uint32_t soon = Async::SetInterval(1000, [] {});
    Async::SetTimeout(3000, [] {});
    const double after = Async::Now();
    ASSERT_TRUE(Async::NextTimerDue().has_value());
    EXPECT_GE(*Async::NextTimerDue(), before + 1.0);
    EXPECT_LE(*Async::NextTimerDue(), after + 1.0);

    Async::CancelTimer(soon);
    EXPECT_GE(*Async::NextTimerDue(), before + 3.0);
    EXPECT_LE(*Async::NextTimerDue(), after + 3.0);
}

namespace {

struct JobResult {
    std::string text;
    bool cancelled = false;
    DWORD workThread = 0;
};

// Records the thread that destroys it.
struct Probe {
    explicit Probe(std::atomic<DWORD>* destroyedOn) : destroyedOn(destroyedOn) {}
    std::atomic<DWORD>* destroyedOn;
    ~Probe() { destroyedOn->store(GetCurrentThreadId()); }
};

}  // namespace

TEST_F(AsyncRun, DoneRunsOnThePumpingThreadExactlyOnceAfterWork) {
    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<int> workCalls{0};
    int doneCalls = 0;
    JobResult received;
    DWORD doneThread = 0;

    const bool started = Async::Run(
        [&workCalls, text = std::string("hola")] {
            ++workCalls;
            return JobResult{text + " mundo", false, GetCurrentThreadId()};
        },
        [&](JobResult result) {
            ++doneCalls;
            received = std::move(result);
            doneThread = GetCurrentThreadId();
        });
    ASSERT_TRUE(started);
    EXPECT_EQ(doneCalls, 0);  // never inside Run

    ASSERT_TRUE(PumpUntil([&] { return doneCalls > 0; }));
    EXPECT_EQ(workCalls.load(), 1);
    EXPECT_EQ(received.text, "hola mundo");
    EXPECT_NE(received.workThread, uiThread);
    EXPECT_NE(received.workThread, 0u);
    EXPECT_EQ(doneThread, uiThread);

    for (int turn = 0; turn < 3; ++turn) {
        WaitForSingleObject(Async::WakeEvent(), 20);
        Async::Pump();
    }
    EXPECT_EQ(doneCalls, 1);
}

TEST_F(AsyncRun, ACancelledJobStillCompletesThroughDone) {
    Async::Cancel cancel;
    cancel.Set();
    std::vector<JobResult> results;
    ASSERT_TRUE(Async::Run(
        [cancel] {
            JobResult result;
            result.cancelled = cancel.IsSet();
            return result;
        },
        [&](const JobResult& result) { results.push_back(result); }));
    ASSERT_TRUE(PumpUntil([&] { return !results.empty(); }));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].cancelled);
}

TEST_F(AsyncRun, TheLastReferenceHeldByTheJobIsDroppedOnTheUiThread) {
    // work and done share an object with the caller, who lets go at once: whatever the worker's
    // timing, the job's final reference must die on the UI thread.
    for (int round = 0; round < 20; ++round) {
        std::atomic<DWORD> destroyedOn{0};
        bool doneRan = false;
        {
            auto shared = std::make_shared<Probe>(&destroyedOn);
            ASSERT_TRUE(Async::Run([shared] { return static_cast<int>(shared.use_count()); },
                                   [shared, &doneRan](int) { doneRan = true; }));
        }
        ASSERT_TRUE(PumpUntil([&] { return destroyedOn.load() != 0; }));
        EXPECT_TRUE(doneRan);
        EXPECT_EQ(destroyedOn.load(), GetCurrentThreadId());
    }
}

namespace {

// Captured by done: a copy destroyed on any thread but the UI thread holds that thread up until
// the test lets it go, so whatever else that copy's closure holds is released late.
struct HoldOffUiThread {
    DWORD uiThread;
    HANDLE release;
    ~HoldOffUiThread() {
        if (GetCurrentThreadId() != uiThread) {
            WaitForSingleObject(release, 5000);
        }
    }
};

}  // namespace

TEST_F(AsyncRun, ConstCapturesAreAlsoReleasedOnTheUiThread) {
    // A const local captured by copy stays const in the closure, so moving the closure copies
    // it; no such copy may be left on the worker to drop the last reference after done ran.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(release, nullptr);
    std::atomic<DWORD> destroyedOn{0};
    bool doneRan = false;
    {
        const auto shared = std::make_shared<Probe>(&destroyedOn);
        const HoldOffUiThread gate{GetCurrentThreadId(), release};
        ASSERT_TRUE(Async::Run([shared] { return 1; }, [shared, gate, &doneRan](int) { doneRan = true; }));
    }
    const bool ran = PumpUntil([&] { return doneRan; });
    SetEvent(release);
    ASSERT_TRUE(ran);
    ASSERT_TRUE(PumpUntil([&] { return destroyedOn.load() != 0; }));
    EXPECT_EQ(destroyedOn.load(), GetCurrentThreadId());
    CloseHandle(release);
}

TEST_F(AsyncRun, WorkersRunInTheMultithreadedApartment) {
    std::atomic<HRESULT> second{E_FAIL};
    std::atomic<bool> reported{false};
    ASSERT_TRUE(Async::StartThread([&] {
        // Already initialised as multithreaded: a second MTA initialisation says S_FALSE.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(hr)) {
            CoUninitialize();
        }
        second = hr;
        Async::Post([&] { reported = true; });
    }));
    ASSERT_TRUE(PumpUntil([&] { return reported.load(); }));
    EXPECT_EQ(second.load(), S_FALSE);
}

TEST_F(AsyncLifecycle, ShutdownDropsTasksAndTimersAndALatePostNeitherRunsNorSignals) {
    HANDLE event = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), Async::WakeEvent(), GetCurrentProcess(), &event, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    auto owned = std::make_shared<int>(0);
    bool ran = false;
    Async::Post([owned, &ran] { ran = true; });
    Async::SetTimeout(0, [owned, &ran] { ran = true; });
    Async::SetInterval(0, [owned, &ran] { ran = true; });
    WaitForSingleObject(event, 0);

    Async::Shutdown();
    EXPECT_EQ(owned.use_count(), 1);  // destroyed without running
    EXPECT_EQ(Async::WakeEvent(), nullptr);
    EXPECT_FALSE(Async::NextTimerDue().has_value());

    std::thread([owned, &ran] { Async::Post([owned, &ran] { ran = true; }); }).join();
    EXPECT_FALSE(IsSignalled(event));
    EXPECT_EQ(owned.use_count(), 2);  // queued, not destroyed on the worker

    Async::Shutdown();  // a late task is only ever destroyed, never run
    EXPECT_EQ(owned.use_count(), 1);
    EXPECT_FALSE(ran);
    CloseHandle(event);
}

TEST_F(AsyncLifecycle, ShutdownDestroysTasksWhosePostingDestructorsWouldDeadlockUnderTheLock) {
    // The last reference to an object may sit in a queued task or timer, and its destructor may
    // post (to report its end): shut-down must destroy them after letting go of the post lock.
    struct PostsWhenDestroyed {
        explicit PostsWhenDestroyed(std::atomic<int>& count) : destroyed(count) {}
        ~PostsWhenDestroyed() {
            Async::Post([] {});
            ++destroyed;
        }
        std::atomic<int>& destroyed;
    };
    std::atomic<int> destroyed{0};
    Async::Post([held = std::make_shared<PostsWhenDestroyed>(destroyed)] {});
    Async::SetTimeout(0, [held = std::make_shared<PostsWhenDestroyed>(destroyed)] {});

    // On a thread of its own, so that a deadlock fails this test instead of hanging the run.
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(finished, nullptr);
    std::thread([finished] {
        Async::Shutdown();
        SetEvent(finished);
    }).detach();
    if (WaitForSingleObject(finished, 10000) != WAIT_OBJECT_0) {
        // The stuck thread holds the post lock for good, so no later test could run either.
        std::fprintf(stderr, "Async::Shutdown did not return: a destructor that posts deadlocked it\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(finished);
    EXPECT_EQ(destroyed.load(), 2);
}

TEST_F(AsyncLifecycle, TasksPostedBeforeStartupRunAfterIt) {
    Async::Shutdown();
    bool ran = false;
    Async::Post([&] { ran = true; });
    ASSERT_TRUE(Async::Startup());
    EXPECT_FALSE(IsSignalled(Async::WakeEvent()));
    Async::Pump();
    EXPECT_TRUE(ran);
}

TEST_F(AsyncLifecycle, EmptyTasksAndCallbacksAreSkipped) {
    bool ran = false;
    Async::Post({});
    Async::SetTimeout(0, {});
    Async::Post([&] { ran = true; });
    EXPECT_TRUE(Async::Pump());
    EXPECT_TRUE(ran);
    EXPECT_FALSE(Async::Pump());
}

TEST(AsyncCancel, CopiesShareOneFlagAndAFreshOneStartsClear) {
    Async::Cancel owner;
    EXPECT_FALSE(owner.IsSet());
    const Async::Cancel copy = owner;
    Async::Cancel moved = std::move(owner);
    Async::Cancel replaced = copy;
    replaced = Async::Cancel{};  // as a new download gets a fresh flag

    std::thread([setter = copy]() mutable { setter.Set(); }).join();
    EXPECT_TRUE(owner.IsSet());  // a moved-from flag is still the shared one
    EXPECT_TRUE(copy.IsSet());
    EXPECT_TRUE(moved.IsSet());
    EXPECT_FALSE(replaced.IsSet());
}

#pragma once
// What the update tests share: the dispatcher run over the test clock or pumped in real time, and
// a fixture that starts each test with a fresh dispatcher, a fresh update state and the release
// channel pointed at a fake. Test thread only.

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "services/updates/Updates.h"
#include "tests/support/FakeReleaseChannel.h"

namespace Lorvex::Services::Updates::Testing {

// The dispatcher over the test clock in small steps, as the main loop runs it.
inline void RunFor(double seconds, double step = 0.02) {
    for (double done = 0; done < seconds; done += step) {
        Async::AdvanceClockForTesting(step);
        Async::Pump();
    }
}

// Pumps in real time until the condition holds; false after the time limit.
inline bool PumpUntil(const std::function<bool()>& done, int seconds = 20) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        Async::Pump();
        Sleep(5);
    }
    return true;
}

inline bool Busy() {
    return Current().status == Status::Checking || Current().status == Status::Downloading;
}

inline void PointAt(const Lorvex::Testing::FakeReleaseChannel& fake) {
    Config::SetDiscordForTesting(fake.BaseUrl(), Text::ToWide(Lorvex::Testing::kFakeBotToken),
                                 Text::ToWide(Lorvex::Testing::kFakeChannelId));
}

class UpdateTest : public testing::Test {
protected:
    void SetUp() override {
        Async::Shutdown();
        ASSERT_TRUE(Async::Startup());
        ResetForTesting();
        Settings::Instance() = Settings{};
        PointAt(channel);
    }

    void TearDown() override {
        EXPECT_TRUE(PumpUntil([] { return !Busy(); }));
        SetOnChanged({});
        Async::Shutdown();
        Config::SetDiscordForTesting(L"", L"", L"");
        ResetForTesting();
        Settings::Instance() = Settings{};
    }

    Lorvex::Testing::FakeReleaseChannel channel;
};

}  // namespace Lorvex::Services::Updates::Testing

// The update state's checks against the fake release channel: the timed checks on the
// dispatcher's test clock, the setting and the build's configuration that switch them off, and
// how a check's result changes the state (a failure keeps the list, a newer release without
// parts is passed over, a version is announced once).

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "services/updates/Updates.h"
#include "tests/services/UpdateTestSupport.h"
#include "tests/support/FakeReleaseChannel.h"

namespace Lorvex::Services::Updates {
namespace {

using Lorvex::Testing::FakeFile;
using Lorvex::Testing::FakeMessage;
using Lorvex::Testing::FakeReleaseChannel;
using Testing::PumpUntil;
using Testing::RunFor;

Release Made(const wchar_t* version, bool withParts) {
    Release release;
    release.version = version;
    if (withParts) {
        release.parts.push_back({L"Lorvex.exe", L"http://127.0.0.1/Lorvex.exe", 2048});
    }
    return release;
}

bool NotChecking() {
    return Current().status != Status::Checking;
}

class UpdateChecks : public Testing::UpdateTest {
protected:
    void PostRelease(const char* version) {
        channel.Post(FakeMessage(FakeReleaseChannel::ReleaseText(std::string("Lorvex ") + version, "- Cambios"),
                                 {FakeFile{"Lorvex.exe", std::string(2048, 'x'), std::nullopt}}));
    }

    size_t ListRequests() const {
        size_t count = 0;
        for (const Lorvex::Testing::RecordedRequest& request : channel.Requests()) {
            count += request.target.find("/messages") != std::string::npos ? 1 : 0;
        }
        return count;
    }
};

TEST_F(UpdateChecks, TimersCheckAfter300MsAndEveryThreeHoursUntilANewerReleaseIsKnown) {
    PostRelease("3.0.2");
    StartBackgroundChecks();

    RunFor(0.26);
    EXPECT_EQ(ListRequests(), 0u);
    RunFor(0.06);
    EXPECT_EQ(Current().status, Status::Checking);
    ASSERT_TRUE(PumpUntil(NotChecking));
    EXPECT_EQ(Current().status, Status::UpToDate);
    EXPECT_EQ(ListRequests(), 1u);

    PostRelease("3.0.3");
    Async::AdvanceClockForTesting(3 * 3600);
    Async::Pump();
    EXPECT_EQ(Current().status, Status::Checking);
    ASSERT_TRUE(PumpUntil(NotChecking));
    EXPECT_EQ(Current().status, Status::Available);
    EXPECT_EQ(NewVersionNotice(), L"3.0.3");
    EXPECT_EQ(ListRequests(), 2u);

    // Once a newer release is known the channel is not asked again.
    PostRelease("3.0.4");
    for (int i = 0; i < 2; ++i) {
        Async::AdvanceClockForTesting(3 * 3600);
        Async::Pump();
    }
    EXPECT_EQ(Current().status, Status::Available);
    EXPECT_EQ(ListRequests(), 2u);
}

TEST_F(UpdateChecks, TheSettingIsReadWhenATimerFires) {
    PostRelease("3.0.3");
    Settings::Instance().check_updates = false;
    StartBackgroundChecks();
    RunFor(0.4);
    Async::AdvanceClockForTesting(3 * 3600);
    Async::Pump();
    EXPECT_EQ(ListRequests(), 0u);
    EXPECT_EQ(Current().status, Status::NeverChecked);

    Settings::Instance().check_updates = true;
    Async::AdvanceClockForTesting(3 * 3600);
    Async::Pump();
    ASSERT_TRUE(PumpUntil(NotChecking));
    EXPECT_EQ(ListRequests(), 1u);
    EXPECT_EQ(Current().status, Status::Available);
}

TEST_F(UpdateChecks, ABuildWithoutTheChannelArmsNothingAndNeverChecks) {
    PostRelease("3.0.3");
    const std::pair<std::wstring, std::wstring> builds[] = {
        {L"", Text::ToWide(Lorvex::Testing::kFakeChannelId)},
        {Text::ToWide(Lorvex::Testing::kFakeBotToken), L""},
    };
    for (const auto& [token, channelId] : builds) {
        ResetForTesting();
        Config::SetDiscordForTesting(channel.BaseUrl(), token, channelId);
        StartBackgroundChecks();
        EXPECT_FALSE(Async::NextTimerDue().has_value());
        Check(false);
        EXPECT_EQ(Current().status, Status::NeverChecked);
        EXPECT_EQ(EffectiveStatus(), Status::NotConfigured);
    }
    EXPECT_EQ(ListRequests(), 0u);
}

TEST_F(UpdateChecks, ACheckAskedForWhileOneRunsStartsNoSecondRequest) {
    PostRelease("3.0.3");
    Check(false);
    Check(false);
    Check(true);
    ASSERT_TRUE(PumpUntil(NotChecking));
    EXPECT_EQ(ListRequests(), 1u);
    EXPECT_EQ(Current().status, Status::Available);
    // The check the user asked for came first: nothing is announced.
    EXPECT_EQ(NewVersionNotice(), L"");
}

TEST_F(UpdateChecks, AFailedCheckKeepsTheLastListAndItsTime) {
    OnChecked(Fetched{{Made(L"3.0.3", true), Made(L"3.0.2", true)}, L""}, false);
    const int64_t checked = Current().lastCheck;
    EXPECT_GT(checked, 1700000000);
    const int32_t counter = ChangeCounter();

    OnChecked(Fetched{{}, L"Sin conexión con Discord"}, false);
    EXPECT_EQ(Current().status, Status::Failed);
    EXPECT_EQ(Current().error, L"Sin conexión con Discord");
    EXPECT_EQ(Current().releases.size(), 2u);
    EXPECT_EQ(Current().newest, 0);
    EXPECT_EQ(Current().lastCheck, checked);
    EXPECT_TRUE(HasNewerVersion());
    EXPECT_EQ(ChangeCounter(), counter + 1);

    OnChecked(Fetched{{Made(L"3.0.2", true)}, L""}, false);
    EXPECT_EQ(Current().status, Status::UpToDate);
    EXPECT_EQ(Current().error, L"");
}

TEST_F(UpdateChecks, OnlyANewerReleaseWithPartsMakesAnUpdateAvailable) {
    struct Case {
        std::vector<Release> releases;
        Status status;
        int32_t newest;
    };
    const Case cases[] = {
        {{Made(L"3.0.3", false), Made(L"3.0.2", true)}, Status::UpToDate, 1},
        {{Made(L"3.0.4", false), Made(L"3.0.3", true), Made(L"3.0.2", true)}, Status::Available, 1},
        {{Made(L"3.0.3", false)}, Status::UpToDate, -1},
        {{}, Status::UpToDate, -1},
        {{Made(L"3.0.1", true)}, Status::UpToDate, 0},
    };
    for (const Case& c : cases) {
        OnChecked(Fetched{c.releases, L""}, true);
        EXPECT_EQ(Current().status, c.status) << c.releases.size();
        EXPECT_EQ(Current().newest, c.newest) << c.releases.size();
        EXPECT_EQ(NewVersionNotice(), c.status == Status::Available ? L"3.0.3" : L"") << c.releases.size();
        NewVersionNotice().clear();
    }
}

TEST_F(UpdateChecks, AVersionIsAnnouncedOnceAndOnlyByABackgroundCheck) {
    struct Step {
        const wchar_t* newest;
        bool background;
        const wchar_t* notice;
    };
    const Step steps[] = {
        {L"3.0.3", true, L"3.0.3"},  // found in the background
        {L"3.0.3", true, L""},       // the same version again
        {L"3.0.4", false, L""},      // found by the user, who sees it in the dialog
        {L"3.0.4", true, L"3.0.4"},  // not announced yet
        {L"3.0.4", true, L""},
    };
    for (const Step& step : steps) {
        OnChecked(Fetched{{Made(step.newest, true)}, L""}, step.background);
        EXPECT_EQ(Current().status, Status::Available);
        // The main window takes the notice out after every frame.
        EXPECT_EQ(std::exchange(NewVersionNotice(), std::wstring()), step.notice) << step.newest << step.background;
    }
}

}  // namespace
}  // namespace Lorvex::Services::Updates

// The after-update step run at start: the work folder of an earlier update removed, the notice
// prepared only after a real upgrade, and the running version stored in the settings file; and
// which releases count as newer (the comparison itself is tested with the release channel).

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/updates/Updates.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Services::Updates {
namespace {

TEST(Updates, OnlyAReleaseNewerThanTheRunningVersionCountsAsNewer) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"", false}, {L"3.0.1", false}, {L"3.0.2", false}, {L"3.0.10", true}, {L"3.1", true},
    };
    for (const auto& [newest, newer] : cases) {
        std::vector<Release> releases;
        if (*newest != L'\0') {
            releases.push_back({newest, L"", L"", 0, {{L"Lorvex.exe", L"http://127.0.0.1/Lorvex.exe", 1024}}});
        }
        SetReleasesForTesting(std::move(releases));
        EXPECT_EQ(HasNewerVersion(), newer) << newest;
    }
    ResetForTesting();
}

TEST(Updates, AfterStartNotesOnlyAnUpgradeAndStoresTheRunningVersion) {
    const std::wstring running(Config::kVersion);
    struct Case {
        const wchar_t* lastVersion;
        bool notice;
        bool written;
    };
    const Case cases[] = {
        {L"", false, true},        // first start
        {L"3.0.1", true, true},    // upgraded
        {L"2.9", true, true},      // upgraded over several versions
        {L"3.0.10", false, true},  // an older build started after a newer one
        {L"3.0.2", false, false},  // nothing changed: the file is not written
    };
    for (const Case& c : cases) {
        Paths::SetDataDirForTesting(Testing::MakeTempFolder(L"updates"));
        Settings::Instance() = Settings{};
        Settings::Instance().last_version = c.lastVersion;
        AfterUpdateNotice().clear();
        const std::wstring work = Files::TempDir() + L"\\" + std::wstring(kWorkFolder);
        ASSERT_TRUE(Files::EnsureDir(work));
        ASSERT_TRUE(Files::WriteBytes(work + L"\\Lorvex.new.exe", std::string("part")));

        AfterStart();

        const std::wstring name(c.lastVersion);
        EXPECT_FALSE(Files::IsDir(work)) << name;
        EXPECT_EQ(AfterUpdateNotice(), c.notice ? L"Lorvex se ha actualizado a la versión " + running : L"") << name;
        EXPECT_EQ(Settings::Instance().last_version, running) << name;
        const std::string file = Files::ReadBytes(Paths::SettingsPath()).value_or("");
        EXPECT_EQ(file.find("3.0.2") != std::string::npos, c.written) << name;
    }
    AfterUpdateNotice().clear();
    Settings::Instance() = Settings{};
}

}  // namespace
}  // namespace Lorvex::Services::Updates

// Start-up and shut-down in order on a fresh data folder, through the sequence the program runs
// (without the single-instance mutex, which belongs to the program alone).

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "App/Config/Config.h"
#include "App/Startup.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::App {
namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Paths::SetDataDirForTesting(Testing::MakeTempFolder(L"startup"));
        Settings::Instance() = Settings{};
        Services::AppState::ResetForTesting();
    }
};

TEST_F(StartupTest, OpensTheWindowAfterTheSettingsAndEndsWithZeroWhenItCloses) {
    bool visible = false;
    bool clientCoversWindow = false;
    std::wstring versionBeforeWindow;
    StartOptions options;
    options.opened = [&](Main::MainWindow& window) {
        visible = IsWindowVisible(window.hwnd) != FALSE;
        // The window draws its own frame from the first frame on: no standard frame around it.
        RECT outer = {};
        RECT client = {};
        GetWindowRect(window.hwnd, &outer);
        GetClientRect(window.hwnd, &client);
        clientCoversWindow = client.right == outer.right - outer.left && client.bottom == outer.bottom - outer.top;
        // The settings file was written before the window opened.
        Settings::Load();
        versionBeforeWindow = Settings::Instance().last_version;
        EXPECT_EQ(Main::MainWindow::Current(), &window);
        const HWND hwnd = window.hwnd;
        Async::SetTimeout(200, [hwnd] { PostMessageW(hwnd, WM_CLOSE, 0, 0); });
    };
    options.message = [](const std::wstring& text, unsigned) { ADD_FAILURE() << "message box"; };

    EXPECT_EQ(App::Run(options), 0);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(clientCoversWindow);
    EXPECT_EQ(versionBeforeWindow, std::wstring(Config::kVersion));
    EXPECT_EQ(Main::MainWindow::Current(), nullptr);

    // Closing stored the window's size: opened again at it, the window keeps its size.
    Settings::Instance() = Settings{};
    Settings::Load();
    EXPECT_EQ(Settings::Instance().last_version, std::wstring(Config::kVersion));
    EXPECT_EQ(Settings::Instance().window_width, 1320);
    EXPECT_EQ(Settings::Instance().window_height, 860);
    EXPECT_FALSE(Settings::Instance().maximized);
    EXPECT_TRUE(Settings::Instance().dark_theme);
}

TEST_F(StartupTest, AWindowThatCannotBeOpenedEndsWithOne) {
    std::wstring shown;
    unsigned icon = 0;
    StartOptions options;
    options.open = [](Main::MainWindow&) { return false; };
    options.opened = [](Main::MainWindow&) { ADD_FAILURE() << "opened"; };
    options.message = [&](const std::wstring& text, unsigned flags) {
        shown = text;
        icon = flags;
    };
    EXPECT_EQ(App::Run(options), 1);
    EXPECT_EQ(shown, kWindowFailedText);
    EXPECT_EQ(icon, static_cast<unsigned>(MB_ICONERROR));
}

// The dispatcher drops its timers at shut-down; the state save a change armed just before the
// close must still reach "cloud.json".
TEST_F(StartupTest, AChangeMadeJustBeforeTheCloseIsInTheSavedQueue) {
    Services::CloudSync::ResetForTesting();
    StartOptions options;
    options.opened = [](Main::MainWindow& window) {
        Services::CloudSync& cloud = Services::CloudSync::Instance();
        cloud.account.refreshToken = "refresh";
        cloud.account.userId = L"user-1";
        cloud.stateUserId = L"user-1";
        cloud.OnPersonaDeleted(L"p1");
        PostMessageW(window.hwnd, WM_CLOSE, 0, 0);
    };
    options.message = [](const std::wstring& text, unsigned) { ADD_FAILURE() << "message box"; };

    EXPECT_EQ(App::Run(options), 0);

    const std::optional<std::wstring> state = Files::ReadText(Services::CloudSync::StatePath());
    ASSERT_TRUE(state.has_value());
    EXPECT_NE(state->find(LR"({"kind":"persona","id":"p1")"), std::wstring::npos);
    Services::CloudSync::ResetForTesting();
}

}  // namespace
}  // namespace Lorvex::App

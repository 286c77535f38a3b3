// The overlays on the real main window, driven as a user drives them: only the top-most open
// overlay takes keys and clicks, a confirmation over a dialog closes alone, and a menu item that
// asks before acting shows the confirmation above the fading menu and acts only when confirmed.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/dialogs/SettingsDialog.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

// Frames of a dialog are dear to draw in software; only where the animations end matters here,
// so time moves in the window's longest frame step.
constexpr double kStep = 0.05;

// The smallest window: each frame with a dialog open costs less to draw.
FrameDriver::Options WithPersona() {
    return WindowWithPersona(false, 980, 640);
}

// Settings open, then a confirmation over it; the count says how often the action ran.
struct ConfirmOverSettings {
    explicit ConfirmOverSettings(FrameDriver& driver) : window(driver.Window()) {
        window.settingsDialog->Open();
        driver.RunFor(0.5, kStep);
        window.confirmDialog->Open(
            L"¿Borrar a Lía?", L"No se puede deshacer.", L"Borrar", true, [this] { ++confirmed; },
            UI::Material::Icon::Person);
        driver.RunFor(0.5, kStep);
    }
    MainWindow& window;
    int confirmed = 0;
};

TEST(MainWindowOverlays, OnlyTheTopMostOpenDialogTakesEscapeCtrlEnterAndOutsideClicks) {
    FrameDriver driver(WithPersona());
    ASSERT_TRUE(driver.Settle(10, kStep));

    {
        ConfirmOverSettings open(driver);
        driver.Key(VK_ESCAPE);
        EXPECT_FALSE(open.window.confirmDialog->IsOpen());
        EXPECT_TRUE(open.window.settingsDialog->IsOpen());
        EXPECT_EQ(open.confirmed, 0);
        driver.RunFor(0.35, kStep);
        // The settings dialog is the top one now and takes the next Escape.
        driver.Key(VK_ESCAPE);
        EXPECT_FALSE(open.window.settingsDialog->IsOpen());
        EXPECT_TRUE(driver.Settle(10, kStep));
        EXPECT_EQ(driver.TopOverlay(), nullptr);
    }
    {
        // Ctrl+Enter confirms the top dialog only; Enter alone submits nothing.
        ConfirmOverSettings open(driver);
        driver.Key(VK_RETURN);
        EXPECT_TRUE(open.window.confirmDialog->IsOpen());
        EXPECT_EQ(open.confirmed, 0);
        driver.Key(VK_RETURN, FrameDriver::kCtrl);
        EXPECT_EQ(open.confirmed, 1);
        EXPECT_FALSE(open.window.confirmDialog->IsOpen());
        EXPECT_TRUE(open.window.settingsDialog->IsOpen());
        open.window.settingsDialog->Close();
        EXPECT_TRUE(driver.Settle(10, kStep));
    }
    {
        // A click in the window's corner lies outside both panels: only the confirmation closes.
        ConfirmOverSettings open(driver);
        driver.Click(20, 200);
        EXPECT_FALSE(open.window.confirmDialog->IsOpen());
        EXPECT_TRUE(open.window.settingsDialog->IsOpen());
        EXPECT_EQ(open.confirmed, 0);
        open.window.settingsDialog->Close();
        EXPECT_TRUE(driver.Settle(10, kStep));
    }
}

TEST(MainWindowOverlays, AMenuItemThatAsksFirstShowsTheConfirmationAboveAndActsOnlyWhenConfirmed) {
    FrameDriver driver(WithPersona());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(driver.Settle(10, kStep));
    window.settingsDialog->Open();
    driver.RunFor(0.5, kStep);

    int deleted = 0;
    std::vector<Main::ContextMenu::Item> items(2);
    items[0].label = L"Editar";
    items[1].label = L"Borrar";
    items[1].danger = true;
    items[1].action = [&] {
        // The menu has closed before its action runs.
        EXPECT_FALSE(window.contextMenu->IsOpen());
        window.confirmDialog->Open(
            L"¿Borrar?", L"No se puede deshacer.", L"Borrar", true, [&] { ++deleted; }, UI::Material::Icon::Person);
    };
    window.contextMenu->Open({400, 200, 40, 40}, std::move(items), false, false);
    driver.RunFor(0.5, kStep);
    EXPECT_EQ(driver.TopOverlay(), window.contextMenu.get());

    // The second item: 6 below the menu's top, then the first item's 40.
    const Rect menu = window.contextMenu->Placement(window.windowRect);
    driver.Click(menu.x + 60, menu.y + 6 + 40 + 20);
    EXPECT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_TRUE(window.contextMenu->IsVisible());  // still fading out under the confirmation
    EXPECT_EQ(deleted, 0);

    driver.RunFor(0.5, kStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(driver.TopOverlay(), window.settingsDialog.get());
    window.settingsDialog->Close();
    EXPECT_TRUE(driver.Settle(10, kStep));
    EXPECT_FALSE(window.contextMenu->IsVisible());
}

}  // namespace
}  // namespace Lorvex::Testing

// The main window's navigation, its overlay stack's focus rule and the new-version notice, on a
// window that was never opened: its frames are run by hand and draw nothing.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/chat/ChatScreen.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/chat/TextEditDialog.h"
#include "main/editors/PersonasScreen.h"
#include "main/home/HomeScreen.h"
#include "main/updates/UpdateDialog.h"
#include "tests/main/MainWindowTestSupport.h"
#include "tests/support/AgreedWithCloud.h"

namespace Lorvex::Main {
namespace {

using Testing::MainWindowTest;

Services::CloudSync::RemoteItem CharacterDeletion(const std::wstring& id) {
    Services::CloudSync::RemoteItem row;
    row.kind = L"character";
    row.id = id;
    row.deleted = true;
    return row;
}

TEST_F(MainWindowTest, ASwitchSlidesTheNewScreenInWhileTheShownScreenIsOnlyShownAgain) {
    MainWindow window;
    Frame(window);
    window.ui.focus = 5;
    window.Navigate(kPersonasScreen);
    EXPECT_EQ(window.currentScreen, kPersonasScreen);
    EXPECT_EQ(window.transitionStart, window.ui.time);
    EXPECT_EQ(window.slideDirection, 1.0f);
    EXPECT_EQ(window.personasScreen->shownAt, window.ui.time);
    EXPECT_EQ(window.ui.focus, 0u);

    const double switched = window.ui.time;
    Frame(window);
    window.ui.focus = 7;
    window.Navigate(kPersonasScreen);
    EXPECT_EQ(window.transitionStart, switched);
    EXPECT_EQ(window.personasScreen->shownAt, window.ui.time);  // shown again
    EXPECT_EQ(window.ui.focus, 7u);
}

TEST_F(MainWindowTest, AScreenThatNavigatesWhileItIsShownEndsTheSwitchOnItsTarget) {
    // Without an open character the chat screen sends the window home from its OnShow: the inner
    // switch is the one that counts, whatever screen the outer one started from.
    for (const int32_t from : {kHomeScreen, kPersonasScreen, kPersonaFormScreen}) {
        MainWindow window;
        Frame(window);
        window.Navigate(from);
        Frame(window);
        window.Navigate(kChatScreen);
        EXPECT_EQ(window.currentScreen, kHomeScreen) << from;
        EXPECT_EQ(window.slideDirection, -1.0f) << from;  // back from the chat screen
        EXPECT_EQ(window.transitionStart, window.ui.time) << from;
        EXPECT_EQ(window.homeScreen->shownAt, window.ui.time) << from;
    }

    MainWindow window;
    state().OpenCharacter(AddCharacter(L"Ana"));
    window.Navigate(kChatScreen);
    EXPECT_EQ(window.currentScreen, kChatScreen);
}

TEST_F(MainWindowTest, OpeningACharacterPointsTheChatAtItAndSwitchesInPlaceOnTheChatScreen) {
    const auto ana = AddCharacter(L"Ana");
    const auto bea = AddCharacter(L"Bea");
    MainWindow window;
    Frame(window);
    window.OpenCharacter(ana);
    EXPECT_EQ(window.currentScreen, kChatScreen);
    EXPECT_EQ(state().currentCharacter, ana);
    ASSERT_TRUE(state().currentChat);
    EXPECT_EQ(window.chatScreen->shownChat, state().currentChat);
    EXPECT_EQ(window.chatScreen->Title(), L"Chat con Ana");
    const double slid = window.transitionStart;

    RunFor(window, 1);
    window.OpenCharacter(bea);
    EXPECT_EQ(window.currentScreen, kChatScreen);
    EXPECT_EQ(window.transitionStart, slid);  // no slide
    EXPECT_EQ(window.chatScreen->shownChat, state().currentChat);
    EXPECT_EQ(window.chatScreen->lastResetTime, window.ui.time);
    EXPECT_EQ(window.chatScreen->Title(), L"Chat con Bea");

    window.OpenCharacter(nullptr);
    EXPECT_EQ(state().currentCharacter, bea);
}

TEST_F(MainWindowTest, APulledDeletionOfTheOpenCharacterSendsTheWindowHome) {
    const auto ana = AddCharacter(L"Ana");
    MainWindow window;
    Frame(window);
    window.OpenCharacter(ana);
    Frame(window);

    Testing::AgreeWithCloudOnEverything();
    state().ApplyRemoteItems({CharacterDeletion(ana->id)});
    ASSERT_FALSE(state().currentCharacter);
    Frame(window);
    EXPECT_EQ(window.currentScreen, kHomeScreen);
    EXPECT_EQ(window.slideDirection, -1.0f);
}

TEST_F(MainWindowTest, TheFocusIsClearedWheneverTheTopMostOpenOverlayChanges) {
    MainWindow window;
    Frame(window);
    window.ui.focus = 11;  // a field of the screen
    window.settingsDialog->Open();
    Frame(window);
    EXPECT_TRUE(window.modal);
    EXPECT_EQ(window.ui.focus, 0u);

    window.ui.focus = 12;  // a field of the settings dialog
    Frame(window);
    EXPECT_EQ(window.ui.focus, 12u);

    window.textEditDialog->Open();  // above the settings dialog
    Frame(window);
    EXPECT_EQ(window.ui.focus, 0u);

    window.ui.focus = 13;
    window.textEditDialog->Close();
    Frame(window);
    EXPECT_EQ(window.ui.focus, 0u);

    window.ui.focus = 14;
    window.settingsDialog->Close();
    Frame(window);
    EXPECT_FALSE(window.modal);
    EXPECT_EQ(window.ui.focus, 0u);
}

struct FakeOverlay : Overlay {
    bool IsVisible() const override { return open; }
    bool IsOpen() const override { return open; }
    void Draw(UI::Ui& ui, const Rect&) override {
        if (onDraw) {
            onDraw(ui);
        }
    }
    bool open = false;
    std::function<void(UI::Ui&)> onDraw;
};

TEST_F(MainWindowTest, AnOverlayOpenedDuringAFrameKeepsTheFocusItTakesInThatFrame) {
    FakeOverlay below;
    FakeOverlay above;
    bool openAbove = false;
    below.onDraw = [&](UI::Ui&) {
        if (openAbove) {
            above.open = true;
            openAbove = false;
        }
    };
    bool focused = false;
    above.onDraw = [&](UI::Ui& ui) {
        if (!focused) {
            ui.focus = 77;  // its field takes the keyboard on its first frame
            focused = true;
        }
    };
    MainWindow window;
    window.overlays = {&below, &above};
    below.open = true;
    Frame(window);

    openAbove = true;
    Frame(window);
    EXPECT_EQ(window.ui.focus, 77u);
    Frame(window);
    EXPECT_EQ(window.ui.focus, 77u);
}

TEST_F(MainWindowTest, ANewVersionOpensTheUpdateDialogOnceAfterTheSplashAndOnlyOverNoOverlay) {
    std::wstring& note = Services::Updates::NewVersionNotice();
    note = L"3.1.0";
    MainWindow window;
    Frame(window);
    EXPECT_EQ(window.splashStart, window.ui.time);
    RunFor(window, 1.25);
    EXPECT_FALSE(window.updateDialog->IsOpen());
    EXPECT_EQ(note, L"3.1.0");
    RunFor(window, 0.1);
    EXPECT_TRUE(window.updateDialog->IsOpen());
    EXPECT_TRUE(note.empty());

    window.updateDialog->Close();
    RunFor(window, 0.5);
    EXPECT_FALSE(window.updateDialog->IsOpen());

    window.settingsDialog->Open();
    note = L"3.2.0";
    RunFor(window, 0.5);
    EXPECT_FALSE(window.updateDialog->IsOpen());
    EXPECT_EQ(note, L"3.2.0");
    window.settingsDialog->Close();
    Frame(window);
    EXPECT_TRUE(window.updateDialog->IsOpen());
    EXPECT_TRUE(note.empty());
}

}  // namespace
}  // namespace Lorvex::Main

// A chat whose file cannot be written, seen from the real window: the user reads it once in an
// error toast while the chat goes on in memory; and the saves at close, which wait for a file
// another program holds for a moment and, when it holds on, keep the window open and ask.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/kit/Toasts.h"
#include "services/state/AppState.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

constexpr double kStep = 0.05;
const std::wstring kSaveFailed = L"No se pudo guardar el chat.";

TEST(ChatSaveToast, AChatThatCannotBeWrittenShowsOneErrorToast) {
    ASSERT_TRUE(GraphicsReady());
    FrameDriver::Options options = WindowWithPersona(true, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    options.characters.push_back(ana);
    FrameDriver driver(options);
    Services::AppState& state = FrameDriver::State();
    state.manualReplies = true;  // no reply job: only the user's lines are saved
    driver.Window().OpenCharacter(state.characters.front());
    ASSERT_TRUE(driver.Settle(10, kStep));
    const std::shared_ptr<Character> open = state.currentCharacter;
    const std::shared_ptr<Chat> chat = state.currentChat;
    ASSERT_TRUE(open && chat);
    const std::wstring file = Files::JoinPath(Files::JoinPath(open->folder, L"chats"), chat->id + L".json");
    ASSERT_TRUE(Exists(file));
    EXPECT_TRUE(driver.Toasts().empty());

    {
        HeldFile held(file, GENERIC_READ | GENERIC_WRITE, 0);
        state.SendMessage(L"uno");
        driver.RunFor(0.3, kStep);
        state.SendMessage(L"dos");
        driver.RunFor(0.3, kStep);
    }

    const std::vector<std::wstring> toasts = driver.Toasts();
    EXPECT_EQ(std::count(toasts.begin(), toasts.end(), kSaveFailed), 1) << toasts.size() << " toasts";
    const auto& items = driver.Window().toasts.Items();
    const auto shown = std::find_if(items.begin(), items.end(),
                                    [](const Main::Kit::Toast& toast) { return toast.text == kSaveFailed; });
    ASSERT_NE(shown, items.end());
    EXPECT_EQ(shown->kind, Main::Kit::ToastKind::Error);
    EXPECT_GE(shown->start, 0.0);  // drawn, not only queued
    EXPECT_EQ(state.currentChat, chat);
    ASSERT_EQ(chat->messages.size(), 2u);
    EXPECT_EQ(chat->messages.back()->content, L"dos");
}

// The window with Ana's chat open, and a line in the chat that only memory holds yet.
struct OpenChat {
    OpenChat() : driver(Options()) {
        Services::AppState& state = FrameDriver::State();
        state.manualReplies = true;
        driver.Window().OpenCharacter(state.characters.front());
        driver.Settle(10, kStep);
        chat = state.currentChat;
        if (chat) {
            file = Files::JoinPath(Files::JoinPath(state.currentCharacter->folder, L"chats"), chat->id + L".json");
            chat->messages.push_back(Message::Create(L"user", L"sin guardar"));
        }
    }
    static FrameDriver::Options Options() {
        FrameDriver::Options options = WindowWithPersona(true, 980, 640);
        auto ana = Character::Create();
        ana->name = L"Ana";
        options.characters.push_back(ana);
        return options;
    }
    bool FileHasTheLine() const { return Content(file).find("sin guardar") != std::string::npos; }

    FrameDriver driver;
    std::shared_ptr<Chat> chat;
    std::wstring file;
};

// An antivirus or a backup client holding the chat file and the settings file as the user closes:
// the saves wait for them, and the window closes with both written.
TEST(ChatSaveAtClose, FilesHeldForAMomentAreWrittenAndTheWindowCloses) {
    ASSERT_TRUE(GraphicsReady());
    OpenChat open;
    ASSERT_TRUE(open.chat && Exists(open.file));
    HeldFile chatHeld(open.file, GENERIC_READ, FILE_SHARE_READ);
    HeldFile settingsHeld(Paths::SettingsPath(), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(chatHeld.IsOpen() && settingsHeld.IsOpen());
    PauseWatch watch([&] {
        chatHeld.Close();
        settingsHeld.Close();
    });
    Settings::Instance().last_version = L"9.9.9";

    open.driver.Close();
    EXPECT_FALSE(open.driver.Opened());
    EXPECT_GE(watch.Pauses(), 1);
    EXPECT_TRUE(open.FileHasTheLine());
    EXPECT_EQ(open.driver.StoredSettings().last_version, L"9.9.9");
}

// Held through the wait: the window stays open and asks. Closing again once the file is free
// writes the chat; choosing to close without saving closes at once.
TEST(ChatSaveAtClose, AFileHeldTooLongKeepsTheWindowOpenAndAsks) {
    ASSERT_TRUE(GraphicsReady());
    for (const bool closeAnyway : {false, true}) {
        SCOPED_TRACE(closeAnyway ? "closed without saving" : "closed again once the file is free");
        OpenChat open;
        ASSERT_TRUE(open.chat && Exists(open.file));
        Main::MainWindow& window = open.driver.Window();
        HeldFile held(open.file, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(held.IsOpen());

        open.driver.Close();
        ASSERT_TRUE(open.driver.Opened());
        open.driver.RunFor(0.5, kStep);
        ASSERT_EQ(open.driver.TopOverlay(), window.confirmDialog.get());
        EXPECT_EQ(window.confirmDialog->title, L"No se pudo guardar");
        EXPECT_NE(window.confirmDialog->message.find(L"el chat"), std::wstring::npos);
        EXPECT_EQ(window.confirmDialog->confirmLabel, L"Cerrar sin guardar");
        EXPECT_FALSE(open.FileHasTheLine());

        if (closeAnyway) {
            open.driver.Key(VK_RETURN, FrameDriver::kCtrl);
            EXPECT_FALSE(open.driver.Opened());
            held.Close();
            EXPECT_FALSE(open.FileHasTheLine());
        } else {
            held.Close();
            open.driver.Close();
            EXPECT_FALSE(open.driver.Opened());
            EXPECT_TRUE(open.FileHasTheLine());
        }
    }
}

}  // namespace
}  // namespace Lorvex::Testing

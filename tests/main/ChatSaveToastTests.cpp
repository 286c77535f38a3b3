// A chat whose file cannot be written, seen from the real window: the user reads it once in an
// error toast while the chat goes on in memory.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "main/MainWindow.h"
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

}  // namespace
}  // namespace Lorvex::Testing

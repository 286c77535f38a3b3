// The system clipboard the editors and the chat's copy buttons use, from real windows (an X
// display under Wine): what is copied belongs to the window the user copies from, and another
// program holding the clipboard for a moment (clipboard history, a remote session, a password
// manager) delays copy and paste instead of making them do nothing.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "foundation/Text.h"
#include "tests/support/TestFiles.h"
#include "ui/TextEditor.h"

namespace Lorvex::UI {
namespace {

HWND MakeWindow() {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Another program's window with the clipboard open, on a thread of its own, until released.
class ClipboardHolder {
public:
    ClipboardHolder() {
        thread_ = std::thread([this] {
            const HWND window = MakeWindow();
            open_ = window != nullptr && OpenClipboard(window) != FALSE;
            SetEvent(opened_);
            WaitForSingleObject(release_, INFINITE);
            if (open_) {
                CloseClipboard();
            }
            if (window) {
                DestroyWindow(window);
            }
        });
        WaitForSingleObject(opened_, INFINITE);
    }
    ~ClipboardHolder() {
        Release();
        CloseHandle(opened_);
        CloseHandle(release_);
    }
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    bool Holds() const { return open_; }
    void Release() {
        SetEvent(release_);
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    HANDLE opened_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool open_ = false;
    std::thread thread_;
};

TEST(SystemClipboard, TheActiveWindowOwnsWhatIsCopied) {
    const HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    SetActiveWindow(window);
    ASSERT_EQ(GetActiveWindow(), window);
    SystemClipboard clipboard;
    clipboard.Copy(L"propio");
    EXPECT_EQ(GetClipboardOwner(), window);
    EXPECT_TRUE(Text::CopyToClipboard(L"propio"));
    EXPECT_EQ(GetClipboardOwner(), window);
    // The text outlives its owner.
    DestroyWindow(window);
    EXPECT_EQ(clipboard.Paste(), L"propio");
}

TEST(SystemClipboard, CopyAndPasteWaitForAClipboardHeldForAMoment) {
    ASSERT_TRUE(Text::CopyToClipboard(L"antes"));
    ASSERT_EQ(Text::ReadClipboard(), L"antes");
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holds());
        Testing::PauseWatch watch([&holder] { holder.Release(); });
        EXPECT_TRUE(Text::CopyToClipboard(L"después"));
        EXPECT_GE(watch.Pauses(), 1);
    }
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holds());
        Testing::PauseWatch watch([&holder] { holder.Release(); });
        EXPECT_EQ(Text::ReadClipboard(), L"después");
        EXPECT_GE(watch.Pauses(), 1);
    }
    // Held past the short wait: nothing is copied and nothing pasted, and the clipboard keeps
    // what it had.
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holds());
        Testing::PauseWatch watch;
        EXPECT_FALSE(Text::CopyToClipboard(L"nunca"));
        EXPECT_EQ(Text::ReadClipboard(), L"");
        EXPECT_GE(watch.Pauses(), 2);
    }
    EXPECT_EQ(Text::ReadClipboard(), L"después");
}

}  // namespace
}  // namespace Lorvex::UI

#include "foundation/FileDialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "foundation/Files.h"
#include "tests/support/TestFiles.h"

using namespace Lorvex;
using namespace Lorvex::Testing;

namespace {

void EnterApartment() {
    static const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)entered;
}

const std::vector<std::pair<std::wstring, std::wstring>> PictureFilters = {
    {L"Imágenes", L"*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.webp"},
    {L"Todos los archivos", L"*.*"},
};

struct FoundDialog {
    HWND window = nullptr;
    std::wstring title;
};

// The visible dialog window (class "#32770") that the given thread of this process shows.
FoundDialog FindDialog(DWORD threadId) {
    struct Search {
        DWORD threadId;
        FoundDialog found;
    } search{threadId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (GetWindowThreadProcessId(window, nullptr) != s.threadId || !IsWindowVisible(window) ||
                std::wstring(className) != L"#32770") {
                return TRUE;
            }
            wchar_t title[256] = {};
            GetWindowTextW(window, title, 256);
            s.found = {window, title};
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Plays the user: waits (bounded) for the dialog the calling thread is about to show, remembers its
// title, and then acts on it from another thread so that the modal call returns.
class DialogUser {
public:
    // act receives the dialog window once it is visible.
    explicit DialogUser(std::function<void(HWND)> act) : ownerThread_(GetCurrentThreadId()) {
        worker_ = std::thread([this, act = std::move(act)] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < deadline) {
                const FoundDialog dialog = FindDialog(ownerThread_);
                if (dialog.window) {
                    title_ = dialog.title;
                    wchar_t type[128] = {};
                    GetDlgItemTextW(dialog.window, 1136, type, 128);
                    typeShown_ = type;
                    seen_ = true;
                    act(dialog.window);
                    CancelIfStillOpen(dialog.window);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~DialogUser() {
        if (worker_.joinable()) {
            worker_.join();
        }
    }

    // After the modal call has returned.
    bool Seen() {
        if (worker_.joinable()) {
            worker_.join();
        }
        return seen_;
    }
    const std::wstring& Title() const { return title_; }
    // The text of the file-type box when the dialog appeared.
    const std::wstring& TypeShown() const { return typeShown_; }

private:
    // A dialog that did not take the action would block the test for ever: close it, so that the
    // test fails instead.
    static void CancelIfStillOpen(HWND dialog) {
        for (int i = 0; i < 500 && IsWindow(dialog); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (IsWindow(dialog)) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }

    DWORD ownerThread_;
    std::thread worker_;
    std::atomic<bool> seen_{false};
    std::wstring title_;
    std::wstring typeShown_;
};

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { EnterApartment(); }
};

TEST_F(FileDialogTest, CancellingGivesEmptyText) {
    DialogUser user([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    const std::wstring chosen = Files::PickOpenFile(nullptr, L"Selecciona una imagen", PictureFilters, L"");
    ASSERT_TRUE(user.Seen()) << "the dialog never showed";
    EXPECT_EQ(user.Title(), L"Selecciona una imagen");
    EXPECT_EQ(user.TypeShown(), L"Imágenes") << "the first filter is the one selected";
    EXPECT_EQ(chosen, L"");
}

// Types a file name into the dialog's file-name box and presses Open. The box is the combo box 1148
// in the system's own dialog and the edit box 1152 in the older layout.
std::function<void(HWND)> Choose(const std::wstring& name) {
    return [name](HWND dialog) {
        HWND box = GetDlgItem(dialog, 1148);
        if (!box) {
            box = GetDlgItem(dialog, 1152);
        }
        SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
}

TEST_F(FileDialogTest, ChoosingAFileGivesItsFullPath) {
    const std::wstring folder = MakeTempFolder(L"file-dialog");
    const std::wstring picture = Files::JoinPath(folder, L"retrato.png");
    ASSERT_TRUE(Files::WriteBytes(picture, std::string("picture")));

    struct Case {
        const char* name;
        std::wstring startFolder;
        std::wstring typed;
    };
    const Case cases[] = {
        {"a name in the start folder", folder, L"retrato.png"},
        {"a full path, start folder missing", Files::JoinPath(folder, L"no-such-folder"), picture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogUser user(Choose(c.typed));
        const std::wstring chosen = Files::PickOpenFile(nullptr, L"", PictureFilters, c.startFolder);
        ASSERT_TRUE(user.Seen()) << "the dialog never showed";
        EXPECT_EQ(chosen, picture);
    }
    Files::RemoveTree(folder);
}

}  // namespace

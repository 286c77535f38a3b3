// The keyboard of an editor on a real window (an X display under Wine), through the window's own
// messages: the system's text input windows (the input method's composition and candidate
// windows, and the hidden system caret the emoji panel and the touch keyboard go by) stand at the
// caret the focused editor draws, in pixels at any DPI, and go when the editor or the window loses
// the keyboard; AltGr types where Ctrl alone is a shortcut.

#include <gtest/gtest.h>

#include <windows.h>
#include <imm.h>

#include <cmath>
#include <functional>
#include <string>

#include "foundation/Async.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/TextEditor.h"
#include "ui/TextFieldStyle.h"
#include "ui/Window.h"

namespace Lorvex::UI {
namespace {

const uint64_t kEditor = MakeIdFromText("text-input-editor");
constexpr Rect kRect = {10, 10, 200, 30};

class EditorWindow : public Window {
public:
    void Draw() override { ui.TextEdit(kEditor, kRect, text, style); }

    std::wstring text;
    Material::TextFieldStyle style;
};

class WindowTextInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Testing::GraphicsReady());
        ASSERT_TRUE(Async::Startup());
        Window::Options options;
        options.title = L"test";
        options.width = 400;
        options.height = 300;
        ASSERT_TRUE(window.Create(options));
        SetFocus(window.hwnd);
        ASSERT_EQ(GetFocus(), window.hwnd);
        window.ui.focus = kEditor;
    }
    void TearDown() override {
        Window::SetKeyStateForTesting(nullptr);
        Async::Shutdown();
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam = 1) { SendMessageW(window.hwnd, message, wParam, lParam); }

    // The thread's system caret: its window (null when there is none) and rectangle.
    static GUITHREADINFO Caret() {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetCurrentThreadId(), &info);
        return info;
    }

    // Where the window's input method context places the composition and the candidate list.
    struct ImePlaces {
        COMPOSITIONFORM composition = {};
        CANDIDATEFORM candidates = {};
    };
    ImePlaces Ime() const {
        ImePlaces places;
        const HIMC context = ImmGetContext(window.hwnd);
        if (context) {
            ImmGetCompositionWindow(context, &places.composition);
            ImmGetCandidateWindow(context, 0, &places.candidates);
            ImmReleaseContext(window.hwnd, context);
        }
        return places;
    }

    EditorWindow window;
};

TEST_F(WindowTextInput, TheSystemsTextInputWindowsStandAtTheEditorsCaret) {
    window.Frame();
    GUITHREADINFO caret = Caret();
    ASSERT_EQ(caret.hwndCaret, window.hwnd);
    // The empty editor's caret: inside its border and paddings, as tall as a line.
    const int left = static_cast<int>(kRect.x + 1 + window.style.paddingLeft);
    const int top = static_cast<int>(kRect.y + 1 + window.style.paddingTop);
    EXPECT_EQ(caret.rcCaret.left, left);
    EXPECT_EQ(caret.rcCaret.top, top);
    const int height = caret.rcCaret.bottom - caret.rcCaret.top;
    EXPECT_GT(height, 10);
    ImePlaces ime = Ime();
    EXPECT_EQ(ime.composition.dwStyle, static_cast<DWORD>(CFS_POINT));
    EXPECT_EQ(ime.composition.ptCurrentPos.x, left);
    EXPECT_EQ(ime.composition.ptCurrentPos.y, top);
    EXPECT_EQ(ime.candidates.dwStyle, static_cast<DWORD>(CFS_EXCLUDE));
    EXPECT_EQ(ime.candidates.rcArea.left, left);
    EXPECT_EQ(ime.candidates.rcArea.top, top);
    EXPECT_EQ(ime.candidates.rcArea.bottom, top + height);

    // Typing moves them along the line with the caret.
    Send(WM_CHAR, L'a');
    Send(WM_CHAR, L'b');
    window.Frame();
    ASSERT_EQ(window.text, L"ab");
    caret = Caret();
    const int afterTwo = caret.rcCaret.left;
    EXPECT_GT(afterTwo, left + 8);
    EXPECT_EQ(caret.rcCaret.top, top);
    EXPECT_EQ(Ime().composition.ptCurrentPos.x, afterTwo);
    EXPECT_EQ(Ime().candidates.rcArea.left, afterTwo);

    // At 150 % they are in the window's pixels.
    window.graphics.SetDpi(144);
    window.Frame();
    caret = Caret();
    EXPECT_NEAR(caret.rcCaret.left, afterTwo * 1.5, 1);
    EXPECT_NEAR(caret.rcCaret.top, top * 1.5, 1);
    EXPECT_NEAR(caret.rcCaret.bottom - caret.rcCaret.top, height * 1.5, 1);
    EXPECT_EQ(Ime().composition.ptCurrentPos.x, caret.rcCaret.left);
    window.graphics.SetDpi(96);

    // The editor lets go of the keyboard: no system caret until an editor has it again.
    Send(WM_KEYDOWN, VK_ESCAPE);
    window.Frame();
    EXPECT_EQ(window.ui.focus, 0u);
    EXPECT_EQ(Caret().hwndCaret, nullptr);
    window.ui.focus = kEditor;
    window.Frame();
    EXPECT_EQ(Caret().hwndCaret, window.hwnd);

    // The window loses the keyboard: the caret goes with it and comes back with the focus.
    SetFocus(nullptr);
    EXPECT_EQ(Caret().hwndCaret, nullptr);
    window.Frame();
    EXPECT_EQ(Caret().hwndCaret, nullptr);
    SetFocus(window.hwnd);
    EXPECT_TRUE(window.dirty);
    window.Frame();
    caret = Caret();
    EXPECT_EQ(caret.hwndCaret, window.hwnd);
    EXPECT_EQ(caret.rcCaret.left, afterTwo);
}

TEST_F(WindowTextInput, AltGrTypesWhereCtrlAloneIsAShortcut) {
    window.text = L"hello";
    bool ctrl = false;
    bool alt = false;
    Window::SetKeyStateForTesting([&](int vk) { return vk == VK_CONTROL ? ctrl : vk == VK_MENU && alt; });
    window.Frame();
    // Ctrl+A selects everything (its control character is no text).
    ctrl = true;
    Send(WM_KEYDOWN, 'A');
    Send(WM_CHAR, 1);
    window.Frame();
    const EditState& state = window.ui.State<EditState>(kEditor);
    EXPECT_EQ(state.anchor, 0);
    EXPECT_EQ(state.caret, 5);
    // AltGr+V, on a layout where it types @: the selection becomes @, nothing is pasted.
    alt = true;
    Send(WM_KEYDOWN, 'V');
    Send(WM_CHAR, L'@');
    Send(WM_KEYUP, 'V');
    window.Frame();
    EXPECT_EQ(window.text, L"@");
    // AltGr+A types, where Ctrl+A would select it all again.
    Send(WM_KEYDOWN, 'A');
    Send(WM_CHAR, L'\u00E4');
    window.Frame();
    EXPECT_EQ(window.text, L"@\u00E4");
    EXPECT_EQ(state.anchor, 2);
    EXPECT_EQ(state.caret, 2);
}

}  // namespace
}  // namespace Lorvex::UI

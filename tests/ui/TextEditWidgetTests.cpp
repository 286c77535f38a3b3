// Ui::TextEdit as a widget, frame by frame with hand-fed input on a surface without a device:
// focus by click and by Escape, which keys it leaves to the caller, the typed text it takes, the
// caret blink and the cursor.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/ui/UiHarness.h"
#include "ui/TextEditor.h"
#include "ui/TextFieldStyle.h"

namespace Lorvex::UI {
namespace {

using Testing::UiHarness;

const uint64_t kEditor = MakeIdFromText("name-input");
const Rect kRect = {10, 10, 200, 30};

class TextEditWidget : public ::testing::Test {
protected:
    bool Frame() {
        bool edited = false;
        h.Frame([&] { edited = h.ui.TextEdit(kEditor, kRect, text, style); });
        return edited;
    }
    void Key(int32_t vk) { h.input.keys.push_back({vk, true, false, false, false}); }
    // Hover the field, then press on it: the hover is decided one frame late.
    void ClickIntoField() {
        h.MoveTo(50, 20);
        Frame();
        h.Press();
        Frame();
        h.Release();
        Frame();
    }

    UiHarness h;
    std::wstring text;
    Material::TextFieldStyle style;
};

TEST_F(TextEditWidget, KeysAndTypingReachOnlyTheFocusedEditor) {
    h.input.text = L"x";
    Key(VK_BACK);
    EXPECT_FALSE(Frame());
    EXPECT_EQ(text, L"");

    ClickIntoField();
    EXPECT_EQ(h.ui.focus, kEditor);
    EXPECT_EQ(h.ui.cursor, kIBeamCursor);
    h.input.text = L"hola";
    bool edited = false;
    h.Frame([&] {
        edited = h.ui.TextEdit(kEditor, kRect, text, style);
        EXPECT_TRUE(h.input.text.empty());  // no later widget sees it
    });
    EXPECT_TRUE(edited);
    EXPECT_EQ(text, L"hola");

    // A caret move is not an edit.
    Key(VK_LEFT);
    EXPECT_FALSE(Frame());
}

TEST_F(TextEditWidget, EscapeDropsTheFocusAndLeavesTheTypedText) {
    ClickIntoField();
    Key(VK_ESCAPE);
    h.input.text = L"q";
    std::wstring left;
    h.Frame([&] {
        h.ui.TextEdit(kEditor, kRect, text, style);
        left = h.input.text;
    });
    EXPECT_EQ(h.ui.focus, 0u);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(left, L"q");
}

TEST_F(TextEditWidget, EnterIsLeftToTheCallerOnlyInMultiLineMode) {
    for (const bool multiLine : {false, true}) {
        style.multiLine = multiLine;
        text.clear();
        h.ui.focus = kEditor;
        Key(VK_RETURN);
        h.input.text = L"\r";
        bool handled = false;
        h.Frame([&] {
            h.ui.TextEdit(kEditor, kRect, text, style);
            handled = h.input.keys[0].handled;
        });
        EXPECT_EQ(handled, !multiLine) << multiLine;
        EXPECT_EQ(text, multiLine ? L"\n" : L"") << multiLine;
    }
}

TEST_F(TextEditWidget, CaretBlinkRestartsOnEveryCaretChange) {
    h.ui.focus = kEditor;
    text = L"abc";
    h.ui.caretTime = 0;
    Key(VK_HOME);
    Frame();
    EXPECT_DOUBLE_EQ(h.ui.caretTime, h.now);
    EXPECT_TRUE(h.ui.ambient);

    // Unhandled keys leave the blink alone; a field without the focus asks for no animation.
    const double before = h.ui.caretTime;
    Key(VK_F2);
    Frame();
    EXPECT_DOUBLE_EQ(h.ui.caretTime, before);
    h.ui.focus = 0;
    Frame();
    EXPECT_FALSE(h.ui.ambient);
    EXPECT_FALSE(h.ui.animating);
}

// At the field's left edge the pointer index is 0 whatever the font measures.
TEST_F(TextEditWidget, PressMovesTheCaretAndShiftKeepsTheAnchor) {
    text = L"abcdef";
    h.ui.focus = kEditor;
    EditState& state = h.ui.State<EditState>(kEditor);
    state = {6, 6};
    h.ui.caretTime = 0;
    h.input.shift = true;
    h.MoveTo(kRect.x + 2, 20);
    Frame();
    h.Press();
    Frame();
    EXPECT_EQ(state.caret, 0);
    EXPECT_EQ(state.anchor, 6);
    EXPECT_DOUBLE_EQ(h.ui.caretTime, h.now);
    h.Release();
    Frame();

    h.input.shift = false;
    state = {6, 6};
    h.Press();
    Frame();
    EXPECT_EQ(state.caret, 0);
    EXPECT_EQ(state.anchor, 0);
}

TEST_F(TextEditWidget, ClampsACaretLeftBeyondAShortenedText) {
    h.ui.focus = kEditor;
    text = L"abcdef";
    Key(VK_END);
    Frame();
    text = L"ab";
    Key(VK_BACK);
    Frame();
    EXPECT_EQ(text, L"a");
    EXPECT_EQ(h.ui.State<EditState>(kEditor).caret, 1);
}

}  // namespace
}  // namespace Lorvex::UI

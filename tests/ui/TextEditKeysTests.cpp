// The editor's keyboard state machine, driven with hand-made key events and typed text over a
// fixed-pitch measurer (10 DIPs a unit, 20 a line, lines only at line feeds) and a clipboard held
// in memory, so no device or system clipboard is involved.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ui/TextEditor.h"

namespace Lorvex::UI {
namespace {

using Material::TextFieldStyle;
using TextEditing::ApplyKeyboard;

const std::wstring kEmoji = L"\U0001F600";  // one surrogate pair

class FixedPitchMeasurer : public TextMeasurer {
public:
    Caret CaretAt(std::wstring_view display, size_t index) override {
        Caret caret{0, 0, 20};
        for (size_t i = 0; i < index && i < display.size(); ++i) {
            if (display[i] == L'\n') {
                caret.x = 0;
                caret.y += 20;
            } else {
                caret.x += 10;
            }
        }
        return caret;
    }
    size_t IndexAt(std::wstring_view display, float x, float y) override {
        size_t index = 0;
        for (int line = 0; line < static_cast<int>(y / 20) && index < display.size(); ++index) {
            if (display[index] == L'\n') {
                ++line;
            }
        }
        for (float left = 5; index < display.size() && display[index] != L'\n' && left < x; left += 10) {
            ++index;
        }
        return index;
    }
};

class MemoryClipboard : public EditClipboard {
public:
    void Copy(const std::wstring& text) override { held = text; }
    std::wstring Paste() override { return held; }
    std::wstring held = L"(untouched)";
};

struct Editor {
    // One frame: the given key downs (then typed text) with the modifiers held.
    EditKeysResult Frame(std::vector<int32_t> keys, std::wstring typed = L"", bool ctrl = false, bool shift = false,
                         bool alt = false) {
        input.keys.clear();
        for (const int32_t vk : keys) {
            input.keys.push_back({vk, true, false, false, false, ctrl, shift, alt});
        }
        input.text = typed;
        input.ctrl = ctrl;
        input.shift = shift;
        input.alt = alt;
        return ApplyKeyboard(state, text, style, input, measurer, clipboard);
    }
    void Select(int32_t anchor, int32_t caret) {
        state.anchor = anchor;
        state.caret = caret;
    }

    std::wstring text;
    EditState state;
    TextFieldStyle style;
    Input input;
    FixedPitchMeasurer measurer;
    MemoryClipboard clipboard;
};

struct KeyCase {
    const char* name;
    std::wstring text;
    int32_t anchor;
    int32_t caret;
    bool multiLine;
    int32_t vk;
    bool ctrl;
    bool shift;
    std::wstring wantText;
    int32_t wantAnchor;
    int32_t wantCaret;
    bool wantHandled;
    bool wantEdited;
};

TEST(TextEditKeys, KeyTable) {
    const std::wstring pair = L"a" + kEmoji + L"b";  // units: a, high, low, b
    const KeyCase cases[] = {
        {"backspace at the start", L"ab", 0, 0, false, VK_BACK, false, false, L"ab", 0, 0, true, true},
        {"backspace at the end", L"ab", 2, 2, false, VK_BACK, false, false, L"a", 1, 1, true, true},
        {"backspace a selection", L"abcd", 3, 1, false, VK_BACK, false, false, L"ad", 1, 1, true, true},
        {"backspace after an emoji", pair, 3, 3, false, VK_BACK, false, false, L"ab", 1, 1, true, true},
        {"delete at the end", L"ab", 2, 2, false, VK_DELETE, false, false, L"ab", 2, 2, true, true},
        {"delete at the start", L"ab", 0, 0, false, VK_DELETE, false, false, L"b", 0, 0, true, true},
        {"delete before an emoji", pair, 1, 1, false, VK_DELETE, false, false, L"ab", 1, 1, true, true},
        {"delete a selection", L"abcd", 1, 3, false, VK_DELETE, false, false, L"ad", 1, 1, true, true},
        {"ctrl+backspace over spaces and a word", L"hi wor_ld  ", 11, 11, false, VK_BACK, true, false, L"hi ", 3, 3,
         true, true},
        {"ctrl+backspace inside a word", L"foo bar", 6, 6, false, VK_BACK, true, false, L"foo r", 4, 4, true, true},
        {"ctrl+backspace over an emoji", L"ab " + kEmoji, 5, 5, false, VK_BACK, true, false, L"", 0, 0, true, true},
        {"left", L"abc", 2, 2, false, VK_LEFT, false, false, L"abc", 1, 1, true, false},
        {"left at the start", L"abc", 0, 0, false, VK_LEFT, false, false, L"abc", 0, 0, true, false},
        {"left over an emoji", pair, 3, 3, false, VK_LEFT, false, false, pair, 1, 1, true, false},
        {"right over an emoji", pair, 1, 1, false, VK_RIGHT, false, false, pair, 3, 3, true, false},
        {"right at the end", L"abc", 3, 3, false, VK_RIGHT, false, false, L"abc", 3, 3, true, false},
        {"left collapses a selection", L"abcd", 3, 1, false, VK_LEFT, false, false, L"abcd", 1, 1, true, false},
        {"right collapses a selection", L"abcd", 1, 3, false, VK_RIGHT, false, false, L"abcd", 3, 3, true, false},
        {"shift+left extends", L"abcd", 1, 3, false, VK_LEFT, false, true, L"abcd", 1, 2, true, false},
        {"shift+right over an emoji", pair, 1, 1, false, VK_RIGHT, false, true, pair, 1, 3, true, false},
        {"ctrl+left to the word start", L"foo bar", 7, 7, false, VK_LEFT, true, false, L"foo bar", 4, 4, true, false},
        {"ctrl+left over the space", L"foo bar", 4, 4, false, VK_LEFT, true, false, L"foo bar", 0, 0, true, false},
        {"ctrl+right to the next word", L"foo bar", 0, 0, false, VK_RIGHT, true, false, L"foo bar", 4, 4, true, false},
        {"ctrl+right to the end", L"foo bar", 4, 4, false, VK_RIGHT, true, false, L"foo bar", 7, 7, true, false},
        {"home single-line", L"ab\ncd", 4, 4, false, VK_HOME, false, false, L"ab\ncd", 0, 0, true, false},
        {"end single-line", L"ab\ncd", 1, 1, false, VK_END, false, false, L"ab\ncd", 5, 5, true, false},
        {"shift+end keeps the anchor", L"abc", 1, 1, false, VK_END, false, true, L"abc", 1, 3, true, false},
        {"home on a stored line", L"ab\ncd", 4, 4, true, VK_HOME, false, false, L"ab\ncd", 3, 3, true, false},
        {"end on a stored line", L"ab\ncd", 1, 1, true, VK_END, false, false, L"ab\ncd", 2, 2, true, false},
        {"ctrl+home multi-line", L"ab\ncd", 4, 4, true, VK_HOME, true, false, L"ab\ncd", 0, 0, true, false},
        {"ctrl+end multi-line", L"ab\ncd", 1, 1, true, VK_END, true, false, L"ab\ncd", 5, 5, true, false},
        {"up multi-line", L"ab\ncd", 4, 4, true, VK_UP, false, false, L"ab\ncd", 1, 1, true, false},
        {"down multi-line", L"ab\ncd", 1, 1, true, VK_DOWN, false, false, L"ab\ncd", 4, 4, true, false},
        {"up single-line", L"ab", 1, 1, false, VK_UP, false, false, L"ab", 1, 1, false, false},
        {"enter single-line", L"ab", 1, 1, false, VK_RETURN, false, false, L"ab", 1, 1, true, false},
        {"enter multi-line", L"ab", 1, 1, true, VK_RETURN, false, false, L"ab", 1, 1, false, false},
        {"ctrl+a", L"abc", 1, 1, false, 'A', true, false, L"abc", 0, 3, true, false},
        {"a without ctrl", L"abc", 1, 1, false, 'A', false, false, L"abc", 1, 1, false, false},
        {"v without ctrl", L"abc", 1, 1, false, 'V', false, false, L"abc", 1, 1, false, false},
        {"tab", L"abc", 1, 1, false, VK_TAB, false, false, L"abc", 1, 1, false, false},
    };
    for (const KeyCase& c : cases) {
        Editor editor;
        editor.text = c.text;
        editor.style.multiLine = c.multiLine;
        editor.Select(c.anchor, c.caret);
        const EditKeysResult result = editor.Frame({c.vk}, L"", c.ctrl, c.shift);
        EXPECT_EQ(editor.text, c.wantText) << c.name;
        EXPECT_EQ(editor.state.anchor, c.wantAnchor) << c.name;
        EXPECT_EQ(editor.state.caret, c.wantCaret) << c.name;
        EXPECT_EQ(editor.input.keys[0].handled, c.wantHandled) << c.name;
        EXPECT_EQ(result.caretChanged, c.wantHandled) << c.name;
        EXPECT_EQ(result.edited, c.wantEdited) << c.name;
    }
}

TEST(TextEditKeys, AltGrTypesWhereCtrlAloneIsAShortcut) {
    // AltGr arrives as Ctrl+Alt: the key goes down with both held, then the character it types
    // arrives (the Hungarian layout: AltGr+A types ä, +C &, +V @, +X #). Ctrl alone makes the same
    // keys shortcuts, and their control characters never reach the typed text. "hello" with "ell"
    // selected, "clip" on the clipboard.
    struct Case {
        const char* name;
        int32_t vk;
        bool alt;
        std::wstring typed;
        std::wstring wantText;
        int32_t wantAnchor;
        int32_t wantCaret;
        std::wstring wantClipboard;
    };
    const Case cases[] = {
        {"altgr+a", 'A', true, L"\u00E4", L"h\u00E4o", 2, 2, L"clip"},
        {"altgr+c", 'C', true, L"&", L"h&o", 2, 2, L"clip"},
        {"altgr+v", 'V', true, L"@", L"h@o", 2, 2, L"clip"},
        {"altgr+x", 'X', true, L"#", L"h#o", 2, 2, L"clip"},
        {"ctrl+a", 'A', false, L"", L"hello", 0, 5, L"clip"},
        {"ctrl+c", 'C', false, L"", L"hello", 1, 4, L"ell"},
        {"ctrl+v", 'V', false, L"", L"hclipo", 5, 5, L"clip"},
        {"ctrl+x", 'X', false, L"", L"ho", 1, 1, L"ell"},
    };
    for (const Case& c : cases) {
        Editor editor;
        editor.text = L"hello";
        editor.Select(1, 4);
        editor.clipboard.held = L"clip";
        const EditKeysResult result = editor.Frame({c.vk}, c.typed, true, false, c.alt);
        EXPECT_EQ(editor.text, c.wantText) << c.name;
        EXPECT_EQ(editor.state.anchor, c.wantAnchor) << c.name;
        EXPECT_EQ(editor.state.caret, c.wantCaret) << c.name;
        EXPECT_EQ(editor.clipboard.held, c.wantClipboard) << c.name;
        EXPECT_EQ(editor.input.keys[0].handled, !c.alt) << c.name << ": the key is left to others under AltGr";
        EXPECT_TRUE(result.caretChanged) << c.name;
    }
}

TEST(TextEditKeys, SkipsReleasesHandledKeysAndKeysOutsideTheTable) {
    Editor editor;
    editor.text = L"abc";
    editor.Select(3, 3);
    editor.input.keys = {
        {VK_BACK, false, false, false, false}, {VK_BACK, true, false, false, true}, {VK_F1, true, false, false, false}};
    const EditKeysResult result =
        ApplyKeyboard(editor.state, editor.text, editor.style, editor.input, editor.measurer, editor.clipboard);
    EXPECT_EQ(editor.text, L"abc");
    EXPECT_FALSE(result.edited);
    EXPECT_FALSE(editor.input.keys[0].handled);
    EXPECT_FALSE(editor.input.keys[2].handled);

    // An auto-repeated key-down repeats its action.
    editor.input.keys = {{VK_BACK, true, false, false, false}, {VK_BACK, true, true, false, false}};
    ApplyKeyboard(editor.state, editor.text, editor.style, editor.input, editor.measurer, editor.clipboard);
    EXPECT_EQ(editor.text, L"a");
}

TEST(TextEditKeys, CopyCutAndPaste) {
    Editor editor;
    editor.text = L"hello";
    editor.Select(1, 4);
    EditKeysResult result = editor.Frame({'C'}, L"", true);
    EXPECT_EQ(editor.clipboard.held, L"ell");
    EXPECT_EQ(editor.text, L"hello");
    EXPECT_FALSE(result.edited);

    result = editor.Frame({'X'}, L"", true);
    EXPECT_EQ(editor.clipboard.held, L"ell");
    EXPECT_EQ(editor.text, L"ho");
    EXPECT_EQ(editor.state.caret, 1);
    EXPECT_TRUE(result.edited);

    result = editor.Frame({'V'}, L"", true);
    EXPECT_EQ(editor.text, L"hello");
    EXPECT_EQ(editor.state.caret, 4);
    EXPECT_EQ(editor.state.anchor, 4);
    EXPECT_TRUE(result.edited);

    // Nothing selected: copy and cut leave the clipboard alone.
    editor.clipboard.held = L"kept";
    editor.Frame({'C', 'X'}, L"", true);
    EXPECT_EQ(editor.clipboard.held, L"kept");
    EXPECT_EQ(editor.text, L"hello");
    EXPECT_TRUE(editor.input.keys[0].handled && editor.input.keys[1].handled);
}

TEST(TextEditKeys, EmojiStaysWholeThroughCutAndPaste) {
    Editor editor;
    editor.text = L"a" + kEmoji + L"b";
    editor.Select(1, 1);
    editor.Frame({VK_RIGHT}, L"", false, true);  // select the emoji
    editor.Frame({'X'}, L"", true);
    EXPECT_EQ(editor.clipboard.held, kEmoji);
    EXPECT_EQ(editor.text, L"ab");
    editor.Frame({VK_END, 'V'}, L"", true);
    EXPECT_EQ(editor.text, L"ab" + kEmoji);
    editor.Frame({VK_BACK});
    EXPECT_EQ(editor.text, L"ab");
}

TEST(TextEditKeys, PasswordFieldNeitherCopiesNorCuts) {
    Editor editor;
    editor.style.password = true;
    editor.text = L"secret";
    editor.Select(0, 6);
    const EditKeysResult result = editor.Frame({'C', 'X'}, L"", true);
    EXPECT_EQ(editor.clipboard.held, L"(untouched)");
    EXPECT_EQ(editor.text, L"secret");
    EXPECT_FALSE(result.edited);
    EXPECT_TRUE(editor.input.keys[0].handled && editor.input.keys[1].handled);

    editor.clipboard.held = L"new";
    editor.Frame({'V'}, L"", true);
    EXPECT_EQ(editor.text, L"new");
    EXPECT_EQ(TextEditing::DisplayText(editor.text, true), L"\x2022\x2022\x2022");
}

TEST(TextEditKeys, PasteByMode) {
    struct Case {
        bool multiLine;
        std::wstring pasted;
        std::wstring want;
    };
    const Case cases[] = {
        {false, L"a\r\nb\nc\r", L"abc"},
        {true, L"a\r\nb\nc\r", L"a\nb\nc"},
    };
    for (const Case& c : cases) {
        Editor editor;
        editor.style.multiLine = c.multiLine;
        editor.clipboard.held = c.pasted;
        editor.Frame({'V'}, L"", true);
        EXPECT_EQ(editor.text, c.want) << c.multiLine;
        EXPECT_EQ(editor.state.caret, static_cast<int32_t>(c.want.size())) << c.multiLine;
    }
}

TEST(TextEditKeys, EmptyPasteStillDeletesTheSelection) {
    Editor editor;
    editor.text = L"abc";
    editor.Select(0, 2);
    editor.clipboard.held.clear();
    EXPECT_TRUE(editor.Frame({'V'}, L"", true).edited);
    EXPECT_EQ(editor.text, L"c");
}

TEST(TextEditKeys, MaximumLength) {
    struct Case {
        const char* name;
        std::wstring text;
        int32_t anchor;
        int32_t caret;
        bool paste;  // else typed
        std::wstring inserted;
        std::wstring want;
    };
    const Case cases[] = {
        {"typing two into one unit of room", L"abcd", 4, 4, false, L"xy", L"abcdx"},
        {"paste over a selection of a full text", L"abcde", 1, 3, true, L"xyz", L"axyde"},
        {"typed emoji without room for both halves", L"abcd", 4, 4, false, kEmoji, L"abcd"},
        {"pasted emoji cut before its second half", L"abc", 3, 3, true, L"x" + kEmoji, L"abcx"},
        {"typed emoji that fits", L"abc", 3, 3, false, kEmoji, L"abc" + kEmoji},
        {"text already over the limit", L"abcdefg", 7, 7, false, L"x", L"abcdefg"},
    };
    for (const Case& c : cases) {
        Editor editor;
        editor.style.maxLength = 5;
        editor.text = c.text;
        editor.Select(c.anchor, c.caret);
        editor.clipboard.held = c.inserted;
        const EditKeysResult result = c.paste ? editor.Frame({'V'}, L"", true) : editor.Frame({}, c.inserted);
        EXPECT_EQ(editor.text, c.want) << c.name;
        EXPECT_EQ(editor.state.caret, editor.state.anchor) << c.name;
        EXPECT_TRUE(result.edited) << c.name;
    }
}

TEST(TextEditKeys, TypedText) {
    struct Case {
        const char* name;
        bool multiLine;
        bool ctrl;
        bool alt;
        std::wstring typed;
        std::wstring want;
        bool wantEdited;
    };
    const Case cases[] = {
        {"plain", false, false, false, L"hola", L"hola", true},
        {"emoji", false, false, false, kEmoji, kEmoji, true},
        {"backspace and tab units", false, false, false, L"\b\ta", L"a", true},
        {"carriage return single-line", false, false, false, L"\r", L"", false},
        {"carriage return multi-line", true, false, false, L"a\rb", L"a\nb", true},
        {"ctrl held", false, true, false, L"a", L"", false},
        {"altgr (ctrl+alt)", false, true, true, L"@", L"@", true},
        {"alt alone", false, false, true, L"x", L"x", true},
    };
    for (const Case& c : cases) {
        Editor editor;
        editor.style.multiLine = c.multiLine;
        const EditKeysResult result = editor.Frame({}, c.typed, c.ctrl, false, c.alt);
        EXPECT_EQ(editor.text, c.want) << c.name;
        EXPECT_EQ(result.edited, c.wantEdited) << c.name;
        EXPECT_EQ(editor.state.caret, static_cast<int32_t>(c.want.size())) << c.name;
        EXPECT_TRUE(editor.input.text.empty()) << c.name;
    }
}

TEST(TextEditKeys, TypedEmojiGoesWithOneBackspace) {
    Editor editor;
    editor.Frame({}, L"a" + kEmoji);
    EXPECT_EQ(editor.state.caret, 3);
    editor.Frame({VK_BACK});
    EXPECT_EQ(editor.text, L"a");
    editor.Frame({VK_LEFT});
    editor.Frame({}, kEmoji);
    editor.Frame({VK_DELETE});
    EXPECT_EQ(editor.text, kEmoji);
}

TEST(TextEditKeys, EscapeLeavesTheRestOfTheFrameToOthers) {
    Editor editor;
    editor.text = L"ab";
    editor.Select(2, 2);
    const EditKeysResult result = editor.Frame({VK_ESCAPE, VK_BACK}, L"x");
    EXPECT_TRUE(result.escaped);
    EXPECT_FALSE(result.edited);
    EXPECT_EQ(editor.text, L"ab");
    EXPECT_TRUE(editor.input.keys[0].handled);
    EXPECT_FALSE(editor.input.keys[1].handled);
    EXPECT_EQ(editor.input.text, L"x");
}

TEST(TextEditKeys, StopsNeverFallInsideAPair) {
    const std::wstring text = L"a" + kEmoji;
    EXPECT_EQ(TextEditing::ClampStop(text, 2), 1u);
    EXPECT_EQ(TextEditing::ClampStop(text, 9), 3u);
    EXPECT_EQ(TextEditing::ClampStop(text, -4), 0u);
    EXPECT_EQ(TextEditing::PreviousStop(text, 3), 1u);
    EXPECT_EQ(TextEditing::NextStop(text, 1), 3u);
    // A lone half is one stop by itself.
    const std::wstring lone =
        L"a\xD83D"
        L"b";
    EXPECT_EQ(TextEditing::NextStop(lone, 1), 2u);
    EXPECT_EQ(TextEditing::PreviousStop(lone, 2), 1u);
}

}  // namespace
}  // namespace Lorvex::UI

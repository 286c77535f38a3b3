#pragma once
// The text editor's state machine, apart from drawing: what the frame's keys, typed text and
// clipboard do to a caller-owned string, its caret and its selection. Ui::TextEdit (ui/Ui.h) runs
// it once per frame for the focused editor; the measuring and the clipboard sit behind small
// interfaces so the machine runs without a graphics device.
// UI thread only. Nothing fails: an unreadable clipboard pastes nothing, a failed copy is ignored.
//
// Positions count UTF-16 units, but a surrogate pair is never split: the caret steps, deletes and
// cuts over the whole pair, and a length limit drops a pair that does not fit whole.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ui/Input.h"
#include "ui/TextFieldStyle.h"

namespace Lorvex::UI {

// Kept per editor id in the Ui for the Ui's life.
struct EditState {
    int32_t caret = 0;       // 0..length
    int32_t anchor = 0;      // fixed end of the selection [min(caret, anchor), max(caret, anchor))
    float scroll = 0;        // DIPs: horizontal in single-line mode, vertical in multi-line mode
    bool selecting = false;  // a mouse drag is selecting
    // What the last multi-line scroll check saw: the caret is followed only when one changes.
    int32_t lastCaret = -1;
    uint64_t lastLength = 0;
    float lastWrapWidth = 0;
};

// Carets and hit tests of the display text, laid out in the editor's style at its wrap width.
class TextMeasurer {
public:
    struct Caret {
        float x = 0;
        float y = 0;
        float height = 0;
    };
    virtual ~TextMeasurer() = default;
    // The caret before the unit at index; at the end, after the last unit (on the empty last line
    // when that unit is a line feed).
    virtual Caret CaretAt(std::wstring_view display, size_t index) = 0;
    // The caret index nearest to the point, 0..length.
    virtual size_t IndexAt(std::wstring_view display, float x, float y) = 0;
};

class EditClipboard {
public:
    virtual ~EditClipboard() = default;
    virtual void Copy(const std::wstring& text) = 0;
    // Empty when the clipboard cannot be opened or holds no text.
    virtual std::wstring Paste() = 0;
};

// The system clipboard.
class SystemClipboard : public EditClipboard {
public:
    void Copy(const std::wstring& text) override;
    std::wstring Paste() override;
};

// What one frame's keyboard did.
struct EditKeysResult {
    bool edited = false;        // the text was (or may have been) edited: the call's result
    bool caretChanged = false;  // a key was handled or text typed: the caret blink restarts
    bool escaped = false;       // Escape: the editor gives up the focus
};

namespace TextEditing {

bool IsWordChar(wchar_t c);
// The caret stop before and after position, stepping over a surrogate pair whole.
size_t PreviousStop(std::wstring_view text, size_t position);
size_t NextStop(std::wstring_view text, size_t position);
// position clamped to 0..length and moved off the middle of a surrogate pair.
size_t ClampStop(std::wstring_view text, int64_t position);
// The width a multi-line editor as wide as width wraps its text at, with the style's paddings
// (8 DIPs narrower than its inner width, at least 10). Callers that size an editor to its text
// measure at this width.
float WrapWidth(float width, const Material::TextFieldStyle& style);
// What the field shows: bullets in password mode, else the text.
std::wstring DisplayText(const std::wstring& text, bool password);

// Erases the selection and collapses the caret and the anchor to its start.
void DeleteSelection(EditState& state, std::wstring& text);
// Replaces the selection by inserted: carriage returns dropped (line feeds too in single-line
// mode), cut to the room the length limit leaves without splitting a pair.
void Insert(EditState& state, std::wstring& text, std::wstring_view inserted, const Material::TextFieldStyle& style);

// The frame's key events in order (each one it acts on marked handled), then, unless Escape took
// the focus away, the typed text, which it then empties so no other widget sees it.
EditKeysResult ApplyKeyboard(EditState& state, std::wstring& text, const Material::TextFieldStyle& style, Input& input,
                             TextMeasurer& measurer, EditClipboard& clipboard);

}  // namespace TextEditing

}  // namespace Lorvex::UI

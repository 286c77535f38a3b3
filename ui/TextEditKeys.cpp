// The editor's keyboard: the key table, typed text and insertion (see ui/TextEditor.h).

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "foundation/Text.h"
#include "ui/TextEditor.h"

namespace Lorvex::UI {

void SystemClipboard::Copy(const std::wstring& text) {
    Text::CopyToClipboard(text);
}

std::wstring SystemClipboard::Paste() {
    return Text::ReadClipboard();
}

namespace TextEditing {
namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
// Whether position falls between the two halves of a pair.
bool InsidePair(std::wstring_view text, size_t position) {
    return position > 0 && position < text.size() && IsHighSurrogate(text[position - 1]) &&
           IsLowSurrogate(text[position]);
}

size_t SelectionStart(const EditState& state) {
    return static_cast<size_t>(std::min(state.caret, state.anchor));
}
size_t SelectionEnd(const EditState& state) {
    return static_cast<size_t>(std::max(state.caret, state.anchor));
}

// Caret to position; the anchor follows unless Shift extends the selection.
void CollapseTo(EditState& state, size_t position, bool shift) {
    state.caret = static_cast<int32_t>(position);
    if (!shift) {
        state.anchor = state.caret;
    }
}

void EraseRange(EditState& state, std::wstring& text, size_t from, size_t to) {
    text.erase(from, to - from);
    state.caret = static_cast<int32_t>(from);
    state.anchor = state.caret;
}

size_t PreviousWordStart(std::wstring_view text, size_t p) {
    while (p > 0 && !IsWordChar(text[p - 1])) {
        --p;
    }
    while (p > 0 && IsWordChar(text[p - 1])) {
        --p;
    }
    return p;
}

size_t NextWordStart(std::wstring_view text, size_t p) {
    while (p < text.size() && IsWordChar(text[p])) {
        ++p;
    }
    while (p < text.size() && !IsWordChar(text[p])) {
        ++p;
    }
    return p;
}

constexpr int32_t kKeyA = 'A';
constexpr int32_t kKeyC = 'C';
constexpr int32_t kKeyV = 'V';
constexpr int32_t kKeyX = 'X';

struct KeyContext {
    EditState& state;
    std::wstring& text;
    const Material::TextFieldStyle& style;
    const Input& input;
    TextMeasurer& measurer;
    EditClipboard& clipboard;
    EditKeysResult& result;
};

// One key-down, with the modifiers held as it went down; false when the editor leaves the key to
// others.
bool ApplyKey(KeyContext& k, const KeyEvent& key) {
    EditState& state = k.state;
    std::wstring& text = k.text;
    const int32_t vk = key.vk;
    const bool ctrl = key.CtrlShortcut();
    const bool shift = key.shift;
    const bool multi = k.style.multiLine;
    const size_t caret = static_cast<size_t>(state.caret);
    const bool hasSelection = state.caret != state.anchor;
    switch (vk) {
    case VK_BACK:
        k.result.edited = true;
        if (hasSelection) {
            DeleteSelection(state, text);
        } else if (caret > 0) {
            size_t from = PreviousStop(text, caret);
            if (ctrl) {
                from = caret - 1;
                while (from > 0 && !IsWordChar(text[from])) {
                    --from;
                }
                while (from > 0 && IsWordChar(text[from - 1])) {
                    --from;
                }
            }
            EraseRange(state, text, from, caret);
        }
        return true;
    case VK_DELETE:
        k.result.edited = true;
        if (hasSelection) {
            DeleteSelection(state, text);
        } else if (caret < text.size()) {
            EraseRange(state, text, caret, NextStop(text, caret));
        }
        return true;
    case VK_RETURN:
        // A multi-line editor gets its line break from the typed carriage return.
        return !multi;
    case VK_ESCAPE:
        k.result.escaped = true;
        return true;
    case VK_END: {
        size_t end = text.size();
        if (multi && !ctrl) {
            end = std::min(text.find(L'\n', caret), text.size());
        }
        CollapseTo(state, end, shift);
        return true;
    }
    case VK_HOME: {
        size_t start = 0;
        if (multi && !ctrl && caret > 0) {
            const size_t feed = text.rfind(L'\n', caret - 1);
            start = feed == std::wstring::npos ? 0 : feed + 1;
        }
        CollapseTo(state, start, shift);
        return true;
    }
    case VK_LEFT:
        if (hasSelection && !shift) {
            CollapseTo(state, SelectionStart(state), false);
        } else {
            CollapseTo(state, ctrl ? PreviousWordStart(text, caret) : PreviousStop(text, caret), shift);
        }
        return true;
    case VK_RIGHT:
        if (hasSelection && !shift) {
            CollapseTo(state, SelectionEnd(state), false);
        } else {
            CollapseTo(state, ctrl ? NextWordStart(text, caret) : NextStop(text, caret), shift);
        }
        return true;
    case VK_UP:
    case VK_DOWN: {
        if (!multi) {
            return false;
        }
        const std::wstring display = DisplayText(text, k.style.password);
        const TextMeasurer::Caret at = k.measurer.CaretAt(display, caret);
        const float targetY = vk == VK_UP ? at.y - 0.5f * at.height : at.y + 1.5f * at.height;
        const size_t index = k.measurer.IndexAt(display, at.x, targetY);
        CollapseTo(state, ClampStop(text, static_cast<int64_t>(index)), shift);
        return true;
    }
    case kKeyA:
        if (!ctrl) {
            return false;
        }
        state.anchor = 0;
        state.caret = static_cast<int32_t>(text.size());
        return true;
    case kKeyC:
    case kKeyX:
        if (!ctrl) {
            return false;
        }
        if (hasSelection && !k.style.password) {
            const size_t from = SelectionStart(state);
            k.clipboard.Copy(text.substr(from, SelectionEnd(state) - from));
            if (vk == kKeyX) {
                DeleteSelection(state, text);
                k.result.edited = true;
            }
        }
        return true;
    case kKeyV:
        if (!ctrl) {
            return false;
        }
        Insert(state, text, k.clipboard.Paste(), k.style);
        k.result.edited = true;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool IsWordChar(wchar_t c) {
    return c == L'_' || std::iswalnum(static_cast<wint_t>(c)) != 0;
}

size_t PreviousStop(std::wstring_view text, size_t position) {
    if (position == 0) {
        return 0;
    }
    const size_t previous = std::min(position, text.size()) - 1;
    return InsidePair(text, previous) ? previous - 1 : previous;
}

size_t NextStop(std::wstring_view text, size_t position) {
    if (position >= text.size()) {
        return text.size();
    }
    return InsidePair(text, position + 1) ? position + 2 : position + 1;
}

size_t ClampStop(std::wstring_view text, int64_t position) {
    const auto clamped = static_cast<size_t>(std::clamp<int64_t>(position, 0, static_cast<int64_t>(text.size())));
    return InsidePair(text, clamped) ? clamped - 1 : clamped;
}

std::wstring DisplayText(const std::wstring& text, bool password) {
    return password ? std::wstring(text.size(), L'\x2022') : text;
}

void DeleteSelection(EditState& state, std::wstring& text) {
    EraseRange(state, text, SelectionStart(state), SelectionEnd(state));
}

void Insert(EditState& state, std::wstring& text, std::wstring_view inserted, const Material::TextFieldStyle& style) {
    std::wstring clean;
    clean.reserve(inserted.size());
    for (const wchar_t c : inserted) {
        if (c != L'\r' && (style.multiLine || c != L'\n')) {
            clean.push_back(c);
        }
    }
    DeleteSelection(state, text);
    if (style.maxLength != 0 && text.size() + clean.size() > style.maxLength) {
        size_t room = style.maxLength > text.size() ? static_cast<size_t>(style.maxLength - text.size()) : 0;
        if (InsidePair(clean, room)) {
            --room;
        }
        clean.resize(room);
    }
    text.insert(static_cast<size_t>(state.caret), clean);
    state.caret += static_cast<int32_t>(clean.size());
    state.anchor = state.caret;
}

EditKeysResult ApplyKeyboard(EditState& state, std::wstring& text, const Material::TextFieldStyle& style, Input& input,
                             TextMeasurer& measurer, EditClipboard& clipboard) {
    EditKeysResult result;
    KeyContext context{state, text, style, input, measurer, clipboard, result};
    for (KeyEvent& key : input.keys) {
        if (!key.down || key.handled || key.vk < 8 || key.vk > 88) {
            continue;
        }
        if (ApplyKey(context, key)) {
            key.handled = true;
            result.caretChanged = true;
        }
        if (result.escaped) {
            // Later keys and this frame's typed text belong to whoever takes the focus next.
            return result;
        }
    }

    const std::wstring_view typed = input.text;
    for (size_t i = 0; i < typed.size(); ++i) {
        const wchar_t unit = typed[i];
        // AltGr arrives as Ctrl+Alt and still types.
        if (unit == 8 || unit == 9 || input.TypedUnderCtrl(i)) {
            continue;
        }
        if (unit == L'\r') {
            if (!style.multiLine) {
                continue;
            }
            Insert(state, text, L"\n", style);
        } else if (IsHighSurrogate(unit) && i + 1 < typed.size() && IsLowSurrogate(typed[i + 1])) {
            // The two halves of a typed emoji go in together or not at all.
            Insert(state, text, typed.substr(i, 2), style);
            ++i;
        } else {
            Insert(state, text, typed.substr(i, 1), style);
        }
        result.edited = true;
        result.caretChanged = true;
    }
    input.ClearTyped();
    return result;
}

}  // namespace TextEditing

}  // namespace Lorvex::UI

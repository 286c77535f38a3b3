#pragma once
// The look and the mode of one text editor (Ui::TextEdit): fonts, colours, paddings, single- or
// multi-line, password and length limit. A plain value the caller builds (the material text field
// fills one for its fields); any thread may make one, nothing fails.

#include <cstdint>
#include <string>

#include "graphics/TextStyle.h"
#include "graphics/Types.h"

namespace Lorvex::UI::Material {

struct TextFieldStyle {
    // The editor lays the text out with its own copy: leading, top-aligned, wrapped only in
    // multi-line mode, never trimmed.
    TextStyle textStyle{11, 2, 400, false, 0, 1, false, false, false, 0};
    Color textColor{204 / 255.0f, 238 / 255.0f, 1, 1};  // text and the scroll-bar thumb
    Color backgroundColor{8 / 255.0f, 12 / 255.0f, 24 / 255.0f, 1};
    Color borderColor{42 / 255.0f, 16 / 255.0f, 80 / 255.0f, 1};
    Color focusBorderColor{0, 0, 0, 0};  // alpha 0 or less: the caret colour outlines the focused field
    Color caretColor{153 / 255.0f, 68 / 255.0f, 204 / 255.0f, 1};
    Color selectionColor{51 / 255.0f, 153 / 255.0f, 1, 102 / 255.0f};
    Color placeholderColor{58 / 255.0f, 74 / 255.0f, 90 / 255.0f, 1};
    // DIPs between the 1-DIP border and the text.
    float paddingLeft = 8;
    float paddingTop = 6;
    float paddingRight = 8;
    float paddingBottom = 6;
    float cornerRadius = 0;
    bool multiLine = false;    // line feeds kept, vertical scrolling
    int32_t alignment = 0;     // 1 centres a single line; anything else keeps it at the left
    bool password = false;     // shown as bullets, never copied or cut
    uint64_t maxLength = 0;    // UTF-16 units; 0 is unlimited
    std::wstring placeholder;  // shown while the field is empty and not focused
};

}  // namespace Lorvex::UI::Material

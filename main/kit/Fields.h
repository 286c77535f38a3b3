#pragma once
// The kit's text fields: the options record every form of the application fills, the field that
// hands it to the material text field, and the height rule. UI thread only (the field and the
// height measure on the window's surface); nothing fails (a text that cannot be measured counts as
// 0 high, and without a device the field still edits but draws nothing).

#include <cstdint>
#include <string>

#include "graphics/Types.h"
#include "ui/Material.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// Corner radius of a field's background behind an outlined field; a filled field's is square.
inline constexpr float kFieldBackgroundRadius = 16;

struct FieldOptions {
    FieldOptions(std::wstring label, bool multiLine);

    float fontSize = 14;
    int32_t alignment = 0;  // 1 centres a single line
    std::wstring tooltip;
    bool outlined = true;
    // A left padding below 0 makes all four automatic.
    float paddingLeft = -1;
    float paddingTop = -1;
    float paddingRight = -1;
    float paddingBottom = -1;
    Color background;  // filled behind the field when its alpha is above 0
    std::wstring label;
    bool multiLine = false;
    int32_t font = 0;  // Graphics::FontSlot
    Color textColor;   // replaces the theme's text colour when its alpha is above 0
    bool noDecoration = false;
    bool password = false;  // honoured only on a single line
    // The error state of a required field a refused save found blank: its text in the danger
    // colour and, while the field is not focused (a blank field has no text to colour), a danger
    // outline over its own.
    bool error = false;
};

// The material options the field is drawn with: every option copied, the background rounded as
// the kit draws it.
UI::Material::TextFieldOptions ToTextFieldOptions(const FieldOptions& options);

// The material text field with the kit's options; true when the text was edited this frame.
bool Field(UI::Ui& ui, uint64_t id, const Rect& rect, std::wstring& text, const FieldOptions& options,
           bool enabled = true);

// The field's height for text lines of the given height (rounded up first).
float FieldHeightFor(float lineHeight, bool multiLine, float lineCount);
// The field's height at the kit's 14 DIP text, for one line or lineCount lines when multi-line.
float FieldHeight(UI::Ui& ui, bool multiLine, float lineCount);

}  // namespace Lorvex::Main::Kit

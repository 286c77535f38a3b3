// The kit's text field options, the field built on them and the height rule.

#include "main/kit/Fields.h"

#include <cmath>
#include <utility>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr float kErrorOutlineRadius = 4;  // the outlined field's own corner

}  // namespace

FieldOptions::FieldOptions(std::wstring labelText, bool multi) : label(std::move(labelText)), multiLine(multi) {
    // The forms' inner margins; a caller sets paddingLeft below 0 again for the automatic ones.
    paddingLeft = 14;
    paddingTop = 14;
    paddingRight = 12;
    paddingBottom = 12;
}

UI::Material::TextFieldOptions ToTextFieldOptions(const FieldOptions& options) {
    UI::Material::TextFieldOptions out;
    out.fontSize = options.fontSize;
    out.alignment = options.alignment;
    out.tooltip = options.tooltip;
    out.outlined = options.outlined;
    out.paddingLeft = options.paddingLeft;
    out.paddingTop = options.paddingTop;
    out.paddingRight = options.paddingRight;
    out.paddingBottom = options.paddingBottom;
    out.background = options.background;
    out.backgroundRadius = options.outlined ? kFieldBackgroundRadius : 0;
    out.label = options.label;
    out.multiLine = options.multiLine;
    out.font = options.font;
    out.textColor = options.textColor;
    out.noDecoration = options.noDecoration;
    out.password = options.password;
    return out;
}

bool Field(UI::Ui& ui, uint64_t id, const Rect& rect, std::wstring& text, const FieldOptions& options, bool enabled) {
    UI::Material::TextFieldOptions material = ToTextFieldOptions(options);
    const Color danger = KitPalette().danger;
    if (options.error) {
        material.textColor = danger;
    }
    const bool edited = UI::Material::TextField(ui, id, rect, text, material, enabled);
    // Focused, the field's own outline (with the gap for the floated label) shows again.
    if (options.error && ui.focus != id) {
        ui.graphics->StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, kErrorOutlineRadius,
                                     danger, 1);
    }
    return edited;
}

float FieldHeightFor(float lineHeight, bool multiLine, float lineCount) {
    float h = std::ceil(lineHeight);
    if (multiLine) {
        h *= lineCount;
    }
    return h + 28;
}

float FieldHeight(UI::Ui& ui, bool multiLine, float lineCount) {
    // "Ag" spans the font's ascent and descent, so it measures a full line.
    const float line = ui.graphics->MeasureText(L"Ag", KitStyle(14, 400), 100000).height;
    return FieldHeightFor(line, multiLine, lineCount);
}

}  // namespace Lorvex::Main::Kit

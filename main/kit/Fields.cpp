// The text fields' height rule.

#include "main/kit/Fields.h"

#include <cmath>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

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

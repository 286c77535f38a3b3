#pragma once
// The height rule of the kit's text fields: one line of text, or a given number of lines, plus the
// field's paddings. UI thread only (it measures on the window's surface); nothing fails (a text
// that cannot be measured counts as 0 high).
//
// Not here yet: the options record of the kit's text field and the field that wraps the material
// text field. Both wait for the material text field in ui/.

#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// The field's height for text lines of the given height (rounded up first).
float FieldHeightFor(float lineHeight, bool multiLine, float lineCount);
// The field's height at the kit's 14 DIP text, for one line or lineCount lines when multi-line.
float FieldHeight(UI::Ui& ui, bool multiLine, float lineCount);

}  // namespace Lorvex::Main::Kit

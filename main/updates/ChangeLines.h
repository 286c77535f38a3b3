#pragma once
// The note lines of the update dialog's version cards, measured and drawn: headings as coloured
// chips, bullets with a dot, plain lines, and gaps. The lines and the card list themselves come
// from the change log service; their names are brought in here because the dialog reads them as
// its own. UI thread only (the palette and the drawing surface); nothing fails.

#include <vector>

#include "graphics/Graphics.h"
#include "graphics/Types.h"
#include "services/updates/ChangeLog.h"

namespace Lorvex::Main {

using Services::Updates::AgeText;
using Services::Updates::BuildChangeLog;
using Services::Updates::ChangeLine;
using Services::Updates::ChangeLogEntry;
using Services::Updates::ParseChangeLogLines;
using Services::Updates::ParseReleaseNotes;

// The theme's colour for a heading: fixes green, changes violet, removals red, anything else the
// accent.
Color HeadingColor(const std::wstring& heading);

// The height of one line in a card of this width, in DIP.
float ChangeLineHeight(Graphics& graphics, const ChangeLine& line, float width);

// Draws the lines top-down from (x, y), each taking its ChangeLineHeight.
void DrawChangeLines(Graphics& graphics, const std::vector<ChangeLine>& lines, float x, float y, float width);

}  // namespace Lorvex::Main

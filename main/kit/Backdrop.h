#pragma once
// The animated background behind screens: three soft discs in the palette's backdrop colours that
// drift slowly with the Ui's ambient clock, clipped to a rounded rect. Asks for the animation rate
// while drawn (unless the Ui holds its ambient loops). UI thread only; nothing fails.

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// strength multiplies the discs' opacity (screens pass 1 to 1.4).
void Backdrop(UI::Ui& ui, const Rect& rect, float cornerRadius, float strength);

}  // namespace Lorvex::Main::Kit

#pragma once
// The program's mark: a rounded square filled from left to right with the accent colour turning
// into the secondary one, and the chat pictogram in white at its middle. The title bar and the
// splash draw it at their sizes (each with a glow of its own around it); Tools/AppIcon draws the
// program's icon from the same proportions. UI thread only, like all drawing; nothing fails.

#include "graphics/Graphics.h"
#include "ui/Icons.h"

namespace Lorvex::Main::Mark {

// The corner radius and the pictogram's side, as shares of the square's side.
inline constexpr float kCornerShare = 0.29f;
inline constexpr float kGlyphShare = 0.55f;
inline constexpr UI::Material::Icon kGlyph = UI::Material::Icon::ChatTyping;
inline constexpr Color kGlyphColor = {1, 1, 1, 1};

// The mark filling the square tile, in the current palette.
void Draw(Graphics& graphics, const Rect& tile);

}  // namespace Lorvex::Main::Mark

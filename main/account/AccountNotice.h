#pragma once
// The tinted notice the account and profile dialogs show for an error or a piece of information:
// an icon and a wrapped 13 px text on a rounded band of the notice's colour. UI thread only;
// nothing to fail: an empty text takes no room and draws nothing.

#include <string>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main::AccountNotice {

// Room kept under the band before the next row.
inline constexpr float kGapBelow = 14;

// The height the notice takes at this width with the gap under it; 0 for an empty text.
float Height(UI::Ui& ui, const std::wstring& text, float width);

// Draws the notice with its top-left at (x, y) and the given width; nothing for an empty text.
void Draw(UI::Ui& ui, float x, float y, float width, const std::wstring& text, UI::Material::Icon icon,
          const Color& tone);

}  // namespace Lorvex::Main::AccountNotice

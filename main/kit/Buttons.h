#pragma once
// The kit's pill button (icon and label, filled or outlined) and its round icon button. Both are
// drawn in the caller's rect in the current frame and report a click; hover, press and ripple
// live in the Ui under the widget's id. UI thread only; nothing fails (a label that cannot be laid
// out is skipped, the rest is drawn).

#include <cstdint>
#include <string>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// The font size Button draws its label with; callers pass it to ButtonWidth.
inline constexpr float kButtonFontSize = 14;

// The pill's width for a label of the given measured width: room for the icon, the gap before a
// label and the side paddings, rounded up to whole DIPs.
float ButtonWidthFor(float labelWidth, bool withLabel);
// The pill's width for label measured at fontSize: 54 for an empty label.
float ButtonWidth(UI::Ui& ui, const std::wstring& label, float fontSize);

// A pill button; true when clicked. A disabled button neither hovers nor clicks and is drawn
// faded. iconRotation turns the icon about its centre, in degrees.
bool Button(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const std::wstring& label,
            const Color& color, bool filled, bool enabled, float iconRotation = 0);

// A round icon button; true when clicked. An empty tooltip shows none.
bool IconButton(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const Color& color,
                const std::wstring& tooltip, bool enabled, float iconSize);

}  // namespace Lorvex::Main::Kit

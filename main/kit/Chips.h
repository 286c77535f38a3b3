#pragma once
// The kit's chips: selectable choice chips, a wrapping row of them for a list of options, and
// display-only label chips. Selection animations live in the Ui under the chip's id; the row's
// placement is a pure function of the chips' widths. UI thread only; nothing fails (a label that
// cannot be laid out is skipped).

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

inline constexpr float kChoiceChipHeight = 32;
inline constexpr float kChoiceChipRowStep = 40;
inline constexpr float kChoiceChipGap = 8;

// A selectable pill; true when clicked. The selection fades in and a ring spreads when it changes.
bool ChoiceChip(UI::Ui& ui, uint64_t id, const Rect& rect, const std::wstring& label, bool selected, const Color& color,
                bool enabled);

// Where chips of the given widths go from (x, y) in rows no wider than width; a row never starts
// with a wrap, so a chip wider than the row gets a row of its own.
std::vector<Rect> ChoiceChipsLayout(float x, float y, float width, const std::vector<float>& chipWidths);

// One choice chip per option, wrapped into rows; a click makes that option the selection (even
// the one already selected). Returns the height the rows used.
float ChoiceChips(UI::Ui& ui, uint64_t id, float x, float y, float width, const std::vector<std::wstring>& options,
                  std::wstring& selection, const Color& color);

// A display chip's width for a label of the given measured width, rounded up.
float ChipWidthFor(float labelWidth, bool withIcon);
// A display chip's width for label, measured as Chip draws it.
float ChipWidth(UI::Ui& ui, const std::wstring& label, bool withIcon);
// A display-only label pill tinted by color, with an optional small icon before the label.
void Chip(UI::Ui& ui, const Rect& rect, const std::wstring& label, const Color& color, UI::Material::Icon icon,
          bool withIcon);

}  // namespace Lorvex::Main::Kit

#pragma once
// The row that shows one known person in a list: avatar, name and age, an importance chip, a
// line of detail, and buttons to edit and remove. The known-characters dialog and the character
// form's section of known people draw the same row. UI thread only; nothing fails (texts that
// cannot be laid out are skipped).

#include <cstdint>
#include <string>

#include "domain/Records.h"
#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

enum class KnownRowAction : int32_t { None = 0, Edit = 1, Remove = 2 };

// The row's detail line: the relationship and the description (or, without one, the first
// trait), joined by " · ", on one line; "Sin descripción" when there is none of them.
std::wstring KnownCharacterDetail(const KnownCharacter& person);

// Draws the row in rect; Edit when the row or its edit button was clicked, Remove when its remove
// button was. The buttons' ids derive from id.
KnownRowAction KnownCharacterRow(UI::Ui& ui, uint64_t id, const Rect& rect, const KnownCharacter& person);

}  // namespace Lorvex::Main::Kit

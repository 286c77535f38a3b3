#pragma once
// Form captions: the heading of a form section (an icon tile and a title) and the small label
// above a field, with a star for required fields. UI thread only; nothing fails (a text that
// cannot be laid out is skipped).

#include <string>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

void SectionHeader(UI::Ui& ui, const Rect& rect, const std::wstring& title, UI::Material::Icon icon);

// The caption vertically centred in rect; required adds a " *" in the primary colour after it.
void FieldLabel(UI::Ui& ui, const Rect& rect, const std::wstring& text, bool required);

}  // namespace Lorvex::Main::Kit

#pragma once
// The centred card that fills an empty list or screen: a bobbing icon on a soft halo, a title, a
// short text and an optional action button. A pure function of the Ui's ambient clock that asks
// for the animation rate while drawn (unless the Ui holds its ambient loops). UI thread only;
// nothing fails (texts that cannot be laid out are skipped).

#include <cstdint>
#include <string>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// The card's height: taller by the button row when there is an action.
float EmptyStateHeight(bool withAction);
// The top of the card's content, centred vertically in rect.
float EmptyStateTop(const Rect& rect, bool withAction);

// Draws the card centred in rect; true when the action button was clicked. An empty action
// label means no button.
bool EmptyState(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const std::wstring& title,
                const std::wstring& text, const std::wstring& actionLabel, UI::Material::Icon actionIcon);

}  // namespace Lorvex::Main::Kit

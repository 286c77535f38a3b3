#pragma once
// Round avatars: the person's photo from the picture cache, or a disc in a colour chosen from the
// name with the name's initials, with an optional gradient ring. The colour and the initials are
// pure functions of the name, so a person keeps them on every screen and every run.
// Avatar runs on the UI thread; the name functions on any thread. A photo that cannot be loaded
// is drawn as the initials disc.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

inline constexpr size_t kAvatarColorCount = 10;

// The avatar colours, indexed by AvatarColorIndex.
const std::array<Color, kAvatarColorCount>& AvatarColors();
// FNV-1a 32 over the name's lower-cased UTF-16 units, modulo the colour count: letter case does
// not change the colour.
size_t AvatarColorIndex(const std::wstring& name);
// The upper-cased first letters or digits of the name's first two words that start with one;
// "?" when there is none.
std::wstring AvatarInitials(const std::wstring& name);

// The avatar centred in rect as a circle; a ring of ringWidth (0: none) from ringColor (primary
// when its alpha is 0) to secondary around it.
void Avatar(UI::Ui& ui, const Rect& rect, const std::optional<std::wstring>& photoPath, const std::wstring& name,
            float ringWidth, const Color& ringColor);

}  // namespace Lorvex::Main::Kit

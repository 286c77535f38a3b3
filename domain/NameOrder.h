#pragma once
// The order in which lists of characters and personas are shown: by name, letter case ignored
// as the CRT's towlower folds it, a name that is a prefix of another first. Pure; any thread.

#include <string_view>

#include "foundation/Text.h"

namespace Lorvex {

inline bool NameLess(std::wstring_view a, std::wstring_view b) {
    return Text::LessNoCase(a, b);
}

}  // namespace Lorvex

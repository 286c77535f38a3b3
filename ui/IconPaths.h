#pragma once
// The path text of every icon, by its value in the Icon enumeration. The table is written by
// Tools/icons/generate-icons.mjs from Material Design Icons; PathData is the way to read it.

#include <array>
#include <string_view>

#include "ui/Icons.h"

namespace Lorvex::UI::Material {

extern const std::array<std::string_view, kIconCount> kIconPaths;

}  // namespace Lorvex::UI::Material

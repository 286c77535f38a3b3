#pragma once
// What a screen that is not built yet shows: its title in the middle of the content area.
// UI thread only; nothing fails.

#include <string>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

void DrawStandIn(UI::Ui& ui, const Rect& content, const std::wstring& title);

}  // namespace Lorvex::Main

#pragma once
// The input every overlay takes the same way: a click that started and ended outside its panel
// (so the release of the click that opened it never counts), and the first unhandled press of a
// key this frame. Both report nothing while the Ui's input is blocked.
// UI thread only; nothing fails (without an input record nothing is reported).

#include <cstdint>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

// The virtual-key codes overlays act on.
inline constexpr int32_t kEscapeKey = 27;
inline constexpr int32_t kEnterKey = 13;

// Interacts with id over the whole window (call it before the panel claims its own hover) and
// tells whether a left click, or with rightToo a right click, ended with the pointer outside
// panel; both rects are in the Ui's current coordinates.
bool ClickedOutside(UI::Ui& ui, uint64_t id, const Rect& window, const Rect& panel, bool rightToo);

// Marks the first key-down of vk not yet handled this frame as handled; false when there is none
// or the input is blocked. With withCtrl, only a key that went down while Ctrl was held counts
// (without Alt: AltGr is no Ctrl).
bool TakeKey(UI::Ui& ui, int32_t vk, bool withCtrl = false);

}  // namespace Lorvex::Main

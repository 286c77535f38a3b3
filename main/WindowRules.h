#pragma once
// The main window's small decisions as pure functions, so they can be checked without a window:
// the toast a finished reply gives, the conversion of the stored window size between DIPs and
// pixels, and where a tooltip box goes. Any thread; nothing fails.

#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Types.h"
#include "main/kit/Toasts.h"

namespace Lorvex::Main {

struct ToastNote {
    std::wstring text;
    Kit::ToastKind kind = Kit::ToastKind::Info;
};

// A failed reply always gives an error toast with its reason; a reply that ended well is
// announced only when the chat screen is not the one shown.
std::optional<ToastNote> ReplyFinishedToast(const std::wstring& errorText, int32_t currentScreen);

// The window's pixel size for a stored size in DIPs at the window's DPI (truncated).
int32_t WindowPixels(int32_t dips, float dpi);
// The stored size in DIPs for a window size in pixels: the smallest size that opens at least that
// large, so a window opened at a stored size and closed unchanged stores the same size again at
// any scale of 100 % or more.
int32_t WindowDips(int32_t pixels, float dpi);

// The box of a tooltip whose text measures textWidth by textHeight, for the pointer at (x, y) on
// a surface of the given size, all in DIPs: centred under the pointer, kept inside the surface's
// width, flipped above the pointer when it would pass the bottom, on whole DIPs.
Rect TooltipBox(float textWidth, float textHeight, float x, float y, float surfaceWidth, float surfaceHeight);

}  // namespace Lorvex::Main

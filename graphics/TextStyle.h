#pragma once
// How a text is laid out: the value that the drawing surface turns into cached text formats and
// layouts, and the names of the numbers its integer fields take. A plain value: any thread may
// make one, nothing fails.

#include <cstdint>

namespace Lorvex {

// TextStyle::align.
namespace TextAlign {
inline constexpr int32_t Leading = 0;  // left in left-to-right text
inline constexpr int32_t Center = 1;
inline constexpr int32_t Trailing = 2;
inline constexpr int32_t Justified = 3;
}  // namespace TextAlign

// TextStyle::valign.
namespace VerticalAlign {
inline constexpr int32_t Top = 0;
inline constexpr int32_t Center = 1;
inline constexpr int32_t Bottom = 2;
}  // namespace VerticalAlign

struct TextStyle {
    float size = 14;       // font size in DIPs
    int32_t font = 0;      // Graphics::FontSlot: 0 UI, 1 icons, 2 mono, 3 mono fallback
    int32_t weight = 400;  // DWRITE_FONT_WEIGHT (400 normal, 600 semibold, 700 bold)
    bool italic = false;
    int32_t align = TextAlign::Leading;   // TextAlign: 0 leading, 1 centre, 2 trailing, 3 justified
    int32_t valign = VerticalAlign::Top;  // VerticalAlign: 0 top, 1 centre, 2 bottom
    bool wrap = true;                     // wrap at word boundaries; false keeps every line whole
    bool ellipsis = false;                // trim what overflows at a character and show an ellipsis sign
    bool underline = false;
    float lineHeight = 0;  // fixed line height in DIPs; 0 or less: the font's own spacing
};

}  // namespace Lorvex

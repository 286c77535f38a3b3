#pragma once
// The keys under which a drawing surface caches its objects: texts made of scaled, rounded
// numbers, so that values that agree after rounding share one entry.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Graphics.h"

namespace Lorvex::CacheKeys {

// round(value), saturated to the 32-bit range; not-a-number gives 0.
int32_t Round32(double value);

// Per stop: round(position * 1000) and the colour's ARGB, each as four little-endian bytes.
std::string Gradient(const std::vector<Graphics::GradientStop>& stops);

// x, y, w, h and radius, each times 10, rounded, as low and high 16-bit units.
std::wstring Clip(const Rect& rect, float radius);

// True when the style fixes its line height: finite and above 0. Otherwise (0 or less, not a
// number, infinite) the font's own spacing applies and the line height counts as 0 in every key.
bool HasFixedLineHeight(const TextStyle& style);

// From the low bit: line height in tenths (11 bits), italic, weight (12 bits), font slot
// (8 bits), size in hundredths (32 bits).
uint64_t TextFormat(const TextStyle& style);

// Size, packed style flags, line height, maximum width and height, then the text.
std::wstring TextLayout(std::wstring_view text, const TextStyle& style, float maxWidth, float maxHeight);

// As TextLayout with the applyColors bit, then each span's range, flags and (with colours)
// colour, then the text.
std::wstring RichTextLayout(std::wstring_view text, const TextStyle& style,
                            const std::vector<Graphics::TextSpan>& spans, float maxWidth, float maxHeight,
                            bool applyColors);

// "r", then width, height, radius and blur in tenths.
std::wstring Glow(float width, float height, float radius, float blur);
// The colour's opaque ARGB as low and high 16-bit units: its alpha is applied when drawn.
std::wstring GlowTint(const Color& color);

}  // namespace Lorvex::CacheKeys

#pragma once
// The Gaussian blur of a glow's shape done on the processor, for platforms whose shadow effect
// cannot blur (graphics/DrawingQuirks.h): three box blurs each way, the usual close match of a
// Gaussian. Pure functions; any thread; nothing fails.

#include <cstdint>
#include <vector>

namespace Lorvex::GlowBlur {

// Blurs a plane of width x height values (row after row) in place with the standard deviation in
// pixels; outside the plane counts as 0. A deviation too small to spread leaves it as it is.
void Gaussian(std::vector<float>& plane, int width, int height, float deviation);

// The shape's alpha (the top byte of each 0xAARRGGBB pixel) blurred and painted in the colour
// (straight r, g, b in 0..1): premultiplied 0xAARRGGBB pixels.
std::vector<uint32_t> TintedBlur(const std::vector<uint32_t>& shape, int width, int height, float deviation, float r,
                                 float g, float b);

}  // namespace Lorvex::GlowBlur

#include "graphics/Types.h"

#include <algorithm>
#include <cmath>

namespace Lorvex {

namespace {

uint32_t Channel(float value) {
    // Written so that not-a-number lands on 0 rather than on an undefined conversion.
    const float clamped = value > 0 ? (value < 1 ? value : 1.0f) : 0.0f;
    return static_cast<uint32_t>(clamped * 255.0f + 0.5f);
}

}  // namespace

uint32_t Color::ToArgb() const {
    return (Channel(a) << 24) | (Channel(r) << 16) | (Channel(g) << 8) | Channel(b);
}

PixelRect PixelRect::United(const PixelRect& other) const {
    if (other.Empty()) {
        return *this;
    }
    if (Empty()) {
        return other;
    }
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

bool PixelRect::Contains(const PixelRect& other) const {
    return other.Empty() || (other.left >= left && other.top >= top && other.right <= right && other.bottom <= bottom);
}

PixelRect PixelRect::Covering(const Rect& rect, float dpi, int32_t width, int32_t height) {
    const float scale = dpi / 96.0f;
    // Widened by a pixel: antialiased edges reach into the pixel beyond a fractional border.
    const auto low = [scale](float v, int32_t limit) {
        return std::clamp(static_cast<int32_t>(std::floor(v * scale)) - 1, 0, limit);
    };
    const auto high = [scale](float v, int32_t limit) {
        return std::clamp(static_cast<int32_t>(std::ceil(v * scale)) + 1, 0, limit);
    };
    if (!(rect.w > 0) || !(rect.h > 0)) {
        return {};
    }
    return {low(rect.x, width), low(rect.y, height), high(rect.x + rect.w, width), high(rect.y + rect.h, height)};
}

}  // namespace Lorvex

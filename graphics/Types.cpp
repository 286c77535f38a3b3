#include "graphics/Types.h"

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

}  // namespace Lorvex

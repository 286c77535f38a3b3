#pragma once
// The colour and rectangle values in which every widget talks to the drawing surface.

#include <cstdint>

namespace Lorvex {

// Straight (not premultiplied) colour, each channel nominally 0..1.
struct Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;

    // 0xAARRGGBB; each channel clamped to 0..1 and rounded to the nearest of 256 steps.
    uint32_t ToArgb() const;
};

// Left, top, width and height in device-independent pixels.
struct Rect {
    float x = 0;
    float y = 0;
    float w = 0;
    float h = 0;
};

// A rectangle of whole device pixels, right and bottom exclusive; empty when either side is not
// positive.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    int64_t Area() const { return Empty() ? 0 : int64_t(right - left) * (bottom - top); }
    // The smallest rectangle that holds both; an empty one adds nothing.
    PixelRect United(const PixelRect& other) const;
    bool Contains(const PixelRect& other) const;
    // The pixels that a rectangle in DIPs touches at the given DPI, clipped to width x height.
    static PixelRect Covering(const Rect& rect, float dpi, int32_t width, int32_t height);
};

}  // namespace Lorvex

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

}  // namespace Lorvex

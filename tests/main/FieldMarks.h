#pragma once
// What a form's text field shows of its error state, read from the pixels of the frame the driver
// draws: the danger-coloured outline a refused save puts round a blank required field. Test
// thread only.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graphics/Types.h"
#include "main/kit/KitColor.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {

// Whether the field's left edge (window DIPs) is drawn in the danger colour along most of its
// height, in a frame drawn now.
inline bool ShowsErrorOutline(FrameDriver& driver, const Rect& field) {
    const std::vector<uint32_t> pixels = driver.Pixels();
    const Graphics& graphics = driver.Surface().graphics;
    const int width = graphics.PixelWidth();
    const int height = graphics.PixelHeight();
    const float perDip = graphics.Dpi() / 96.0f;
    // The danger colour, and nearer to it than to the focused outline's primary colour (the two
    // are close in the dark theme).
    const Color danger = Main::Kit::KitPalette().danger;
    const Color primary = Main::Kit::KitPalette().primary;
    const auto distance = [](uint32_t pixel, const Color& colour) {
        const auto channel = [](uint32_t value, float wanted) {
            return std::abs(static_cast<int>(value) - static_cast<int>(std::lround(wanted * 255)));
        };
        return std::max({channel((pixel >> 16) & 0xFF, colour.r), channel((pixel >> 8) & 0xFF, colour.g),
                         channel(pixel & 0xFF, colour.b)});
    };
    const auto isDanger = [&](uint32_t pixel) {
        return distance(pixel, danger) <= 40 && distance(pixel, danger) < distance(pixel, primary);
    };
    const int edge = static_cast<int>(std::floor(field.x * perDip));
    int rows = 0;
    int marked = 0;
    for (int y = static_cast<int>((field.y + 10) * perDip); y < static_cast<int>((field.y + field.h - 10) * perDip);
         ++y) {
        if (y < 0 || y >= height || pixels.size() != static_cast<size_t>(width) * height) {
            continue;
        }
        ++rows;
        for (int x = edge - 1; x <= edge + 1; ++x) {
            if (x >= 0 && x < width && isDanger(pixels[static_cast<size_t>(y) * width + x])) {
                ++marked;
                break;
            }
        }
    }
    return rows > 0 && marked * 4 >= rows * 3;
}

}  // namespace Lorvex::Testing

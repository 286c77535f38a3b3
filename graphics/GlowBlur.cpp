#include "graphics/GlowBlur.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Lorvex::GlowBlur {
namespace {

// The widths of three boxes whose repeated blur has the deviation (W. Kovesi's rule).
std::array<int, 3> BoxWidths(float deviation) {
    constexpr int n = 3;
    const double variance = static_cast<double>(deviation) * deviation;
    int lower = static_cast<int>(std::floor(std::sqrt(12 * variance / n + 1)));
    if (lower % 2 == 0) {
        --lower;
    }
    lower = std::max(lower, 1);
    const int upper = lower + 2;
    const double m = (12 * variance - n * lower * lower - 4.0 * n * lower - 3.0 * n) / (-4.0 * lower - 4);
    const int wide = static_cast<int>(std::lround(m));
    std::array<int, 3> widths{};
    for (int i = 0; i < n; ++i) {
        widths[i] = i < wide ? lower : upper;
    }
    return widths;
}

// One box of the radius along count values spaced stride apart, from in to out.
void BoxLine(const float* in, float* out, int count, int stride, int radius) {
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    double sum = 0;
    for (int i = 0; i <= std::min(radius, count - 1); ++i) {
        sum += in[static_cast<size_t>(i) * stride];
    }
    for (int i = 0; i < count; ++i) {
        out[static_cast<size_t>(i) * stride] = static_cast<float>(sum) * scale;
        const int enter = i + radius + 1;
        const int leave = i - radius;
        if (enter < count) {
            sum += in[static_cast<size_t>(enter) * stride];
        }
        if (leave >= 0) {
            sum -= in[static_cast<size_t>(leave) * stride];
        }
    }
}

}  // namespace

void Gaussian(std::vector<float>& plane, int width, int height, float deviation) {
    if (width <= 0 || height <= 0 || plane.size() < static_cast<size_t>(width) * height || !(deviation > 0)) {
        return;
    }
    std::vector<float> scratch(plane.size());
    for (const int boxWidth : BoxWidths(deviation)) {
        const int radius = (boxWidth - 1) / 2;
        if (radius <= 0) {
            continue;
        }
        for (int y = 0; y < height; ++y) {
            const size_t row = static_cast<size_t>(y) * width;
            BoxLine(plane.data() + row, scratch.data() + row, width, 1, radius);
        }
        for (int x = 0; x < width; ++x) {
            BoxLine(scratch.data() + x, plane.data() + x, height, width, radius);
        }
    }
}

std::vector<uint32_t> TintedBlur(const std::vector<uint32_t>& shape, int width, int height, float deviation, float r,
                                 float g, float b) {
    std::vector<uint32_t> pixels;
    if (width <= 0 || height <= 0 || shape.size() < static_cast<size_t>(width) * height) {
        return pixels;
    }
    const size_t count = static_cast<size_t>(width) * height;
    std::vector<float> alpha(count);
    for (size_t i = 0; i < count; ++i) {
        alpha[i] = static_cast<float>(shape[i] >> 24) / 255.0f;
    }
    Gaussian(alpha, width, height, deviation);
    const auto channel = [](float value) {
        return static_cast<uint32_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const float a = std::clamp(alpha[i], 0.0f, 1.0f);
        pixels[i] = channel(a) << 24 | channel(r * a) << 16 | channel(g * a) << 8 | channel(b * a);
    }
    return pixels;
}

}  // namespace Lorvex::GlowBlur

#include "Tools/AppIcon/AppIcon.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "Tools/AppIcon/CoverageSink.h"
#include "graphics/Geometry.h"
#include "graphics/Images.h"
#include "main/window/Mark.h"
#include "ui/Icons.h"
#include "ui/Theme.h"

namespace Lorvex::AppIcon {
namespace {

constexpr uint32_t kPngSize = 256;

struct Gradient {
    Color from;
    Color to;
};

// The dark theme's accent and secondary colours, as the mark's gradient runs between them; the
// palette in use is left as it was.
Gradient DarkGradient() {
    namespace Material = UI::Material;
    const bool dark = Material::DarkTheme;
    const bool ready = Material::PaletteReady;
    const Material::Theme saved = Material::Palette;
    Material::DarkTheme = true;
    Material::ApplyTheme();
    const Gradient gradient = {Material::Palette.accent, Material::Palette.secondary};
    Material::DarkTheme = dark;
    Material::Palette = saved;
    Material::PaletteReady = ready;
    return gradient;
}

uint32_t Channel(double value) {
    return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// An icon image in the bitmap form: the header (twice the height, for the colours and the mask),
// the colours with straight alpha bottom row first, then the transparency mask of the pixels
// without any alpha, for readers that know no alpha.
std::string IconBitmap(uint32_t side, const std::vector<uint32_t>& pixels) {
    const uint32_t maskRow = (side + 31) / 32 * 4;
    std::string out;
    Put32(out, sizeof(BITMAPINFOHEADER));
    Put32(out, side);
    Put32(out, side * 2);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, BI_RGB);
    Put32(out, side * side * 4 + maskRow * side);
    for (int i = 0; i < 4; ++i) {
        Put32(out, 0);  // resolution and palette: none
    }
    for (uint32_t row = side; row-- > 0;) {
        for (uint32_t x = 0; x < side; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(row) * side + x];
            const uint32_t alpha = pixel >> 24;
            for (const int shift : {0, 8, 16}) {
                const uint32_t premultiplied = (pixel >> shift) & 0xFF;
                const uint32_t straight =
                    alpha == 0 ? 0 : std::min<uint32_t>(255, (premultiplied * 255 + alpha / 2) / alpha);
                out.push_back(static_cast<char>(straight));
            }
            out.push_back(static_cast<char>(alpha));
        }
    }
    for (uint32_t row = side; row-- > 0;) {
        std::string bits(maskRow, '\0');
        for (uint32_t x = 0; x < side; ++x) {
            if ((pixels[static_cast<size_t>(row) * side + x] >> 24) == 0) {
                bits[x / 8] = static_cast<char>(bits[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out += bits;
    }
    return out;
}

}  // namespace

std::vector<uint32_t> MarkPixels(uint32_t side) {
    if (side == 0) {
        return {};
    }
    // The square on whole pixels, so its straight edges are sharp at every size.
    const float inset = std::round(static_cast<float>(side) / 16);
    const float tileSide = static_cast<float>(side) - 2 * inset;
    const float radius = Main::Mark::kCornerShare * tileSide;
    CoverageSink tileSink(1, 0, 0);
    tileSink.SetFillMode(D2D1_FILL_MODE_WINDING);
    Geometry::AddRoundedRect(&tileSink, D2D1::RectF(inset, inset, inset + tileSide, inset + tileSide), radius, radius,
                             radius, radius);
    const std::vector<float> tile = tileSink.Coverage(side, side);

    // The pictogram's 24-unit box centred on the square, as Mark::Draw places it.
    const float glyphSide = Main::Mark::kGlyphShare * tileSide;
    const float glyphAt = inset + (tileSide - glyphSide) / 2;
    const std::string_view path = UI::Material::PathData(Main::Mark::kGlyph);
    CoverageSink glyphSink(glyphSide / 24, glyphAt, glyphAt);
    glyphSink.SetFillMode(Geometry::PathDataFillMode(path));
    Geometry::ReadPathData(path, &glyphSink);
    const std::vector<float> glyph = glyphSink.Coverage(side, side);

    const Gradient gradient = DarkGradient();
    const Color& ink = Main::Mark::kGlyphColor;
    std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            const size_t i = static_cast<size_t>(y) * side + x;
            // The gradient runs from the square's left edge to its right one, sampled at the pixel's centre.
            const double t = std::clamp((x + 0.5 - inset) / tileSide, 0.0, 1.0);
            const auto mix = [t](float from, float to) { return from + (to - from) * t; };
            const double tileAlpha = tile[i];
            const double glyphAlpha = ink.a * glyph[i];
            const double keep = 1 - glyphAlpha;  // what shows of the square under the pictogram
            const double r = ink.r * glyphAlpha + mix(gradient.from.r, gradient.to.r) * tileAlpha * keep;
            const double g = ink.g * glyphAlpha + mix(gradient.from.g, gradient.to.g) * tileAlpha * keep;
            const double b = ink.b * glyphAlpha + mix(gradient.from.b, gradient.to.b) * tileAlpha * keep;
            const double a = glyphAlpha + tileAlpha * keep;
            pixels[i] = Channel(a) << 24 | Channel(r) << 16 | Channel(g) << 8 | Channel(b);
        }
    }
    return pixels;
}

std::string IconFile() {
    std::string directory;
    std::string images;
    Put16(directory, 0);
    Put16(directory, 1);  // an icon, not a cursor
    Put16(directory, static_cast<uint32_t>(kSizes.size()));
    const uint32_t firstImage = static_cast<uint32_t>(6 + 16 * kSizes.size());
    for (const uint32_t side : kSizes) {
        const std::vector<uint32_t> pixels = MarkPixels(side);
        const std::string image =
            side == kPngSize ? Images::Encode(side, side, pixels, true, 1.0f) : IconBitmap(side, pixels);
        if (image.empty()) {
            return {};
        }
        directory.push_back(static_cast<char>(side >= 256 ? 0 : side));  // 0 stands for 256
        directory.push_back(static_cast<char>(side >= 256 ? 0 : side));
        directory.push_back(0);  // colours in a palette: none
        directory.push_back(0);
        Put16(directory, 1);   // planes
        Put16(directory, 32);  // bits per pixel
        Put32(directory, static_cast<uint32_t>(image.size()));
        Put32(directory, firstImage + static_cast<uint32_t>(images.size()));
        images += image;
    }
    return directory + images;
}

}  // namespace Lorvex::AppIcon

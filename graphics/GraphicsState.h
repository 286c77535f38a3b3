#pragma once
// The caches and drawing stacks of one drawing surface, kept out of graphics/Graphics.h so that the
// widgets that include the surface's header are not handed DirectWrite and the cache types. Only
// the surface's own sources include this; UI thread only, like the surface.

#include <d2d1_1.h>
#include <dwrite.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/ComPtr.h"
#include "graphics/GlowCache.h"
#include "graphics/Graphics.h"
#include "graphics/RealizationCache.h"

namespace Lorvex {

// The surface's colours as Direct2D takes them.
inline D2D1_COLOR_F ToColor(const Color& color) {
    return D2D1::ColorF(color.r, color.g, color.b, color.a);
}

// premultiply: for a platform that composes stop colours as if premultiplied already
// (DrawingQuirks), which then gives the documented picture of the straight colours.
inline std::vector<D2D1_GRADIENT_STOP> ToStops(const std::vector<Graphics::GradientStop>& stops,
                                               bool premultiply = false) {
    std::vector<D2D1_GRADIENT_STOP> result;
    result.reserve(stops.size());
    for (const auto& stop : stops) {
        const Color& c = stop.color;
        result.push_back(
            {stop.position, premultiply ? D2D1::ColorF(c.r * c.a, c.g * c.a, c.b * c.a, c.a) : ToColor(c)});
    }
    return result;
}

struct Graphics::State {
    struct LayoutEntry {
        ComPtr<IDWriteTextLayout> layout;
        uint64_t lastUse = 0;
    };
    struct ClipEntry {
        ComPtr<ID2D1RoundedRectangleGeometry> geometry;
        uint64_t lastUse = 0;
    };

    // The 64-bit style key, and the line height in tenths in full: the key holds only 11 bits of
    // it, and a taller line must not be served a format of another spacing.
    std::map<std::pair<uint64_t, int64_t>, ComPtr<IDWriteTextFormat>> textFormats;
    std::unordered_map<std::wstring, LayoutEntry> textLayouts;
    std::unordered_map<std::wstring, LayoutEntry> richTextLayouts;
    std::unordered_map<std::string, ComPtr<ID2D1LinearGradientBrush>> linearBrushes;
    std::unordered_map<std::string, ComPtr<ID2D1RadialGradientBrush>> radialBrushes;
    std::unordered_map<std::wstring, ClipEntry> clipGeometries;
    RealizationCache realizations;
    GlowCache glows;

    // Saved by each push and restored by its pop.
    std::vector<D2D1_MATRIX_3X2_F> transformStack;
    std::vector<D2D1_TEXT_ANTIALIAS_MODE> antialiasStack;

    // What the context has open, innermost last: layers (round clips are layers too) and
    // axis-aligned clips, which the context keeps on one stack. Cleared by BeginFrame.
    enum class Open : uint8_t { Layer, Clip };
    std::vector<Open> openStack;
    // The first pop of this frame that did not match its push; empty while none did.
    std::string stackFault;
    // Drawing goes to an off-screen bitmap instead of the surface's target.
    bool redirected = false;
    // Opacity brushes of this frame's layers, kept until the frame's end.
    std::vector<ComPtr<ID2D1Brush>> layerBrushes;
    // Each open layer, innermost last: its opacity, and whether an axis-aligned clip to its bounds
    // was pushed inside it (a round clip where masks cut nothing, DrawingQuirks), to be popped
    // with it.
    struct LayerState {
        float opacity = 1;
        bool axisClip = false;
    };
    std::vector<LayerState> layers;
    // The product of the open layers' opacities: what a platform whose layers do not fade has
    // carried into every colour, brush and bitmap instead.
    float groupOpacity = 1;

    static const char* Name(Open kind) { return kind == Open::Layer ? "layer" : "clip"; }
    void Opened(Open kind) { openStack.push_back(kind); }
    void Closed(Open kind);
};

}  // namespace Lorvex

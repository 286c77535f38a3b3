#pragma once
// Geometry realisations of one drawing surface: a geometry filled or stroked at one zoom level
// gets its realisation on its third use there, so one-off geometries never pay for one.

#include <d2d1_1.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

#include "foundation/ComPtr.h"
#include "graphics/D2DExtra.h"

namespace Lorvex {

class RealizationCache {
public:
    using Realization = D2DExtra::ID2D1GeometryRealization;
    // Makes the realisation: a stroke of the width when width > 0, else the fill. Null on failure.
    using Creator =
        std::function<ComPtr<Realization>(ID2D1Geometry* geometry, float tolerance, float width, bool roundCaps)>;

    struct Key {
        ID2D1Geometry* geometry = nullptr;
        int32_t level = 0;  // zoom in quarter octaves
        float width = 0;    // 0 for a fill
        bool roundCaps = false;
        bool operator<(const Key& other) const;
    };
    struct Entry {
        ComPtr<ID2D1Geometry> geometry;  // keeps the pointer of the key alive
        ComPtr<Realization> realization;
        int32_t uses = 0;
        uint64_t lastUse = 0;
    };

    // The realisation to draw instead of the geometry under the transform, or null when the
    // caller draws the geometry directly.
    Realization* Get(ID2D1Geometry* geometry, float width, bool roundCaps, const D2D1_MATRIX_3X2_F& transform,
                     float dpi, uint64_t frame, const Creator& create);

    // Drops entries unused for more than 600 frames (with a realisation) or 2 frames (without).
    void Evict(uint64_t frame);
    void Clear() { entries_.clear(); }
    size_t Size() const { return entries_.size(); }
    const Entry* Find(const Key& key) const;

    // round(4 * log2(scale)) of the transform's uniform scale; none when the scale is not above 0.
    static bool ZoomLevel(const D2D1_MATRIX_3X2_F& transform, int32_t* level);
    static float Tolerance(int32_t level, float dpi);

private:
    std::map<Key, Entry> entries_;
};

}  // namespace Lorvex

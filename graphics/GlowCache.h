#pragma once
// Glow bitmaps of one drawing surface, keyed by size, radius and blur (never by colour): the
// white shape with a transparent margin and, once baked, its blurred copy.

#include <d2d1_1.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "foundation/ComPtr.h"

namespace Lorvex {

// One glow of the cache; a type of its own (not nested) so that the surface's header can name it
// without this one.
struct GlowEntry {
    ComPtr<ID2D1Bitmap1> source;   // the white shape, pad DIPs of margin on every side
    ComPtr<ID2D1Bitmap1> blurred;  // may stay empty
    bool prepared = false;         // the blur was attempted
    float pad = 0;
    uint64_t lastUse = 0;
};

class GlowCache {
public:
    using Entry = GlowEntry;
    // Renders the shape into a new bitmap of this pixel size; null when it cannot.
    using SourceMaker = std::function<ComPtr<ID2D1Bitmap1>(uint32_t pixelWidth, uint32_t pixelHeight)>;

    static constexpr size_t kLimit = 384;
    static constexpr uint32_t kMaxSide = 8192;

    // The entry of the key, made on a miss (also when no bitmap could be made, so a failing size
    // is not retried every frame); null when it holds no source bitmap.
    Entry* Source(const std::wstring& key, float width, float height, float pad, float dpi, uint64_t frame,
                  const SourceMaker& make);

    // Drops entries unused for more than 600 frames.
    void Evict(uint64_t frame);
    void Clear() { entries_.clear(); }
    size_t Size() const { return entries_.size(); }

private:
    std::unordered_map<std::wstring, Entry> entries_;
};

}  // namespace Lorvex

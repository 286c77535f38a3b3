#include "graphics/RealizationCache.h"

#include <cmath>
#include <cstdint>
#include <tuple>

namespace Lorvex {

bool RealizationCache::Key::operator<(const Key& other) const {
    const auto address = reinterpret_cast<uintptr_t>(geometry);
    const auto otherAddress = reinterpret_cast<uintptr_t>(other.geometry);
    return std::tie(address, level, width, roundCaps) <
           std::tie(otherAddress, other.level, other.width, other.roundCaps);
}

bool RealizationCache::ZoomLevel(const D2D1_MATRIX_3X2_F& transform, int32_t* level) {
    const double determinant =
        static_cast<double>(transform._11) * transform._22 - static_cast<double>(transform._12) * transform._21;
    const double scale = std::sqrt(std::fabs(determinant));
    if (!(scale > 0) || !std::isfinite(scale)) {
        return false;
    }
    *level = static_cast<int32_t>(std::lround(4.0 * std::log2(scale)));
    return true;
}

float RealizationCache::Tolerance(int32_t level, float dpi) {
    const auto scale = static_cast<float>(std::pow(2.0, level / 4.0) * dpi / 96.0);
    const float maximum = D2DExtra::ComputeMaximumScaleFactor(D2D1::Matrix3x2F::Scale(scale, scale));
    return 0.25f / (1.0905f * maximum);
}

RealizationCache::Realization* RealizationCache::Get(ID2D1Geometry* geometry, float width, bool roundCaps,
                                                     const D2D1_MATRIX_3X2_F& transform, float dpi, uint64_t frame,
                                                     const Creator& create) {
    int32_t level = 0;
    // A width that is not a number has no place in the key's ordering: drawn directly.
    if (!geometry || std::isnan(width) || !ZoomLevel(transform, &level)) {
        return nullptr;
    }

    Entry& entry = entries_[Key{geometry, level, width, roundCaps}];
    entry.lastUse = frame;
    if (entry.realization) {
        return entry.realization.Get();
    }
    if (!entry.geometry) {
        entry.geometry = ComPtr<ID2D1Geometry>(geometry);
    }
    if (++entry.uses < 3) {
        return nullptr;
    }
    if (create) {
        entry.realization = create(geometry, Tolerance(level, dpi), width, roundCaps);
    }
    return entry.realization.Get();
}

void RealizationCache::Evict(uint64_t frame) {
    std::erase_if(entries_, [frame](const auto& item) {
        const Entry& entry = item.second;
        return frame > entry.lastUse + (entry.realization ? 600 : 2);
    });
}

const RealizationCache::Entry* RealizationCache::Find(const Key& key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

}  // namespace Lorvex

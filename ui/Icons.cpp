#include "ui/Icons.h"

#include <algorithm>
#include <array>

#include "graphics/Device.h"
#include "graphics/Geometry.h"
#include "ui/IconPaths.h"

namespace Lorvex::UI::Material {

namespace {

struct CacheEntry {
    bool made = false;
    ComPtr<ID2D1PathGeometry> geometry;  // may stay null after a failure
};

struct IconCache {
    // A geometry draws only on contexts of the factory that made it, and a device rebuilt after a
    // loss comes with a new factory: the entries belong to this one and start over with another.
    // Held, so that a new factory can never take its address while the entries are compared.
    ComPtr<ID2D1Factory1> factory;
    std::array<CacheEntry, kIconCount> entries;
    size_t made = 0;
};

IconCache& Cache() {
    static IconCache cache;
    return cache;
}

bool InRange(Icon icon) {
    const auto value = static_cast<int32_t>(icon);
    return value >= 0 && value < kIconCount;
}

}  // namespace

std::string_view PathData(Icon icon) {
    return InRange(icon) ? kIconPaths[static_cast<size_t>(icon)] : std::string_view();
}

ID2D1PathGeometry* IconGeometry(Icon icon) {
    if (!InRange(icon)) {
        return nullptr;
    }
    ID2D1Factory1* factory = Graphics::Device::Instance().d2dFactory.Get();
    if (!factory) {
        // Nothing can be drawn without a device; not remembered as a failure.
        return nullptr;
    }
    IconCache& cache = Cache();
    if (cache.factory.Get() != factory) {
        cache.factory = ComPtr<ID2D1Factory1>(factory);
        cache.entries = {};
    }
    CacheEntry& entry = cache.entries[static_cast<size_t>(icon)];
    if (!entry.made) {
        // A failure is kept too: the factory that failed once is not asked again every frame.
        entry.geometry = Geometry::FromPathData(PathData(icon));
        entry.made = true;
        ++cache.made;
    }
    return entry.geometry.Get();
}

size_t IconGeometriesMade() {
    return Cache().made;
}

void DrawIcon(Graphics& graphics, Icon icon, const Rect& rect, const Color& color) {
    if (rect.w <= 0 || rect.h <= 0) {
        return;
    }
    ID2D1PathGeometry* geometry = IconGeometry(icon);
    if (!geometry) {
        return;
    }
    const float scale = std::min(rect.w, rect.h) / 24.0f;
    const float x = rect.x + (rect.w - 24.0f * scale) / 2.0f;
    const float y = rect.y + (rect.h - 24.0f * scale) / 2.0f;
    graphics.PushTransform(D2D1::Matrix3x2F(scale, 0, 0, scale, x, y));
    graphics.FillGeometry(geometry, color);
    graphics.PopTransform();
}

}  // namespace Lorvex::UI::Material

#include "graphics/GlowCache.h"

#include <cmath>

namespace Lorvex {

GlowCache::Entry* GlowCache::Source(const std::wstring& key, float width, float height, float pad, float dpi,
                                    uint64_t frame, const SourceMaker& make) {
    if (const auto found = entries_.find(key); found != entries_.end()) {
        found->second.lastUse = frame;
        return found->second.source ? &found->second : nullptr;
    }

    // Held to the limit by dropping everything the current frame has not drawn.
    if (entries_.size() >= kLimit) {
        std::erase_if(entries_, [frame](const auto& item) { return item.second.lastUse != frame; });
    }

    Entry entry;
    entry.pad = pad;
    entry.lastUse = frame;
    const double pixelWidth = std::ceil((width + 2.0 * pad) * dpi / 96.0);
    const double pixelHeight = std::ceil((height + 2.0 * pad) * dpi / 96.0);
    if (pixelWidth >= 1 && pixelWidth < kMaxSide && pixelHeight >= 1 && pixelHeight < kMaxSide && make) {
        entry.source = make(static_cast<uint32_t>(pixelWidth), static_cast<uint32_t>(pixelHeight));
    }
    Entry& stored = entries_.emplace(key, std::move(entry)).first->second;
    return stored.source ? &stored : nullptr;
}

void GlowCache::Evict(uint64_t frame) {
    std::erase_if(entries_, [frame](const auto& item) { return frame > item.second.lastUse + 600; });
}

}  // namespace Lorvex

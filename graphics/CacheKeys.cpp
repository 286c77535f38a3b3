#include "graphics/CacheKeys.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Lorvex::CacheKeys {

namespace {

void Append32(std::wstring& key, uint32_t value) {
    key.push_back(static_cast<wchar_t>(value & 0xFFFF));
    key.push_back(static_cast<wchar_t>(value >> 16));
}

void AppendBytes(std::string& key, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        key.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

uint32_t LayoutFlags(const TextStyle& style, bool applyColors) {
    uint32_t flags = static_cast<uint32_t>(style.font) & 0xFF;
    flags |= (static_cast<uint32_t>(style.weight) & 0xFFF) << 8;
    flags |= (style.italic ? 1u : 0u) << 20;
    flags |= (static_cast<uint32_t>(style.align) & 0x7) << 21;
    flags |= (static_cast<uint32_t>(style.valign) & 0x7) << 24;
    flags |= (style.wrap ? 1u : 0u) << 27;
    flags |= (style.ellipsis ? 1u : 0u) << 28;
    flags |= (style.underline ? 1u : 0u) << 29;
    flags |= (applyColors ? 1u : 0u) << 30;
    return flags;
}

void AppendBox(std::wstring& key, const TextStyle& style, float maxWidth, float maxHeight, bool applyColors) {
    Append32(key, static_cast<uint32_t>(Round32(style.size * 100.0)));
    Append32(key, LayoutFlags(style, applyColors));
    Append32(key, static_cast<uint32_t>(Round32(style.lineHeight * 10.0)));
    Append32(key, static_cast<uint32_t>(Round32(maxWidth * 10.0)));
    Append32(key, static_cast<uint32_t>(Round32(maxHeight * 10.0)));
}

}  // namespace

int32_t Round32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double rounded = std::round(value);
    if (rounded <= std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    if (rounded >= std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(rounded);
}

std::string Gradient(const std::vector<Graphics::GradientStop>& stops) {
    std::string key;
    key.reserve(stops.size() * 8);
    for (const auto& stop : stops) {
        AppendBytes(key, static_cast<uint32_t>(Round32(stop.position * 1000.0)));
        AppendBytes(key, stop.color.ToArgb());
    }
    return key;
}

std::wstring Clip(const Rect& rect, float radius) {
    std::wstring key;
    key.reserve(10);
    for (const float value : {rect.x, rect.y, rect.w, rect.h, radius}) {
        Append32(key, static_cast<uint32_t>(Round32(value * 10.0)));
    }
    return key;
}

bool HasFixedLineHeight(const TextStyle& style) {
    return std::isfinite(style.lineHeight) && style.lineHeight > 0;
}

uint64_t TextFormat(const TextStyle& style) {
    const double tenths = HasFixedLineHeight(style) ? std::trunc(style.lineHeight * 10.0) : 0.0;
    const uint64_t lineHeight = static_cast<uint64_t>(std::min(tenths, 2047.0)) & 0x7FF;
    const double hundredths = std::trunc(static_cast<double>(style.size) * 100.0);
    const uint64_t size = hundredths > 0 ? static_cast<uint64_t>(std::min(hundredths, 4294967295.0)) : 0;
    uint64_t key = lineHeight;
    key |= (style.italic ? 1ull : 0ull) << 11;
    key |= (static_cast<uint64_t>(static_cast<uint32_t>(style.weight)) & 0xFFF) << 12;
    key |= (static_cast<uint64_t>(static_cast<uint32_t>(style.font)) & 0xFF) << 24;
    key |= size << 32;
    return key;
}

std::wstring TextLayout(std::wstring_view text, const TextStyle& style, float maxWidth, float maxHeight) {
    std::wstring key;
    key.reserve(10 + text.size());
    AppendBox(key, style, maxWidth, maxHeight, false);
    key.append(text);
    return key;
}

std::wstring RichTextLayout(std::wstring_view text, const TextStyle& style,
                            const std::vector<Graphics::TextSpan>& spans, float maxWidth, float maxHeight,
                            bool applyColors) {
    std::wstring key;
    key.reserve(10 + spans.size() * 8 + text.size());
    AppendBox(key, style, maxWidth, maxHeight, applyColors);
    for (const auto& span : spans) {
        Append32(key, static_cast<uint32_t>(span.start));
        Append32(key, static_cast<uint32_t>(span.length));
        uint32_t flags = static_cast<uint32_t>(span.weight) & 0xFFF;
        flags |= (span.underline ? 1u : 0u) << 12;
        flags |= (span.italic ? 1u : 0u) << 13;
        flags |= (span.strike ? 1u : 0u) << 14;
        flags |= (span.mono ? 1u : 0u) << 15;
        Append32(key, flags);
        if (applyColors) {
            Append32(key, span.color.ToArgb());
        }
    }
    key.append(text);
    return key;
}

std::wstring Glow(float width, float height, float radius, float blur) {
    std::wstring key = L"r";
    for (const float value : {width, height, radius, blur}) {
        Append32(key, static_cast<uint32_t>(Round32(value * 10.0)));
    }
    return key;
}

std::wstring GlowTint(const Color& color) {
    std::wstring key;
    Append32(key, Color{color.r, color.g, color.b, 1}.ToArgb());
    return key;
}

}  // namespace Lorvex::CacheKeys

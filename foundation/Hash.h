#pragma once
// FNV-1a, 64 bits: the fast, stable hash behind widget ids and the identities and fingerprints
// the sync derives from record texts. Not for anything an attacker may choose to collide. Pure and
// constexpr: any thread, no failure.

#include <cstdint>
#include <string>
#include <string_view>

namespace Lorvex::Hash {

inline constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
inline constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// Over bytes, continuing from seed (kFnvOffsetBasis to start a fresh hash).
constexpr uint64_t Fnv1a64(uint64_t seed, std::string_view bytes) {
    uint64_t h = seed;
    for (const char c : bytes) {
        h = (h ^ static_cast<uint8_t>(c)) * kFnvPrime;
    }
    return h;
}

// One step per UTF-16 unit (the whole unit is XORed in, not its two bytes).
constexpr uint64_t Fnv1a64(uint64_t seed, std::wstring_view units) {
    uint64_t h = seed;
    for (const wchar_t unit : units) {
        h = (h ^ static_cast<uint16_t>(unit)) * kFnvPrime;
    }
    return h;
}

// The eight bytes of value, least significant first.
constexpr uint64_t Fnv1a64Word(uint64_t seed, uint64_t value) {
    uint64_t h = seed;
    for (int i = 0; i < 8; ++i) {
        h = (h ^ ((value >> (8 * i)) & 0xFF)) * kFnvPrime;
    }
    return h;
}

// Sixteen lower-case hexadecimal digits, most significant first.
inline std::string Hex64(uint64_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

}  // namespace Lorvex::Hash

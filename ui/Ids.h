#pragma once
// Widget ids: 64-bit FNV-1a hashes of short literals, of a parent id and a row number, or of an id
// and a small salt, never 0 (0 means "no widget"). The plain hash is exported too, for callers
// that derive ids from their own seeds (a dialog's seed, a record id's UTF-16 units). Everything
// is constexpr and pure: any thread, no failure.

#include <cstdint>
#include <string_view>

namespace Lorvex::UI {

inline constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
inline constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// FNV-1a 64 over bytes, continuing from seed (kFnvOffsetBasis to start a fresh hash).
constexpr uint64_t Fnv1a64(uint64_t seed, std::string_view bytes) {
    uint64_t h = seed;
    for (const char c : bytes) {
        h = (h ^ static_cast<uint8_t>(c)) * kFnvPrime;
    }
    return h;
}

// One step per UTF-16 unit (the whole unit is XORed in, not its two bytes), as ids made from
// record ids and button labels are.
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

constexpr uint64_t NonZeroId(uint64_t hash) {
    return hash == 0 ? 1 : hash;
}

// The id of a literal such as "send-btn"; seed is the enclosing id scope, if any.
constexpr uint64_t MakeIdFromText(std::string_view text, uint64_t seed = kFnvOffsetBasis) {
    return NonZeroId(Fnv1a64(seed, text));
}

// A row of like widgets: the text's id continued over the row number.
constexpr uint64_t MakeId(std::string_view text, uint64_t n, uint64_t seed = kFnvOffsetBasis) {
    return NonZeroId(Fnv1a64Word(MakeIdFromText(text, seed), n));
}

// A sub-id for more state of one widget: the id's eight bytes hashed from the salt.
constexpr uint64_t SaltedId(uint64_t id, uint64_t salt) {
    return NonZeroId(Fnv1a64Word(salt, id));
}

}  // namespace Lorvex::UI

#pragma once
// Widget ids: 64-bit FNV-1a hashes of short literals, of a parent id and a row number, or of an id
// and a small salt, never 0 (0 means "no widget"). The plain hash is exported too, for callers
// that derive ids from their own seeds (a dialog's seed, a record id's UTF-16 units). Everything
// is constexpr and pure: any thread, no failure.

#include <cstdint>
#include <string_view>

#include "foundation/Hash.h"

namespace Lorvex::UI {

using Hash::Fnv1a64;
using Hash::Fnv1a64Word;
using Hash::kFnvOffsetBasis;
using Hash::kFnvPrime;

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

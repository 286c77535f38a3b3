#pragma once
// Finding the next byte that a string's reader or writer must handle, eight bytes at a time:
// chat text is long runs of plain bytes, and a byte-by-byte loop dominates both directions.

#include <bit>
#include <cstdint>
#include <cstring>

namespace Lorvex::Json::Detail {

static_assert(std::endian::native == std::endian::little, "the scans read words as little-endian");

constexpr uint64_t EveryByte(uint8_t b) {
    return 0x0101010101010101ULL * b;
}

// The top bit of a byte is set for every zero byte of the word, and possibly for bytes above a
// zero byte (a borrow runs into them), never below the first one: the lowest set bit marks the
// first zero byte exactly.
constexpr uint64_t ZeroBytes(uint64_t word) {
    return (word - EveryByte(0x01)) & ~word & EveryByte(0x80);
}

// The same for bytes below 0x20.
constexpr uint64_t ControlBytes(uint64_t word) {
    return (word - EveryByte(0x20)) & ~word & EveryByte(0x80);
}

// True when some byte of the word is zero. Exact as a yes or no.
constexpr bool HasZeroByte(uint64_t word) {
    return ZeroBytes(word) != 0;
}

// True when some byte of the word is below 0x20. Exact as a yes or no.
constexpr bool HasControlByte(uint64_t word) {
    return ControlBytes(word) != 0;
}

inline bool IsQuoteOrBackslash(char c) {
    return c == '"' || c == '\\';
}

// The first double quote or backslash in [p, end), or end. With controls, also the first byte
// below 0x20. The words are read as little-endian, so the lowest marked byte comes first.
inline const char* FindStringSpecial(const char* p, const char* end, bool controls) {
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        uint64_t marks = ZeroBytes(word ^ EveryByte('"')) | ZeroBytes(word ^ EveryByte('\\'));
        if (controls) {
            marks |= ControlBytes(word);
        }
        if (marks != 0) {
            return p + std::countr_zero(marks) / 8;
        }
        p += 8;
    }
    for (; p < end; ++p) {
        if (IsQuoteOrBackslash(*p) || (controls && static_cast<unsigned char>(*p) < 0x20)) {
            return p;
        }
    }
    return end;
}

}  // namespace Lorvex::Json::Detail

#pragma once
// Finding the next byte that a string's reader or writer must handle, eight bytes at a time:
// chat text is long runs of plain bytes, and a byte-by-byte loop dominates both directions.

#include <cstdint>
#include <cstring>

namespace Lorvex::Json::Detail {

constexpr uint64_t EveryByte(uint8_t b) {
    return 0x0101010101010101ULL * b;
}

// True when some byte of the word is zero. Exact as a yes or no.
constexpr bool HasZeroByte(uint64_t word) {
    return ((word - EveryByte(0x01)) & ~word & EveryByte(0x80)) != 0;
}

// True when some byte of the word is below 0x20. Exact as a yes or no.
constexpr bool HasControlByte(uint64_t word) {
    return ((word - EveryByte(0x20)) & ~word & EveryByte(0x80)) != 0;
}

inline bool IsQuoteOrBackslash(char c) {
    return c == '"' || c == '\\';
}

// The first double quote or backslash in [p, end), or end. With controls, also the first byte
// below 0x20.
inline const char* FindStringSpecial(const char* p, const char* end, bool controls) {
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        bool hit = HasZeroByte(word ^ EveryByte('"')) || HasZeroByte(word ^ EveryByte('\\')) ||
                   (controls && HasControlByte(word));
        if (hit) {
            break;
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

#include "foundation/Text.h"

#include "foundation/Retry.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <limits>
#include <utility>

#ifndef BCRYPT_SHA256_ALG_HANDLE
// The CNG pseudo-handle of SHA-256; older SDK headers lack the macro.
#define BCRYPT_SHA256_ALG_HANDLE ((BCRYPT_ALG_HANDLE)0x00000041)
#endif

namespace Lorvex::Text {

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == 0xFEFF || c == 0x00A0;
}

namespace {

// The system converters take 32-bit lengths, and a UTF-16 unit may become three UTF-8 bytes, so a
// text goes through them in pieces whose output always fits: a longer text converts whole rather
// than failing.
constexpr size_t kConvertPieceUnits = size_t{1} << 28;

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// Runs a system converter over the text piece by piece. pieceEnd(start, end) moves a cut back to
// where a piece may end; convert(input, length, output, capacity) is the converter, asked for the
// size first with no output. Empty when the converter fails.
template <class Result, class Input, class PieceEnd, class Convert>
Result ConvertInPieces(Input text, size_t pieceUnits, PieceEnd pieceEnd, Convert convert) {
    Result result;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = pieceEnd(start, std::min(text.size(), start + pieceUnits));
        const int length = static_cast<int>(end - start);
        const int needed = convert(text.data() + start, length, nullptr, 0);
        if (needed <= 0) {
            return {};
        }
        const size_t offset = result.size();
        result.resize(offset + static_cast<size_t>(needed));
        const int written = convert(text.data() + start, length, result.data() + offset, needed);
        if (written <= 0) {
            return {};
        }
        result.resize(offset + static_cast<size_t>(written));
        start = end;
    }
    return result;
}

// Eight bytes at a time, true when none of them has its top bit set.
bool IsAsciiWord(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return (word & 0x8080808080808080ULL) == 0;
}

// Whether the bytes are well-formed UTF-8 (shortest forms only, no surrogate halves, nothing
// above U+10FFFF) and, when they are, the length of their UTF-16 form. With kDecode the units are
// also written to out, which needs room for that length, or for one unit per byte when the text
// may be ill-formed (never fewer than either needs); out holds nothing of use when the answer is
// false.
template <bool kDecode>
bool WalkUtf8(std::string_view bytes, wchar_t* out, size_t& units) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    size_t count = 0;
    while (p < end) {
        if (end - p >= 8 && IsAsciiWord(p)) {
            if constexpr (kDecode) {
                for (int i = 0; i < 8; ++i) {
                    out[count + i] = static_cast<wchar_t>(p[i]);
                }
            }
            p += 8;
            count += 8;
            continue;
        }
        const unsigned char lead = *p;
        if (lead < 0x80) {
            if constexpr (kDecode) {
                out[count] = static_cast<wchar_t>(lead);
            }
            ++p;
            ++count;
            continue;
        }
        // The range of the second byte rules out overlong forms, surrogates and code points
        // beyond U+10FFFF (the table of well-formed sequences in the Unicode standard).
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < length || p[1] < low || p[1] > high) {
            return false;
        }
        for (size_t i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        if constexpr (kDecode) {
            if (length == 2) {
                out[count] = static_cast<wchar_t>(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            } else if (length == 3) {
                out[count] = static_cast<wchar_t>(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            } else {
                const uint32_t cp =
                    ((lead & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
                out[count] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                out[count + 1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            }
        }
        p += length;
        count += length == 4 ? 2 : 1;
    }
    units = count;
    return true;
}

bool MeasureUtf8(std::string_view bytes, size_t& units) {
    return WalkUtf8<false>(bytes, nullptr, units);
}

}  // namespace

namespace Detail {

std::wstring ToWide(std::string_view utf8, size_t pieceUnits) {
    // A piece never ends inside a character of up to four bytes; more continuation bytes in a row
    // are invalid however they are cut.
    const auto pieceEnd = [utf8](size_t start, size_t end) {
        if (end == utf8.size()) {
            return end;
        }
        size_t cut = end;
        while (cut > end - 3 && cut > start + 1 && IsUtf8Continuation(utf8[cut])) {
            --cut;
        }
        return IsUtf8Continuation(utf8[cut]) ? end : cut;
    };
    const auto convert = [](const char* input, int length, wchar_t* output, int capacity) {
        return MultiByteToWideChar(CP_UTF8, 0, input, length, output, capacity);
    };
    return ConvertInPieces<std::wstring>(utf8, std::max<size_t>(pieceUnits, 4), pieceEnd, convert);
}

std::string ToUtf8(std::wstring_view utf16, size_t pieceUnits) {
    // A piece never ends between the two halves of a surrogate pair.
    const auto pieceEnd = [utf16](size_t start, size_t end) {
        return end < utf16.size() && end - start > 1 && IsHighSurrogate(utf16[end - 1]) ? end - 1 : end;
    };
    const auto convert = [](const wchar_t* input, int length, char* output, int capacity) {
        return WideCharToMultiByte(CP_UTF8, 0, input, length, output, capacity, nullptr, nullptr);
    };
    return ConvertInPieces<std::string>(utf16, std::max<size_t>(pieceUnits, 2), pieceEnd, convert);
}

}  // namespace Detail

std::wstring ToWide(std::string_view utf8) {
    // Stored and received text is nearly always well-formed; decoding it here spares the system
    // converter's two passes (one to measure, one to convert) and the zero-filling between them.
    // Most texts are short enough to be decoded in one pass onto the stack and copied into a
    // string of their exact size; a longer one is measured first, so its string is allocated once.
    constexpr size_t kStackUnits = 1024;
    size_t units = 0;
    if (utf8.size() <= kStackUnits) {
        wchar_t decoded[kStackUnits];
        if (WalkUtf8<true>(utf8, decoded, units)) {
            return std::wstring(decoded, units);
        }
        return Detail::ToWide(utf8, kConvertPieceUnits);
    }
    if (!MeasureUtf8(utf8, units)) {
        return Detail::ToWide(utf8, kConvertPieceUnits);
    }
    std::wstring wide(units, L'\0');
    WalkUtf8<true>(utf8, wide.data(), units);
    return wide;
}

std::string ToUtf8(std::wstring_view utf16) {
    return Detail::ToUtf8(utf16, kConvertPieceUnits);
}

bool IsValidUtf8(std::string_view bytes) {
    size_t units = 0;
    return MeasureUtf8(bytes, units);
}

std::wstring Trim(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    return std::wstring(text.substr(begin, end - begin));
}

std::wstring NormalizeNewlines(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r') {
            result.push_back(L'\n');
            if (i + 1 < text.size() && text[i + 1] == L'\n') {
                ++i;
            }
        } else {
            result.push_back(c);
        }
    }
    return result;
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t lf = text.find(L'\n', start);
        if (lf == std::wstring_view::npos) {
            std::wstring_view rest = text.substr(start);
            if (!rest.empty() && rest.back() == L'\r') {
                rest.remove_suffix(1);
            }
            if (!rest.empty()) {
                lines.emplace_back(rest);
            }
            break;
        }
        std::wstring_view line = text.substr(start, lf - start);
        if (!line.empty() && line.back() == L'\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = lf + 1;
    }
    return lines;
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view pattern, std::wstring_view replacement) {
    if (pattern.empty()) {
        return std::wstring(text);
    }
    std::wstring result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t found = text.find(pattern); found != std::wstring_view::npos; found = text.find(pattern, start)) {
        result.append(text.substr(start, found - start));
        result.append(replacement);
        start = found + pattern.size();
    }
    result.append(text.substr(start));
    return result;
}

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

wchar_t CrtLower(wchar_t c) {
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

template <wchar_t (*Fold)(wchar_t)>
bool EqualsFolded(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return Fold(x) == Fold(y); });
}

}  // namespace

bool EqualsAsciiNoCase(std::wstring_view a, std::wstring_view b) {
    return EqualsFolded<AsciiLower>(a, b);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return EqualsFolded<CrtLower>(a, b);
}

std::wstring ToLowerAscii(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

std::wstring ToLower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = CrtLower(c);
    }
    return lower;
}

std::wstring ToLowerSystem(std::wstring_view text) {
    std::wstring lower(text);
    if (!lower.empty() && lower.size() <= static_cast<size_t>(std::numeric_limits<int>::max())) {
        // Lower-casing keeps the length of a text, so the mapping writes into the copy itself.
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), static_cast<int>(text.size()), lower.data(),
                      static_cast<int>(lower.size()), nullptr, nullptr, 0);
    }
    return lower;
}

bool LessNoCase(std::wstring_view a, std::wstring_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return CrtLower(x) < CrtLower(y); });
}

namespace {

// Accumulates ASCII digits; none when a character is not a digit or the value exceeds `limit`.
std::optional<uint64_t> ParseDigits(std::wstring_view digits, uint64_t limit) {
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (limit - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::optional<int64_t> TryParseInt(std::wstring_view text) {
    const std::wstring trimmed = Trim(text);
    std::wstring_view digits = trimmed;
    bool negative = false;
    if (!digits.empty() && (digits.front() == L'-' || digits.front() == L'+')) {
        negative = digits.front() == L'-';
        digits.remove_prefix(1);
    }
    constexpr uint64_t maxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    const auto magnitude = ParseDigits(digits, negative ? maxPositive + 1 : maxPositive);
    if (!magnitude) {
        return std::nullopt;
    }
    if (negative) {
        // -(2^63) has no positive twin, so negate in unsigned arithmetic.
        return static_cast<int64_t>(0 - *magnitude);
    }
    return static_cast<int64_t>(*magnitude);
}

std::optional<uint64_t> TryParseUInt(std::wstring_view text) {
    const std::wstring trimmed = Trim(text);
    return ParseDigits(trimmed, std::numeric_limits<uint64_t>::max());
}

std::string UrlEncode(std::string_view utf8) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            result.push_back(static_cast<char>(c));
        } else {
            result.push_back('%');
            result.push_back(hex[c >> 4]);
            result.push_back(hex[c & 0x0F]);
        }
    }
    return result;
}

std::wstring FormatBytes(uint64_t bytes) {
    static constexpr const wchar_t* units[] = {L"B", L"KB", L"MB", L"GB", L"TB"};
    double x = static_cast<double>(bytes);
    int unit = 0;
    while (x >= 1024.0 && unit < 4) {
        x /= 1024.0;
        ++unit;
    }
    wchar_t buffer[64];
    swprintf(buffer, 64, L"%.*f %ls", unit == 0 ? 0 : 1, x, units[unit]);
    return buffer;
}

std::string Sha256Hex(const std::string& bytes) {
    static constexpr char hex[] = "0123456789abcdef";
    unsigned char digest[32] = {};
    // BCryptHash takes a 32-bit length: hash larger inputs incrementally.
    if (bytes.size() <= 0xFFFFFFFFu) {
        const NTSTATUS status =
            BCryptHash(BCRYPT_SHA256_ALG_HANDLE, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                       static_cast<ULONG>(bytes.size()), digest, sizeof digest);
        if (!BCRYPT_SUCCESS(status)) {
            return {};
        }
    } else {
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (!BCRYPT_SUCCESS(BCryptCreateHash(BCRYPT_SHA256_ALG_HANDLE, &hash, nullptr, 0, nullptr, 0, 0))) {
            return {};
        }
        bool ok = true;
        for (size_t offset = 0; ok && offset < bytes.size();) {
            const ULONG chunk = static_cast<ULONG>(std::min<size_t>(bytes.size() - offset, 0x40000000u));
            ok = BCRYPT_SUCCESS(
                BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + offset)), chunk, 0));
            offset += chunk;
        }
        ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
        BCryptDestroyHash(hash);
        if (!ok) {
            return {};
        }
    }
    std::string result(64, '0');
    for (size_t i = 0; i < 32; ++i) {
        result[2 * i] = hex[digest[i] >> 4];
        result[2 * i + 1] = hex[digest[i] & 0x0F];
    }
    return result;
}

namespace {

ClipboardSeam& Clipboard() {
    static ClipboardSeam seam;
    return seam;
}

// Clipboard history, remote desktop and password managers open the clipboard for moments.
constexpr uint64_t kClipboardWaitMs = 250;

// Opens the clipboard for the window the user works in (the thread's active window), waiting a
// moment while another program has it open. Opened without a window, EmptyClipboard leaves the
// clipboard without an owner, and Windows may then refuse SetClipboardData.
bool OpenClipboardSoon() {
    const HWND owner = GetActiveWindow();
    const auto attempt = [owner] { return OpenClipboard(owner) ? Retry::Outcome::Done : Retry::Outcome::Busy; };
    return Retry::WhileBusy(attempt, [] { return GetTickCount64() + kClipboardWaitMs; }) == Retry::Outcome::Done;
}

// Every line break as CR LF, the form Windows programs paste (Notepad's older versions and many
// other editors show a bare LF as nothing).
std::wstring WindowsLineEnds(std::wstring_view text) {
    const std::wstring lines = NormalizeNewlines(text);
    std::wstring result;
    result.reserve(lines.size() + static_cast<size_t>(std::count(lines.begin(), lines.end(), L'\n')));
    for (const wchar_t c : lines) {
        if (c == L'\n') {
            result.push_back(L'\r');
        }
        result.push_back(c);
    }
    return result;
}

}  // namespace

void SetClipboardForTesting(ClipboardSeam seam) {
    Clipboard() = std::move(seam);
}

bool CopyToClipboard(const std::wstring& text) {
    if (Clipboard().copy) {
        return Clipboard().copy(text);
    }
    const std::wstring copy = WindowsLineEnds(text);
    if (!OpenClipboardSoon()) {
        return false;
    }
    EmptyClipboard();
    bool set = false;
    const size_t bytes = (copy.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            memcpy(target, copy.c_str(), bytes);
            GlobalUnlock(memory);
            set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        // On success the clipboard owns the memory.
        if (!set) {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
    return set;
}

std::wstring ReadClipboard() {
    if (Clipboard().read) {
        return Clipboard().read();
    }
    std::wstring text;
    if (!OpenClipboardSoon()) {
        return text;
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const size_t units = GlobalSize(data) / sizeof(wchar_t);
        if (const auto* source = static_cast<const wchar_t*>(GlobalLock(data))) {
            const std::wstring_view block(source, units);
            text.assign(block.substr(0, block.find(L'\0')));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace Lorvex::Text

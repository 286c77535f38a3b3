// The JSON grammar, one value at a time: whitespace, literals, numbers, strings with their
// escapes, and the separators of objects and arrays.

#include "foundation/json/Cursor.h"

#include "foundation/json/NumberText.h"

namespace Lorvex::Json {

namespace {

bool IsNumberByte(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Four hexadecimal digits at `at`, all before `stop`.
bool ReadHex4(const char* at, const char* stop, uint32_t& unit) {
    if (stop - at < 4) {
        return false;
    }
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexDigit(at[i]);
        if (digit < 0) {
            return false;
        }
        unit = unit * 16 + static_cast<uint32_t>(digit);
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        const char bytes[2] = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 2);
    } else if (cp < 0x10000) {
        const char bytes[3] = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                               static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[4] = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                               static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 4);
    }
}

}  // namespace

Cursor::Cursor(std::string_view text) {
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF) {
        text.remove_prefix(3);
    }
    p_ = text.data();
    end_ = text.data() + text.size();
}

bool Cursor::Finish() {
    if (failed_) {
        return false;
    }
    SkipSpace();
    return p_ == end_ && depth_ == 0;
}

bool Cursor::ReadWord(std::string_view word) {
    const size_t length = word.size();
    if (static_cast<size_t>(end_ - p_) < length || std::memcmp(p_, word.data(), length) != 0) {
        return Fail();
    }
    p_ += length;
    return true;
}

bool Cursor::ReadNull() {
    return AtValue() && ReadWord("null");
}

bool Cursor::ReadBool(bool& out) {
    if (!AtValue()) {
        return false;
    }
    const bool truth = *p_ == 't';
    if (!ReadWord(truth ? "true" : "false")) {
        return false;
    }
    out = truth;
    return true;
}

// The whole run of number bytes is consumed even when the conversion uses only its start
// ("1.2.3" reads as 1.2); only a run the conversion cannot start on fails.
bool Cursor::ReadNumber(double& out) {
    if (!AtValue()) {
        return false;
    }
    const char* run = p_;
    while (p_ < end_ && IsNumberByte(*p_)) {
        ++p_;
    }
    double value = 0.0;
    if (Detail::ReadNumber(run, p_, value) == run) {
        return Fail();
    }
    out = value;
    return true;
}

bool Cursor::ReadString(std::string& out) {
    if (!AtValue()) {
        return false;
    }
    if (*p_ != '"') {
        return Fail();
    }
    const char* start = ++p_;
    const char* special = Detail::FindStringSpecial(start, end_, false);
    if (special != end_ && *special == '"') {
        out.assign(start, special);
        p_ = special + 1;
        return true;
    }
    // Decoded straight into the caller's string: a copy through the scratch would cost every
    // string with escapes a second pass.
    const char* close = EscapedClose(special);
    if (close == nullptr || !DecodeEscapes(start, special, close, out)) {
        return Fail();
    }
    p_ = close + 1;
    return true;
}

const char* Cursor::EscapedClose(const char* special) const {
    if (special == end_) {
        return nullptr;
    }
    // A backslash: the byte after it never ends the string.
    const char* close = special;
    while (*close == '\\') {
        if (end_ - close < 2) {
            return nullptr;
        }
        close = Detail::FindStringSpecial(close + 2, end_, false);
        if (close == end_) {
            return nullptr;
        }
    }
    return close;
}

bool Cursor::ReadEscapedBody(const char* start, const char* special, std::string_view& out) {
    const char* close = EscapedClose(special);
    if (close == nullptr || !DecodeEscapes(start, special, close, scratch_)) {
        return Fail();
    }
    out = scratch_;
    p_ = close + 1;
    return true;
}

// [start, close) into `into`, the first backslash at special.
bool Cursor::DecodeEscapes(const char* start, const char* special, const char* close, std::string& into) {
    into.clear();
    into.reserve(static_cast<size_t>(close - start));
    into.append(start, special);
    const char* p = special;
    while (p < close) {
        if (*p != '\\') {
            const char* run = p;
            p = Detail::FindStringSpecial(p, close, false);
            into.append(run, p);
            continue;
        }
        ++p;
        const char escaped = *p++;
        switch (escaped) {
        case '"':
        case '\\':
        case '/':
            into.push_back(escaped);
            break;
        case 'b':
            into.push_back('\b');
            break;
        case 'f':
            into.push_back('\f');
            break;
        case 'n':
            into.push_back('\n');
            break;
        case 'r':
            into.push_back('\r');
            break;
        case 't':
            into.push_back('\t');
            break;
        case 'u':
            if (!ReadUnicodeEscape(p, close, into)) {
                return false;
            }
            break;
        default:
            return false;
        }
    }
    return true;
}

// A high surrogate followed by a low one is one code point. Followed by any other escape it
// stands alone and the next escape is read on its own, so no unrelated character is invented.
bool Cursor::ReadUnicodeEscape(const char*& p, const char* close, std::string& into) {
    uint32_t unit = 0;
    if (!ReadHex4(p, close, unit)) {
        return false;
    }
    p += 4;
    if (unit >= 0xD800 && unit <= 0xDBFF && close - p >= 6 && p[0] == '\\' && p[1] == 'u') {
        uint32_t low = 0;
        if (!ReadHex4(p + 2, close, low)) {
            return false;
        }
        if (low >= 0xDC00 && low <= 0xDFFF) {
            p += 6;
            AppendUtf8(into, (unit - 0xD800) * 0x400 + (low - 0xDC00) + 0x10000);
            return true;
        }
    }
    AppendUtf8(into, unit);
    return true;
}

bool Cursor::Skip() {
    switch (Peek()) {
    case Kind::String: {
        std::string_view text;
        return ReadString(text);
    }
    case Kind::Array:
        if (!BeginArray()) {
            return false;
        }
        while (NextElement()) {
            if (!Skip()) {
                return false;
            }
        }
        return !failed_;
    case Kind::Object: {
        if (!BeginObject()) {
            return false;
        }
        std::string_view key;
        while (NextMember(key)) {
            if (!Skip()) {
                return false;
            }
        }
        return !failed_;
    }
    case Kind::Bool: {
        bool truth = false;
        return ReadBool(truth);
    }
    case Kind::Null:
        return ReadNull();
    case Kind::Number: {
        double number = 0;
        return ReadNumber(number);
    }
    case Kind::End:
    default:
        return Fail();
    }
}

}  // namespace Lorvex::Json

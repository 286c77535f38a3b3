// Recursive-descent reader: one cursor over the caller's text, success or failure only, because
// every caller treats unreadable text as missing data.

#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <string_view>

#include "foundation/json/NumberText.h"
#include "foundation/json/Scan.h"
#include "foundation/json/Value.h"

namespace Lorvex::Json {

namespace {

// Bounds the recursion: at most 201 containers nest.
constexpr int MaxDepth = 200;

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

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        char bytes[2] = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 2);
    } else if (cp < 0x10000) {
        char bytes[3] = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 3);
    } else {
        char bytes[4] = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                         static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 4);
    }
}

class Reader {
public:
    Reader(const char* first, const char* last) : p_(first), end_(last) {}

    bool Document(Value& out) {
        if (!ReadValue(out, 0)) {
            return false;
        }
        SkipSpace();
        return p_ == end_;
    }

private:
    void SkipSpace() {
        const char* p = p_;
        while (p < end_) {
            // Pretty text indents with runs of spaces: eight of them at a time.
            if (*p == ' ' && end_ - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if (word == Detail::EveryByte(' ')) {
                    p += 8;
                    continue;
                }
            }
            if (*p != ' ' && *p != '\n' && *p != '\r' && *p != '\t') {
                break;
            }
            ++p;
        }
        p_ = p;
    }

    bool ReadValue(Value& out, int depth) {
        SkipSpace();
        if (p_ == end_ || depth > MaxDepth) {
            return false;
        }
        switch (*p_) {
        case '"':
            ++p_;
            out.kind = Type::String;
            return ReadString(out.text);
        case '[':
            return ReadArray(out, depth);
        case '{':
            return ReadObject(out, depth);
        case 't':
        case 'f': {
            bool truth = *p_ == 't';
            if (!ReadWord(truth ? "true" : "false")) {
                return false;
            }
            out.kind = Type::Bool;
            out.boolean = truth;
            return true;
        }
        case 'n':
            return ReadWord("null");
        default:
            return ReadNumber(out);
        }
    }

    bool ReadWord(std::string_view word) {
        size_t length = word.size();
        if (static_cast<size_t>(end_ - p_) < length || std::memcmp(p_, word.data(), length) != 0) {
            return false;
        }
        p_ += length;
        return true;
    }

    // The whole run of number bytes is consumed even when the conversion uses only its start
    // ("1.2.3" reads as 1.2); only a run the conversion cannot start on fails.
    bool ReadNumber(Value& out) {
        const char* run = p_;
        while (p_ < end_ && IsNumberByte(*p_)) {
            ++p_;
        }
        double value = 0.0;
        if (Detail::ReadNumber(run, p_, value) == run) {
            return false;
        }
        out.kind = Type::Number;
        out.number = value;
        return true;
    }

    // Four hexadecimal digits at `at`, all before `stop`.
    static bool ReadHex4(const char* at, const char* stop, uint32_t& unit) {
        if (stop - at < 4) {
            return false;
        }
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = HexDigit(at[i]);
            if (digit < 0) {
                return false;
            }
            unit = unit * 16 + static_cast<uint32_t>(digit);
        }
        return true;
    }

    // Called after the opening quote. The closing quote is found before anything is copied, so
    // a string without escapes is copied in one piece and one with escapes gets its storage
    // once (the decoded text is never longer than the escaped one).
    bool ReadString(std::string& out) {
        const char* start = p_;
        const char* special = Detail::FindStringSpecial(start, end_, false);
        if (special == end_) {
            return false;
        }
        if (*special == '"') {
            out.assign(start, special);
            p_ = special + 1;
            return true;
        }
        // A backslash: the byte after it never ends the string.
        const char* close = special;
        while (*close == '\\') {
            if (end_ - close < 2) {
                return false;
            }
            close = Detail::FindStringSpecial(close + 2, end_, false);
            if (close == end_) {
                return false;
            }
        }
        out.clear();
        out.reserve(static_cast<size_t>(close - start));
        out.append(start, special);
        p_ = special;
        if (!ReadEscapedRun(out, close)) {
            return false;
        }
        p_ = close + 1;
        return true;
    }

    // Decodes [p_, close), which starts at a backslash, into out.
    bool ReadEscapedRun(std::string& out, const char* close) {
        while (p_ < close) {
            if (*p_ != '\\') {
                const char* start = p_;
                p_ = Detail::FindStringSpecial(p_, close, false);
                out.append(start, p_);
                continue;
            }
            ++p_;
            char escaped = *p_++;
            switch (escaped) {
            case '"':
            case '\\':
            case '/':
                out.push_back(escaped);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u':
                if (!ReadUnicodeEscape(out, close)) {
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
    bool ReadUnicodeEscape(std::string& out, const char* close) {
        uint32_t unit = 0;
        if (!ReadHex4(p_, close, unit)) {
            return false;
        }
        p_ += 4;
        if (unit >= 0xD800 && unit <= 0xDBFF && close - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u') {
            uint32_t low = 0;
            if (!ReadHex4(p_ + 2, close, low)) {
                return false;
            }
            if (low >= 0xDC00 && low <= 0xDFFF) {
                p_ += 6;
                AppendUtf8(out, (unit - 0xD800) * 0x400 + (low - 0xDC00) + 0x10000);
                return true;
            }
        }
        AppendUtf8(out, unit);
        return true;
    }

    // Elements gather in a scratch list kept per depth (nested containers use the next one, so
    // nothing moves under a value being read) and then move once into storage of the exact size.
    bool ReadArray(Value& out, int depth) {
        ++p_;
        out.kind = Type::Array;
        SkipSpace();
        if (p_ < end_ && *p_ == ']') {
            ++p_;
            out.array = std::make_shared<Array>();
            return true;
        }
        if (arrays_.size() <= static_cast<size_t>(depth)) {
            arrays_.resize(depth + 1);
        }
        Array& scratch = arrays_[depth];
        scratch.clear();
        for (;;) {
            scratch.emplace_back();
            if (!ReadValue(scratch.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (p_ == end_) {
                return false;
            }
            char c = *p_++;
            if (c == ']') {
                out.array = std::make_shared<Array>(std::make_move_iterator(scratch.begin()),
                                                    std::make_move_iterator(scratch.end()));
                scratch.clear();
                return true;
            }
            if (c != ',') {
                return false;
            }
        }
    }

    bool ReadObject(Value& out, int depth) {
        ++p_;
        out.kind = Type::Object;
        SkipSpace();
        if (p_ < end_ && *p_ == '}') {
            ++p_;
            out.object = std::make_shared<Object>();
            return true;
        }
        if (objects_.size() <= static_cast<size_t>(depth)) {
            objects_.resize(depth + 1);
        }
        Object& scratch = objects_[depth];
        scratch.clear();
        for (;;) {
            SkipSpace();
            if (p_ == end_ || *p_ != '"') {
                return false;
            }
            ++p_;
            scratch.emplace_back();
            auto& member = scratch.back();
            if (!ReadString(member.first)) {
                return false;
            }
            SkipSpace();
            if (p_ == end_ || *p_ != ':') {
                return false;
            }
            ++p_;
            if (!ReadValue(member.second, depth + 1)) {
                return false;
            }
            SkipSpace();
            if (p_ == end_) {
                return false;
            }
            char c = *p_++;
            if (c == '}') {
                out.object = std::make_shared<Object>(std::make_move_iterator(scratch.begin()),
                                                      std::make_move_iterator(scratch.end()));
                scratch.clear();
                return true;
            }
            if (c != ',') {
                return false;
            }
        }
    }

    const char* p_;
    const char* end_;
    // Deques: growing one keeps the scratch lists of the outer levels where they are.
    std::deque<Array> arrays_;
    std::deque<Object> objects_;
};

}  // namespace

Value Value::Parse(std::string_view text, bool* ok) {
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF) {
        text.remove_prefix(3);
    }
    Value result;
    Reader reader(text.data(), text.data() + text.size());
    bool parsed = reader.Document(result);
    if (!parsed) {
        result = Value();
    }
    if (ok) {
        *ok = parsed;
    }
    return result;
}

}  // namespace Lorvex::Json

#pragma once
// The one reader of JSON text: a forward-only cursor that hands out one value at a time, so a
// caller builds what it needs straight from the text (the records from their files) and the
// value tree (Value::Parse) is built from the same reading. The text is the caller's and must
// outlive the cursor. Any thread; one cursor per thread.
//
// Failure is sticky: the first byte that breaks the grammar (or nesting deeper than kMaxDepth)
// makes every later call answer false, and Finish says whether the text was one whole value.
// Every value is read or skipped in turn: a member's value must be consumed before the next
// member is asked for.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/json/Scan.h"

namespace Lorvex::Json {

class Cursor {
public:
    // What the next value is, from its first byte. Number stands for anything else too, which
    // then fails as a number.
    enum class Kind { Null, Bool, Number, String, Array, Object, End };

    // Values nested in more containers than this fail.
    static constexpr int kMaxDepth = 200;

    // A UTF-8 byte order mark at the start is skipped.
    explicit Cursor(std::string_view text);

    bool Failed() const { return failed_; }
    // After the root value: true when it was read whole and only whitespace follows.
    bool Finish();

    // The kind of the next value; End at the end of the text or once failed.
    Kind Peek() {
        if (failed_) {
            return Kind::End;
        }
        SkipSpace();
        if (p_ == end_) {
            return Kind::End;
        }
        switch (*p_) {
        case '"':
            return Kind::String;
        case '[':
            return Kind::Array;
        case '{':
            return Kind::Object;
        case 't':
        case 'f':
            return Kind::Bool;
        case 'n':
            return Kind::Null;
        default:
            return Kind::Number;
        }
    }

    bool ReadNull();
    bool ReadBool(bool& out);
    bool ReadNumber(double& out);
    // The string's text with its escapes decoded (UTF-8; an escaped lone surrogate becomes its
    // three-byte form). The view points into the text, or into the cursor's scratch when the
    // string held escapes: it lasts until the next call.
    bool ReadString(std::string_view& out) {
        if (!AtValue()) {
            return false;
        }
        if (*p_ != '"') {
            return Fail();
        }
        ++p_;
        return ReadStringBody(out);
    }
    bool ReadString(std::string& out);
    // Reads and forgets the next value of any kind, nested ones included.
    bool Skip();

    // Containers: after BeginObject, each NextMember gives the next member's decoded key (valid
    // until the next call) and leaves the cursor on its value, until it answers false at the
    // closing brace (consumed) or on a fault. Arrays alike with NextElement.
    bool BeginObject() { return Open('{'); }
    bool NextMember(std::string_view& key) {
        if (!NextInContainer('}')) {
            return false;
        }
        SkipSpace();
        if (p_ == end_ || *p_ != '"') {
            return Fail();
        }
        ++p_;
        if (!ReadStringBody(key)) {
            return false;
        }
        // A decoded key moves out of the scratch, which the member's own string may need.
        if (!key.empty() && key.data() == scratch_.data()) {
            keyScratch_.assign(key.data(), key.size());
            key = keyScratch_;
        }
        SkipSpace();
        if (p_ == end_ || *p_ != ':') {
            return Fail();
        }
        ++p_;
        return true;
    }
    bool BeginArray() { return Open('['); }
    bool NextElement() { return NextInContainer(']'); }

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
    bool Fail() {
        failed_ = true;
        return false;
    }
    // Space skipped, the cursor on a value's first byte within the depth limit.
    bool AtValue() {
        if (failed_) {
            return false;
        }
        SkipSpace();
        if (p_ == end_ || depth_ > kMaxDepth) {
            return Fail();
        }
        return true;
    }
    bool ReadWord(std::string_view word);
    // After the opening quote: the string up to its closing quote, decoded into scratch_ when it
    // holds escapes. The closing quote is found before anything is copied, so a string without
    // escapes is a view of the text.
    bool ReadStringBody(std::string_view& out) {
        const char* start = p_;
        const char* special = Detail::FindStringSpecial(start, end_, false);
        if (special != end_ && *special == '"') {
            out = std::string_view(start, static_cast<size_t>(special - start));
            p_ = special + 1;
            return true;
        }
        return ReadEscapedBody(start, special, out);
    }
    // The rest of ReadStringBody, from the first special byte (a backslash, or the end).
    bool ReadEscapedBody(const char* start, const char* special, std::string_view& out);
    // The closing quote of a string whose first special byte is at special; null when the text
    // ends first.
    const char* EscapedClose(const char* special) const;
    bool DecodeEscapes(const char* start, const char* special, const char* close, std::string& into);
    bool ReadUnicodeEscape(const char*& p, const char* close, std::string& into);
    bool Open(char opening) {
        if (!AtValue()) {
            return false;
        }
        if (*p_ != opening) {
            return Fail();
        }
        ++p_;
        ++depth_;
        first_ = true;
        return true;
    }
    // The separator after a member or element: true before another one, false at the closing
    // byte (consumed, the container closed) or a fault.
    bool NextInContainer(char close) {
        if (failed_) {
            return false;
        }
        SkipSpace();
        if (first_) {
            first_ = false;
            if (p_ < end_ && *p_ == close) {
                // Back in the enclosing container, which has given this one already.
                ++p_;
                --depth_;
                return false;
            }
            return true;
        }
        if (p_ == end_) {
            return Fail();
        }
        const char c = *p_++;
        if (c == close) {
            --depth_;
            return false;
        }
        if (c != ',') {
            return Fail();
        }
        return true;
    }

    const char* p_;
    const char* end_;
    int depth_ = 0;      // containers open
    bool first_ = true;  // the open container has given nothing yet
    bool failed_ = false;
    std::string scratch_;     // the latest string that held escapes
    std::string keyScratch_;  // the latest key that did
};

}  // namespace Lorvex::Json

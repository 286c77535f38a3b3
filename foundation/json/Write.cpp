// The two text forms: pretty (a line break and two spaces a level) for the data folder, compact
// for request bodies and for text that is compared or hashed. Everything is appended to one buffer.

#include "foundation/json/NumberText.h"
#include "foundation/json/Scan.h"
#include "foundation/json/Value.h"

namespace Lorvex::Json {

namespace {

// Bytes of 0x80 and above pass through unchanged: UTF-8 stays UTF-8.
void WriteString(std::string& out, const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* start = p;
        p = Detail::FindStringSpecial(p, end, true);
        out.append(start, p);
        if (p == end) {
            break;
        }
        unsigned char c = static_cast<unsigned char>(*p++);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        default: {
            char escape[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
            out.append(escape, 6);
            break;
        }
        }
    }
    out.push_back('"');
}

void Indent(std::string& out, bool pretty, int depth) {
    if (pretty) {
        out.push_back('\n');
        out.append(static_cast<size_t>(depth) * 2, ' ');
    }
}

}  // namespace

void Value::Write(std::string& out, bool pretty, int depth) const {
    if (depth < 0) {
        depth = 0;
    }
    switch (kind) {
    case Type::Bool:
        out += boolean ? "true" : "false";
        break;
    case Type::Number:
        Detail::AppendNumber(out, number);
        break;
    case Type::String:
        WriteString(out, text);
        break;
    case Type::Array: {
        const Array& elements = Items();
        out.push_back('[');
        for (size_t i = 0; i < elements.size(); ++i) {
            if (i > 0) {
                out.push_back(',');
            }
            Indent(out, pretty, depth + 1);
            elements[i].Write(out, pretty, depth + 1);
        }
        if (!elements.empty()) {
            Indent(out, pretty, depth);
        }
        out.push_back(']');
        break;
    }
    case Type::Object: {
        const Object& members = Members();
        out.push_back('{');
        for (size_t i = 0; i < members.size(); ++i) {
            if (i > 0) {
                out.push_back(',');
            }
            Indent(out, pretty, depth + 1);
            WriteString(out, members[i].first);
            out += pretty ? ": " : ":";
            members[i].second.Write(out, pretty, depth + 1);
        }
        if (!members.empty()) {
            Indent(out, pretty, depth);
        }
        out.push_back('}');
        break;
    }
    case Type::Null:
    default:
        out += "null";
        break;
    }
}

}  // namespace Lorvex::Json

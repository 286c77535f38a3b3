// The value tree read from text through the one JSON cursor: success or failure only, because
// every caller treats unreadable text as missing data.

#include <deque>
#include <iterator>
#include <memory>
#include <string_view>

#include "foundation/json/Cursor.h"
#include "foundation/json/Value.h"

namespace Lorvex::Json {

namespace {

class TreeReader {
public:
    explicit TreeReader(Cursor& cursor) : cursor_(cursor) {}

    bool Read(Value& out, size_t depth) {
        switch (cursor_.Peek()) {
        case Cursor::Kind::String:
            out.kind = Type::String;
            return cursor_.ReadString(out.text);
        case Cursor::Kind::Array:
            return ReadArray(out, depth);
        case Cursor::Kind::Object:
            return ReadObject(out, depth);
        case Cursor::Kind::Bool:
            out.kind = Type::Bool;
            return cursor_.ReadBool(out.boolean);
        case Cursor::Kind::Null:
            return cursor_.ReadNull();
        case Cursor::Kind::Number:
            out.kind = Type::Number;
            return cursor_.ReadNumber(out.number);
        case Cursor::Kind::End:
        default:
            return false;
        }
    }

private:
    // Elements gather in a scratch list kept per depth (nested containers use the next one, so
    // nothing moves under a value being read) and then move once into storage of the exact size.
    bool ReadArray(Value& out, size_t depth) {
        out.kind = Type::Array;
        if (!cursor_.BeginArray()) {
            return false;
        }
        if (arrays_.size() <= depth) {
            arrays_.resize(depth + 1);
        }
        Array& scratch = arrays_[depth];
        scratch.clear();
        while (cursor_.NextElement()) {
            scratch.emplace_back();
            if (!Read(scratch.back(), depth + 1)) {
                return false;
            }
        }
        if (cursor_.Failed()) {
            return false;
        }
        out.array =
            std::make_shared<Array>(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
        scratch.clear();
        return true;
    }

    bool ReadObject(Value& out, size_t depth) {
        out.kind = Type::Object;
        if (!cursor_.BeginObject()) {
            return false;
        }
        if (objects_.size() <= depth) {
            objects_.resize(depth + 1);
        }
        Object& scratch = objects_[depth];
        scratch.clear();
        std::string_view key;
        while (cursor_.NextMember(key)) {
            // The key straight into the member's own string, without a string and a value moved in.
            auto& member = scratch.emplace_back();
            member.first.assign(key.data(), key.size());
            if (!Read(member.second, depth + 1)) {
                return false;
            }
        }
        if (cursor_.Failed()) {
            return false;
        }
        out.object =
            std::make_shared<Object>(std::make_move_iterator(scratch.begin()), std::make_move_iterator(scratch.end()));
        scratch.clear();
        return true;
    }

    Cursor& cursor_;
    // Deques: growing one keeps the scratch lists of the outer levels where they are.
    std::deque<Array> arrays_;
    std::deque<Object> objects_;
};

}  // namespace

Value Value::Parse(std::string_view text, bool* ok) {
    Value result;
    Cursor cursor(text);
    TreeReader reader(cursor);
    const bool parsed = reader.Read(result, 0) && cursor.Finish();
    if (!parsed) {
        result = Value();
    }
    if (ok) {
        *ok = parsed;
    }
    return result;
}

}  // namespace Lorvex::Json

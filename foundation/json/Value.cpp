#include "foundation/json/Value.h"

#include <cmath>

#include "foundation/Text.h"
#include "foundation/json/NumberText.h"

namespace Lorvex::Json {

namespace {

// Read-only stand-ins that accessors hand out for what is not there, so calls can be chained.
const Value& SharedNull() {
    static const Value value;
    return value;
}

const std::string& SharedEmptyString() {
    static const std::string text;
    return text;
}

const Array& SharedEmptyArray() {
    static const Array elements;
    return elements;
}

const Object& SharedEmptyObject() {
    static const Object members;
    return members;
}

void SwapFields(Value& a, Value& b) noexcept {
    std::swap(a.kind, b.kind);
    std::swap(a.boolean, b.boolean);
    std::swap(a.number, b.number);
    a.text.swap(b.text);
    a.array.swap(b.array);
    a.object.swap(b.object);
}

}  // namespace

Value::Value(bool value) : kind(Type::Bool), boolean(value) {
}

Value::Value(double value) : kind(Type::Number), number(value) {
}

Value::Value(int value) : Value(static_cast<double>(value)) {
}

Value::Value(unsigned value) : Value(static_cast<double>(value)) {
}

Value::Value(long value) : Value(static_cast<double>(value)) {
}

Value::Value(unsigned long value) : Value(static_cast<double>(value)) {
}

Value::Value(long long value) : Value(static_cast<double>(value)) {
}

Value::Value(unsigned long long value) : Value(static_cast<double>(value)) {
}

Value::Value(const char* utf8) : kind(Type::String), text(utf8 ? utf8 : "") {
}

Value::Value(const wchar_t* utf16) : kind(Type::String), text(Text::ToUtf8(utf16 ? utf16 : L"")) {
}

Value::Value(std::string&& utf8) : kind(Type::String), text(std::move(utf8)) {
}

Value::Value(const std::string& utf8) : kind(Type::String), text(utf8) {
}

Value::Value(const std::wstring& utf16) : kind(Type::String), text(Text::ToUtf8(utf16)) {
}

Value::Value(Array&& elements) : kind(Type::Array), array(std::make_shared<Array>(std::move(elements))) {
}

Value::Value(Object&& members) : kind(Type::Object), object(std::make_shared<Object>(std::move(members))) {
}

// Both assignments build the new state completely before the old storage is released: the
// source may live inside that storage (v = v["inner"]).
Value& Value::operator=(const Value& other) {
    Value copy(other);
    SwapFields(*this, copy);
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    Value taken(std::move(other));
    SwapFields(*this, taken);
    return *this;
}

Value Value::EmptyArray() {
    return Value(Array{});
}

bool Value::AsBool(bool fallback) const {
    if (kind == Type::Bool) {
        return boolean;
    }
    if (kind == Type::String) {
        if (text == "true") {
            return true;
        }
        if (text == "false") {
            return false;
        }
    }
    return fallback;
}

double Value::AsDouble(double fallback) const {
    if (kind == Type::Number) {
        return number;
    }
    if (kind != Type::String) {
        return fallback;
    }
    std::wstring trimmed = Text::Trim(Text::ToWide(text));
    if (trimmed.empty()) {
        return fallback;
    }
    // A number is ASCII; any other character means the text cannot be read whole.
    std::string ascii;
    ascii.reserve(trimmed.size());
    for (wchar_t c : trimmed) {
        if (c > 0x7F) {
            return fallback;
        }
        ascii.push_back(static_cast<char>(c));
    }
    double value = 0.0;
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (Detail::ReadNumber(first, last, value) != last) {
        return fallback;
    }
    return value;
}

int64_t Value::AsInt64(int64_t fallback) const {
    if (kind == Type::Number) {
        double rounded = std::round(number);
        // 2^63 itself is already outside; every double below it converts exactly.
        if (!std::isfinite(rounded) || rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) {
            return 0;
        }
        return static_cast<int64_t>(rounded);
    }
    if (kind == Type::String) {
        if (auto parsed = Text::TryParseInt(Text::ToWide(text))) {
            return *parsed;
        }
    }
    return fallback;
}

const std::string& Value::AsString() const {
    return kind == Type::String ? text : SharedEmptyString();
}

std::wstring Value::AsWString() const {
    switch (kind) {
    case Type::Bool:
        return boolean ? L"true" : L"false";
    case Type::Number: {
        std::string label = Detail::NumberLabel(number);
        return std::wstring(label.begin(), label.end());
    }
    case Type::String:
        return Text::ToWide(text);
    default:
        return std::wstring();
    }
}

size_t Value::Size() const {
    if (kind == Type::Array && array) {
        return array->size();
    }
    if (kind == Type::Object && object) {
        return object->size();
    }
    return 0;
}

const Array& Value::Items() const {
    return kind == Type::Array && array ? *array : SharedEmptyArray();
}

const Object& Value::Members() const {
    return kind == Type::Object && object ? *object : SharedEmptyObject();
}

const Value& Value::Find(std::string_view key) const {
    for (const auto& member : Members()) {
        if (member.first == key) {
            return member.second;
        }
    }
    return SharedNull();
}

Value& Value::operator[](std::string_view key) {
    if (kind == Type::Object && object) {
        for (auto& member : *object) {
            if (member.first == key) {
                return member.second;
            }
        }
        // Copied first: the key may point into this object's own storage.
        std::string name(key);
        object->emplace_back(std::move(name), Value());
        return object->back().second;
    }
    // The key may point into this value's own text, which the reset below releases.
    std::string name(key);
    *this = Value(Object{});
    object->emplace_back(std::move(name), Value());
    return object->back().second;
}

void Value::Push(Value element) {
    if (kind != Type::Array || !array) {
        *this = EmptyArray();
    }
    array->push_back(std::move(element));
}

std::string Value::Dump(bool pretty) const {
    std::string out;
    Write(out, pretty, 0);
    return out;
}

}  // namespace Lorvex::Json

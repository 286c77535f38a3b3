#pragma once
// The one in-memory form of JSON: records, settings and every request or answer pass through it.
// Copies share array and object storage (no copy-on-write), so a member added through one copy is
// seen through all of them. Readers use forgiving accessors that fall back instead of failing.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Lorvex::Json {

enum class Type : int32_t {
    Null = 0,
    Bool = 1,
    Number = 2,
    String = 3,
    Array = 4,
    Object = 5,
};

class Value;

// Elements in order.
using Array = std::vector<Value>;
// Members in insertion order; keys (UTF-8) may repeat and lookups take the first match.
using Object = std::vector<std::pair<std::string, Value>>;

class Value {
public:
    Value() = default;
    Value(bool value);
    Value(double value);
    // Without these, Value(5) would be ambiguous and Value("x") would pick the bool overload.
    Value(int value);
    Value(unsigned value);
    Value(long value);
    Value(unsigned long value);
    Value(long long value);
    Value(unsigned long long value);
    Value(const char* utf8);
    Value(const wchar_t* utf16);
    Value(std::string&& utf8);
    Value(const std::string& utf8);
    Value(const std::wstring& utf16);
    Value(Array&& elements);
    Value(Object&& members);

    Value(const Value& other) = default;
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value() = default;

    static Value EmptyArray();

    // Reading: never fails, never changes the value.
    bool AsBool(bool fallback = false) const;
    double AsDouble(double fallback = 0.0) const;
    int64_t AsInt64(int64_t fallback = 0) const;
    const std::string& AsString() const;
    std::wstring AsWString() const;
    size_t Size() const;
    const Array& Items() const;
    const Object& Members() const;
    const Value& Find(std::string_view key) const;

    // Writing: turns the value into an object or array first when it is not one. References
    // into the storage stay valid only until the member or element list grows again.
    Value& operator[](std::string_view key);
    void Push(Value element);

    // Text forms. Parse fails (null value, *ok false) on anything that is not one JSON value.
    static Value Parse(std::string_view text, bool* ok = nullptr);
    void Write(std::string& out, bool pretty, int depth = 0) const;
    std::string Dump(bool pretty) const;

    // Plain fields; kind says which of the others means something.
    Type kind = Type::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::shared_ptr<Array> array;
    std::shared_ptr<Object> object;
};

// Inline: the parser moves every value it reads once, from its scratch list into the storage.
inline Value::Value(Value&& other) noexcept
    : kind(other.kind),
      boolean(other.boolean),
      number(other.number),
      text(std::move(other.text)),
      array(std::move(other.array)),
      object(std::move(other.object)) {
    other.kind = Type::Null;
    other.boolean = false;
    other.number = 0.0;
    other.text.clear();
}

}  // namespace Lorvex::Json

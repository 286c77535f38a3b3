#pragma once
// Member readers and writers shared by the records' JSON forms. Readers never fail: a missing
// member or one of another type gives the fallback. Keys are matched exactly and the first of a
// repeated key counts.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/json/Value.h"

namespace Lorvex {

// The member's text with CR LF and lone CR turned into LF when it is a JSON string; otherwise
// the fallback.
std::wstring ReadText(const Json::Value& object, std::string_view key, std::wstring_view fallback);

// The member's text as it stands (also empty) when it is a JSON string; unset otherwise.
std::optional<std::wstring> ReadOptionalText(const Json::Value& object, std::string_view key);

// A JSON string when set (also when empty), null when unset.
void PutOptionalText(Json::Value& object, std::string_view key, const std::optional<std::wstring>& text);

// Record flags: true only for JSON true or the JSON string "true". Stricter than
// Json::Value::AsBool, which the settings use.
bool ReadFlag(const Json::Value& object, std::string_view key);

}  // namespace Lorvex

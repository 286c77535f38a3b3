#pragma once
// Pieces shared by the record readers and writers; not for other callers. Any thread.

#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"

namespace Lorvex::RecordJsonDetail {

// The first member of that key, or null when the value is not an object or has none. Unlike
// Json::Value::Find this tells a missing member from one that holds null.
const Json::Value* FindMember(const Json::Value& object, std::string_view key);

// A JSON string's text as the records keep it: UTF-16, line breaks as LF.
std::wstring WideWithNewlines(std::string_view utf8);

Json::Value KnownCharactersToJson(const std::vector<KnownCharacter>& known);

}  // namespace Lorvex::RecordJsonDetail

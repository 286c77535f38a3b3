#pragma once
// Pieces shared by the record readers and writers; not for other callers.

#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"

namespace Lorvex::RecordJsonDetail {

// The first member of that key, or null when the value is not an object or has none. Unlike
// Json::Value::Find this tells a missing member from one that holds null.
const Json::Value* FindMember(const Json::Value& object, std::string_view key);

// The member's text when it is a JSON string, else a value made on the spot (a new id, the
// current time), so each read of a record without it gets its own.
std::wstring ReadTextOrMake(const Json::Value& object, std::string_view key, std::wstring (*make)());

Json::Value KnownCharactersToJson(const std::vector<KnownCharacter>& known);
std::vector<KnownCharacter> ReadKnownCharacters(const Json::Value& object, std::string_view key);

}  // namespace Lorvex::RecordJsonDetail

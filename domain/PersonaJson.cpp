// The persona's JSON form: its file in "personas" and its upload form.

#include <memory>

#include "domain/RecordJson.h"
#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"

namespace Lorvex {

Json::Value Persona::ToJson(const Persona& persona) {
    Json::Value value(Json::Object{});
    value["id"] = Json::Value(persona.id);
    value["name"] = Json::Value(persona.name);
    value["age"] = Json::Value(persona.age);
    value["gender"] = Json::Value(persona.gender);
    value["orientation"] = Json::Value(persona.orientation);
    value["traits"] = Json::Value(persona.traits);
    value["personality"] = Json::Value(persona.personality);
    PutOptionalText(value, "photoPath", persona.photoPath);
    if (!persona.known_characters.empty()) {
        value["known_characters"] = RecordJsonDetail::KnownCharactersToJson(persona.known_characters);
    }
    return value;
}

}  // namespace Lorvex

// The persona's JSON form: its file in "personas" and its upload form.

#include <memory>

#include "domain/RecordJson.h"
#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Time.h"

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

std::shared_ptr<Persona> Persona::FromJson(const Json::Value& value) {
    auto persona = std::make_shared<Persona>();
    persona->id = RecordJsonDetail::ReadTextOrMake(value, "id", &Time::NewUuid);
    persona->name = ReadText(value, "name", L"");
    persona->age = ReadText(value, "age", L"");
    persona->gender = ReadText(value, "gender", L"");
    persona->orientation = ReadText(value, "orientation", L"");
    persona->traits = ReadText(value, "traits", L"");
    persona->personality = ReadText(value, "personality", L"");
    persona->photoPath = ReadOptionalText(value, "photoPath");
    persona->known_characters = RecordJsonDetail::ReadKnownCharacters(value, "known_characters");
    return persona;
}

}  // namespace Lorvex

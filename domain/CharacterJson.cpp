// The character's JSON form: its "character.json" and its upload form, with how it sees each
// persona.

#include <utility>

#include "domain/RecordJson.h"
#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Text.h"

namespace Lorvex {

namespace {

Json::Value OverridesToJson(const std::map<std::wstring, PersonaOverride>& overrides) {
    Json::Object members;
    for (const auto& [personaId, seen] : overrides) {
        if (!seen.traits && !seen.personality) {
            continue;
        }
        Json::Object fields;
        if (seen.traits) {
            fields.emplace_back("traits", Json::Value(*seen.traits));
        }
        if (seen.personality) {
            fields.emplace_back("personality", Json::Value(*seen.personality));
        }
        members.emplace_back(Text::ToUtf8(personaId), Json::Value(std::move(fields)));
    }
    return Json::Value(std::move(members));
}

}  // namespace

Json::Value Character::ToJson(const Character& character) {
    Json::Value value(Json::Object{});
    value["id"] = Json::Value(character.id);
    value["name"] = Json::Value(character.name);
    value["age"] = Json::Value(character.age);
    value["gender"] = Json::Value(character.gender);
    value["orientation"] = Json::Value(character.orientation);
    value["traits"] = Json::Value(character.traits);
    value["personality"] = Json::Value(character.personality);
    value["background"] = Json::Value(character.background);
    value["scenario"] = Json::Value(character.scenario);
    value["initial_message"] = Json::Value(character.initial_message);
    value["speech_style"] = Json::Value(character.speech_style);
    value["nsfw_allowed"] = Json::Value(character.nsfw_allowed);
    PutOptionalText(value, "photoPath", character.photoPath);
    value["known_characters"] = RecordJsonDetail::KnownCharactersToJson(character.known_characters);
    value["is_dual_mode"] = Json::Value(character.is_dual_mode);
    PutOptionalText(value, "dual_partner_id", character.dual_partner_id);
    value["memory"] = Json::Value(character.memory);
    if (!character.persona_overrides.empty()) {
        value["persona_overrides"] = OverridesToJson(character.persona_overrides);
    }
    return value;
}

}  // namespace Lorvex

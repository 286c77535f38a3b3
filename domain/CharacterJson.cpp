// The character's JSON form: its "character.json" and its upload form, with how it sees each
// persona.

#include <utility>

#include "domain/RecordJson.h"
#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Text.h"
#include "foundation/Time.h"

namespace Lorvex {

using RecordJsonDetail::FindMember;

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

// A present member of any type sets the field: null or a number gives the empty text.
std::optional<std::wstring> ReadOverrideField(const Json::Value& inner, std::string_view key) {
    if (!FindMember(inner, key)) {
        return std::nullopt;
    }
    return ReadText(inner, key, L"");
}

std::map<std::wstring, PersonaOverride> ReadOverrides(const Json::Value& object) {
    std::map<std::wstring, PersonaOverride> overrides;
    const Json::Value* member = FindMember(object, "persona_overrides");
    if (!member) {
        return overrides;
    }
    for (const auto& [key, inner] : member->Members()) {
        if (inner.kind != Json::Type::Object) {
            continue;
        }
        PersonaOverride seen;
        seen.traits = ReadOverrideField(inner, "traits");
        seen.personality = ReadOverrideField(inner, "personality");
        if (seen.traits || seen.personality) {
            // emplace keeps the first of a repeated persona id.
            overrides.emplace(Text::ToWide(key), std::move(seen));
        }
    }
    return overrides;
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

std::shared_ptr<Character> Character::FromJson(const Json::Value& value) {
    auto character = std::make_shared<Character>();
    character->id = RecordJsonDetail::ReadTextOrMake(value, "id", &Time::NewUuid);
    character->name = ReadText(value, "name", L"");
    character->age = ReadText(value, "age", L"");
    character->gender = ReadText(value, "gender", L"");
    character->orientation = ReadText(value, "orientation", L"");
    character->traits = ReadText(value, "traits", L"");
    character->personality = ReadText(value, "personality", L"");
    character->background = ReadText(value, "background", L"");
    character->scenario = ReadText(value, "scenario", L"");
    character->initial_message = ReadText(value, "initial_message", L"");
    character->speech_style = ReadText(value, "speech_style", L"Normal");
    character->nsfw_allowed = ReadFlag(value, "nsfw_allowed");
    character->photoPath = ReadOptionalText(value, "photoPath");
    character->known_characters = RecordJsonDetail::ReadKnownCharacters(value, "known_characters");
    character->is_dual_mode = ReadFlag(value, "is_dual_mode");
    character->dual_partner_id = ReadOptionalText(value, "dual_partner_id");
    character->memory = ReadText(value, "memory", L"");
    character->persona_overrides = ReadOverrides(value);
    return character;
}

}  // namespace Lorvex

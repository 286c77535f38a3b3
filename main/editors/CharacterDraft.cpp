#include "main/editors/CharacterDraft.h"

#include "domain/Storage.h"
#include "foundation/Text.h"
#include "main/editors/PhotoPick.h"

namespace Lorvex::Main {
namespace {

std::wstring OrDefault(const std::wstring& text, const wchar_t* fallback) {
    return text.empty() ? std::wstring(fallback) : text;
}

}  // namespace

CharacterDraft CharacterDraft::From(const Character& character) {
    CharacterDraft draft;
    draft.name = character.name;
    draft.age = character.age;
    draft.gender = OrDefault(character.gender, L"Mujer");
    draft.orientation = OrDefault(character.orientation, L"Heterosexual");
    draft.traits = character.traits;
    draft.personality = character.personality;
    draft.background = character.background;
    draft.scenario = character.scenario;
    draft.initialMessage = character.initial_message;
    draft.speechStyle = OrDefault(character.speech_style, L"Normal");
    draft.adult = character.nsfw_allowed;
    draft.photoPath = character.photoPath.value_or(L"");
    draft.knownCharacters = character.known_characters;
    return draft;
}

bool IsBlank(const std::wstring& text) {
    return Text::Trim(text).empty();
}

std::wstring ReadyToChatText(const Character& character) {
    return character.name + (character.gender == L"Mujer" ? L" está lista para chatear" : L" está listo para chatear");
}

bool HasRequiredFields(const CharacterDraft& draft) {
    for (const std::wstring* field :
         {&draft.name, &draft.age, &draft.gender, &draft.orientation, &draft.personality, &draft.background}) {
        if (IsBlank(*field)) {
            return false;
        }
    }
    return true;
}

BuiltCharacter BuildCharacter(const CharacterDraft& draft, const std::shared_ptr<Character>& base) {
    BuiltCharacter built;
    built.character = base ? base : Character::Create();
    Character& target = *built.character;
    target.name = Text::Trim(draft.name);
    target.age = Text::Trim(draft.age);
    target.gender = draft.gender;
    target.orientation = draft.orientation;
    target.traits = Text::Trim(draft.traits);
    target.personality = Text::Trim(draft.personality);
    target.background = Text::Trim(draft.background);
    target.scenario = Text::Trim(draft.scenario);
    target.initial_message = Text::Trim(draft.initialMessage);
    target.speech_style = OrDefault(draft.speechStyle, L"Normal");
    target.nsfw_allowed = draft.adult;
    target.known_characters = draft.knownCharacters;

    switch (PhotoStepFor(draft.photoPath, target.photoPath)) {
    case PhotoStep::Clear:
        target.photoPath.reset();
        break;
    case PhotoStep::Keep:
        break;
    case PhotoStep::Import: {
        const std::wstring stored = Storage::ImportImage(draft.photoPath, L"");
        if (stored.empty()) {
            built.photoFailed = true;
        } else {
            target.photoPath = stored;
        }
        break;
    }
    }
    return built;
}

}  // namespace Lorvex::Main

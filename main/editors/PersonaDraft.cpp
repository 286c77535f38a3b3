#include "main/editors/PersonaDraft.h"

#include "foundation/Text.h"

namespace Lorvex::Main {

PersonaDraft PersonaDraft::From(const Persona& persona) {
    PersonaDraft draft;
    draft.name = persona.name;
    draft.age = persona.age;
    if (!persona.gender.empty()) {
        draft.gender = persona.gender;
    }
    if (!persona.orientation.empty()) {
        draft.orientation = persona.orientation;
    }
    draft.traits = persona.traits;
    draft.personality = persona.personality;
    draft.photoPath = persona.photoPath.value_or(L"");
    return draft;
}

bool IsMissing(const std::wstring& text) {
    return Text::Trim(text).empty();
}

bool IsComplete(const PersonaDraft& draft) {
    return !IsMissing(draft.name) && !IsMissing(draft.age) && !IsMissing(draft.personality) && !draft.gender.empty() &&
           !draft.orientation.empty();
}

void ApplyTexts(const PersonaDraft& draft, Persona& persona) {
    persona.name = Text::Trim(draft.name);
    persona.age = Text::Trim(draft.age);
    persona.gender = draft.gender;
    persona.orientation = draft.orientation;
    persona.traits = Text::Trim(draft.traits);
    persona.personality = Text::Trim(draft.personality);
}

}  // namespace Lorvex::Main

#pragma once
// What the persona form holds while the user types: the texts as typed and the picked photo, and
// the rules that turn them into a persona (which fields must be filled, what is trimmed, what
// becomes of the photo). Plain values and pure functions on any thread; nothing fails.

#include <optional>
#include <string>

#include "domain/Records.h"
#include "main/editors/PhotoPick.h"

namespace Lorvex::Main {

struct PersonaDraft {
    std::wstring name;
    std::wstring age;
    std::wstring gender = L"Mujer";
    std::wstring orientation = L"Heterosexual";
    std::wstring traits;
    std::wstring personality;
    std::wstring photoPath;  // empty: no photo

    // The persona's texts and photo; an empty gender or orientation takes the form's default.
    static PersonaDraft From(const Persona& persona);
};

// A required text counts as missing when nothing is left of it after trimming.
bool IsMissing(const std::wstring& text);

// Name, age and personality filled (after trimming), a gender and an orientation chosen.
bool IsComplete(const PersonaDraft& draft);

// Name, age, traits and personality trimmed into the persona; gender and orientation as chosen.
// The photo is left alone.
void ApplyTexts(const PersonaDraft& draft, Persona& persona);

}  // namespace Lorvex::Main

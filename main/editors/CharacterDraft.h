#pragma once
// The character form's editable copy of one character, and the two steps between it and a record:
// the check of the required fields and the writing of a draft into a character (with the copy of
// a newly picked photo into the data folder). No screen, toast or AppState is touched here, so
// both run in tests without a window. UI thread (the photo copy uses the store); a photo that
// cannot be copied is reported in the result, and nothing else fails.

#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"

namespace Lorvex::Main {

struct CharacterDraft {
    std::wstring name;
    std::wstring age;
    std::wstring gender = L"Mujer";
    std::wstring orientation = L"Heterosexual";
    std::wstring traits;
    std::wstring personality;
    std::wstring background;
    std::wstring scenario;
    std::wstring initialMessage;
    std::wstring speechStyle = L"Normal";
    bool adult = false;
    std::wstring photoPath;  // empty: no photo
    std::vector<KnownCharacter> knownCharacters;

    // The character's fields; an empty gender, orientation or speech style shows the default.
    static CharacterDraft From(const Character& character);
};

// Whether every required field (name, age, gender, orientation, personality, background) holds
// more than blanks.
bool HasRequiredFields(const CharacterDraft& draft);

// The blanks a required field may not consist of alone, and that are cut from saved texts.
bool IsBlank(const std::wstring& text);

// The success toast of a new character: its name and that it is ready to chat, the adjective
// agreeing with its gender ("lista" for "Mujer", "listo" otherwise).
std::wstring ReadyToChatText(const Character& character);

struct BuiltCharacter {
    std::shared_ptr<Character> character;
    bool photoFailed = false;  // the picked photo could not be copied; the record kept its old one
};

// Writes the draft into base (changed in place) or, without one, into a new record. A photo
// that is not the record's already is copied into "images" under a new name (one already there
// is kept as it is); an empty one clears the record's.
BuiltCharacter BuildCharacter(const CharacterDraft& draft, const std::shared_ptr<Character>& base);

}  // namespace Lorvex::Main

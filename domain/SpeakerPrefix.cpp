#include "domain/SpeakerPrefix.h"

#include <cwctype>

#include "foundation/Text.h"

namespace Lorvex {

namespace {

// The longest prefix before a colon that can still be a name.
constexpr size_t kMaxColonIndex = 40;

bool NamesCharacter(const Character& character, std::wstring_view word) {
    return Text::EqualsNoCase(word, character.name) || Text::EqualsNoCase(word, FirstWord(character.name));
}

std::optional<std::wstring> MatchKnownPeople(const Character& character, const Persona* persona,
                                             std::wstring_view word) {
    for (bool allowFirstWord : {false, true}) {
        if (auto hit = MatchKnownCharacter(character.known_characters, word, allowFirstWord)) {
            return hit;
        }
        if (persona) {
            if (auto hit = MatchKnownCharacter(persona->known_characters, word, allowFirstWord)) {
                return hit;
            }
        }
    }
    return std::nullopt;
}

// Marks that open an action or a quoted line before the name.
bool IsLeadingMark(wchar_t c) {
    switch (c) {
    case L'*':
    case L'_':
    case L'"':
    case L'\'':
    case L'\u00BF':  // ¿
    case L'\u00A1':  // ¡
    case L'(':
        return true;
    default:
        return false;
    }
}

std::wstring_view LeadingWord(std::wstring_view text) {
    size_t start = 0;
    while (start < text.size() && (std::iswspace(static_cast<wint_t>(text[start])) || IsLeadingMark(text[start]))) {
        ++start;
    }
    size_t end = start;
    while (end < text.size() && (std::iswalpha(static_cast<wint_t>(text[end])) || text[end] == L'-')) {
        ++end;
    }
    return text.substr(start, end - start);
}

}  // namespace

std::wstring FirstWord(std::wstring_view text) {
    std::wstring trimmed = Text::Trim(text);
    size_t space = trimmed.find(L' ');
    if (space != std::wstring::npos) {
        trimmed.resize(space);
    }
    return trimmed;
}

std::optional<std::wstring> MatchKnownCharacter(const std::vector<KnownCharacter>& known, std::wstring_view word,
                                                bool allowFirstWord) {
    for (const KnownCharacter& person : known) {
        if (person.name.empty()) {
            continue;
        }
        bool matches = Text::EqualsNoCase(word, person.name) ||
                       (!person.bubble_name.empty() && Text::EqualsNoCase(word, person.bubble_name)) ||
                       (allowFirstWord && Text::EqualsNoCase(word, FirstWord(person.name)));
        if (matches) {
            return person.bubble_name.empty() ? person.name : person.bubble_name;
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> ResolveSpeaker(const Character& character, const Persona* persona, std::wstring_view text) {
    std::wstring candidate = Text::Trim(text);
    if (candidate.size() < 2) {
        return std::nullopt;
    }
    if (NamesCharacter(character, candidate)) {
        return character.name;
    }
    return MatchKnownPeople(character, persona, candidate);
}

std::optional<std::wstring> ParseSpeakerPrefix(const Character& character, const Persona* persona,
                                               std::wstring_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    size_t colon = text.find(L':');
    if (colon != std::wstring_view::npos && colon >= 1 && colon <= kMaxColonIndex) {
        std::wstring prefix = Text::Trim(text.substr(0, colon));
        if (prefix.find_first_of(L"\n*\"") == std::wstring::npos) {
            if (auto speaker = ResolveSpeaker(character, persona, prefix)) {
                return speaker;
            }
        }
    }
    std::wstring_view word = LeadingWord(text);
    if (word.size() < 2) {
        return std::nullopt;
    }
    if (NamesCharacter(character, word)) {
        return std::nullopt;
    }
    return MatchKnownPeople(character, persona, word);
}

}  // namespace Lorvex

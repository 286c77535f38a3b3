#pragma once
// Who speaks a line: the character itself, or a person the character or the user's persona
// knows, named by the model in front of a colon or at the very start of the text. Pure
// computation on the records.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"

namespace Lorvex {

// The trimmed text up to its first U+0020; other spaces do not end the word.
std::wstring FirstWord(std::wstring_view text);

// The display name (bubble name, else name) of the first known character whose name or bubble
// name equals the word without regard to case, or, with allowFirstWord, the first word of whose
// name does. Characters without a name never match.
std::optional<std::wstring> MatchKnownCharacter(const std::vector<KnownCharacter>& known, std::wstring_view word,
                                                bool allowFirstWord);

// A candidate name (e.g. what the model wrote before a colon): the character's stored name when
// it names the character, else a known person's display name; persona may be null.
std::optional<std::wstring> ResolveSpeaker(const Character& character, const Persona* persona, std::wstring_view text);

// The speaker that a message text names at its start, by a "Name:" prefix or by its first word;
// unset when none, or when the first word is the character itself. persona may be null.
std::optional<std::wstring> ParseSpeakerPrefix(const Character& character, const Persona* persona,
                                               std::wstring_view text);

}  // namespace Lorvex

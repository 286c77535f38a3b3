#pragma once
// Where the store keeps its records, shared by its loading and saving halves; not for other
// callers. Pure path text from the data folder; any thread.

#include <string>

#include "domain/Records.h"

namespace Lorvex::Storage::Detail {

std::wstring CharactersDir();
std::wstring PersonasDir();
std::wstring ChatsDir(const Character& character);
std::wstring ChatsDir(const std::wstring& characterFolder);
// The character's own file in its folder.
std::wstring CharacterFile(const std::wstring& characterFolder);

}  // namespace Lorvex::Storage::Detail

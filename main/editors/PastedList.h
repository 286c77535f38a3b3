#pragma once
// A list copied from elsewhere (notes, a chat, a web page) turned into personality traits: one
// trait per line, list markers and headings left out, and the traits merged into the lines a
// form already holds. Pure functions on any thread; nothing fails (a text without traits gives an
// empty list).

#include <string>
#include <string_view>
#include <vector>

namespace Lorvex::Main {

// The traits of a pasted text, in order: each line trimmed and stripped of its leading markers
// ("-", "*", "•", "–", "—", as many as it starts with), empty lines dropped, and short headings
// ending in a colon dropped until the first trait has been taken.
std::vector<std::wstring> SplitPastedList(std::wstring_view text);

// Whether nothing but whitespace is in text.
bool IsBlank(std::wstring_view text);

// The form's lines with their blank ones dropped (order kept) and the pasted traits after them.
void AppendPastedLines(std::vector<std::wstring>& lines, const std::vector<std::wstring>& pasted);

}  // namespace Lorvex::Main

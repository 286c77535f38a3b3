#pragma once
// Small text operations shared by the whole system: UTF-8/UTF-16 conversion, the one
// whitespace set, lines, strict integers, percent-encoding, byte labels, SHA-256, clipboard.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lorvex::Text {

// Space, tab, LF, CR, U+FEFF and U+00A0; nothing else counts as whitespace anywhere.
bool IsSpace(wchar_t c);

std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

std::wstring Trim(std::wstring_view text);
std::wstring NormalizeNewlines(std::wstring_view text);
std::vector<std::wstring> SplitLines(std::wstring_view text);
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view pattern, std::wstring_view replacement);

// Trimmed, optional sign, ASCII digits only; none on overflow.
std::optional<int64_t> TryParseInt(std::wstring_view text);
std::optional<uint64_t> TryParseUInt(std::wstring_view text);

std::string UrlEncode(std::string_view utf8);
std::wstring FormatBytes(uint64_t bytes);
std::string Sha256Hex(const std::string& bytes);

// UI thread only.
bool CopyToClipboard(const std::wstring& text);

}  // namespace Lorvex::Text

#pragma once
// Small text operations shared by the whole system: UTF-8/UTF-16 conversion, the one
// whitespace set, lines, letter-case folding, strict integers, percent-encoding, byte labels,
// SHA-256, clipboard. Pure functions safe on any thread, except the clipboard (UI thread).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Lorvex::Text {

// Space, tab, LF, CR, U+FEFF and U+00A0; nothing else counts as whitespace anywhere.
bool IsSpace(wchar_t c);

// Texts of any length convert whole; bad UTF-8 and unpaired surrogates become U+FFFD. Empty only
// for an empty input (or should the system converter itself fail).
std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

// True when the bytes are well-formed UTF-8: shortest forms only, no surrogate halves, nothing
// above U+10FFFF. Exactly the texts that ToWide and then ToUtf8 give back unchanged.
bool IsValidUtf8(std::string_view bytes);

std::wstring Trim(std::wstring_view text);
std::wstring NormalizeNewlines(std::wstring_view text);
std::vector<std::wstring> SplitLines(std::wstring_view text);
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view pattern, std::wstring_view replacement);

// Letter case, unit by unit, so lengths and positions stay those of the original text. The
// name says the folding rule:
// - Ascii: A to Z only, the same on every platform (Windows device names).
// - the others: the CRT's towlower. A to Z everywhere, further letters only where the platform
//   folds them (Windows folds accented letters, Wine does not), so accents may not be relied on.
bool EqualsAsciiNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring ToLower(std::wstring_view text);
std::wstring ToLowerAscii(std::wstring_view text);
// The system's own case mapping (invariant locale), which folds accented and other non-ASCII
// letters on every platform ("REDISEÑO" gives "rediseño"); for matching words in a text.
std::wstring ToLowerSystem(std::wstring_view text);
// Lexicographic order of the lower-cased units; a prefix comes first.
bool LessNoCase(std::wstring_view a, std::wstring_view b);

// Trimmed, optional sign, ASCII digits only; none on overflow.
std::optional<int64_t> TryParseInt(std::wstring_view text);
std::optional<uint64_t> TryParseUInt(std::wstring_view text);

std::string UrlEncode(std::string_view utf8);
std::wstring FormatBytes(uint64_t bytes);
std::string Sha256Hex(const std::string& bytes);

// Puts the text on the clipboard with every line break as CR LF, owned by the thread's active
// window. Both clipboard calls wait up to a quarter of a second, on the calling thread, while
// another program has the clipboard open. False when it could not be had. UI thread only.
bool CopyToClipboard(const std::wstring& text);
// The clipboard's Unicode text, read no further than its memory block reaches (a missing
// terminator cannot run past it); empty when it cannot be opened or holds no text. UI thread only.
std::wstring ReadClipboard();

// Where the two calls above go in place of the system's clipboard.
struct ClipboardSeam {
    std::function<bool(const std::wstring& text)> copy;
    std::function<std::wstring()> read;
};
// Tests only: the clipboard calls use seam's functions; empty functions restore the system's
// clipboard. UI thread.
void SetClipboardForTesting(ClipboardSeam seam);

namespace Detail {

// ToWide and ToUtf8 with the size of the pieces they hand to the system converters (at least 4
// bytes, or 2 units), so tests can see the seams between pieces without gigabytes of text.
std::wstring ToWide(std::string_view utf8, size_t pieceUnits);
std::string ToUtf8(std::wstring_view utf16, size_t pieceUnits);

}  // namespace Detail

}  // namespace Lorvex::Text

#pragma once
// The steps that clean a model reply before anyone sees it: long dashes, phrases in which the
// model talks about being an AI or about the roleplay, a leading "Name:" prefix, and in a duo the
// partner's lines echoed back. Partial and final texts go through the same steps.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/ai/AiReply.h"

namespace Lorvex::Services {

// Each long dash (en dash, em dash, horizontal bar) with the blanks around it becomes a comma, a
// blank or nothing, depending on what it stood between.
std::wstring RemoveDashes(std::wstring_view text);

// Removes every whole-word occurrence of the lower-case phrases, matched without regard to case;
// the rest of the text keeps its case.
std::wstring RemovePhrases(std::wstring_view text, const std::vector<std::wstring>& phrases);

// The position of the colon that ends a leading speaker prefix: the first colon, unless the text
// before it has three blanks, a line break or an asterisk, or the colon is directly followed by a
// digit or "/" (a time of day, a URL).
std::optional<size_t> FindNamePrefix(std::wstring_view text);

// The trimmed name in front of a leading prefix of the trimmed text, or empty.
std::wstring PrefixSpeaker(std::wstring_view text);

// Drops each aside between open and close that names the partner, then the verb, then a colon
// with something after the verb ("(Ana dijo: hola)"); other asides stay.
std::wstring RemoveEchoAsides(std::wstring_view text, wchar_t open, wchar_t close, std::wstring_view name,
                              std::wstring_view verb);

// A callback that hands the cleaned form of each text to progress; empty for an empty one.
ProgressCallback CleanedProgress(ProgressCallback progress);

// A finished, uncancelled reply without an error and with nothing to show becomes a failure,
// so an empty line is never kept as an answer.
void FailWhenEmpty(AiReply& reply);

}  // namespace Lorvex::Services

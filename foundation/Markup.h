#pragma once
// The inline markup of message texts: *italic*, **bold**, ***both***, ~~strike~~ and `code`.
// Parsing never fails; whatever cannot be paired stays ordinary text.

#include <string>
#include <string_view>
#include <vector>

namespace Lorvex::Text {

struct MarkupStyle {
    bool bold = false;
    bool italic = false;
    bool strike = false;

    bool operator==(const MarkupStyle&) const = default;
};

struct MarkupRun {
    std::wstring text;  // never empty in a produced list
    MarkupStyle style;
    bool code = false;
};

// Appends the runs of text to runs, merging into the last run when style and code flag match.
// Callers pass an empty list, the empty style and depth 0; at depth 6 and deeper asterisks and
// tildes are ordinary characters.
void ParseMarkup(std::vector<MarkupRun>& runs, std::wstring_view text, MarkupStyle style, int depth);

// The text without the markers that pair up, for previews and copies.
std::wstring PlainText(std::wstring_view text);

}  // namespace Lorvex::Text

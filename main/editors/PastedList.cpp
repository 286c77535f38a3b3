#include "main/editors/PastedList.h"

#include <algorithm>

#include "foundation/Text.h"

namespace Lorvex::Main {
namespace {

// A heading such as "Rasgos:" is short; a longer line ending in a colon is a trait of its own.
constexpr size_t kHeadingLength = 30;

bool IsMarker(wchar_t c) {
    return c == L'-' || c == L'*' || c == L'\u2022' || c == L'\u2013' || c == L'\u2014';
}

std::wstring WithoutMarkers(std::wstring_view line) {
    std::wstring text = Text::Trim(line);
    while (!text.empty() && IsMarker(text.front())) {
        text = Text::Trim(std::wstring_view(text).substr(1));
    }
    return text;
}

bool IsHeading(const std::wstring& line) {
    return line.back() == L':' && line.size() < kHeadingLength;
}

}  // namespace

std::vector<std::wstring> SplitPastedList(std::wstring_view text) {
    std::vector<std::wstring> traits;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        }
        std::wstring line = WithoutMarkers(text.substr(start, end - start));
        if (!line.empty() && !(traits.empty() && IsHeading(line))) {
            traits.push_back(std::move(line));
        }
        start = end + 1;
    }
    return traits;
}

bool IsBlank(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), Text::IsSpace);
}

void AppendPastedLines(std::vector<std::wstring>& lines, const std::vector<std::wstring>& pasted) {
    std::erase_if(lines, [](const std::wstring& line) { return IsBlank(line); });
    lines.insert(lines.end(), pasted.begin(), pasted.end());
}

}  // namespace Lorvex::Main

#include "foundation/Markup.h"

namespace Lorvex::Text {

namespace {

constexpr int MaxDepth = 6;
constexpr size_t None = std::wstring_view::npos;

enum Marker { Backtick, DoubleTilde, SingleStar, DoubleStar, TripleStar, MarkerCount };

// Finds closers by forward search, remembering each marker's last answer: the valid closers are
// fixed positions of the text and the parse only moves forward, so an answer holds for every later
// start up to the closer it found (or for good when none was found). Without this, a long text
// full of unpaired markers would be scanned to its end once per marker.
class CloserFinder {
public:
    explicit CloserFinder(std::wstring_view text) : text_(text) {}

    size_t Find(Marker marker, size_t start) {
        Memo& memo = memos_[marker];
        if (memo.from != None && start >= memo.from && (memo.found == None || start <= memo.found)) {
            return memo.found;
        }
        memo.from = start;
        memo.found = Search(marker, start);
        return memo.found;
    }

private:
    struct Memo {
        size_t from = None;
        size_t found = None;
    };

    size_t Search(Marker marker, size_t start) const {
        switch (marker) {
        case Backtick:
            return text_.find(L'`', start);
        case DoubleTilde:
            return text_.find(L"~~", start);
        case DoubleStar:
            return text_.find(L"**", start);
        case TripleStar:
            return text_.find(L"***", start);
        case SingleStar: {
            // A lone asterisk only: one touching another belongs to a longer marker.
            size_t k = text_.find(L'*', start);
            while (k != None && ((k + 1 < text_.size() && text_[k + 1] == L'*') || (k > 0 && text_[k - 1] == L'*'))) {
                k = text_.find(L'*', k + 1);
            }
            return k;
        }
        default:
            return None;
        }
    }

    std::wstring_view text_;
    Memo memos_[MarkerCount];
};

void Emit(std::vector<MarkupRun>& runs, std::wstring_view stretch, MarkupStyle style, bool code) {
    if (stretch.empty()) {
        return;
    }
    if (!runs.empty() && runs.back().style == style && runs.back().code == code) {
        runs.back().text.append(stretch);
    } else {
        runs.push_back(MarkupRun{std::wstring(stretch), style, code});
    }
}

}  // namespace

void ParseMarkup(std::vector<MarkupRun>& runs, std::wstring_view text, MarkupStyle style, int depth) {
    CloserFinder finder(text);
    const size_t n = text.size();
    size_t p = 0;
    size_t i = 0;
    while (i < n) {
        const wchar_t c = text[i];
        if (c == L'`' && i + 1 < n) {
            size_t close = finder.Find(Backtick, i + 1);
            if (close != None && close > i + 1) {
                Emit(runs, text.substr(p, i - p), style, false);
                Emit(runs, text.substr(i + 1, close - i - 1), style, true);
                i = p = close + 1;
                continue;
            }
        } else if ((c == L'*' || c == L'~') && depth < MaxDepth) {
            size_t width = 0;
            Marker marker = SingleStar;
            MarkupStyle inner = style;
            if (c == L'~') {
                if (i + 1 < n && text[i + 1] == L'~') {
                    width = 2;
                    marker = DoubleTilde;
                    inner.strike = true;
                }
            } else if (text.substr(i, 3) == L"***") {
                width = 3;
                marker = TripleStar;
                inner.bold = inner.italic = true;
            } else if (text.substr(i, 2) == L"**") {
                width = 2;
                marker = DoubleStar;
                inner.bold = true;
            } else {
                width = 1;
                marker = SingleStar;
                inner.italic = true;
            }
            const size_t start = i + width;
            if (width != 0 && start < n) {
                size_t close = finder.Find(marker, start);
                if (close != None && close > start && text[start] != L' ' && text[close - 1] != L' ') {
                    Emit(runs, text.substr(p, i - p), style, false);
                    ParseMarkup(runs, text.substr(start, close - start), inner, depth + 1);
                    i = p = close + width;
                    continue;
                }
            }
        }
        // Ordinary: a rejected "**" is looked at again from its second asterisk.
        ++i;
    }
    Emit(runs, text.substr(p), style, false);
}

std::wstring PlainText(std::wstring_view text) {
    std::vector<MarkupRun> runs;
    ParseMarkup(runs, text, MarkupStyle{}, 0);
    std::wstring plain;
    plain.reserve(text.size());
    for (const MarkupRun& run : runs) {
        plain += run.text;
    }
    return plain;
}

}  // namespace Lorvex::Text

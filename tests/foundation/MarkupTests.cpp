#include "foundation/Markup.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace Lorvex::Text;

namespace {

// Runs as "{flags}text" joined by "|"; flags b = bold, i = italic, s = strike, c = code.
std::wstring Describe(const std::vector<MarkupRun>& runs) {
    std::wstring out;
    for (const MarkupRun& run : runs) {
        if (!out.empty()) {
            out += L'|';
        }
        out += L'{';
        if (run.style.bold) {
            out += L'b';
        }
        if (run.style.italic) {
            out += L'i';
        }
        if (run.style.strike) {
            out += L's';
        }
        if (run.code) {
            out += L'c';
        }
        out += L'}';
        out += run.text;
    }
    return out;
}

std::wstring Parse(std::wstring_view text, int depth = 0) {
    std::vector<MarkupRun> runs;
    ParseMarkup(runs, text, MarkupStyle{}, depth);
    return Describe(runs);
}

struct MarkupCase {
    const wchar_t* text;
    const wchar_t* runs;
};

void ExpectRuns(const MarkupCase* begin, const MarkupCase* end, int depth = 0) {
    for (const MarkupCase* c = begin; c != end; ++c) {
        EXPECT_EQ(Parse(c->text, depth), c->runs) << "input: " << c->text;
    }
}

}  // namespace

TEST(MarkupParse, PairedMarkersStyleTheirContent) {
    const MarkupCase cases[] = {
        {L"", L""},
        {L"Hola mundo", L"{}Hola mundo"},
        {L"*a*", L"{i}a"},
        {L"**a**", L"{b}a"},
        {L"***a***", L"{bi}a"},
        {L"~~a~~", L"{s}a"},
        {L"Ella *sonríe* y **calla**.", L"{}Ella |{i}sonríe|{} y |{b}calla|{}."},
        {L"**bold *both* bold**", L"{b}bold |{bi}both|{b} bold"},
        {L"~~a *b*~~", L"{s}a |{is}b"},
        {L"*a ***b*** c*", L"{i}a |{bi}b|{i} c"},
        {L"~~**x**~~", L"{bs}x"},
        // Equal neighbours merge into one run.
        {L"**a****b**", L"{b}ab"},
        {L"*a**b*", L"{i}a**b"},
    };
    ExpectRuns(std::begin(cases), std::end(cases));
}

TEST(MarkupParse, UnpairedMarkersStayText) {
    const MarkupCase cases[] = {
        {L"2 * 3 * 4", L"{}2 * 3 * 4"},
        {L"~a~", L"{}~a~"},
        {L"* a*", L"{}* a*"},
        {L"*a *", L"{}*a *"},
        {L"** a**", L"{}** a**"},
        {L"*", L"{}*"},
        {L"**", L"{}**"},
        {L"~~", L"{}~~"},
        {L"****", L"{}****"},
        {L"~~~~", L"{}~~~~"},
        {L"fin*", L"{}fin*"},
        {L"a*b", L"{}a*b"},
        // A rejected "**" is retried from its second asterisk as a single one.
        {L"**a*", L"{}*|{i}a"},
        // A rejected opener does not hide a later pair of the same marker.
        {L"*a *b*", L"{}*a |{i}b"},
        {L"a*b *c*", L"{}a*b |{i}c"},
        {L"** ** *x*", L"{}** ** |{i}x"},
    };
    ExpectRuns(std::begin(cases), std::end(cases));
}

TEST(MarkupParse, CodeSpansAreLiteralAndKeepTheStyleAround) {
    const MarkupCase cases[] = {
        {L"`x`", L"{c}x"},
        {L"a `**b**` c", L"{}a |{c}**b**|{} c"},
        {L"**a `*x*` b**", L"{b}a |{bc}*x*|{b} b"},
        {L"~~`a`~~", L"{sc}a"},
        {L"``", L"{}``"},
        {L"a``b", L"{}a``b"},
        {L"`", L"{}`"},
        {L"sin `pareja", L"{}sin `pareja"},
        {L"x`", L"{}x`"},
        {L"`a``b`", L"{c}ab"},
        // Of two crossing pairs the one that opens first wins.
        {L"`a *b` c*", L"{c}a *b|{} c*"},
        {L"*a `b* c`", L"{i}a `b|{} c`"},
    };
    ExpectRuns(std::begin(cases), std::end(cases));
}

TEST(MarkupParse, MarkersAreOrdinaryFromDepthSix) {
    const MarkupCase atSix[] = {
        {L"*a* **b** ~~c~~ `d`", L"{}*a* **b** ~~c~~ |{c}d"},
    };
    ExpectRuns(std::begin(atSix), std::end(atSix), 6);

    // A pair found at depth 5 parses its content at depth 6, where the inner markers stay text.
    const MarkupCase atFive[] = {
        {L"*a* **b** ~~c~~", L"{i}a|{} |{b}b|{} |{s}c"},
        {L"**a *b* c**", L"{b}a *b* c"},
    };
    ExpectRuns(std::begin(atFive), std::end(atFive), 5);
}

TEST(MarkupParse, AppendsToTheGivenListWithTheGivenStyle) {
    std::vector<MarkupRun> runs;
    runs.push_back(MarkupRun{L"antes ", MarkupStyle{}, false});
    ParseMarkup(runs, L"y *luego*", MarkupStyle{}, 0);
    EXPECT_EQ(Describe(runs), L"{}antes y |{i}luego");

    runs.clear();
    ParseMarkup(runs, L"a *b*", MarkupStyle{true, false, false}, 0);
    EXPECT_EQ(Describe(runs), L"{b}a |{bi}b");
}

TEST(MarkupParse, LongTextsOfUnpairedMarkersStayFast) {
    // Each "** " first fails as a pair, then its second asterisk looks for a lone closer that
    // never comes; a search from scratch every time would be quadratic in the length.
    std::wstring text;
    for (int i = 0; i < 50000; ++i) {
        text += L"** ";
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<MarkupRun> runs;
    ParseMarkup(runs, text, MarkupStyle{}, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, text);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
}

TEST(MarkupPlainText, DropsOnlyPairedMarkers) {
    EXPECT_EQ(PlainText(L"**Hola** *mundo*"), L"Hola mundo");
    EXPECT_EQ(PlainText(L"~~no~~ `*x*` 2 * 3 ~y~"), L"no *x* 2 * 3 ~y~");
    EXPECT_EQ(PlainText(L"**a*"), L"*a");
    EXPECT_EQ(PlainText(L""), L"");
}

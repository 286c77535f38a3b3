// Message markup turned into the laid-out text and its spans.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/kit/RichText.h"

namespace Lorvex::Main::Kit {
namespace {

constexpr Color kItalic = {0.2f, 0.4f, 0.6f, 1};
constexpr Color kCode = {0.9f, 0.1f, 0.3f, 1};
constexpr Color kNone = {};

struct ExpectedSpan {
    uint64_t start;
    uint64_t length;
    int32_t weight;
    bool italic;
    bool strike;
    bool mono;
    Color color;
};

struct Case {
    const wchar_t* message;
    const wchar_t* text;
    std::vector<ExpectedSpan> spans;
};

TEST(KitRichText, MarkupBecomesTextAndSpans) {
    const std::vector<Case> cases = {
        {L"**Hola** mundo", L"Hola mundo", {{0, 4, 600, false, false, false, kNone}}},
        {L"Hola\r\n*susurra*\r", L"Hola\nsusurra", {{5, 7, 0, true, false, false, kItalic}}},
        {L"***ambos*** y ~~no~~",
         L"ambos y no",
         {{0, 5, 600, true, false, false, kNone}, {8, 2, 0, false, true, false, kNone}}},
        {L"*mira `x`*", L"mira x", {{0, 5, 0, true, false, false, kItalic}, {5, 1, 0, true, false, true, kCode}}},
        {L"llano", L"llano", {}},
        // Trailing breaks and spaces go, and spans are cut to what is left.
        {L"a `b  `\n\n", L"a b", {{2, 1, 0, false, false, true, kCode}}},
        {L"a ` ` \n", L"a", {}},
        {L"**x** \n ", L"x", {{0, 1, 600, false, false, false, kNone}}},
        {L"", L"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.message)));
        const RichText rich(c.message, kItalic, kCode);
        EXPECT_EQ(rich.text, c.text);
        ASSERT_EQ(rich.spans.size(), c.spans.size());
        for (size_t i = 0; i < c.spans.size(); ++i) {
            const Graphics::TextSpan& got = rich.spans[i];
            const ExpectedSpan& want = c.spans[i];
            EXPECT_EQ(got.start, want.start) << i;
            EXPECT_EQ(got.length, want.length) << i;
            EXPECT_EQ(got.weight, want.weight) << i;
            EXPECT_EQ(got.italic, want.italic) << i;
            EXPECT_EQ(got.strike, want.strike) << i;
            EXPECT_EQ(got.mono, want.mono) << i;
            EXPECT_FALSE(got.underline) << i;
            EXPECT_EQ(got.color.ToArgb(), want.color.ToArgb()) << i;
        }
    }
}

}  // namespace
}  // namespace Lorvex::Main::Kit

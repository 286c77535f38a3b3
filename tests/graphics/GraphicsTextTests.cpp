// Text through the drawing surface: measuring, cached formats and layouts, rich text spans, hit
// tests and carets. Expected sizes come from measuring, never from fixed numbers: fonts differ
// between Windows and Wine.

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

using Testing::Offscreen;

class GfxTextLayout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(surface.Ready()); }
    Offscreen surface{200, 100};
    Graphics& g = surface.graphics;
    TextStyle style;
};

TEST_F(GfxTextLayout, MeasuringRelations) {
    const auto one = g.MeasureText(L"Hola", style, 1000);
    ASSERT_GT(one.width, 0);
    ASSERT_GT(one.height, 0);

    // An empty text is one line high and has no width.
    const auto empty = g.MeasureText(L"", style, 1000);
    EXPECT_EQ(empty.width, 0);
    EXPECT_FLOAT_EQ(empty.height, one.height);

    // Trailing spaces count.
    EXPECT_GT(g.MeasureText(L"Hola  ", style, 1000).width, one.width);

    const std::wstring longText = L"una frase bastante larga que no cabe en una sola línea estrecha";
    const auto wrapped = g.MeasureText(longText, style, 120);
    EXPECT_GT(wrapped.height, one.height * 2);
    EXPECT_LE(wrapped.width, 120.5f);

    TextStyle single = style;
    single.wrap = false;
    const auto line = g.MeasureText(longText, single, 120);
    EXPECT_FLOAT_EQ(line.height, one.height);
    EXPECT_GT(line.width, 120);

    // Measuring ignores ellipsis and alignment, so both give the full line.
    single.ellipsis = true;
    single.align = TextAlign::Center;
    EXPECT_FLOAT_EQ(g.MeasureText(longText, single, 120).width, line.width);

    // A fixed line height sets each line's height.
    TextStyle tall = style;
    tall.lineHeight = 40;
    EXPECT_FLOAT_EQ(g.MeasureText(L"a\nb", tall, 1000).height, 80);
}

TEST_F(GfxTextLayout, EllipsisKeepsAnOverlongLineWithinTheBox) {
    const std::wstring longText = L"una frase bastante larga que no cabe en el recuadro";
    TextStyle single = style;
    single.wrap = false;
    DWRITE_TEXT_METRICS metrics = {};
    g.TextLayout(longText, single, 120, 30)->GetMetrics(&metrics);
    EXPECT_GT(metrics.width, 120);

    single.ellipsis = true;
    IDWriteTextLayout* trimmed = g.TextLayout(longText, single, 120, 30);
    ASSERT_NE(trimmed, nullptr);
    trimmed->GetMetrics(&metrics);
    EXPECT_LE(metrics.width, 120.5f);
    DWRITE_TRIMMING trimming = {};
    ComPtr<IDWriteInlineObject> sign;
    trimmed->GetTrimming(&trimming, sign.Put());
    EXPECT_EQ(trimming.granularity, DWRITE_TRIMMING_GRANULARITY_CHARACTER);
    EXPECT_TRUE(sign);
}

TEST_F(GfxTextLayout, DrawsTextInkInsideItsBox) {
    surface.Begin();
    TextStyle big = style;
    big.size = 30;
    g.DrawText(L"HHHH", {10, 10, 180, 60}, {0, 0, 0, 1}, big);
    g.DrawText(L"HHHH", {10, 60, 180, 40}, {0, 0, 0, 0}, big);  // transparent: nothing
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    int dark[2] = {0, 0};
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (Testing::Green(surface.At(pixels, x, y)) < 128) {
                ++dark[y < 60 ? 0 : 1];
            }
        }
    }
    EXPECT_GT(dark[0], 50);
    EXPECT_EQ(dark[1], 0);
}

TEST_F(GfxTextLayout, BoxesAndLineHeightsThatRoundAlikeShareObjects) {
    surface.Begin();
    g.DrawText(L"compartido", {0, 0, 100.01f, 20}, {0, 0, 0, 1}, style);
    g.DrawText(L"compartido", {50, 50, 100.04f, 20.02f}, {0, 0, 0, 1}, style);
    EXPECT_EQ(g.Counts().textLayouts, 1u);
    g.DrawText(L"compartido", {0, 0, 100.1f, 20}, {0, 0, 0, 1}, style);
    EXPECT_EQ(g.Counts().textLayouts, 2u);
    ASSERT_TRUE(surface.End());
    EXPECT_EQ(g.TextLayout(L"x", style, 10, 10), g.TextLayout(L"x", style, 10.04f, 9.96f));

    TextStyle a = style;
    a.lineHeight = 20.01f;
    TextStyle b = style;
    b.lineHeight = 20.04f;
    EXPECT_EQ(g.TextFormat(a), g.TextFormat(b));
    b.lineHeight = 20.1f;
    EXPECT_NE(g.TextFormat(a), g.TextFormat(b));

    // Line heights beyond what the style key holds still get a format of their own spacing.
    TextStyle tall = style;
    tall.lineHeight = 210;
    TextStyle taller = style;
    taller.lineHeight = 300;
    IDWriteTextFormat* first = g.TextFormat(tall);
    IDWriteTextFormat* second = g.TextFormat(taller);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    DWRITE_LINE_SPACING_METHOD method;
    FLOAT spacing = 0;
    FLOAT baseline = 0;
    second->GetLineSpacing(&method, &spacing, &baseline);
    EXPECT_FLOAT_EQ(spacing, 300);
    EXPECT_FLOAT_EQ(baseline, 240);

    // A line height that is not finite is the font's own spacing: the natural style's format.
    IDWriteTextFormat* natural = g.TextFormat(style);
    for (const float odd : {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        TextStyle unbounded = style;
        unbounded.lineHeight = odd;
        EXPECT_EQ(g.TextFormat(unbounded), natural) << odd;
    }
    // The largest finite line height still gets a format of its own.
    TextStyle huge = style;
    huge.lineHeight = std::numeric_limits<float>::max();
    EXPECT_NE(g.TextFormat(huge), second);
}

TEST_F(GfxTextLayout, HitTestsFindTheNearestCaretPosition) {
    const std::wstring text = L"Hola mundo";
    const auto size = g.MeasureText(text, style, 1000);
    const float middle = size.height / 2;
    EXPECT_EQ(g.HitTestText(text, style, 1000, -20, middle), 0);
    EXPECT_EQ(g.HitTestText(text, style, 1000, size.width + 30, middle), static_cast<int32_t>(text.size()));
    EXPECT_EQ(g.HitTestText(L"", style, 1000, 50, middle), 0);

    // Just right of each caret position, that position is the nearest one.
    for (size_t index = 0; index <= text.size(); ++index) {
        float x = 0;
        float y = 0;
        float height = 0;
        g.CaretPosition(text, style, 1000, index, &x, &y, &height);
        EXPECT_EQ(g.HitTestText(text, style, 1000, x + 0.5f, middle), static_cast<int32_t>(index)) << index;
    }

    // The second line of a wrapped text starts after the first.
    const std::wstring two = L"primera\nsegunda";
    EXPECT_EQ(g.HitTestText(two, style, 1000, -5, size.height * 1.5f), 8);
    EXPECT_EQ(g.HitTestText(two, style, 1000, 500, size.height * 0.5f), 7);
}

TEST_F(GfxTextLayout, CaretsAdvanceAlongTheLineAndPastAFinalLineFeed) {
    const auto line = g.MeasureText(L"Hola", style, 1000);
    float x = -1;
    float y = -1;
    float height = 0;
    g.CaretPosition(L"Hola", style, 1000, 0, &x, &y, &height);
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, 0);
    EXPECT_FLOAT_EQ(height, line.height);

    float previous = 0;
    for (size_t index = 1; index <= 4; ++index) {
        g.CaretPosition(L"Hola", style, 1000, index, &x, &y, &height);
        EXPECT_GT(x, previous) << index;
        previous = x;
    }
    EXPECT_NEAR(x, line.width, 0.5f);
    g.CaretPosition(L"Hola", style, 1000, 99, &x, &y, &height);  // beyond the end: at the end
    EXPECT_NEAR(x, line.width, 0.5f);

    g.CaretPosition(L"Hola\n", style, 1000, 5, &x, &y, &height);
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(y, line.height);
    EXPECT_FLOAT_EQ(height, line.height);

    g.CaretPosition(L"", style, 1000, 0, &x, &y, &height);
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_FLOAT_EQ(height, line.height);

    // Centred text: the caret of an empty field sits in the middle of the box.
    TextStyle centred = style;
    centred.align = TextAlign::Center;
    g.CaretPosition(L"", centred, 200, 0, &x, &y, &height);
    EXPECT_NEAR(x, 100, 6);
}

// Each line of an aligned, wrapped text starts where the alignment puts its visible content (the
// trailing space of a wrapped line does not count), and hit tests agree with those carets.
TEST_F(GfxTextLayout, CaretsAndHitTestsFollowTheAlignmentOfEachLine) {
    const std::wstring text = L"uno dos tres cuatro";
    const size_t secondStart = 13;  // after "uno dos tres "
    const float maxWidth = g.MeasureText(L"uno dos tres", style, 1000).width + 4;
    const float widths[2] = {g.MeasureText(L"uno dos tres", style, 1000).width,
                             g.MeasureText(L"cuatro", style, 1000).width};
    const float lineHeight = g.MeasureText(L"uno", style, 1000).height;

    struct Case {
        const char* name;
        int32_t align;
        float (*left)(float maxWidth, float width);
    };
    const Case cases[] = {
        {"leading", TextAlign::Leading, [](float, float) { return 0.0f; }},
        {"centre", TextAlign::Center, [](float box, float width) { return (box - width) / 2; }},
        {"trailing", TextAlign::Trailing, [](float box, float width) { return box - width; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextStyle aligned = style;
        aligned.align = c.align;
        UINT32 lineCount = 0;
        g.TextLayout(text, aligned, maxWidth, 100000)->GetLineMetrics(nullptr, 0, &lineCount);
        ASSERT_EQ(lineCount, 2u) << "the text must wrap after \"tres \"";

        const size_t starts[2] = {0, secondStart};
        for (int line = 0; line < 2; ++line) {
            const float left = c.left(maxWidth, widths[line]);
            float x = -1;
            float y = -1;
            float height = 0;
            g.CaretPosition(text, aligned, maxWidth, starts[line], &x, &y, &height);
            EXPECT_NEAR(x, left, 1) << "line " << line;
            EXPECT_NEAR(y, line * lineHeight, 0.5f) << "line " << line;
            EXPECT_NEAR(height, lineHeight, 0.5f) << "line " << line;

            const float middle = (line + 0.5f) * lineHeight;
            EXPECT_EQ(g.HitTestText(text, aligned, maxWidth, left - 3, middle), static_cast<int32_t>(starts[line]))
                << "line " << line;
        }

        float x = -1;
        float y = -1;
        float height = 0;
        g.CaretPosition(text, aligned, maxWidth, text.size(), &x, &y, &height);
        EXPECT_NEAR(x, c.left(maxWidth, widths[1]) + widths[1], 1) << "end of the text";
        EXPECT_NEAR(y, lineHeight, 0.5f) << "end of the text";
        EXPECT_EQ(g.HitTestText(text, aligned, maxWidth, maxWidth + 20, 1.5f * lineHeight),
                  static_cast<int32_t>(text.size()));
    }
}

TEST_F(GfxTextLayout, RichTextAppliesSpansAndIsCached) {
    const std::wstring text = L"negrita y código";
    Graphics::TextSpan bold;
    bold.start = 0;
    bold.length = 7;
    bold.weight = 700;
    Graphics::TextSpan code;
    code.start = 10;
    code.length = 6;
    code.mono = true;
    code.color = {1, 0, 0, 1};
    Graphics::TextSpan outside;  // beyond the text: ignored
    outside.start = 40;
    outside.length = 5;
    outside.italic = true;

    auto layout = g.RichTextLayout(text, style, {bold, code, outside}, 1000, 100, true);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout.Get(), g.RichTextLayout(text, style, {bold, code, outside}, 1000, 100, true).Get());
    EXPECT_NE(layout.Get(), g.RichTextLayout(text, style, {bold, code, outside}, 1000, 100, false).Get());

    DWRITE_FONT_WEIGHT weight = DWRITE_FONT_WEIGHT_THIN;
    layout->GetFontWeight(0, &weight, nullptr);
    EXPECT_EQ(weight, DWRITE_FONT_WEIGHT_BOLD);
    layout->GetFontWeight(8, &weight, nullptr);
    EXPECT_EQ(weight, DWRITE_FONT_WEIGHT_NORMAL);
    wchar_t family[64] = {};
    layout->GetFontFamilyName(12, family, 64, nullptr);
    EXPECT_EQ(std::wstring(family), Graphics::Fonts::Family(Graphics::FontSlot::Mono));
    ComPtr<IUnknown> effect;
    layout->GetDrawingEffect(12, effect.Put(), nullptr);
    auto brush = effect.Query<ID2D1SolidColorBrush>(__uuidof(ID2D1SolidColorBrush));
    ASSERT_TRUE(brush);
    EXPECT_FLOAT_EQ(brush->GetColor().r, 1);
    layout->GetDrawingEffect(2, effect.Put(), nullptr);
    EXPECT_FALSE(effect);

    // Bold is wider than regular; an empty rich text is one line high.
    const auto plain = g.MeasureText(L"negrita", style, 1000);
    const auto rich = g.MeasureRichText(L"negrita", style, {bold}, 1000);
    EXPECT_GT(rich.width, plain.width);
    EXPECT_FLOAT_EQ(rich.height, plain.height);
    const auto empty = g.MeasureRichText(L"", style, {}, 1000);
    EXPECT_EQ(empty.width, 0);
    EXPECT_FLOAT_EQ(empty.height, plain.height);

    // Ellipsis is not applied to rich layouts.
    TextStyle trimmed = style;
    trimmed.ellipsis = true;
    trimmed.wrap = false;
    DWRITE_TRIMMING trimming = {};
    ComPtr<IDWriteInlineObject> sign;
    g.RichTextLayout(text, trimmed, {}, 30, 100, false)->GetTrimming(&trimming, sign.Put());
    EXPECT_EQ(trimming.granularity, DWRITE_TRIMMING_GRANULARITY_NONE);
    EXPECT_FALSE(sign);
}

}  // namespace
}  // namespace Lorvex

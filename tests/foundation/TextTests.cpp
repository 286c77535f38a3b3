#include "foundation/Text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

using namespace Lorvex::Text;

TEST(TextConvert, RoundTripsSpanishAndAstralText) {
    const std::wstring wide = L"Canción ñandú \U0001F600 \"fin\"";
    const std::string utf8 = ToUtf8(wide);
    EXPECT_EQ(utf8,
              "Canci\xC3\xB3n \xC3\xB1"
              "and\xC3\xBA \xF0\x9F\x98\x80 \"fin\"");
    EXPECT_EQ(ToWide(utf8), wide);
    EXPECT_EQ(ToWide(""), L"");
    EXPECT_EQ(ToUtf8(L""), "");
}

TEST(TextConvert, InvalidInputBecomesReplacementCharacters) {
    // Wine and Windows differ in how many U+FFFD they produce, so only presence is checked.
    const std::wstring wide = ToWide("a\xC3(b\xFF");
    EXPECT_EQ(wide.front(), L'a');
    EXPECT_NE(wide.find(L'\xFFFD'), std::wstring::npos);
    EXPECT_NE(wide.find(L"(b"), std::wstring::npos);

    const std::wstring loneSurrogate{L'x', static_cast<wchar_t>(0xD83D), L'y'};
    EXPECT_EQ(ToUtf8(loneSurrogate), "x\xEF\xBF\xBDy");
}

TEST(TextConvert, TextsLongerThanOnePieceConvertWhole) {
    // The system converters take 32-bit lengths, so long texts go through them in pieces; small
    // pieces put every kind of character (one to four UTF-8 bytes, surrogate pairs) on a seam.
    std::wstring wide;
    for (int i = 0; i < 40; ++i) {
        wide += L"a\u00F1\u20AC\U0001F600";
    }
    const std::string utf8 = ToUtf8(wide);
    ASSERT_EQ(ToWide(utf8), wide);
    for (size_t piece = 1; piece <= 9; ++piece) {
        EXPECT_EQ(Detail::ToWide(utf8, piece), wide) << "piece " << piece;
        EXPECT_EQ(Detail::ToUtf8(wide, piece), utf8) << "piece " << piece;
    }
}

// Well-formed text is decoded without the system converter; it must give what the converter
// gives, and everything else must still go to the converter.
TEST(TextConvert, WellFormedUtf8IsDecodedAsTheSystemDecodesIt) {
    struct Case {
        std::string bytes;
        bool wellFormed;
    };
    const Case cases[] = {
        {"", true},
        {"plain ASCII longer than one word of eight", true},
        {"\xC2\x80\xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF", true},
        {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF \xEF\xBB\xBF", true},
        {"1234567\xC3\xB1"
         "89abcdef\xF0\x9F\x98\x80",
         true},
        {std::string("nul\0", 4), true},
        {"\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF8\x88\x80\x80\x80", false},
        {"abcdefg\xE2\x82", false},
        {"\xC3(", false},
    };
    // Short texts are decoded in one pass and long ones measured first: each case also after
    // plain text that puts it across the length where the one gives way to the other.
    for (const Case& c : cases) {
        for (size_t lead : {0u, 1020u, 1100u}) {
            const std::string bytes = std::string(lead, 'x') + c.bytes;
            EXPECT_EQ(IsValidUtf8(bytes), c.wellFormed) << c.bytes << " after " << lead;
            const std::wstring system = Detail::ToWide(bytes, 1u << 20);
            EXPECT_EQ(ToWide(bytes), system) << c.bytes << " after " << lead;
            if (c.wellFormed) {
                EXPECT_EQ(ToUtf8(system), bytes) << c.bytes << " after " << lead;
            }
        }
    }
}

TEST(TextTrim, UsesTheSystemWhitespaceSet) {
    EXPECT_EQ(Trim(L"\xFEFF hola\t\r\n\xA0"), L"hola");
    EXPECT_EQ(Trim(L"\va\v"), L"\va\v");  // vertical tab is not whitespace here
    EXPECT_EQ(Trim(L"\x2003"
                   L"a"),
              L"\x2003"
              L"a");  // nor other Unicode spaces
    EXPECT_EQ(Trim(L" \t\xA0 "), L"");
    EXPECT_EQ(Trim(L"a b"), L"a b");
}

TEST(TextLines, NormalizeAndSplit) {
    EXPECT_EQ(NormalizeNewlines(L"\r\r\n"), L"\n\n");
    EXPECT_EQ(NormalizeNewlines(L"a\rb\r\nc\n"), L"a\nb\nc\n");

    using Lines = std::vector<std::wstring>;
    const struct {
        const wchar_t* text;
        Lines lines;
    } cases[] = {
        {L"", {}},
        {L"one\n", {L"one"}},
        {L"\n", {L""}},
        {L"a\n\nb", {L"a", L"", L"b"}},
        {L"a\r\nb\r\n", {L"a", L"b"}},
        {L"a\rb", {L"a\rb"}},
        {L"tail\r", {L"tail"}},
        {L"x\n\r", {L"x"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(c.text), c.lines) << "input: " << ToUtf8(c.text);
    }
}

TEST(TextReplaceAll, ReplacesLeftToRightWithoutOverlap) {
    EXPECT_EQ(ReplaceAll(L"aaa", L"aa", L"b"), L"ba");
    EXPECT_EQ(ReplaceAll(L"{{user}} y {{user}}", L"{{user}}", L"Ana"), L"Ana y Ana");
    EXPECT_EQ(ReplaceAll(L"abc", L"", L"x"), L"abc");
    EXPECT_EQ(ReplaceAll(L"abc", L"b", L""), L"ac");
}

TEST(TextCase, FoldingRulesCompareAndOrder) {
    // Only rows where Windows and Wine agree: Wine's towlower folds A to Z alone.
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool asciiEqual;  // EqualsAsciiNoCase
        bool equal;       // EqualsNoCase
        bool less;        // LessNoCase
    } cases[] = {
        {L"", L"", true, true, false},
        {L"Zona Nul", L"zONA nUL", true, true, false},
        {L"\u00D1and\u00FA", L"\u00D1AND\u00FA", true, true, false},
        {L"ana", L"Bea", false, false, true},
        {L"Bea", L"ana", false, false, false},
        {L"An", L"ana", false, false, true},
        {L"ana", L"An", false, false, false},
        {L"abc", L"ABCD", false, false, true},
        // 'Z' is below '[' but 'z' above it: the order compares lower-cased units.
        {L"Zoe", L"[x]", false, false, false},
        {L"[x]", L"Zoe", false, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsAsciiNoCase(c.a, c.b), c.asciiEqual) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
        EXPECT_EQ(LessNoCase(c.a, c.b), c.less) << ToUtf8(c.a) << " < " << ToUtf8(c.b);
    }
    // The ASCII rule never folds beyond Z, whatever the platform does.
    EXPECT_FALSE(EqualsAsciiNoCase(L"\u00C1", L"\u00E1"));
    EXPECT_EQ(ToLowerAscii(L"Content-TYPE \u00C1"), L"content-type \u00C1");
    // Unit by unit: a surrogate pair stays as it is and the length does not change.
    EXPECT_EQ(ToLower(L"Hola, MUNDO_1 \U0001F600X"), L"hola, mundo_1 \U0001F600x");
}

TEST(TextParseInt, StrictDecimalWithOverflowRejected) {
    const struct {
        const wchar_t* text;
        std::optional<int64_t> value;
    } cases[] = {
        {L"-0", 0},
        {L"  +7 \t", 7},
        {L"\xA0"
         L"42\xFEFF",
         42},
        {L"-9223372036854775808", INT64_MIN},
        {L"9223372036854775807", INT64_MAX},
        {L"9223372036854775808", std::nullopt},
        {L"-9223372036854775809", std::nullopt},
        {L"99999999999999999999999", std::nullopt},
        {L"7.0", std::nullopt},
        {L"1e3", std::nullopt},
        {L"-", std::nullopt},
        {L"+", std::nullopt},
        {L"", std::nullopt},
        {L"1 2", std::nullopt},
        {L"1,000", std::nullopt},
        {L"\x0663", std::nullopt},  // Arabic-Indic digit three
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TryParseInt(c.text), c.value) << "input: " << ToUtf8(c.text);
    }
}

TEST(TextParseUInt, DigitsOnly) {
    EXPECT_EQ(TryParseUInt(L"00042"), 42u);
    EXPECT_EQ(TryParseUInt(L" 18446744073709551615 "), UINT64_MAX);
    EXPECT_EQ(TryParseUInt(L"18446744073709551616"), std::nullopt);
    EXPECT_EQ(TryParseUInt(L"-1"), std::nullopt);
    EXPECT_EQ(TryParseUInt(L"+1"), std::nullopt);
    EXPECT_EQ(TryParseUInt(L""), std::nullopt);
}

TEST(TextUrlEncode, PercentEncodesEverythingButUnreserved) {
    EXPECT_EQ(UrlEncode(" "), "%20");
    EXPECT_EQ(UrlEncode("\xC3\xA9"), "%C3%A9");
    EXPECT_EQ(UrlEncode("~-._AZaz09"), "~-._AZaz09");
    EXPECT_EQ(UrlEncode("a+b/c?d=e&f"), "a%2Bb%2Fc%3Fd%3De%26f");
    EXPECT_EQ(UrlEncode(std::string("\0", 1)), "%00");
}

TEST(TextFormatBytes, UnitsAndDecimals) {
    const struct {
        uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 B"},       {1000, L"1000 B"},    {1023, L"1023 B"},       {1024, L"1.0 KB"},
        {1536, L"1.5 KB"}, {1048576, L"1.0 MB"}, {5ull << 30, L"5.0 GB"}, {2048ull << 40, L"2048.0 TB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatBytes(c.bytes), c.text) << c.bytes;
    }
}

TEST(TextSha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TextClipboard, CopiesUnicodeText) {
    const std::wstring text = L"¿Qué tal? \U0001F600";
    ASSERT_TRUE(CopyToClipboard(text));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const auto* stored = static_cast<const wchar_t*>(GlobalLock(data));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::wstring(stored), text);
    GlobalUnlock(data);
    CloseClipboard();
}

// Windows programs paste CR LF; the editors hold bare LF (and a pasted lone CR is a break too).
TEST(TextClipboard, CopiesEveryLineBreakAsCrLf) {
    ASSERT_TRUE(CopyToClipboard(L"uno\ndos\r\ntres\rcuatro\n\n"));
    EXPECT_EQ(ReadClipboard(), L"uno\r\ndos\r\ntres\r\ncuatro\r\n\r\n");
}

TEST(TextClipboard, ReadsBackWhatWasCopied) {
    const std::wstring text = L"línea 1\r\nlínea 2 \U0001F600";
    ASSERT_TRUE(CopyToClipboard(text));
    EXPECT_EQ(ReadClipboard(), text);
}

// The text ends at its terminator even when the block holds more after it. (A block without any
// terminator cannot be made here: Wine writes one over the block's last unit when it is missing.)
TEST(TextClipboard, ReadStopsAtTheTerminatorInsideTheBlock) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const wchar_t units[] = {L'a', L'b', L'\0', L'c', L'd', L'\0'};
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(units));
    ASSERT_NE(memory, nullptr);
    void* target = GlobalLock(memory);
    ASSERT_NE(target, nullptr);
    memcpy(target, units, sizeof(units));
    GlobalUnlock(memory);
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!set) {
        GlobalFree(memory);
    }
    CloseClipboard();
    ASSERT_TRUE(set);
    EXPECT_EQ(ReadClipboard(), L"ab");
}

TEST(TextClipboard, ReadsNothingWithoutText) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(ReadClipboard(), L"");
}

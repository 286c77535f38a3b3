#include "foundation/json/Value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

using Lorvex::Json::Array;
using Lorvex::Json::Object;
using Lorvex::Json::Type;
using Lorvex::Json::Value;

namespace {

const double Inf = std::numeric_limits<double>::infinity();

// The compact text of what the parser read, or nothing when it failed.
std::optional<std::string> Reparse(std::string_view text) {
    bool ok = true;
    Value value = Value::Parse(text, &ok);
    if (!ok) {
        EXPECT_EQ(value.kind, Type::Null) << "a failed parse returns null: " << text;
        return std::nullopt;
    }
    return value.Dump(false);
}

std::string Nested(int depth, std::string_view inner) {
    return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

// A record-like document with the kinds of text a chat holds.
Value SampleChat() {
    Value chat;
    chat["id"] = "chat-1";
    chat["title"] = L"Conversación con «Ánimo»";
    chat["timestamp"] = 1718000000123LL;
    chat["persona_id"] = Value();
    Value messages = Value::EmptyArray();
    for (int i = 0; i < 3; ++i) {
        Value message;
        message["id"] = "m" + std::to_string(i);
        message["role"] = i % 2 ? "assistant" : "user";
        message["content"] = L"¿Qué tal?\n\t\"Bien\", dijo \\ ella \U0001F600 \x01";
        message["regeneration_index"] = i == 2 ? Value(1) : Value();
        message["score"] = 0.1 * i;
        message["empty"] = Value(Object{});
        message["tags"] = Value(Array{Value(true), Value(false), Value::EmptyArray()});
        messages.Push(message);
    }
    chat["messages"] = messages;
    return chat;
}

// Writes the numbers as one array, reads it back and names every number that did not come back
// with the same bits (the first few in full, the rest as a count).
void ExpectNumbersReadBackBitForBit(const std::vector<double>& numbers) {
    Array items;
    items.reserve(numbers.size());
    for (double number : numbers) {
        items.emplace_back(number);
    }
    const std::string text = Value(std::move(items)).Dump(false);
    bool ok = false;
    const Value back = Value::Parse(text, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(back.Size(), numbers.size());
    size_t wrong = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const double read = back.Items()[i].number;
        if (std::bit_cast<uint64_t>(read) != std::bit_cast<uint64_t>(numbers[i])) {
            if (++wrong <= 5) {
                ADD_FAILURE() << std::hexfloat << numbers[i] << " was written " << Value(numbers[i]).Dump(false)
                              << " and read back as " << read;
            }
        }
    }
    EXPECT_EQ(wrong, 0u) << "of " << numbers.size() << " numbers";
}

}  // namespace

TEST(JsonParse, AcceptsOneValueWithSurroundingWhitespace) {
    struct Case {
        const char* text;
        const char* compact;
    };
    const Case cases[] = {
        {"5", "5"},
        {"\"x\"", "\"x\""},
        {"true", "true"},
        {"false", "false"},
        {"null", "null"},
        {" \t\r\n[1,2] \n", "[1,2]"},
        {"[ ]", "[]"},
        {"{ \t\n}", "{}"},
        {"[ 1 , [ ] , { } ]", "[1,[],{}]"},
        {"{ \"a\" : 1 , \"b\" : [ true , null ] }", R"({"a":1,"b":[true,null]})"},
        {"\xEF\xBB\xBF{\"a\":1}", R"({"a":1})"},
        {"\xEF\xBB\xBF 7", "7"},
        {R"({"":""})", R"({"":""})"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Reparse(c.text), std::optional<std::string>(c.compact)) << c.text;
    }
}

TEST(JsonParse, RejectsMalformedText) {
    const char* cases[] = {
        "",
        " \n\t",
        "\xEF\xBB\xBF",
        "\xEF\xBB",
        "[1,2]x",
        "[1,2] [3]",
        "1 2",
        "truex",
        "tru",
        "nul",
        "True",
        "[1,]",
        "[,1]",
        "[1 2]",
        "{\"a\":1,}",
        "{,}",
        "{\"a\" 1}",
        "{\"a\":}",
        "{a:1}",
        "{'a':1}",
        "{\"a\":1 \"b\":2}",
        "[1}",
        "{\"a\":1]",
        "\v1",  // only space, tab, LF and CR count as whitespace
        "\u00A01",  // a no-break space before the digit
        "\"\\x\"",
        "\"\\u12\"",
        "\"\\u12g4\"",
        "\"\\ud83d\\uzzzz\"",
        "\"abc",
        "\"abc\\",
        "\"abc\\\"",
        "[",
        "{",
        "{\"a\"",
        "{\"a\":",
        "[1,",
        "-",
        "+",
        ".",
        "e5",
        "+-1",
        "--1",
        "x",
    };
    for (const char* text : cases) {
        EXPECT_EQ(Reparse(text), std::nullopt) << text;
    }
    // The flag is optional; failure still gives null.
    EXPECT_EQ(Value::Parse("[1,2", nullptr).kind, Type::Null);
    EXPECT_EQ(Value::Parse("[1,2]", nullptr).Size(), 2u);
}

TEST(JsonParse, EveryTruncationOfADocumentFails) {
    const std::string text = SampleChat().Dump(true);
    for (size_t length = 0; length < text.size(); ++length) {
        bool ok = true;
        Value::Parse(std::string_view(text.data(), length), &ok);
        EXPECT_FALSE(ok) << "prefix of " << length << " bytes";
    }
    // The view is bounded: bytes beyond it are never read.
    const std::string padded = "[1,2]" + std::string("garbage");
    EXPECT_EQ(Reparse(std::string_view(padded.data(), 5)), "[1,2]");
    const std::string number = "12345";
    EXPECT_EQ(Value::Parse(std::string_view(number.data(), 2)).AsInt64(), 12);
}

TEST(JsonParse, StringEscapesBecomeUtf8) {
    struct Case {
        const char* json;
        std::string bytes;
    };
    const Case cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u0041\u00e9\u00E9")", "A\xC3\xA9\xC3\xA9"},
        {R"("\u007f\u0080\u07ff\u0800\uffff")", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\udbff\udfff")", "\xF4\x8F\xBF\xBF"},
        // Lone surrogates stay three-byte sequences; whatever follows is read on its own.
        {R"("\ud83d")", "\xED\xA0\xBD"},
        {R"("\ud83dx")", "\xED\xA0\xBDx"},
        {R"("\ud83d\u0041")",
         "\xED\xA0\xBD"
         "A"},
        {R"("\ud83d\n")", "\xED\xA0\xBD\n"},
        {R"("\ud83d\ud83d\ude00")", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
        {R"("\ude00\ud83d")", "\xED\xB8\x80\xED\xA0\xBD"},
        // Raw bytes are copied unchecked: control bytes, UTF-8 and invalid UTF-8 alike.
        {"\"a\tb\nc\"", "a\tb\nc"},
        {"\"\xC3\xB1\xF0\x9F\x98\x80\"", "\xC3\xB1\xF0\x9F\x98\x80"},
        {"\"\xFF\xC3\"", "\xFF\xC3"},
    };
    for (const Case& c : cases) {
        bool ok = false;
        Value value = Value::Parse(c.json, &ok);
        ASSERT_TRUE(ok) << c.json;
        EXPECT_EQ(value.AsString(), c.bytes) << c.json;
    }
    // An escaped NUL is kept inside the text.
    EXPECT_EQ(Value::Parse(R"("a\u0000b")").AsString(), std::string("a\0b", 3));
}

// The reader finds a string's end and its escapes a word of eight bytes at a time: each escape,
// and the closing quote, at every place in a word, and texts that end inside a string.
TEST(JsonParse, EscapesAndEndsAnywhereInAWord) {
    struct Piece {
        const char* json;
        std::string bytes;
    };
    const Piece pieces[] = {
        {R"(\")", "\""},
        {R"(\\)", "\\"},
        {R"(\\\")", "\\\""},
        {R"(\n)", "\n"},
        {R"(\u00f1)", "\xC3\xB1"},
        {R"(\ud83d\ude00)", "\xF0\x9F\x98\x80"},
        {R"(\ud83d\u0041)",
         "\xED\xA0\xBD"
         "A"},
        {"\xC3\xB1", "\xC3\xB1"},
    };
    for (size_t before = 0; before <= 17; ++before) {
        const std::string head = std::string(before, 'a');
        for (size_t after : {0u, 1u, 7u, 8u, 9u}) {
            const std::string tail = std::string(after, 'b');
            for (const Piece& piece : pieces) {
                const std::string json = "[\"" + head + piece.json + tail + "\", \"" + tail + "\"]";
                bool ok = false;
                const Value value = Value::Parse(json, &ok);
                ASSERT_TRUE(ok) << json;
                EXPECT_EQ(value.Items().at(0).AsString(), head + piece.bytes + tail) << json;
                EXPECT_EQ(value.Items().at(1).AsString(), tail) << json;
                // Cut inside the string: never read as a whole document.
                EXPECT_FALSE(Reparse("\"" + head + piece.json + tail)) << json;
            }
        }
        // A string ends at the first quote that no backslash escapes, also one just after an
        // escaped backslash; a backslash as the last byte of the text escapes nothing.
        EXPECT_EQ(Value::Parse("\"" + head + R"(\\")").AsString(), head + "\\") << before;
        EXPECT_FALSE(Reparse("\"" + head + "\\")) << before;
        EXPECT_FALSE(Reparse("\"" + head + R"(\")")) << before;
        EXPECT_FALSE(Reparse("\"" + head + R"(\x")")) << before;
        EXPECT_FALSE(Reparse("\"" + head + R"(\u12")")) << before;
        EXPECT_FALSE(Reparse("\"" + head + R"(\ud83d\u12")")) << before;
    }
}

// Indentation is skipped eight spaces at a time; any mix and length of whitespace must read the
// same, also where it runs to the end of the text.
TEST(JsonParse, WhitespaceRunsOfAnyLength) {
    for (size_t spaces = 0; spaces <= 20; ++spaces) {
        const std::string run = std::string(spaces, ' ');
        for (const std::string& space : {run, "\n" + run, run + "\t", "\r\n" + run + "\n" + run}) {
            const std::string json = space + "{" + space + "\"a\"" + space + ":" + space + "[" + space + "1" + space +
                                     "," + space + "2" + space + "]" + space + "}" + space;
            EXPECT_EQ(Reparse(json), R"({"a":[1,2]})") << spaces;
            EXPECT_FALSE(Reparse("[1" + space)) << spaces;
            EXPECT_FALSE(Reparse(space)) << spaces;
        }
    }
}

TEST(JsonParse, NumbersReadAsTheCLibraryDoes) {
    struct Case {
        std::string json;
        double expected;
    };
    const Case cases[] = {
        {"0", 0.0},
        {"-12", -12.0},
        {"+5", 5.0},
        {"007", 7.0},
        {"5.", 5.0},
        {".5", 0.5},
        {"-.5", -0.5},
        {"1E2", 100.0},
        {"1e+2", 100.0},
        {"2.5e-3", 0.0025},
        {"0.1", 0.1},
        {"1.2.3", 1.2},  // the rest of the run is dropped
        {"1e", 1.0},
        {"1e+", 1.0},
        {"1-2", 1.0},
        {"12345678901234567890", 12345678901234567890.0},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
        {"1.7976931348623157e308", 1.7976931348623157e308},
        {"1e400", Inf},
        {"-1e400", -Inf},
        {"1e-400", 0.0},
        {"0.1e310", Inf},
        {"100e-330", 0.0},
        {"1" + std::string(400, '0'), Inf},
        {"0." + std::string(400, '0') + "1", 0.0},
        {"0." + std::string(399, '0') + "1e400", 1.0},
        {"1" + std::string(400, '0') + "e-400", 1.0},
        {"1e99999999999999999999", Inf},
        {"-1e-99999999999999999999", 0.0},
    };
    for (const Case& c : cases) {
        bool ok = false;
        Value value = Value::Parse(c.json, &ok);
        ASSERT_TRUE(ok) << c.json;
        EXPECT_EQ(value.kind, Type::Number) << c.json;
        EXPECT_EQ(value.number, c.expected) << c.json;
    }
    EXPECT_TRUE(std::signbit(Value::Parse("-0").number));
    EXPECT_TRUE(std::signbit(Value::Parse("-1e-400").number));
    // A run ends at the first byte outside it, so numbers sit fine inside containers.
    EXPECT_EQ(Reparse("[1.5e3,-2]"), "[1500,-2]");
    EXPECT_EQ(Reparse("{\"n\":1.2.3}"), R"({"n":1.2})");
}

TEST(JsonParse, NestingStopsAt201Containers) {
    EXPECT_TRUE(Reparse(Nested(201, "")));
    EXPECT_FALSE(Reparse(Nested(202, "")));
    EXPECT_TRUE(Reparse(Nested(200, "1")));
    EXPECT_FALSE(Reparse(Nested(201, "1")));

    std::string objects;
    for (int i = 0; i < 201; ++i) {
        objects += "{\"a\":";
    }
    EXPECT_TRUE(Reparse(objects + "{}" + std::string(201, '}')) == std::nullopt);
    EXPECT_TRUE(Reparse(objects.substr(5) + "{}" + std::string(200, '}')));

    // Far deeper than the stack would allow: refused, not crashed.
    EXPECT_FALSE(Reparse(std::string(1000000, '[')));
    EXPECT_FALSE(Reparse(Nested(1000000, "")));
}

TEST(JsonParse, RepeatedKeysAreAllKeptInOrder) {
    Value value = Value::Parse(R"({"a":1,"b":2,"a":3})");
    EXPECT_EQ(value.Size(), 3u);
    EXPECT_EQ(value.Find("a").AsInt64(), 1);
    EXPECT_EQ(value.Dump(false), R"({"a":1,"b":2,"a":3})");
}

TEST(JsonWrite, PrettyAndCompactForms) {
    Value value;
    value["a"] = 1;
    value["b"] = Value(Array{Value(true), Value()});
    EXPECT_EQ(value.Dump(true), "{\n  \"a\": 1,\n  \"b\": [\n    true,\n    null\n  ]\n}");
    EXPECT_EQ(value.Dump(false), R"({"a":1,"b":[true,null]})");

    Value empties;
    empties["x"] = Value::EmptyArray();
    empties["y"] = Value(Object{});
    EXPECT_EQ(empties.Dump(true), "{\n  \"x\": [],\n  \"y\": {}\n}");
    EXPECT_EQ(empties.Dump(false), R"({"x":[],"y":{}})");
    EXPECT_EQ(Value::EmptyArray().Dump(true), "[]");
    EXPECT_EQ(Value(Object{}).Dump(true), "{}");
    EXPECT_EQ(Value("a\nb").Dump(true), "\"a\\nb\"");
}

TEST(JsonWrite, AppendsAtTheGivenDepth) {
    std::string out = "prefix:";
    Value(Array{Value(1), Value(Object{{"k", Value("v")}})}).Write(out, true, 1);
    EXPECT_EQ(out, "prefix:[\n    1,\n    {\n      \"k\": \"v\"\n    }\n  ]");

    out = "x";
    Value(2).Write(out, false, 0);
    EXPECT_EQ(out, "x2");
}

TEST(JsonWrite, NumberForms) {
    struct Case {
        double number;
        const char* text;
    };
    // Whole numbers below 1e15 as integers; the rest with the fewest digits that read back to the
    // same value, in %g's plain or exponent form.
    const Case cases[] = {
        {3, "3"},
        {-5, "-5"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {0.7, "0.7"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1.0 / 3, "0.3333333333333333"},
        {1e15 - 1, "999999999999999"},
        {-(1e15 - 1), "-999999999999999"},
        {1e15, "1e+15"},
        {-1e15, "-1e+15"},
        {1234567890123456.0, "1234567890123456"},
        {1e17, "1e+17"},
        {1e21, "1e+21"},
        {123456789012345678.0, "1.2345678901234568e+17"},
        {1e-7, "1e-07"},
        {0.0001, "0.0001"},
        {1e300, "1e+300"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
        {1e15 + 0.5, "1000000000000000.5"},
        {123.456, "123.456"},
        {-0.001, "-0.001"},
        {0.00012345, "0.00012345"},
        {1e-5, "1e-05"},
        {-1.25e-10, "-1.25e-10"},
        {0x1p-10, "0.0009765625"},
        {0x1p-14, "6.103515625e-05"},
        {0x1p60, "1.152921504606847e+18"},
        // Powers of two whose nearest text of that many digits lies below them: the double below is
        // half as far away as the one above, so only the next text up reads back.
        {0x1p-24, "5.960464477539063e-08"},
        {0x1p-1017, "7.120236347223045e-307"},
        {-0x1p89, "-6.189700196426902e+26"},
        // Not JSON otherwise: the file would no longer load.
        {Inf, "null"},
        {-Inf, "null"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Value(c.number).Dump(false), c.text) << c.text;
        EXPECT_EQ(Value(c.number).Dump(true), c.text) << c.text;
    }
    EXPECT_EQ(Value::Parse("[1e400,2]").Dump(false), "[null,2]");
}

TEST(JsonWrite, NumbersSurviveARoundTrip) {
    const double numbers[] = {0.1,
                              0.7,
                              1.0 / 3,
                              -2.0 / 3,
                              1e-300,
                              6.02214076e23,
                              9007199254740993.0,
                              123456.789,
                              5e-324,
                              std::numeric_limits<double>::max(),
                              1e15 - 0.5};
    for (double number : numbers) {
        Value back = Value::Parse(Value(number).Dump(false));
        EXPECT_EQ(back.number, number) << Value(number).Dump(false);
    }
}

TEST(JsonWrite, EveryPowerOfTwoReadsBackBitForBit) {
    // Each exponent from the smallest subnormal to the largest power, of both signs: a power of
    // two has a nearer neighbour below than above, where the fewest digits are easiest to get wrong.
    std::vector<double> numbers;
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        numbers.push_back(std::ldexp(1.0, exponent));
        numbers.push_back(-std::ldexp(1.0, exponent));
    }
    ExpectNumbersReadBackBitForBit(numbers);
}

TEST(JsonWrite, RandomBitPatternsReadBackBitForBit) {
    // Every finite bit pattern is equally likely, so all exponents and subnormals are covered.
    // Zero is left out: negative zero is written as 0 on purpose.
    std::mt19937_64 random(20240611);
    std::vector<double> numbers;
    while (numbers.size() < 400000) {
        const double number = std::bit_cast<double>(random());
        if (std::isfinite(number) && number != 0.0) {
            numbers.push_back(number);
        }
    }
    ExpectNumbersReadBackBitForBit(numbers);
}

TEST(JsonWrite, StringEscapes) {
    struct Case {
        std::string text;
        const char* json;
    };
    const Case cases[] = {
        {"\"", R"("\"")"},
        {"\\", R"("\\")"},
        {"/", R"("/")"},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {"\x01\x1F", R"("\u0001\u001f")"},
        {std::string("\0", 1), R"("\u0000")"},
        {"\x7F", "\"\x7F\""},
        {"\xC3\xB1\xF0\x9F\x98\x80\xFF", "\"\xC3\xB1\xF0\x9F\x98\x80\xFF\""},
        {"sin escapes", "\"sin escapes\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Value(std::string(c.text)).Dump(false), c.json) << c.json;
    }
    Value keyed;
    keyed["a\"b\n"] = 1;
    EXPECT_EQ(keyed.Dump(false), R"({"a\"b\n":1})");
}

TEST(JsonWrite, LongTextIsEscapedWhereverTheByteSits) {
    // Long runs are scanned several bytes at a time; the byte to escape may sit anywhere in them,
    // next to bytes that differ from it by one bit or one step.
    struct Case {
        char byte;
        const char* escaped;
    };
    const Case cases[] = {
        {'"', "\\\""},       {'\\', "\\\\"},    {'\n', "\\n"},    {'\x01', "\\u0001"},
        {'\x1F', "\\u001f"}, {'\0', "\\u0000"}, {' ', " "},       {'!', "!"},
        {'#', "#"},          {'[', "["},        {']', "]"},       {'\x7F', "\x7F"},
        {'\x80', "\x80"},    {'\xA0', "\xA0"},  {'\xDC', "\xDC"}, {'\xFF', "\xFF"},
    };
    for (const Case& c : cases) {
        for (size_t offset = 0; offset < 40; ++offset) {
            std::string text(40, 'a');
            text[offset] = c.byte;
            std::string expected = "\"";
            expected.append(text, 0, offset).append(c.escaped).append(text, offset + 1).append("\"");
            const std::string written = Value(std::string(text)).Dump(false);
            ASSERT_EQ(written, expected) << "byte " << int(static_cast<unsigned char>(c.byte)) << " at " << offset;
            ASSERT_EQ(Value::Parse(written).AsString(), text) << "byte " << int(c.byte) << " at " << offset;
        }
    }
}

TEST(JsonRoundTrip, WrittenTextReadsBackToTheSameText) {
    const Value chat = SampleChat();
    for (bool pretty : {true, false}) {
        const std::string text = chat.Dump(pretty);
        bool ok = false;
        Value back = Value::Parse(text, &ok);
        ASSERT_TRUE(ok) << text;
        EXPECT_EQ(back.Dump(pretty), text);
        EXPECT_EQ(back.Dump(!pretty), chat.Dump(!pretty));
    }
    const Value parsed = Value::Parse(chat.Dump(true));
    const Value& message = parsed.Find("messages").Items().at(1);
    EXPECT_EQ(message.Find("content").AsWString(), L"¿Qué tal?\n\t\"Bien\", dijo \\ ella \U0001F600 \x01");
    EXPECT_EQ(message.Find("score").AsDouble(), 0.1);
}

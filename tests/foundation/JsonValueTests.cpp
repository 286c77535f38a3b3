#include "foundation/json/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using Lorvex::Json::Array;
using Lorvex::Json::Object;
using Lorvex::Json::Type;
using Lorvex::Json::Value;

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

Value ParseOrDie(std::string_view text) {
    bool ok = false;
    Value value = Value::Parse(text, &ok);
    EXPECT_TRUE(ok) << text;
    return value;
}

Value SampleObject() {
    Value value;
    value["name"] = "Lucía";
    value["age"] = 31;
    return value;
}

}  // namespace

TEST(JsonValue, DefaultIsNullWithNothingInside) {
    const Value value;
    EXPECT_EQ(value.kind, Type::Null);
    EXPECT_EQ(value.Dump(false), "null");
    EXPECT_EQ(value.Dump(true), "null");
    EXPECT_EQ(value.Size(), 0u);
    EXPECT_TRUE(value.Items().empty());
    EXPECT_TRUE(value.Members().empty());
    EXPECT_TRUE(value.AsString().empty());
    EXPECT_EQ(value.Find("x").kind, Type::Null);
    EXPECT_EQ(value.Find("").kind, Type::Null);
}

TEST(JsonValue, ConstructorsPickTheExpectedKind) {
    const std::string lvalueText = "copiado";
    const std::wstring wideText = L"canción";
    struct Case {
        const char* label;
        Value value;
        Type kind;
        std::string compact;
    };
    const Case cases[] = {
        {"bool", Value(true), Type::Bool, "true"},
        {"double", Value(2.5), Type::Number, "2.5"},
        {"int", Value(5), Type::Number, "5"},
        {"negative int", Value(-5), Type::Number, "-5"},
        {"unsigned", Value(7u), Type::Number, "7"},
        {"int64", Value(int64_t{123456789012}), Type::Number, "123456789012"},
        {"size_t", Value(size_t{42}), Type::Number, "42"},
        {"literal", Value("x"), Type::String, "\"x\""},
        {"wide literal", Value(L"ñ"), Type::String, "\"\xC3\xB1\""},
        {"string lvalue", Value(lvalueText), Type::String, "\"copiado\""},
        {"string rvalue", Value(std::string("movido")), Type::String, "\"movido\""},
        {"wstring", Value(wideText), Type::String, "\"canci\xC3\xB3n\""},
        {"null char pointer", Value(static_cast<const char*>(nullptr)), Type::String, "\"\""},
        {"array", Value(Array{Value(1), Value("a")}), Type::Array, "[1,\"a\"]"},
        {"object", Value(Object{{"k", Value(false)}}), Type::Object, "{\"k\":false}"},
        {"empty array", Value::EmptyArray(), Type::Array, "[]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.kind, c.kind) << c.label;
        EXPECT_EQ(c.value.Dump(false), c.compact) << c.label;
    }
    EXPECT_EQ(lvalueText, "copiado");
}

TEST(JsonValue, AsBoolIsExactAndFallsBack) {
    struct Case {
        Value value;
        bool fallback;
        bool expected;
    };
    const Case cases[] = {
        {Value(true), false, true},    {Value(false), true, false},   {Value("true"), false, true},
        {Value("false"), true, false}, {Value("TRUE"), false, false}, {Value(" true"), false, false},
        {Value("false "), true, true}, {Value("1"), false, false},    {Value(1), false, false},
        {Value(1), true, true},        {Value(), true, true},         {Value::EmptyArray(), true, true},
        {Value(Object{}), true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.AsBool(c.fallback), c.expected) << c.value.Dump(false) << " fallback " << c.fallback;
    }
}

TEST(JsonValue, AsDoubleReadsWholeTrimmedText) {
    struct Case {
        Value value;
        double expected;
    };
    const double fb = -1.0;
    const Case cases[] = {
        {Value(3.5), 3.5},
        {Value(" 2.5 "), 2.5},
        {Value("\xC2\xA0"
               "2.5\xEF\xBB\xBF\r\n"),
         2.5},  // no-break space and BOM are trimmed
        {Value("+5"), 5.0},
        {Value(".5"), 0.5},
        {Value("5."), 5.0},
        {Value("-1e3"), -1000.0},
        {Value("1e400"), Inf},
        {Value("-1e400"), -Inf},
        {Value("1e-400"), 0.0},
        {Value("2.5x"), fb},
        {Value("1,5"), fb},
        {Value("1.2.3"), fb},
        {Value("2 5"), fb},
        {Value("+-5"), fb},
        {Value("-"), fb},
        {Value(""), fb},
        {Value("   "), fb},
        {Value("5\xC3\xA9"), fb},
        {Value(true), fb},
        {Value(), fb},
        {Value::EmptyArray(), fb},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.AsDouble(fb), c.expected) << c.value.Dump(false);
    }
}

TEST(JsonValue, AsInt64RoundsHalvesAwayAndRejectsOutOfRange) {
    struct Case {
        Value value;
        int64_t expected;
    };
    const int64_t fb = 7;
    const Case cases[] = {
        {Value(2.5), 3},
        {Value(-2.5), -3},
        {Value(2.4999), 2},
        {Value(-0.5), -1},
        {Value(0.49), 0},
        {Value(-9223372036854775808.0), std::numeric_limits<int64_t>::min()},
        {Value(9223372036854774784.0), 9223372036854774784},  // the largest double below 2^63
        {Value(9223372036854775808.0), 0},                    // 2^63
        {Value(1e19), 0},
        {Value(-1e19), 0},
        {Value(Inf), 0},
        {Value(NaN), 0},
        {Value("+12"), 12},
        {Value(" 42 "), 42},
        {Value("-9223372036854775808"), std::numeric_limits<int64_t>::min()},
        {Value("9223372036854775808"), fb},
        {Value("12.0"), fb},
        {Value("abc"), fb},
        {Value(""), fb},
        {Value(true), fb},
        {Value(), fb},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.AsInt64(fb), c.expected) << c.value.Dump(false);
    }
}

TEST(JsonValue, AsStringOnlyForStrings) {
    const Value text("hola");
    EXPECT_EQ(&text.AsString(), &text.text);
    EXPECT_EQ(text.AsString(), "hola");
    EXPECT_TRUE(Value(5).AsString().empty());
    EXPECT_TRUE(Value(true).AsString().empty());
    // Missing members chain into the shared empty text.
    EXPECT_TRUE(SampleObject().Find("missing").Find("deeper").AsString().empty());
    EXPECT_EQ(SampleObject().Find("missing").Items().size(), 0u);
}

TEST(JsonValue, AsWStringFormsNumbersAndText) {
    struct Case {
        Value value;
        std::wstring expected;
    };
    const Case cases[] = {
        {Value(3), L"3"},
        {Value(-7), L"-7"},
        {Value(-0.0), L"0"},
        {Value(3.25), L"3.250000"},
        {Value(0.7), L"0.700000"},
        {Value(-0.0000004), L"-0.000000"},
        {Value(999999999999999.0), L"999999999999999"},
        {Value(1e15), L"1000000000000000.000000"},
        {Value(true), L"true"},
        {Value(false), L"false"},
        {Value("Canci\xC3\xB3n \xF0\x9F\x98\x80"), L"Canción \U0001F600"},
        {Value(), L""},
        {Value::EmptyArray(), L""},
        {Value(Object{}), L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.AsWString(), c.expected) << c.value.Dump(false);
    }
}

TEST(JsonValue, AsWStringOfHugeNumbersIsNotCutShort) {
    const std::wstring text = Value(1e300).AsWString();
    ASSERT_EQ(text.size(), 301u + 7u);
    EXPECT_EQ(text.substr(0, 20), L"10000000000000000525");
    EXPECT_EQ(text.substr(text.size() - 7), L".000000");
    const std::wstring largest = Value(-std::numeric_limits<double>::max()).AsWString();
    EXPECT_EQ(largest.size(), 1u + 309u + 7u);
}

TEST(JsonValue, CopiesShareContainersButNotText) {
    Value original = SampleObject();
    Value copy = original;
    copy["added"] = true;
    EXPECT_EQ(original.Size(), 3u);
    EXPECT_TRUE(original.Find("added").AsBool());

    Value list = Value::EmptyArray();
    Value listCopy(list);
    listCopy.Push(Value(1));
    EXPECT_EQ(list.Size(), 1u);

    Value text("a");
    Value textCopy = text;
    textCopy.text = "b";
    EXPECT_EQ(text.AsString(), "a");

    // Each EmptyArray has storage of its own.
    Value first = Value::EmptyArray();
    Value second = Value::EmptyArray();
    first.Push(Value(1));
    EXPECT_EQ(second.Size(), 0u);
}

TEST(JsonValue, MovingLeavesTheSourceEmpty) {
    const Value sources[] = {Value(true), Value(2.5), Value("texto"), SampleObject(), Value(Array{Value(1)})};
    for (const Value& source : sources) {
        Value constructedFrom = source;
        Value target(std::move(constructedFrom));
        EXPECT_EQ(target.Dump(false), source.Dump(false));
        EXPECT_EQ(constructedFrom.kind, Type::Null);
        EXPECT_FALSE(constructedFrom.boolean);
        EXPECT_EQ(constructedFrom.number, 0.0);
        EXPECT_TRUE(constructedFrom.text.empty());
        EXPECT_FALSE(constructedFrom.array);
        EXPECT_FALSE(constructedFrom.object);

        Value assignedFrom = source;
        Value assigned("previous");
        assigned = std::move(assignedFrom);
        EXPECT_EQ(assigned.Dump(false), source.Dump(false));
        EXPECT_EQ(assignedFrom.kind, Type::Null);
        EXPECT_TRUE(assignedFrom.text.empty());
    }
}

TEST(JsonValue, AssigningFromOwnMemberKeepsIt) {
    // The source lives inside the storage that the assignment releases.
    Value byCopy = ParseOrDie(R"({"inner":{"deep":[1,2]},"other":1})");
    byCopy = byCopy["inner"];
    EXPECT_EQ(byCopy.Dump(false), R"({"deep":[1,2]})");

    Value byMove = ParseOrDie(R"({"inner":"texto largo que no cabe en el búfer corto de std::string"})");
    byMove = std::move(byMove["inner"]);
    EXPECT_EQ(byMove.AsString(), "texto largo que no cabe en el búfer corto de std::string");

    Value self = SampleObject();
    Value& alias = self;
    self = alias;
    self = std::move(alias);
    EXPECT_EQ(self.Dump(false), SampleObject().Dump(false));
}

TEST(JsonValue, IndexingFindsFirstOrAppends) {
    Value value = ParseOrDie(R"({"a":1,"b":2,"a":3})");
    EXPECT_EQ(value.Size(), 3u);
    EXPECT_EQ(value.Find("a").AsInt64(), 1);
    EXPECT_EQ(value["a"].AsInt64(), 1);
    value["a"] = 10;
    EXPECT_EQ(value.Dump(false), R"({"a":10,"b":2,"a":3})");

    value["c"];
    EXPECT_EQ(value.Dump(false), R"({"a":10,"b":2,"a":3,"c":null})");

    // An empty key is an ordinary key.
    value[""] = "vacío";
    EXPECT_EQ(value.Find("").AsString(), "vacío");
    EXPECT_EQ(value.Find("ab").kind, Type::Null);
    EXPECT_EQ(value.Find("A").kind, Type::Null);
}

TEST(JsonValue, IndexingTurnsOtherKindsIntoAnObject) {
    const Value others[] = {Value(), Value(true), Value(4), Value("texto"), Value(Array{Value(1)})};
    for (const Value& other : others) {
        Value value = other;
        value["k"];
        EXPECT_EQ(value.kind, Type::Object);
        EXPECT_EQ(value.Dump(false), R"({"k":null})") << other.Dump(false);
    }
    // A former array's storage is left to its other holders.
    Value list(Array{Value(1)});
    Value listCopy = list;
    listCopy["k"] = 1;
    EXPECT_EQ(list.Dump(false), "[1]");

    // The key may be the value's own text.
    Value self("clave");
    self[self.AsString()] = 1;
    EXPECT_EQ(self.Dump(false), R"({"clave":1})");
}

TEST(JsonValue, PushAppendsAndTurnsOtherKindsIntoAnArray) {
    Value value("texto");
    value.Push(Value(1));
    value.Push(Value("dos"));
    EXPECT_EQ(value.kind, Type::Array);
    EXPECT_EQ(value.Dump(false), R"([1,"dos"])");

    Value object = SampleObject();
    Value objectCopy = object;
    objectCopy.Push(Value());
    EXPECT_EQ(objectCopy.Dump(false), "[null]");
    EXPECT_EQ(object.Size(), 2u);

    // An element pushed from the array itself is a copy taken before the list grows.
    Value list(Array{Value("a")});
    list.Push(list.Items()[0]);
    EXPECT_EQ(list.Dump(false), R"(["a","a"])");
}

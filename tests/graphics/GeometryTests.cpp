// Path text and rounded rectangles: the parser against a sink that records every call, and the
// geometries the factory makes from them.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>

#include "graphics/Geometry.h"
#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

// Writes every call as a short text: "B x,y" begin, "L x,y" line, "C ..." cubic, "Q ..."
// quadratic, "A rx,ry rotation large sweep x,y" arc, "Z" closed end, "O" open end.
class RecordingSink : public ID2D1GeometrySink {
public:
    std::string calls;
    int begun = 0;
    int ended = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    void STDMETHODCALLTYPE SetFillMode(D2D1_FILL_MODE) override {}
    void STDMETHODCALLTYPE SetSegmentFlags(D2D1_PATH_SEGMENT) override {}
    void STDMETHODCALLTYPE BeginFigure(D2D1_POINT_2F point, D2D1_FIGURE_BEGIN) override {
        ++begun;
        Add({"B", Point(point)});
    }
    void STDMETHODCALLTYPE AddLines(const D2D1_POINT_2F* points, UINT count) override {
        for (UINT i = 0; i < count; ++i) {
            AddLine(points[i]);
        }
    }
    void STDMETHODCALLTYPE AddBeziers(const D2D1_BEZIER_SEGMENT* beziers, UINT count) override {
        for (UINT i = 0; i < count; ++i) {
            AddBezier(&beziers[i]);
        }
    }
    void STDMETHODCALLTYPE EndFigure(D2D1_FIGURE_END end) override {
        ++ended;
        Add({end == D2D1_FIGURE_END_CLOSED ? "Z" : "O"});
    }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
    void STDMETHODCALLTYPE AddLine(D2D1_POINT_2F point) override { Add({"L", Point(point)}); }
    void STDMETHODCALLTYPE AddBezier(const D2D1_BEZIER_SEGMENT* b) override {
        Add({"C", Point(b->point1), " ", Point(b->point2), " ", Point(b->point3)});
    }
    void STDMETHODCALLTYPE AddQuadraticBezier(const D2D1_QUADRATIC_BEZIER_SEGMENT* q) override {
        Add({"Q", Point(q->point1), " ", Point(q->point2)});
    }
    void STDMETHODCALLTYPE AddQuadraticBeziers(const D2D1_QUADRATIC_BEZIER_SEGMENT* q, UINT count) override {
        for (UINT i = 0; i < count; ++i) {
            AddQuadraticBezier(&q[i]);
        }
    }
    void STDMETHODCALLTYPE AddArc(const D2D1_ARC_SEGMENT* a) override {
        Add({"A", Number(a->size.width), ",", Number(a->size.height), " ", Number(a->rotationAngle), " ",
             a->arcSize == D2D1_ARC_SIZE_LARGE ? "1" : "0", " ",
             a->sweepDirection == D2D1_SWEEP_DIRECTION_CLOCKWISE ? "1" : "0", " ", Point(a->point)});
    }

private:
    static std::string Number(float value) {
        char text[32];
        std::snprintf(text, sizeof(text), "%g", value);
        return text;
    }
    static std::string Point(D2D1_POINT_2F p) {
        std::string text = Number(p.x);
        text.append(",").append(Number(p.y));
        return text;
    }
    void Add(std::initializer_list<std::string> parts) {
        if (!calls.empty()) {
            calls.append("; ");
        }
        for (const auto& part : parts) {
            calls.append(part);
        }
    }
};

std::string Record(const std::string& text) {
    RecordingSink sink;
    Geometry::ReadPathData(text, &sink);
    return sink.calls;
}

TEST(GeometryGfxPathData, ReadsEachCommandAsThePathTextSays) {
    const struct {
        const char* text;
        const char* calls;
    } cases[] = {
        // Bare pairs after a move are lines; a close ends the figure closed.
        {"M0 0 10 0 10 10 Z", "B0,0; L10,0; L10,10; Z"},
        // Relative commands; after the close the pen is back at the figure's start, and a line
        // with no open figure begins one there.
        {"m1 1 l2 0 l0 2 z l1 0", "B1,1; L3,1; L3,3; Z; B1,1; L2,1; O"},
        {"M1 2 h3 v4 H0 V0", "B1,2; L4,2; L4,6; L0,6; L0,0; O"},
        // The fill marker takes its number and draws nothing.
        {"F1 M0 0 L1 1", "B0,0; L1,1; O"},
        // S and T mirror the last control point after any curve, else start at the pen.
        {"M0 0 C1 1 2 2 3 3 S5 5 6 6", "B0,0; C1,1 2,2 3,3; C4,4 5,5 6,6; O"},
        {"M0 0 L3 3 S5 5 6 6", "B0,0; L3,3; C3,3 5,5 6,6; O"},
        {"M0 0 Q1 1 2 0 T4 0 T6 0", "B0,0; Q1,1 2,0; Q3,-1 4,0; Q5,1 6,0; O"},
        {"M0 0 Q1 1 2 0 S5 5 6 6", "B0,0; Q1,1 2,0; C3,-1 5,5 6,6; O"},
        {"M0 0 Q1 1 2 0 L4 0 T6 0", "B0,0; Q1,1 2,0; L4,0; Q4,0 6,0; O"},
        // Commas, signs, fractions and exponents.
        {"M.5-.5L1e1,2E-1", "B0.5,-0.5; L10,0.2; O"},
        {"M1.5.5", "B1.5,0.5; O"},
        // A new move ends the open figure open.
        {"M0 0 L1 0 M5 5 L6 5", "B0,0; L1,0; O; B5,5; L6,5; O"},
        {"L5 5", "B0,0; L5,5; O"},
        // Faults keep what was read before them.
        {"M0 0 L5 0 X L9 9", "B0,0; L5,0; O"},
        {"M0 0 L5", "B0,0; O"},
        {"M0 0 L a", "B0,0; O"},
        {"M0 0 L1 0 Z 5 5", "B0,0; L1,0; Z"},
        {"10 10 L5 5", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Record(c.text), c.calls) << "path: " << c.text;
    }
}

// What Geometry::AddArc adds for the arc, as the recording sink writes it.
std::string ArcCalls(D2D1_POINT_2F from, float rx, float ry, float rotation, bool large, bool sweep, D2D1_POINT_2F to) {
    RecordingSink sink;
    Geometry::AddArc(&sink, from,
                     D2D1::ArcSegment(to, D2D1::SizeF(rx, ry), rotation,
                                      sweep ? D2D1_SWEEP_DIRECTION_CLOCKWISE : D2D1_SWEEP_DIRECTION_COUNTER_CLOCKWISE,
                                      large ? D2D1_ARC_SIZE_LARGE : D2D1_ARC_SIZE_SMALL));
    return sink.calls;
}

TEST(GeometryGfxPathData, ArcsReadTheirFlagsAndBecomeBezierArcs) {
    const struct {
        const char* text;
        float rx, ry, rotation;
        bool large, sweep;
        D2D1_POINT_2F to;
    } cases[] = {
        // Flags read one character at a time: "115" is large-arc 1, sweep 1 and x 5.
        {"M0 0 A5 5 0 115 5", 5, 5, 0, true, true, {5, 5}},
        // Relative, with negative radii taken as their size.
        {"M0 0 a-2 -3 30 0 0 4 4", 2, 3, 30, false, false, {4, 4}},
        // A flag that is not a single 0 or 1 is a number; "0.0" is the flag 0 and then x = .0.
        {"M0 0 A5 5 0 2 0.0 1 1", 5, 5, 0, true, false, {0, 1}},
    };
    for (const auto& c : cases) {
        const std::string arc = ArcCalls({0, 0}, c.rx, c.ry, c.rotation, c.large, c.sweep, c.to);
        ASSERT_EQ(arc.rfind("C", 0), 0u) << c.text;
        EXPECT_EQ(Record(c.text), "B0,0; " + arc + "; O") << "path: " << c.text;
    }
}

TEST(GeometryGfxPathData, AnyTextEndsWithEveryFigureEnded) {
    const std::string alphabet = "MmLlHhVvCcSsQqTtAaZzFfXx0123456789+-.eE, \t";
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            // Now and then any byte at all, the rest from the path alphabet.
            text.push_back(random() % 10 == 0 ? static_cast<char>(random() % 256)
                                              : alphabet[random() % alphabet.size()]);
        }
        RecordingSink sink;
        Geometry::ReadPathData(text, &sink);
        ASSERT_EQ(sink.begun, sink.ended) << "path: " << text;
    }
}

TEST(GeometryGfxPathData, FillRuleComesFromTheLeadingMarker) {
    EXPECT_EQ(Geometry::PathDataFillMode("F1 M0 0"), D2D1_FILL_MODE_WINDING);
    EXPECT_EQ(Geometry::PathDataFillMode("  f1M0 0"), D2D1_FILL_MODE_WINDING);
    EXPECT_EQ(Geometry::PathDataFillMode("F0 M0 0"), D2D1_FILL_MODE_ALTERNATE);
    EXPECT_EQ(Geometry::PathDataFillMode("M0 0 F1"), D2D1_FILL_MODE_ALTERNATE);
    EXPECT_EQ(Geometry::PathDataFillMode("F"), D2D1_FILL_MODE_ALTERNATE);

    // Two squares drawn the same way round: the inner one is a hole only with the alternate rule.
    ASSERT_TRUE(Testing::GraphicsReady());
    const std::string squares = "M0 0 L10 0 L10 10 L0 10 Z M2 2 L8 2 L8 8 L2 8 Z";
    BOOL inside = FALSE;
    auto winding = Geometry::FromPathData("F1 " + squares);
    ASSERT_TRUE(winding);
    winding->FillContainsPoint(D2D1::Point2F(5, 5), nullptr, 0.01f, &inside);
    EXPECT_TRUE(inside);
    auto alternate = Geometry::FromPathData(squares);
    ASSERT_TRUE(alternate);
    alternate->FillContainsPoint(D2D1::Point2F(5, 5), nullptr, 0.01f, &inside);
    EXPECT_FALSE(inside);
    alternate->FillContainsPoint(D2D1::Point2F(1, 1), nullptr, 0.01f, &inside);
    EXPECT_TRUE(inside);
}

TEST(GeometryGfxRoundedRect, ZeroRadiiGiveFourLinesAndEachRadiusRoundsItsCorner) {
    const D2D1_RECT_F box = D2D1::RectF(0, 0, 40, 20);
    RecordingSink plain;
    Geometry::AddRoundedRect(&plain, box, 0, 0, 0, 0);
    EXPECT_EQ(plain.calls, "B0,0; L40,0; L40,20; L0,20; L0,0; Z");
    RecordingSink corners;
    Geometry::AddRoundedRect(&corners, box, 10, 0, 4, 0);
    EXPECT_EQ(corners.calls, "B10,0; L40,0; L40,16; " + ArcCalls({40, 16}, 4, 4, 0, false, true, {36, 20}) +
                                 "; L0,20; L0,10; " + ArcCalls({0, 10}, 10, 10, 0, false, true, {10, 0}) + "; Z");

    // The geometry made from it fills with the winding rule inside the rounded outline.
    ASSERT_TRUE(Testing::GraphicsReady());
    auto rounded = Geometry::RoundedRect(box, 10, 0, 0, 0);
    ASSERT_TRUE(rounded);
    const struct {
        float x, y;
        bool inside;
    } points[] = {{1, 1, false}, {39, 1, true}, {39, 19, true}, {1, 19, true}, {20, 10, true}, {41, 10, false}};
    for (const auto& p : points) {
        BOOL inside = FALSE;
        rounded->FillContainsPoint(D2D1::Point2F(p.x, p.y), nullptr, 0.01f, &inside);
        EXPECT_EQ(inside != FALSE, p.inside) << p.x << "," << p.y;
    }
}

}  // namespace
}  // namespace Lorvex

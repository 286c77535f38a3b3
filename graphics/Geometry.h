#pragma once
// Path geometries beyond the factory's own shapes: a rectangle with four corner radii, and the
// compact path text of the built-in icons.

#include <d2d1_1.h>

#include <string_view>
#include <vector>

#include "foundation/ComPtr.h"

namespace Lorvex::Geometry {

// Winding fill. No radius is clamped: the caller keeps them within the rectangle.
ComPtr<ID2D1PathGeometry> RoundedRect(const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                                      float bottomLeft);

// Adds the rounded rectangle's one closed figure to an open sink.
void AddRoundedRect(ID2D1GeometrySink* sink, const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                    float bottomLeft);

// The elliptical arc from `from` as cubic Bézier segments of at most 90 degrees each (fewer
// degrees for large radii), within 0.001 units of the true arc; the last ends exactly at the
// arc's point. The arc follows Direct2D's (and SVG's) rules: radii too small to reach the end are
// scaled up, a zero radius gives the straight line (one segment), and an end equal to `from`
// gives nothing. Platforms differ in how they draw ID2D1GeometrySink::AddArc (Wine 8 fills the
// chord and strokes nothing); Béziers draw alike everywhere.
std::vector<D2D1_BEZIER_SEGMENT> ArcBeziers(D2D1_POINT_2F from, const D2D1_ARC_SEGMENT& arc);

// Adds the arc from the sink's current point `from` as ArcBeziers.
void AddArc(ID2D1GeometrySink* sink, D2D1_POINT_2F from, const D2D1_ARC_SEGMENT& arc);

// Malformed data yields the figures read before the fault; null only when the factory fails.
ComPtr<ID2D1PathGeometry> FromPathData(std::string_view text);

// Winding when the text starts (after white space) with "F1" or "f1"; alternate otherwise.
D2D1_FILL_MODE PathDataFillMode(std::string_view text);

// Adds the figures of the path text to an open sink; every figure begun is also ended.
void ReadPathData(std::string_view text, ID2D1GeometrySink* sink);

}  // namespace Lorvex::Geometry

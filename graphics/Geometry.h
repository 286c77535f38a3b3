#pragma once
// Path geometries beyond the factory's own shapes: a rectangle with four corner radii, and the
// compact path text of the built-in icons.

#include <d2d1_1.h>

#include <string_view>

#include "foundation/ComPtr.h"

namespace Lorvex::Geometry {

// Winding fill. No radius is clamped: the caller keeps them within the rectangle.
ComPtr<ID2D1PathGeometry> RoundedRect(const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                                      float bottomLeft);

// Adds the rounded rectangle's one closed figure to an open sink.
void AddRoundedRect(ID2D1GeometrySink* sink, const D2D1_RECT_F& rect, float topLeft, float topRight, float bottomRight,
                    float bottomLeft);

// Malformed data yields the figures read before the fault; null only when the factory fails.
ComPtr<ID2D1PathGeometry> FromPathData(std::string_view text);

// Winding when the text starts (after white space) with "F1" or "f1"; alternate otherwise.
D2D1_FILL_MODE PathDataFillMode(std::string_view text);

// Adds the figures of the path text to an open sink; every figure begun is also ended.
void ReadPathData(std::string_view text, ID2D1GeometrySink* sink);

}  // namespace Lorvex::Geometry

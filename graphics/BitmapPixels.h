#pragma once
// Reading a Direct2D bitmap's pixels on the processor, and making one from pixels: the surface's
// read-back, the platform checks of graphics/DrawingQuirks.h and the glows blurred on the
// processor use them. UI thread only, like the contexts they are given; failure shows as an
// empty result.

#include <d2d1_1.h>

#include <cstdint>
#include <vector>

#include "foundation/ComPtr.h"

namespace Lorvex {

// The bitmap's pixels as 0xAARRGGBB values in its own alpha mode, row after row, copied through a
// processor-readable bitmap made on the context; empty when the copy cannot be made or mapped.
// Outside the context's drawing (not between its BeginDraw and EndDraw).
std::vector<uint32_t> ReadBitmapPixels(ID2D1DeviceContext* context, ID2D1Bitmap1* bitmap);

// A drawable bitmap (premultiplied BGRA, options none) of width x height pixels at the DPI, filled
// with the premultiplied 0xAARRGGBB pixels; null when it cannot be made.
ComPtr<ID2D1Bitmap1> MakeBitmapFromPixels(ID2D1DeviceContext* context, uint32_t width, uint32_t height,
                                          const std::vector<uint32_t>& pixels, float dpi);

}  // namespace Lorvex

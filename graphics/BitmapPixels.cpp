#include "graphics/BitmapPixels.h"

#include <algorithm>

namespace Lorvex {

std::vector<uint32_t> ReadBitmapPixels(ID2D1DeviceContext* context, ID2D1Bitmap1* bitmap) {
    std::vector<uint32_t> pixels;
    if (!context || !bitmap) {
        return pixels;
    }
    // A copy the processor can map, in the bitmap's own format (a copy cannot convert).
    const D2D1_SIZE_U size = bitmap->GetPixelSize();
    const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW, bitmap->GetPixelFormat());
    ComPtr<ID2D1Bitmap1> copy;
    if (FAILED(context->CreateBitmap(size, nullptr, 0, &properties, copy.Put())) || !copy ||
        FAILED(copy->CopyFromBitmap(nullptr, bitmap, nullptr))) {
        return pixels;
    }
    D2D1_MAPPED_RECT mapped = {};
    if (FAILED(copy->Map(D2D1_MAP_OPTIONS_READ, &mapped))) {
        return pixels;
    }
    pixels.resize(static_cast<size_t>(size.width) * size.height);
    for (UINT32 y = 0; y < size.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(mapped.bits + static_cast<size_t>(y) * mapped.pitch);
        std::copy(row, row + size.width, pixels.begin() + static_cast<size_t>(y) * size.width);
    }
    copy->Unmap();
    return pixels;
}

ComPtr<ID2D1Bitmap1> MakeBitmapFromPixels(ID2D1DeviceContext* context, uint32_t width, uint32_t height,
                                          const std::vector<uint32_t>& pixels, float dpi) {
    ComPtr<ID2D1Bitmap1> bitmap;
    if (!context || width == 0 || height == 0 || pixels.size() < static_cast<size_t>(width) * height) {
        return bitmap;
    }
    const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_NONE, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpi,
        dpi);
    if (FAILED(context->CreateBitmap(D2D1::SizeU(width, height), pixels.data(), width * 4, &properties,
                                     bitmap.Put()))) {
        bitmap.Reset();
    }
    return bitmap;
}

}  // namespace Lorvex

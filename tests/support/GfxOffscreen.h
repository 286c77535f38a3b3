#pragma once
// Graphics test helpers: the device set up once per process, an off-screen drawing surface whose
// pixels are read back through a CPU-readable copy, and the Wine check for the few pixels that
// only Windows draws.

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <vector>

#include "graphics/Device.h"
#include "graphics/Graphics.h"

namespace Lorvex::Testing {

inline bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// COM, the device and the font table, made once for the whole test program.
inline bool GraphicsReady() {
    static const bool ready = [] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (!Graphics::Device::Initialize()) {
            return false;
        }
        Graphics::Fonts::Initialize();
        return true;
    }();
    return ready;
}

// An off-screen surface of a fixed pixel size at 96 DPI unless told otherwise.
class Offscreen {
public:
    Offscreen(int width, int height, float dpi = 96) {
        if (!GraphicsReady()) {
            return;
        }
        graphics.SetOffscreenSize(width, height);
        ready_ = graphics.Initialize(nullptr, false);
        if (ready_ && dpi != 96) {
            ready_ = graphics.SetDpi(dpi);
        }
    }

    bool Ready() const { return ready_; }

    // Starts a frame and clears it to opaque white.
    void Begin() {
        graphics.BeginFrame();
        graphics.Context()->Clear(D2D1::ColorF(1, 1, 1, 1));
    }

    // Ends the frame (EndDraw, then the cache eviction of the frame); true when drawing worked.
    bool End() {
        const HRESULT hr = graphics.Context()->EndDraw();
        graphics.EndFrame();
        return SUCCEEDED(hr);
    }

    // The whole target as 0xAARRGGBB (premultiplied) values, row by row; empty on failure.
    std::vector<uint32_t> Pixels() {
        std::vector<uint32_t> pixels;
        ID2D1DeviceContext* context = graphics.Context();
        ID2D1Bitmap1* target = graphics.TargetBitmap();
        if (!context || !target) {
            return pixels;
        }
        const D2D1_SIZE_U size = target->GetPixelSize();
        const D2D1_BITMAP_PROPERTIES1 properties =
            D2D1::BitmapProperties1(D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
                                    D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        ComPtr<ID2D1Bitmap1> copy;
        if (FAILED(context->CreateBitmap(size, nullptr, 0, &properties, copy.Put())) ||
            FAILED(copy->CopyFromBitmap(nullptr, target, nullptr))) {
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
        width_ = size.width;
        return pixels;
    }

    // One pixel of the last Pixels() read.
    uint32_t At(const std::vector<uint32_t>& pixels, int x, int y) const {
        return pixels[static_cast<size_t>(y) * width_ + x];
    }

    Graphics graphics;

private:
    bool ready_ = false;
    UINT32 width_ = 0;
};

// Colour channels of a 0xAARRGGBB pixel.
inline int Red(uint32_t pixel) {
    return (pixel >> 16) & 0xFF;
}
inline int Green(uint32_t pixel) {
    return (pixel >> 8) & 0xFF;
}
inline int Blue(uint32_t pixel) {
    return pixel & 0xFF;
}

}  // namespace Lorvex::Testing

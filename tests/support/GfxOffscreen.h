#pragma once
// Graphics test helpers: the device set up once per process, an off-screen drawing surface whose
// pixels are read back through a CPU-readable copy, the platform's own layer for the checks of
// what the surface decided of it, and the Wine check for the few pixels that only Windows draws.

#include <windows.h>
#include <objbase.h>
#include <d2d1_1.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/ComPtr.h"
#include "foundation/Files.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"

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
        const HRESULT hr = graphics.EndDraw();
        graphics.EndFrame();
        return SUCCEEDED(hr);
    }

    // The whole target as 0xAARRGGBB (premultiplied) values, row by row; empty on failure.
    std::vector<uint32_t> Pixels() {
        std::vector<uint32_t> pixels = graphics.ReadPixels();
        if (!pixels.empty()) {
            width_ = static_cast<UINT32>(graphics.PixelWidth());
        }
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

// Opaque red filled in a layer of the opacity straight on the context, with none of the surface's
// replacements in between: what the platform's own Direct2D makes of a layer's opacity.
inline void FillRedInPlatformLayer(ID2D1DeviceContext* context, const D2D1_RECT_F& rect, float opacity) {
    ComPtr<ID2D1SolidColorBrush> red;
    context->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0, 1), red.Put());
    context->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), nullptr, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                              D2D1::IdentityMatrix(), opacity),
                       nullptr);
    context->FillRectangle(rect, red.Get());
    context->PopLayer();
}

// Writes 0xAARRGGBB (premultiplied) pixels, row by row, as a PNG file; false when it cannot.
inline bool SavePng(const std::wstring& path, int width, int height, const std::vector<uint32_t>& pixels) {
    const std::string png = Images::Encode(width, height, pixels, true, 0);
    return !png.empty() && Files::WriteBytes(path, png);
}

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

// Whether an opaque pixel shows the colour, within one step per channel of rounding.
inline bool SameColor(uint32_t pixel, const Color& color) {
    const uint32_t expected = color.ToArgb();
    return std::abs(Red(pixel) - Red(expected)) <= 1 && std::abs(Green(pixel) - Green(expected)) <= 1 &&
           std::abs(Blue(pixel) - Blue(expected)) <= 1;
}

}  // namespace Lorvex::Testing

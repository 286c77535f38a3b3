#pragma once
// The off-screen surface a frame benchmark draws on, and the wait for each frame's rasterising:
// the device, the fonts and a surface of a fixed pixel size, with a 1x1 CPU-readable bitmap that
// one pixel of a finished frame is copied into and read back, so a frame's time includes its
// rasterising and not only its queuing. Main thread only; Open prints why it failed and returns
// false.

#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "foundation/ComPtr.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"

namespace Lorvex::Bench {

class OffscreenFrames {
public:
    bool Open(int width, int height) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (!Graphics::Device::Initialize()) {
            std::printf("no graphics device (under Wine the device needs an X display)\n");
            return false;
        }
        Graphics::Fonts::Initialize();
        graphics.SetOffscreenSize(width, height);
        if (!graphics.Initialize(nullptr, false)) {
            std::printf("the off-screen surface could not be made\n");
            return false;
        }
        const auto properties =
            D2D1::BitmapProperties1(D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
                                    D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        if (FAILED(graphics.Context()->CreateBitmap(D2D1::SizeU(1, 1), nullptr, 0, &properties, probe_.Put()))) {
            std::printf("the read-back bitmap could not be made\n");
            return false;
        }
        return true;
    }

    // Waits until the frame just ended is rasterised; false when it could not be read back.
    bool Sync() {
        const D2D1_POINT_2U origin = {0, 0};
        const D2D1_RECT_U source = {0, 0, 1, 1};
        if (FAILED(probe_->CopyFromBitmap(&origin, graphics.TargetBitmap(), &source))) {
            return false;
        }
        D2D1_MAPPED_RECT mapped = {};
        if (FAILED(probe_->Map(D2D1_MAP_OPTIONS_READ, &mapped))) {
            return false;
        }
        probe_->Unmap();
        return true;
    }

    Graphics graphics;

private:
    ComPtr<ID2D1Bitmap1> probe_;
};

}  // namespace Lorvex::Bench

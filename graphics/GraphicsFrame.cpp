// The end of a surface's frame: the bookkeeping of the context's layer and clip stack, the strict
// check tests turn on, EndDraw, presenting the whole target or one region of it, and reading the
// drawn pixels back.

#include <d2d1_1.h>
#include <dxgi1_2.h>

#include <algorithm>
#include <cfloat>
#include <utility>

#include "graphics/BitmapPixels.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/GraphicsState.h"

namespace Lorvex {
namespace {

std::function<void(const std::string&)>& StrictReporter() {
    static std::function<void(const std::string&)> report;
    return report;
}

// "1 layer", "2 clips".
std::string Count(size_t n, const char* kind) {
    return std::to_string(n) + " " + kind + (n == 1 ? "" : "s");
}

}  // namespace

void Graphics::State::Closed(Open kind) {
    if (openStack.empty()) {
        if (stackFault.empty()) {
            stackFault = std::string("a ") + Name(kind) + " was popped with nothing open";
        }
        return;
    }
    if (openStack.back() != kind && stackFault.empty()) {
        stackFault = std::string("a ") + Name(kind) + " was popped while a " + Name(openStack.back()) +
                     " pushed after it was still open";
    }
    openStack.pop_back();
}

void Graphics::PushAxisClip(const Rect& rect) {
    if (!context_) {
        return;
    }
    context_->PushAxisAlignedClip(D2D1::RectF(rect.x, rect.y, rect.x + rect.w, rect.y + rect.h),
                                  D2D1_ANTIALIAS_MODE_ALIASED);
    state_->Opened(State::Open::Clip);
}

void Graphics::PopAxisClip() {
    if (!context_) {
        return;
    }
    context_->PopAxisAlignedClip();
    state_->Closed(State::Open::Clip);
}

size_t Graphics::OpenLayers() const {
    return state_->openStack.size();
}

std::string Graphics::LayerFault() const {
    if (!state_->stackFault.empty()) {
        return state_->stackFault;
    }
    if (state_->redirected) {
        return "the frame ended drawing into an off-screen bitmap";
    }
    const auto& open = state_->openStack;
    if (open.empty()) {
        return {};
    }
    const size_t layers = static_cast<size_t>(std::count(open.begin(), open.end(), State::Open::Layer));
    const size_t clips = open.size() - layers;
    std::string left;
    if (layers > 0) {
        left = Count(layers, "layer");
    }
    if (clips > 0) {
        left += (left.empty() ? "" : " and ") + Count(clips, "clip");
    }
    return left + " left open at the end of the frame";
}

void Graphics::SetStrictLayersForTesting(std::function<void(const std::string& fault)> report) {
    StrictReporter() = std::move(report);
}

HRESULT Graphics::EndDraw() {
    if (!context_) {
        return E_POINTER;
    }
    if (StrictReporter()) {
        const std::string fault = LayerFault();
        if (!fault.empty()) {
            StrictReporter()(fault);
        }
    }
    PopUndrawnClip();
    if (regionClipOpen_) {
        context_->PopAxisAlignedClip();
        regionClipOpen_ = false;
    }
    return Device::EndDraw(context_.Get());
}

bool Graphics::OutsideFrameRegion(const Rect& rect) const {
    if (!regionClipOpen_ || !context_ || state_->redirected) {
        return false;
    }
    D2D1_MATRIX_3X2_F m;
    context_->GetTransform(&m);
    const float xs[] = {rect.x, rect.x + rect.w};
    const float ys[] = {rect.y, rect.y + rect.h};
    float left = FLT_MAX;
    float top = FLT_MAX;
    float right = -FLT_MAX;
    float bottom = -FLT_MAX;
    for (const float x : xs) {
        for (const float y : ys) {
            const float px = x * m._11 + y * m._21 + m._31;
            const float py = x * m._12 + y * m._22 + m._32;
            left = std::min(left, px);
            right = std::max(right, px);
            top = std::min(top, py);
            bottom = std::max(bottom, py);
        }
    }
    // Not a number in any corner compares false everywhere: such a rect is drawn, not skipped.
    const float scale = dpi_ / 96.0f;
    return right * scale <= static_cast<float>(frameRegion_.left) ||
           left * scale >= static_cast<float>(frameRegion_.right) ||
           bottom * scale <= static_cast<float>(frameRegion_.top) ||
           top * scale >= static_cast<float>(frameRegion_.bottom);
}

HRESULT Graphics::Present() {
    const PixelRect region = frameRegion_;
    frameRegion_ = {};
    if (!swapChain_) {
        return S_OK;
    }
    if (Device::FailsAsRemoved(Device::Call::Present)) {
        return DXGI_ERROR_DEVICE_REMOVED;
    }
    if (region.Empty()) {
        return swapChain_->Present(0, 0);
    }
    RECT dirty = {region.left, region.top, region.right, region.bottom};
    DXGI_PRESENT_PARAMETERS parameters = {};
    parameters.DirtyRectsCount = 1;
    parameters.pDirtyRects = &dirty;
    return swapChain_->Present1(0, 0, &parameters);
}

std::vector<uint32_t> Graphics::ReadPixels() const {
    ID2D1Bitmap1* target = targetBitmap_.Get();
    std::vector<uint32_t> pixels = ReadBitmapPixels(context_.Get(), target);
    // A window's target ignores alpha: whatever its fourth byte holds, the screen shows it opaque.
    if (target && target->GetPixelFormat().alphaMode == D2D1_ALPHA_MODE_IGNORE) {
        for (uint32_t& pixel : pixels) {
            pixel |= 0xFF000000u;
        }
    }
    return pixels;
}

}  // namespace Lorvex

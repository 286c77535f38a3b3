// Drawing off the surface's own target: a bitmap of the surface's size to draw a frame into and
// back from, switching the target to it and back inside a frame, and a layer masked by a radial
// gradient (the theme switch keeps the old theme's frame this way and cuts a circle out of it).

#include <d2d1_1.h>

#include <vector>

#include "graphics/Graphics.h"
#include "graphics/GraphicsState.h"

namespace Lorvex {
namespace {

bool failTargetBitmaps = false;

}  // namespace

void Graphics::SetTargetBitmapsFailForTesting(bool fail) {
    failTargetBitmaps = fail;
}

ComPtr<ID2D1Bitmap1> Graphics::CreateTargetBitmap() {
    if (failTargetBitmaps) {
        return {};
    }
    return MakeTargetBitmap();
}

ComPtr<ID2D1Bitmap1> Graphics::MakeTargetBitmap() {
    ComPtr<ID2D1Bitmap1> bitmap;
    if (!context_) {
        return bitmap;
    }
    const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_TARGET, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpi_,
        dpi_);
    const D2D1_SIZE_U size = D2D1::SizeU(static_cast<UINT32>(pixelWidth_), static_cast<UINT32>(pixelHeight_));
    if (FAILED(context_->CreateBitmap(size, nullptr, 0, &properties, bitmap.Put()))) {
        bitmap.Reset();
    }
    return bitmap;
}

bool Graphics::RedirectTarget(ID2D1Bitmap1* bitmap) {
    if (!context_ || !bitmap || state_->redirected || !state_->openStack.empty() || regionClipOpen_) {
        return false;
    }
    const bool undrawn = undrawnClipOpen_;
    PopUndrawnClip();
    context_->SetTarget(bitmap);
    state_->redirected = true;
    redirectedUndrawn_ = undrawn;
    return true;
}

void Graphics::RestoreTarget() {
    if (!context_ || !state_->redirected) {
        return;
    }
    if (!state_->openStack.empty() && state_->stackFault.empty()) {
        state_->stackFault = "a layer or clip pushed on an off-screen bitmap was still open when drawing went back";
    }
    context_->SetTarget(targetBitmap_.Get());
    state_->redirected = false;
    if (redirectedUndrawn_) {
        PushUndrawnClip();
        redirectedUndrawn_ = false;
    }
}

void Graphics::Clear(const Color& color) {
    if (context_) {
        context_->Clear(ToColor(color));
    }
}

void Graphics::DrawBitmap(ID2D1Bitmap1* bitmap, const Rect& rect, float opacity) {
    if (!context_ || !bitmap) {
        return;
    }
    context_->DrawBitmap(bitmap, D2D1::RectF(rect.x, rect.y, rect.x + rect.w, rect.y + rect.h),
                         opacity * GroupOpacity(), D2D1_INTERPOLATION_MODE_LINEAR, nullptr);
}

bool Graphics::PushRadialMaskLayer(const std::vector<GradientStop>& stops, D2D1_POINT_2F center, float radiusX,
                                   float radiusY) {
    if (!context_ || stops.empty()) {
        return false;
    }
    // Made anew for each call: the stops move every frame, and the shared gradient cache keeps
    // one brush per set of stops for the surface's life.
    const std::vector<D2D1_GRADIENT_STOP> converted = ToStops(stops);
    ComPtr<ID2D1GradientStopCollection> collection;
    ComPtr<ID2D1RadialGradientBrush> brush;
    const auto properties = D2D1::RadialGradientBrushProperties(center, D2D1::Point2F(0, 0), radiusX, radiusY);
    if (FAILED(context_->CreateGradientStopCollection(converted.data(), static_cast<UINT32>(converted.size()),
                                                      D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.Put())) ||
        FAILED(context_->CreateRadialGradientBrush(&properties, nullptr, collection.Get(), brush.Put())) || !brush) {
        return false;
    }
    OpenLayer(nullptr, nullptr, 1.0f, brush.Get());
    state_->layerBrushes.push_back(ComPtr<ID2D1Brush>(brush.Get()));
    return true;
}

}  // namespace Lorvex

#include <algorithm>

#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"

namespace Lorvex {

void Graphics::DrawImage(const std::shared_ptr<Image>& image, const Rect& rect, float radius, float opacity) {
    if (!image || !image->bitmap || !context_ || rect.w <= 0 || rect.h <= 0 || OutsideFrameRegion(rect)) {
        return;
    }
    ID2D1Factory1* factory = Device::Instance().d2dFactory.Get();
    if (!factory) {
        return;
    }

    const float r = std::max(0.0f, std::min(radius, std::min(rect.w, rect.h) / 2));
    const D2D1_RECT_F bounds = D2D1::RectF(rect.x, rect.y, rect.x + rect.w, rect.y + rect.h);

    // Cover fit: the picture fills the rect, centred; its overflow is cut by the mask.
    D2D1_RECT_F box = bounds;
    if (image->width > 0 && image->height > 0) {
        const float scale = std::max(rect.h / image->height, rect.w / image->width);
        const float w = image->width * scale;
        const float h = image->height * scale;
        const float left = rect.x + (rect.w - w) / 2;
        const float top = rect.y + (rect.h - h) / 2;
        box = D2D1::RectF(left, top, left + w, top + h);
    }

    if (quirks_.layersIgnoreMasks) {
        // The mask would cut nothing: the rounded rect is filled with the picture as a brush
        // instead, placed on the box, which cuts the overflow and the corners alike.
        const D2D1_SIZE_F size = image->bitmap->GetSize();
        if (size.width <= 0 || size.height <= 0) {
            return;
        }
        const D2D1_BRUSH_PROPERTIES placed =
            D2D1::BrushProperties(opacity * GroupOpacity(),
                                  D2D1::Matrix3x2F::Scale((box.right - box.left) / size.width,
                                                          (box.bottom - box.top) / size.height) *
                                      D2D1::Matrix3x2F::Translation(box.left, box.top));
        const D2D1_BITMAP_BRUSH_PROPERTIES1 sampling = D2D1::BitmapBrushProperties1(
            D2D1_EXTEND_MODE_CLAMP, D2D1_EXTEND_MODE_CLAMP, D2D1_INTERPOLATION_MODE_HIGH_QUALITY_CUBIC);
        ComPtr<ID2D1BitmapBrush1> brush;
        if (SUCCEEDED(context_->CreateBitmapBrush(image->bitmap.Get(), &sampling, &placed, brush.Put())) && brush) {
            context_->FillRoundedRectangle(D2D1::RoundedRect(bounds, r, r), brush.Get());
        }
        return;
    }

    ComPtr<ID2D1RoundedRectangleGeometry> mask;
    if (FAILED(factory->CreateRoundedRectangleGeometry(D2D1::RoundedRect(bounds, r, r), mask.Put()))) {
        return;
    }
    PushLayer(opacity, mask.Get());
    // Where layers do not fade, the group's opacity (this layer's included) goes to the bitmap.
    context_->DrawBitmap(image->bitmap.Get(), &box, GroupOpacity(), D2D1_INTERPOLATION_MODE_HIGH_QUALITY_CUBIC,
                         nullptr, nullptr);
    PopLayer();
}

}  // namespace Lorvex

#include <algorithm>

#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"

namespace Lorvex {

void Graphics::DrawImage(const std::shared_ptr<Image>& image, const Rect& rect, float radius, float opacity) {
    if (!image || !image->bitmap || !context_ || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    ID2D1Factory1* factory = Device::Instance().d2dFactory.Get();
    if (!factory) {
        return;
    }

    const float r = std::max(0.0f, std::min(radius, std::min(rect.w, rect.h) / 2));
    const D2D1_RECT_F bounds = D2D1::RectF(rect.x, rect.y, rect.x + rect.w, rect.y + rect.h);
    ComPtr<ID2D1RoundedRectangleGeometry> mask;
    if (FAILED(factory->CreateRoundedRectangleGeometry(D2D1::RoundedRect(bounds, r, r), mask.Put()))) {
        return;
    }

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

    PushLayer(opacity, mask.Get());
    context_->DrawBitmap(image->bitmap.Get(), &box, 1.0f, D2D1_INTERPOLATION_MODE_HIGH_QUALITY_CUBIC, nullptr, nullptr);
    PopLayer();
}

}  // namespace Lorvex

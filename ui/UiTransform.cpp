// The transform and clip stacks: each push changes both what the surface draws and where hit
// tests look, so the two never drift apart.

#include <d2d1_1.h>

#include "ui/Ui.h"

namespace Lorvex::UI {

void Ui::PushScale(float s, float cx, float cy) {
    transforms_.push_back({scale, offsetX, offsetY});
    offsetX += (cx - s * cx) * scale;
    offsetY += (cy - s * cy) * scale;
    scale *= s;
    graphics->PushTransform(D2D1::Matrix3x2F(s, 0, 0, s, cx - s * cx, cy - s * cy));
}

void Ui::PushTranslate(float dx, float dy) {
    transforms_.push_back({scale, offsetX, offsetY});
    offsetX += scale * dx;
    offsetY += scale * dy;
    graphics->PushTransform(D2D1::Matrix3x2F::Translation(dx, dy));
}

void Ui::PopTransform() {
    if (transforms_.empty()) {
        return;
    }
    const SavedTransform saved = transforms_.back();
    transforms_.pop_back();
    scale = saved.scale;
    offsetX = saved.offsetX;
    offsetY = saved.offsetY;
    if (graphics->TransformDepth() > 0) {
        graphics->PopTransform();
    }
}

void Ui::PushClip(const Rect& rect) {
    clips_.push_back({rect.x * scale + offsetX, rect.y * scale + offsetY, rect.w * scale, rect.h * scale});
    // The context maps the local rect through its own transform, which matches ours.
    graphics->PushAxisClip(rect);
}

void Ui::PopClip() {
    if (clips_.empty()) {
        return;
    }
    clips_.pop_back();
    graphics->PopAxisClip();
}

Ui::ClipScope::~ClipScope() {
    if (transformPushed) {
        ui.PopTransform();
    }
    if (layerPushed) {
        ui.graphics->PopLayer();
    }
}

}  // namespace Lorvex::UI

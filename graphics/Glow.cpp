#include <algorithm>

#include "graphics/BitmapPixels.h"
#include "graphics/CacheKeys.h"
#include "graphics/Device.h"
#include "graphics/GlowBlur.h"
#include "graphics/Graphics.h"
#include "graphics/GraphicsState.h"

namespace Lorvex {

namespace {

// The shadow's colour and blur as the effect takes them.
bool ConfigureShadow(ID2D1Effect* effect, ID2D1Bitmap1* source, const Color& color, float blur) {
    return D2DExtra::ConfigureShadow(effect, source, {color.r, color.g, color.b, color.a}, std::max(blur / 3.0f, 0.1f));
}

}  // namespace

void Graphics::GlowRound(const Rect& rect, float radius, const Color& color, float blur, float opacity) {
    if (!context_ || !solidBrush_ || rect.w <= 0 || rect.h <= 0 || opacity <= 0) {
        return;
    }
    std::wstring key = CacheKeys::Glow(rect.w, rect.h, radius, blur);
    if (quirks_.shadowUnavailable) {
        // Blurred on the processor in its colour: the colour is part of what was baked.
        key += CacheKeys::GlowTint(color);
    }
    const float pad = blur * 1.5f + 2.0f;
    const float w = rect.w;
    const float h = rect.h;
    GlowEntry* entry = GlowSource(key, w, h, pad, [w, h, radius](ID2D1DeviceContext* context, ID2D1Brush* brush) {
        context->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(0, 0, w, h), radius, radius), brush);
    });
    // Looked up first all the same, so that a glow kept out of region frames is not aged out.
    if (!entry || OutsideFrameRegion({rect.x - pad, rect.y - pad, w + 2 * pad, h + 2 * pad})) {
        return;
    }
    DrawGlow(*entry, rect.x, rect.y, color, blur, opacity);
}

GlowEntry* Graphics::GlowSource(const std::wstring& key, float width, float height, float pad,
                                const std::function<void(ID2D1DeviceContext*, ID2D1Brush*)>& draw) {
    const float dpi = dpi_;
    return state_->glows.Source(
        key, width, height, pad, dpi, frameNumber_,
        [&](uint32_t pixelWidth, uint32_t pixelHeight) -> ComPtr<ID2D1Bitmap1> {
            ID2D1DeviceContext* resources = Device::Instance().resourceContext.Get();
            if (!resources) {
                return {};
            }
            const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
                D2D1_BITMAP_OPTIONS_TARGET,
                D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpi, dpi);
            ComPtr<ID2D1Bitmap1> bitmap;
            ComPtr<ID2D1SolidColorBrush> white;
            if (FAILED(resources->CreateBitmap(D2D1::SizeU(pixelWidth, pixelHeight), nullptr, 0, &properties,
                                               bitmap.Put())) ||
                FAILED(resources->CreateSolidColorBrush(D2D1::ColorF(1, 1, 1, 1), white.Put()))) {
                return {};
            }
            resources->SetTarget(bitmap.Get());
            resources->SetDpi(dpi, dpi);
            resources->BeginDraw();
            resources->Clear(D2D1::ColorF(0, 0, 0, 0));
            resources->SetTransform(D2D1::Matrix3x2F::Translation(pad, pad));
            if (draw) {
                draw(resources, white.Get());
            }
            resources->SetTransform(D2D1::IdentityMatrix());
            Device::EndDraw(resources);
            resources->SetTarget(nullptr);
            return bitmap;
        });
}

void Graphics::BakeGlow(GlowEntry& entry, float blur) {
    entry.prepared = true;
    ID2D1DeviceContext* resources = Device::Instance().resourceContext.Get();
    if (!resources || !entry.source) {
        return;
    }
    if (!bakingShadow_ && FAILED(resources->CreateEffect(D2DExtra::CLSID_Shadow, bakingShadow_.Put()))) {
        bakingShadow_.Reset();
        return;
    }

    const D2D1_SIZE_U size = entry.source->GetPixelSize();
    float dpiX = 96, dpiY = 96;
    entry.source->GetDpi(&dpiX, &dpiY);
    const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_TARGET, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpiX,
        dpiY);
    ComPtr<ID2D1Bitmap1> blurred;
    if (FAILED(resources->CreateBitmap(size, nullptr, 0, &properties, blurred.Put()))) {
        return;
    }
    if (!ConfigureShadow(bakingShadow_.Get(), entry.source.Get(), Color{1, 1, 1, 1}, blur)) {
        return;
    }

    ComPtr<ID2D1Image> output;
    bakingShadow_->GetOutput(output.Put());
    if (!output) {
        return;
    }
    resources->SetTarget(blurred.Get());
    resources->SetDpi(dpiX, dpiY);
    resources->BeginDraw();
    resources->Clear(D2D1::ColorF(0, 0, 0, 0));
    resources->SetTransform(D2D1::IdentityMatrix());
    const D2D1_POINT_2F origin = {0, 0};
    resources->DrawImage(output.Get(), &origin, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                         D2D1_COMPOSITE_MODE_SOURCE_OVER);
    const HRESULT hr = Device::EndDraw(resources);
    resources->SetTarget(nullptr);
    // The effect keeps this source as its input until the next bake: a null input crashes some
    // implementations (Wine), so it is never cleared.
    if (SUCCEEDED(hr)) {
        entry.blurred = blurred;
    }
}

void Graphics::BakeGlowOnProcessor(GlowEntry& entry, float blur, const Color& color) {
    entry.prepared = true;
    ID2D1DeviceContext* resources = Device::Instance().resourceContext.Get();
    if (!resources || !entry.source) {
        return;
    }
    const D2D1_SIZE_U size = entry.source->GetPixelSize();
    float dpiX = 96, dpiY = 96;
    entry.source->GetDpi(&dpiX, &dpiY);
    const std::vector<uint32_t> shape = ReadBitmapPixels(resources, entry.source.Get());
    const int width = static_cast<int>(size.width);
    const int height = static_cast<int>(size.height);
    // The shadow effect's deviation is in DIPs.
    const float deviation = std::max(blur / 3.0f, 0.1f) * dpiX / 96.0f;
    const std::vector<uint32_t> pixels =
        GlowBlur::TintedBlur(shape, width, height, deviation, color.r, color.g, color.b);
    entry.blurred = MakeBitmapFromPixels(resources, size.width, size.height, pixels, dpiX);
}

void Graphics::DrawGlow(GlowEntry& entry, float x, float y, const Color& color, float blur, float opacity) {
    Color tinted = color;
    tinted.a *= opacity;
    if (quirks_.shadowUnavailable) {
        if (!entry.prepared) {
            BakeGlowOnProcessor(entry, blur, color);
        }
        if (entry.blurred) {
            const D2D1_SIZE_F size = entry.blurred->GetSize();
            DrawBitmap(entry.blurred.Get(), {x - entry.pad, y - entry.pad, size.width, size.height}, tinted.a);
        }
        return;
    }
    if (!entry.prepared) {
        BakeGlow(entry, blur);
    }

    if (entry.blurred) {
        const D2D1_SIZE_F size = entry.blurred->GetSize();
        const D2D1_RECT_F destination =
            D2D1::RectF(x - entry.pad, y - entry.pad, x - entry.pad + size.width, y - entry.pad + size.height);
        SetSolidColor(tinted);
        const D2D1_ANTIALIAS_MODE saved = context_->GetAntialiasMode();
        context_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
        context_->FillOpacityMask(entry.blurred.Get(), solidBrush_.Get(), D2D1_OPACITY_MASK_CONTENT_GRAPHICS,
                                  &destination, nullptr);
        context_->SetAntialiasMode(saved);
        return;
    }

    if (!liveShadow_ && FAILED(context_->CreateEffect(D2DExtra::CLSID_Shadow, liveShadow_.Put()))) {
        liveShadow_.Reset();
        return;
    }
    tinted.a *= GroupOpacity();
    if (!ConfigureShadow(liveShadow_.Get(), entry.source.Get(), tinted, blur)) {
        return;
    }
    ComPtr<ID2D1Image> output;
    liveShadow_->GetOutput(output.Put());
    if (!output) {
        return;
    }
    const D2D1_POINT_2F origin = {x - entry.pad, y - entry.pad};
    context_->DrawImage(output.Get(), &origin, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                        D2D1_COMPOSITE_MODE_SOURCE_OVER);
}

}  // namespace Lorvex

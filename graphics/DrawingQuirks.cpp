#include "graphics/DrawingQuirks.h"

#include <d2d1_1.h>
#include <dwrite_2.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/ComPtr.h"
#include "graphics/BitmapPixels.h"
#include "graphics/D2DExtra.h"
#include "graphics/Device.h"

namespace Lorvex {
namespace {

constexpr UINT32 kSide = 4;

int Alpha(uint32_t pixel) {
    return static_cast<int>(pixel >> 24);
}
int Red(uint32_t pixel) {
    return static_cast<int>((pixel >> 16) & 0xFF);
}

ComPtr<ID2D1Bitmap1> Target(ID2D1DeviceContext* context) {
    const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
        D2D1_BITMAP_OPTIONS_TARGET, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96,
        96);
    ComPtr<ID2D1Bitmap1> bitmap;
    if (FAILED(context->CreateBitmap(D2D1::SizeU(kSide, kSide), nullptr, 0, &properties, bitmap.Put()))) {
        bitmap.Reset();
    }
    return bitmap;
}

// Draws into a transparent 4 x 4 bitmap and reads it back; empty when any step fails.
std::vector<uint32_t> DrawAndRead(ID2D1DeviceContext* context, const std::function<void()>& draw) {
    const ComPtr<ID2D1Bitmap1> target = Target(context);
    if (!target) {
        return {};
    }
    context->SetTarget(target.Get());
    context->SetDpi(96, 96);
    context->BeginDraw();
    context->SetTransform(D2D1::IdentityMatrix());
    context->Clear(D2D1::ColorF(0, 0, 0, 0));
    draw();
    const HRESULT hr = Graphics::Device::EndDraw(context);
    context->SetTarget(nullptr);
    if (FAILED(hr)) {
        return {};
    }
    return ReadBitmapPixels(context, target.Get());
}

const D2D1_RECT_F kWhole = D2D1::RectF(0, 0, kSide, kSide);

ComPtr<ID2D1GradientStopCollection> HalfRedStops(ID2D1DeviceContext* context) {
    const D2D1_GRADIENT_STOP stops[] = {{0, D2D1::ColorF(1, 0, 0, 0.5f)}, {1, D2D1::ColorF(1, 0, 0, 0.5f)}};
    ComPtr<ID2D1GradientStopCollection> collection;
    if (FAILED(context->CreateGradientStopCollection(stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                     collection.Put()))) {
        collection.Reset();
    }
    return collection;
}

// Red 0.5 stops read 128 red where they are composed as documented, 255 where they are taken as
// premultiplied.
bool StopsPremultiplied(ID2D1DeviceContext* context, bool radial) {
    const ComPtr<ID2D1GradientStopCollection> stops = HalfRedStops(context);
    if (!stops) {
        return false;
    }
    ComPtr<ID2D1Brush> brush;
    if (radial) {
        ComPtr<ID2D1RadialGradientBrush> made;
        context->CreateRadialGradientBrush(D2D1::RadialGradientBrushProperties({2, 2}, {0, 0}, 4, 4), stops.Get(),
                                           made.Put());
        brush = ComPtr<ID2D1Brush>(made.Get());
    } else {
        ComPtr<ID2D1LinearGradientBrush> made;
        context->CreateLinearGradientBrush(D2D1::LinearGradientBrushProperties({0, 0}, {kSide, 0}), stops.Get(),
                                           made.Put());
        brush = ComPtr<ID2D1Brush>(made.Get());
    }
    if (!brush) {
        return false;
    }
    const auto pixels = DrawAndRead(context, [&] { context->FillRectangle(kWhole, brush.Get()); });
    return !pixels.empty() && Red(pixels[5]) > 191;
}

// Opaque red in a 0.5 layer reads alpha 128 where layers fade, 255 where they do not.
bool LayersIgnoreOpacity(ID2D1DeviceContext* context, ID2D1SolidColorBrush* red) {
    const auto pixels = DrawAndRead(context, [&] {
        context->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), nullptr, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                                  D2D1::IdentityMatrix(), 0.5f),
                           nullptr);
        context->FillRectangle(kWhole, red);
        context->PopLayer();
    });
    return !pixels.empty() && Alpha(pixels[5]) > 191;
}

// A layer masked to the left half leaves the right half transparent where masks work.
bool LayersIgnoreMasks(ID2D1Factory1* factory, ID2D1DeviceContext* context, ID2D1SolidColorBrush* red) {
    ComPtr<ID2D1RectangleGeometry> half;
    if (FAILED(factory->CreateRectangleGeometry(D2D1::RectF(0, 0, kSide / 2, kSide), half.Put())) || !half) {
        return false;
    }
    const auto pixels = DrawAndRead(context, [&] {
        context->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), half.Get(), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                                  D2D1::IdentityMatrix(), 1.0f),
                           nullptr);
        context->FillRectangle(kWhole, red);
        context->PopLayer();
    });
    return !pixels.empty() && Alpha(pixels[kSide + 3]) > 127;
}

// Opaque red fills the bitmap: the control without which no other check tells anything.
bool DrawsPlainFill(ID2D1DeviceContext* context, ID2D1SolidColorBrush* red) {
    const auto pixels = DrawAndRead(context, [&] { context->FillRectangle(kWhole, red); });
    return !pixels.empty() && Alpha(pixels[5]) == 255 && Red(pixels[5]) == 255;
}

// The glow's own road: the shadow effect takes a colour and a blur and draws something, and an
// opacity-mask fill of an opaque bitmap paints the brush. Unavailable only where the effect is
// missing or draws wrong; a source or a read-back that cannot be made is no answer.
bool ShadowUnavailable(ID2D1DeviceContext* context, ID2D1SolidColorBrush* red) {
    const std::vector<uint32_t> white(kSide * kSide, 0xFFFFFFFFu);
    const ComPtr<ID2D1Bitmap1> source = MakeBitmapFromPixels(context, kSide, kSide, white, 96);
    if (!source) {
        return false;
    }
    ComPtr<ID2D1Effect> shadow;
    if (FAILED(context->CreateEffect(D2DExtra::CLSID_Shadow, shadow.Put())) || !shadow) {
        return true;
    }
    if (!D2DExtra::ConfigureShadow(shadow.Get(), source.Get(), {1, 1, 1, 1}, 0.5f)) {
        return true;
    }
    ComPtr<ID2D1Image> output;
    shadow->GetOutput(output.Put());
    if (!output) {
        return true;
    }
    const auto blurred = DrawAndRead(context, [&] {
        const D2D1_POINT_2F origin = {0, 0};
        context->DrawImage(output.Get(), &origin, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                           D2D1_COMPOSITE_MODE_SOURCE_OVER);
    });
    if (blurred.empty()) {
        return false;
    }
    if (Alpha(blurred[5]) == 0) {
        return true;
    }
    const auto masked = DrawAndRead(context, [&] {
        const D2D1_ANTIALIAS_MODE saved = context->GetAntialiasMode();
        context->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
        context->FillOpacityMask(source.Get(), red, D2D1_OPACITY_MASK_CONTENT_GRAPHICS, &kWhole, nullptr);
        context->SetAntialiasMode(saved);
    });
    return !masked.empty() && Red(masked[5]) < 128;
}

// One UTF-16 character of text for the font fallback's question.
class OneCharacter : public IDWriteTextAnalysisSource {
public:
    explicit OneCharacter(wchar_t character) : text_{character, 0} {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDWriteTextAnalysisSource)) {
            *object = static_cast<IDWriteTextAnalysisSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the caller's stack for the one call.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTextAtPosition(UINT32 position, const WCHAR** text, UINT32* length) override {
        *text = position < 1 ? text_ + position : nullptr;
        *length = position < 1 ? 1 - position : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTextBeforePosition(UINT32 position, const WCHAR** text, UINT32* length) override {
        *text = position == 1 ? text_ : nullptr;
        *length = position == 1 ? 1 : 0;
        return S_OK;
    }
    DWRITE_READING_DIRECTION STDMETHODCALLTYPE GetParagraphReadingDirection() override {
        return DWRITE_READING_DIRECTION_LEFT_TO_RIGHT;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleName(UINT32 position, UINT32* length, const WCHAR** locale) override {
        *length = 1;
        *locale = L"en-us";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNumberSubstitution(UINT32 position, UINT32* length,
                                                    IDWriteNumberSubstitution** substitution) override {
        *length = 1;
        *substitution = nullptr;
        return S_OK;
    }

private:
    wchar_t text_[2];
};

bool SymbolsLackFallback(IDWriteFactory* fonts) {
    ComPtr<IDWriteFactory2> factory = ComPtr<IDWriteFactory>(fonts).Query<IDWriteFactory2>(__uuidof(IDWriteFactory2));
    ComPtr<IDWriteFontFallback> fallback;
    if (!factory || FAILED(factory->GetSystemFontFallback(fallback.Put())) || !fallback) {
        // Without a fallback of the system's there is nothing to add ours to either.
        return false;
    }
    const ComPtr<IDWriteFont> font = FallbackFont(fallback.Get(), nullptr, 0x2192);
    BOOL has = FALSE;
    return !font || FAILED(font->HasCharacter(0x2192, &has)) || !has;
}

}  // namespace

ComPtr<IDWriteFont> FallbackFont(IDWriteFontFallback* fallback, const wchar_t* family, uint32_t character) {
    ComPtr<IDWriteFont> font;
    if (!fallback || character > 0xFFFF) {
        return font;
    }
    OneCharacter source(static_cast<wchar_t>(character));
    UINT32 mapped = 0;
    FLOAT scale = 1;
    if (FAILED(fallback->MapCharacters(&source, 0, 1, nullptr, family, DWRITE_FONT_WEIGHT_NORMAL,
                                       DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, &mapped, font.Put(),
                                       &scale)) ||
        mapped == 0) {
        font.Reset();
    }
    return font;
}

DrawingQuirks ProbeDrawingQuirks(ID2D1Factory1* factory, ID2D1DeviceContext* context, IDWriteFactory* fonts) {
    DrawingQuirks quirks;
    if (fonts) {
        quirks.symbolsLackFallback = SymbolsLackFallback(fonts);
    }
    if (!context || !factory) {
        return quirks;
    }
    ComPtr<ID2D1SolidColorBrush> red;
    context->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0, 1), red.Put());
    // A context that cannot draw and read back a plain fill (its device lost meanwhile, or out of
    // memory) could not probe: nothing is replaced, and the next device is probed anew.
    if (!red || !DrawsPlainFill(context, red.Get())) {
        return quirks;
    }
    quirks.linearStopsPremultiplied = StopsPremultiplied(context, false);
    quirks.radialStopsPremultiplied = StopsPremultiplied(context, true);
    quirks.layersIgnoreOpacity = LayersIgnoreOpacity(context, red.Get());
    quirks.layersIgnoreMasks = LayersIgnoreMasks(factory, context, red.Get());
    quirks.shadowUnavailable = ShadowUnavailable(context, red.Get());
    return quirks;
}

}  // namespace Lorvex

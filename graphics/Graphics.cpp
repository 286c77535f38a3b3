#include "graphics/Graphics.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "graphics/CacheKeys.h"
#include "graphics/D2DExtra.h"
#include "graphics/Device.h"
#include "graphics/Geometry.h"
#include "graphics/GraphicsState.h"

namespace Lorvex {

namespace {

D2D1_RECT_F ToRect(const Rect& rect) {
    return D2D1::RectF(rect.x, rect.y, rect.x + rect.w, rect.y + rect.h);
}

D2D1_MATRIX_3X2_F Multiply(const D2D1_MATRIX_3X2_F& a, const D2D1_MATRIX_3X2_F& b) {
    D2D1_MATRIX_3X2_F m;
    m._11 = a._11 * b._11 + a._12 * b._21;
    m._12 = a._11 * b._12 + a._12 * b._22;
    m._21 = a._21 * b._11 + a._22 * b._21;
    m._22 = a._21 * b._12 + a._22 * b._22;
    m._31 = a._31 * b._11 + a._32 * b._21 + b._31;
    m._32 = a._31 * b._12 + a._32 * b._22 + b._32;
    return m;
}

SIZE ClientSize(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    return {std::max<LONG>(1, client.right - client.left), std::max<LONG>(1, client.bottom - client.top)};
}

}  // namespace

Graphics::Graphics() : state_(std::make_unique<State>()) {
    SetRealizationCreator(nullptr);
}

Graphics::~Graphics() {
    ReleaseTargets();
}

bool Graphics::Initialize(HWND window, bool composition) {
    // A second initialisation starts from nothing: a window can carry only one swap chain.
    if (context_) {
        ReleaseTargets();
    }
    window_ = window;
    composition_ = composition;
    if (!Device::Initialize()) {
        return false;
    }

    if (window_) {
        const UINT dpi = GetDpiForWindow(window_);
        dpi_ = dpi ? static_cast<float>(dpi) : 96.0f;
    }

    context_ = Device::Instance().CreateContext(nullptr);
    if (!context_) {
        return false;
    }
    quirks_ = Device::Quirks();
    context_->SetTextAntialiasMode(composition_ ? D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE
                                                : D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    context1_ = context_.Query<D2DExtra::ID2D1DeviceContext1>(D2DExtra::IID_DeviceContext1);
    realizationsUnavailable_ = !context1_;

    const D2D1_STROKE_STYLE_PROPERTIES stroke =
        D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND,
                                    D2D1_LINE_JOIN_ROUND, 10.0f, D2D1_DASH_STYLE_SOLID, 0.0f);
    Device::Instance().d2dFactory->CreateStrokeStyle(stroke, nullptr, 0, roundStroke_.Put());
    context_->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), solidBrush_.Put());
    return EnsureTargets();
}

bool Graphics::CreateSwapChain() {
    Device& device = Device::Instance();
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    desc.Width = static_cast<UINT>(pixelWidth_);
    desc.Height = static_cast<UINT>(pixelHeight_);
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.Stereo = FALSE;
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    // Sequential, not discard: a frame that redraws only a region keeps the rest of the buffer.
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
    desc.Flags = 0;
    if (!device.dxgiFactory || !device.d3dDevice) {
        return false;
    }

    if (composition_) {
        desc.Scaling = DXGI_SCALING_STRETCH;
        desc.AlphaMode = DXGI_ALPHA_MODE_PREMULTIPLIED;
        if (!device.compositionDevice) {
            return false;
        }
        ComPtr<IDXGISwapChain1> chain;
        ComPtr<IDCompositionTarget> target;
        ComPtr<IDCompositionVisual> visual;
        if (FAILED(device.dxgiFactory->CreateSwapChainForComposition(device.d3dDevice.Get(), &desc, nullptr,
                                                                     chain.Put())) ||
            FAILED(device.compositionDevice->CreateTargetForHwnd(window_, TRUE, target.Put())) ||
            FAILED(device.compositionDevice->CreateVisual(visual.Put())) || FAILED(visual->SetContent(chain.Get())) ||
            FAILED(target->SetRoot(visual.Get())) || FAILED(device.compositionDevice->Commit())) {
            return false;
        }
        swapChain_ = chain;
        compositionTarget_ = target;
        compositionVisual_ = visual;
        return true;
    }

    desc.Scaling = DXGI_SCALING_NONE;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    if (FAILED(device.dxgiFactory->CreateSwapChainForHwnd(device.d3dDevice.Get(), window_, &desc, nullptr, nullptr,
                                                          swapChain_.Put()))) {
        desc.Scaling = DXGI_SCALING_STRETCH;
        if (FAILED(device.dxgiFactory->CreateSwapChainForHwnd(device.d3dDevice.Get(), window_, &desc, nullptr, nullptr,
                                                              swapChain_.Put()))) {
            swapChain_.Reset();
            return false;
        }
    }
    device.dxgiFactory->MakeWindowAssociation(window_, DXGI_MWA_NO_ALT_ENTER);
    return true;
}

bool Graphics::EnsureTargets() {
    if (targetBitmap_) {
        return true;
    }
    if (!context_ || Device::FailsAsRemoved(Device::Call::Targets)) {
        return false;
    }

    if (window_) {
        const SIZE size = ClientSize(window_);
        pixelWidth_ = size.cx;
        pixelHeight_ = size.cy;
        if (!swapChain_ && !CreateSwapChain()) {
            return false;
        }

        ComPtr<IDXGISurface> surface;
        if (FAILED(swapChain_->GetBuffer(0, __uuidof(IDXGISurface), surface.PutVoid())) || !surface) {
            return false;
        }
        const D2D1_BITMAP_PROPERTIES1 properties = D2D1::BitmapProperties1(
            D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM,
                              composition_ ? D2D1_ALPHA_MODE_PREMULTIPLIED : D2D1_ALPHA_MODE_IGNORE),
            dpi_, dpi_);
        if (FAILED(context_->CreateBitmapFromDxgiSurface(surface.Get(), &properties, targetBitmap_.Put()))) {
            targetBitmap_.Reset();
            return false;
        }
        ++targetGeneration_;
        return BindTarget();
    }

    targetBitmap_ = MakeTargetBitmap();
    if (!targetBitmap_) {
        return false;
    }
    ++targetGeneration_;
    return BindTarget();
}

bool Graphics::BindTarget() {
    context_->SetTarget(targetBitmap_.Get());
    context_->SetDpi(dpi_, dpi_);
    width_ = pixelWidth_ * 96.0f / dpi_;
    height_ = pixelHeight_ * 96.0f / dpi_;
    return true;
}

void Graphics::SetOffscreenSize(int pixelWidth, int pixelHeight) {
    pixelWidth = std::max(1, pixelWidth);
    pixelHeight = std::max(1, pixelHeight);
    if (pixelWidth == pixelWidth_ && pixelHeight == pixelHeight_) {
        return;
    }
    pixelWidth_ = pixelWidth;
    pixelHeight_ = pixelHeight;
    width_ = pixelWidth_ * 96.0f / dpi_;
    height_ = pixelHeight_ * 96.0f / dpi_;
    if (window_ || !targetBitmap_) {
        return;
    }
    DropTarget();
    EnsureTargets();
}

bool Graphics::Resize() {
    if (!swapChain_ || !window_) {
        return EnsureTargets();
    }
    const SIZE size = ClientSize(window_);
    if (size.cx == pixelWidth_ && size.cy == pixelHeight_ && targetBitmap_) {
        return true;
    }
    pixelWidth_ = size.cx;
    pixelHeight_ = size.cy;
    DropTarget();
    const HRESULT hr = Device::FailsAsRemoved(Device::Call::ResizeBuffers)
                           ? static_cast<HRESULT>(DXGI_ERROR_DEVICE_REMOVED)
                           : swapChain_->ResizeBuffers(0, static_cast<UINT>(pixelWidth_),
                                                       static_cast<UINT>(pixelHeight_), DXGI_FORMAT_UNKNOWN, 0);
    if (FAILED(hr)) {
        // The buffers kept their old size, or the device is gone: a swap chain made anew by the
        // next EnsureTargets has the window's size (on a removed device it cannot be made, and the
        // window rebuilds the device).
        ReleaseSwapChain();
        return false;
    }
    return EnsureTargets();
}

bool Graphics::SetDpi(float dpi) {
    // A DPI of 0 or less (or not a number) would make every size infinite.
    dpi_ = dpi > 0 ? dpi : 96.0f;
    state_->glows.Clear();
    state_->realizations.Clear();
    DropTarget();
    return EnsureTargets();
}

void Graphics::DropTarget() {
    if (context_) {
        context_->SetTarget(nullptr);
    }
    targetBitmap_.Reset();
}

void Graphics::ReleaseSwapChain() {
    DropTarget();
    const bool had = static_cast<bool>(swapChain_);
    compositionVisual_.Reset();
    compositionTarget_.Reset();
    swapChain_.Reset();
    // Direct3D destroys objects late, and a window takes a new flip-model swap chain only once its
    // old one is gone: the destruction is carried out now.
    ID3D11DeviceContext* d3d = Device::Instance().d3dContext.Get();
    if (had && d3d) {
        d3d->ClearState();
        d3d->Flush();
    }
}

void Graphics::ReleaseTargets() {
    DropTarget();
    state_->textLayouts.clear();
    state_->richTextLayouts.clear();
    state_->textFormats.clear();
    state_->glows.Clear();
    state_->realizations.Clear();
    state_->clipGeometries.clear();
    liveShadow_.Reset();
    bakingShadow_.Reset();
    state_->linearBrushes.clear();
    state_->radialBrushes.clear();
    ReleaseSwapChain();
    solidBrush_.Reset();
    roundStroke_.Reset();
    context1_.Reset();
    context_.Reset();
}

void Graphics::BeginFrame() {
    ++frameNumber_;
    state_->transformStack.clear();
    state_->openStack.clear();
    state_->stackFault.clear();
    state_->layerBrushes.clear();
    state_->layers.clear();
    state_->groupOpacity = 1;
    if (!context_) {
        return;
    }
    if (state_->redirected) {
        // The previous frame ended drawing into an off-screen bitmap; this one draws on the surface.
        context_->SetTarget(targetBitmap_.Get());
        state_->redirected = false;
    }
    context_->BeginDraw();
    context_->SetTransform(D2D1::IdentityMatrix());
    regionClipOpen_ = false;
    if (!frameRegion_.Empty()) {
        const float perPixel = 96.0f / dpi_;
        context_->PushAxisAlignedClip(D2D1::RectF(frameRegion_.left * perPixel, frameRegion_.top * perPixel,
                                                  frameRegion_.right * perPixel, frameRegion_.bottom * perPixel),
                                      D2D1_ANTIALIAS_MODE_ALIASED);
        regionClipOpen_ = true;
    }
    if (undrawnForTesting_) {
        PushUndrawnClip();
    }
}

void Graphics::PushUndrawnClip() {
    if (context_ && !undrawnClipOpen_) {
        context_->PushAxisAlignedClip(D2D1::RectF(0, 0, 0, 0), D2D1_ANTIALIAS_MODE_ALIASED);
        undrawnClipOpen_ = true;
    }
}

void Graphics::PopUndrawnClip() {
    if (context_ && undrawnClipOpen_) {
        context_->PopAxisAlignedClip();
        undrawnClipOpen_ = false;
    }
}

void Graphics::EndFrame() {
    const uint64_t frame = frameNumber_;
    if (frame % 30 == 0) {
        std::erase_if(state_->clipGeometries, [frame](const auto& item) { return frame > item.second.lastUse + 2; });
        state_->realizations.Evict(frame);
    }
    if (frame % 120 == 0) {
        std::erase_if(state_->textLayouts, [frame](const auto& item) { return frame > item.second.lastUse + 240; });
        std::erase_if(state_->richTextLayouts, [frame](const auto& item) { return frame > item.second.lastUse + 240; });
        state_->glows.Evict(frame);
    }
}

Graphics::CacheCounts Graphics::Counts() const {
    CacheCounts counts;
    counts.textFormats = state_->textFormats.size();
    counts.textLayouts = state_->textLayouts.size();
    counts.richTextLayouts = state_->richTextLayouts.size();
    counts.linearBrushes = state_->linearBrushes.size();
    counts.radialBrushes = state_->radialBrushes.size();
    counts.clipGeometries = state_->clipGeometries.size();
    counts.realizations = state_->realizations.Size();
    counts.glows = state_->glows.Size();
    return counts;
}

// ---- Transforms and layers ----

size_t Graphics::TransformDepth() const {
    return state_->transformStack.size();
}

void Graphics::PushTransform(const D2D1_MATRIX_3X2_F& matrix) {
    if (!context_) {
        return;
    }
    D2D1_MATRIX_3X2_F current;
    context_->GetTransform(&current);
    state_->transformStack.push_back(current);
    context_->SetTransform(Multiply(matrix, current));
}

void Graphics::PopTransform() {
    if (state_->transformStack.empty()) {
        return;
    }
    if (context_) {
        context_->SetTransform(state_->transformStack.back());
    }
    state_->transformStack.pop_back();
}

void Graphics::PushLayer(float opacity, ID2D1Geometry* mask) {
    if (!context_) {
        return;
    }
    OpenLayer(nullptr, mask, opacity, nullptr);
}

float Graphics::GroupOpacity() const {
    return quirks_.layersIgnoreOpacity ? state_->groupOpacity : 1.0f;
}

void Graphics::OpenLayer(const Rect* bounds, ID2D1Geometry* mask, float opacity, ID2D1Brush* opacityBrush) {
    // Layers are composed with grayscale text: ClearType needs an opaque background to blend on.
    state_->antialiasStack.push_back(context_->GetTextAntialiasMode());
    context_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    const D2D1_LAYER_PARAMETERS1 parameters = {
        bounds ? ToRect(*bounds) : D2D1::RectF(-FLT_MAX, -FLT_MAX, FLT_MAX, FLT_MAX),
        mask,
        D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
        D2D1::IdentityMatrix(),
        opacity,
        opacityBrush,
        D2D1_LAYER_OPTIONS1_NONE};
    context_->PushLayer(&parameters, nullptr);
    state_->Opened(State::Open::Layer);
    state_->layers.push_back({opacity, false});
    state_->groupOpacity *= opacity;
}

void Graphics::PushRoundClip(const Rect& rect, float radius) {
    if (!context_) {
        return;
    }
    State::ClipEntry& entry = state_->clipGeometries[CacheKeys::Clip(rect, radius)];
    entry.lastUse = frameNumber_;
    if (!entry.geometry) {
        Device::Instance().d2dFactory->CreateRoundedRectangleGeometry(D2D1::RoundedRect(ToRect(rect), radius, radius),
                                                                      entry.geometry.Put());
    }
    OpenLayer(&rect, entry.geometry.Get(), 1.0f, nullptr);
    if (quirks_.layersIgnoreMasks) {
        // The next best cut where the mask and bounds cut nothing: the rect, without its corners.
        context_->PushAxisAlignedClip(ToRect(rect), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
        state_->layers.back().axisClip = true;
    }
}

void Graphics::PopLayer() {
    if (!context_) {
        return;
    }
    if (!state_->layers.empty() && state_->layers.back().axisClip) {
        context_->PopAxisAlignedClip();
    }
    context_->PopLayer();
    state_->Closed(State::Open::Layer);
    if (!state_->layers.empty()) {
        state_->layers.pop_back();
        // Multiplied anew rather than divided: a layer of opacity 0 must not poison the rest.
        state_->groupOpacity = 1;
        for (const State::LayerState& layer : state_->layers) {
            state_->groupOpacity *= layer.opacity;
        }
    }
    if (!state_->antialiasStack.empty()) {
        context_->SetTextAntialiasMode(state_->antialiasStack.back());
        state_->antialiasStack.pop_back();
    }
}

// ---- Shapes ----

void Graphics::SetSolidColor(const Color& color) {
    if (quirks_.layersIgnoreOpacity) {
        Color faded = color;
        faded.a *= state_->groupOpacity;
        solidBrush_->SetColor(ToColor(faded));
    } else {
        solidBrush_->SetColor(ToColor(color));
    }
    solidBrush_->SetOpacity(1.0f);
}

void Graphics::FillRect(const Rect& rect, const Color& color) {
    if (!context_ || !solidBrush_ || color.a <= 0 || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    SetSolidColor(color);
    context_->FillRectangle(ToRect(rect), solidBrush_.Get());
}

void Graphics::FillRoundRect(const Rect& rect, float radius, const Color& color) {
    if (!context_ || !solidBrush_ || color.a <= 0 || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    SetSolidColor(color);
    FillRoundRectWith(rect, radius, solidBrush_.Get());
}

void Graphics::FillRoundRectWith(const Rect& rect, float radius, ID2D1Brush* brush) {
    if (radius <= 0) {
        context_->FillRectangle(ToRect(rect), brush);
    } else {
        context_->FillRoundedRectangle(D2D1::RoundedRect(ToRect(rect), radius, radius), brush);
    }
}

void Graphics::FillRoundRectCorners(const Rect& rect, float topLeft, float topRight, float bottomRight,
                                    float bottomLeft, const Color& color) {
    if (!context_ || !solidBrush_ || color.a <= 0 || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    const auto geometry = Geometry::RoundedRect(ToRect(rect), topLeft, topRight, bottomRight, bottomLeft);
    if (!geometry) {
        return;
    }
    SetSolidColor(color);
    context_->FillGeometry(geometry.Get(), solidBrush_.Get(), nullptr);
}

void Graphics::StrokeRoundRect(const Rect& rect, float radius, const Color& color, float width) {
    if (!context_ || !solidBrush_ || color.a <= 0) {
        return;
    }
    SetSolidColor(color);
    const Rect inset = {rect.x + width / 2, rect.y + width / 2, rect.w - width, rect.h - width};
    const float r = std::max(0.0f, radius - width / 2);
    if (r == 0) {
        context_->DrawRectangle(ToRect(inset), solidBrush_.Get(), width, nullptr);
    } else {
        context_->DrawRoundedRectangle(D2D1::RoundedRect(ToRect(inset), r, r), solidBrush_.Get(), width, nullptr);
    }
}

void Graphics::FillEllipse(float cx, float cy, float rx, float ry, const Color& color) {
    if (!context_ || !solidBrush_ || color.a <= 0) {
        return;
    }
    SetSolidColor(color);
    context_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(cx, cy), rx, ry), solidBrush_.Get());
}

void Graphics::StrokeEllipse(float cx, float cy, float rx, float ry, const Color& color, float width) {
    if (!context_ || !solidBrush_ || color.a <= 0) {
        return;
    }
    SetSolidColor(color);
    context_->DrawEllipse(D2D1::Ellipse(D2D1::Point2F(cx, cy), rx, ry), solidBrush_.Get(), width, nullptr);
}

void Graphics::FillRadialGradient(const Rect& rect, float radius, const std::vector<GradientStop>& stops,
                                  D2D1_POINT_2F center, float radiusX, float radiusY) {
    if (!context_ || rect.w <= 0 || rect.h <= 0) {
        return;
    }
    ID2D1RadialGradientBrush* brush = RadialBrush(stops, center, radiusX, radiusY, 1.0f, D2D1::Point2F(0, 0));
    if (!brush) {
        return;
    }
    FillRoundRectWith(rect, radius, brush);
}

void Graphics::FillEllipseRadial(float cx, float cy, float rx, float ry, const std::vector<GradientStop>& stops,
                                 float opacity) {
    if (!context_) {
        return;
    }
    ID2D1RadialGradientBrush* brush = RadialBrush(stops, D2D1::Point2F(cx, cy), rx, ry, opacity, D2D1::Point2F(0, 0));
    if (!brush) {
        return;
    }
    context_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(cx, cy), rx, ry), brush);
}

void Graphics::DrawLine(float x1, float y1, float x2, float y2, const Color& color, float width) {
    if (!context_ || !solidBrush_ || color.a <= 0 || width <= 0) {
        return;
    }
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    const float length = std::sqrt(dx * dx + dy * dy);
    // A filled rectangle along the segment: square ends flush with the end points, whatever
    // the stroke style.
    D2D1_MATRIX_3X2_F saved;
    context_->GetTransform(&saved);
    const float degrees = static_cast<float>(std::atan2(dy, dx) * 180.0 / 3.14159265358979323846);
    D2D1_MATRIX_3X2_F rotation = D2DExtra::MakeRotateMatrix(degrees, D2D1::Point2F(0, 0));
    rotation._31 = x1;
    rotation._32 = y1;
    context_->SetTransform(Multiply(rotation, saved));
    if (length > 0) {
        SetSolidColor(color);
        context_->FillRectangle(D2D1::RectF(0, -width / 2, length, width / 2), solidBrush_.Get());
    }
    context_->SetTransform(saved);
}

void Graphics::FillGeometry(ID2D1Geometry* geometry, const Color& color) {
    if (!context_ || !solidBrush_ || !geometry || color.a <= 0) {
        return;
    }
    auto* realization = GeometryRealization(geometry, 0, false);
    SetSolidColor(color);
    if (realization && context1_) {
        context1_->DrawGeometryRealization(realization, solidBrush_.Get());
    } else {
        context_->FillGeometry(geometry, solidBrush_.Get(), nullptr);
    }
}

void Graphics::StrokeGeometry(ID2D1Geometry* geometry, const Color& color, float width, bool roundCaps) {
    // Written so that a width that is not a number also draws nothing.
    if (!context_ || !solidBrush_ || !geometry || !(width > 0) || color.a <= 0) {
        return;
    }
    auto* realization = GeometryRealization(geometry, width, roundCaps);
    SetSolidColor(color);
    if (realization && context1_) {
        context1_->DrawGeometryRealization(realization, solidBrush_.Get());
    } else {
        context_->DrawGeometry(geometry, solidBrush_.Get(), width, roundCaps ? roundStroke_.Get() : nullptr);
    }
}

// ---- Gradients ----

ID2D1LinearGradientBrush* Graphics::LinearBrush(const std::vector<GradientStop>& stops, D2D1_POINT_2F start,
                                                D2D1_POINT_2F end, float opacity) {
    if (!context_) {
        return nullptr;
    }
    const std::string key = CacheKeys::Gradient(stops);
    auto found = state_->linearBrushes.find(key);
    if (found == state_->linearBrushes.end()) {
        const auto converted = ToStops(stops, quirks_.linearStopsPremultiplied);
        const auto properties = D2D1::LinearGradientBrushProperties(start, end);
        ComPtr<ID2D1GradientStopCollection> collection;
        ComPtr<ID2D1LinearGradientBrush> brush;
        if (FAILED(context_->CreateGradientStopCollection(converted.data(), static_cast<UINT32>(converted.size()),
                                                          D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.Put())) ||
            FAILED(context_->CreateLinearGradientBrush(&properties, nullptr, collection.Get(), brush.Put())) ||
            !brush) {
            return nullptr;
        }
        found = state_->linearBrushes.emplace(key, brush).first;
    }
    ID2D1LinearGradientBrush* brush = found->second.Get();
    brush->SetStartPoint(start);
    brush->SetEndPoint(end);
    brush->SetOpacity(opacity * GroupOpacity());
    return brush;
}

ID2D1RadialGradientBrush* Graphics::RadialBrush(const std::vector<GradientStop>& stops, D2D1_POINT_2F center,
                                                float radiusX, float radiusY, float opacity,
                                                D2D1_POINT_2F originOffset) {
    if (!context_) {
        return nullptr;
    }
    const std::string key = CacheKeys::Gradient(stops);
    auto found = state_->radialBrushes.find(key);
    if (found == state_->radialBrushes.end()) {
        const auto converted = ToStops(stops, quirks_.radialStopsPremultiplied);
        const auto properties = D2D1::RadialGradientBrushProperties(center, originOffset, radiusX, radiusY);
        ComPtr<ID2D1GradientStopCollection> collection;
        ComPtr<ID2D1RadialGradientBrush> brush;
        if (FAILED(context_->CreateGradientStopCollection(converted.data(), static_cast<UINT32>(converted.size()),
                                                          D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.Put())) ||
            FAILED(context_->CreateRadialGradientBrush(&properties, nullptr, collection.Get(), brush.Put())) ||
            !brush) {
            return nullptr;
        }
        found = state_->radialBrushes.emplace(key, brush).first;
    }
    ID2D1RadialGradientBrush* brush = found->second.Get();
    brush->SetCenter(center);
    brush->SetGradientOriginOffset(originOffset);
    brush->SetRadiusX(radiusX);
    brush->SetRadiusY(radiusY);
    brush->SetOpacity(opacity * GroupOpacity());
    return brush;
}

void Graphics::FillLinearGradient(const Rect& rect, float radius, const std::vector<GradientStop>& stops,
                                  D2D1_POINT_2F from, D2D1_POINT_2F to) {
    if (!context_) {
        return;
    }
    ID2D1LinearGradientBrush* brush =
        LinearBrush(stops, D2D1::Point2F(rect.x + rect.w * from.x, rect.y + rect.h * from.y),
                    D2D1::Point2F(rect.x + rect.w * to.x, rect.y + rect.h * to.y), 1.0f);
    if (!brush) {
        return;
    }
    FillRoundRectWith(rect, radius, brush);
}

}  // namespace Lorvex

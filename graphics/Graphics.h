#pragma once
// The drawing surface of one window (or an off-screen bitmap): its swap chain and Direct2D
// context, one shared solid brush, the transform and layer stacks, and the per-surface caches of
// brushes, clip geometries, text formats and layouts, realisations and glows, evicted by age in
// frames. Every operation takes device-independent pixels. UI thread only.
//
// Every widget includes this header, so it names the platform's types only by forward
// declaration (graphics/Forward.h); a file that calls into the returned interfaces includes their
// platform headers, or graphics/Device.h, itself.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ComPtr.h"
#include "graphics/DrawingQuirks.h"
#include "graphics/Forward.h"
#include "graphics/TextStyle.h"
#include "graphics/Types.h"

// winuser.h maps DrawText to DrawTextW; the surface's own DrawText keeps its name in a file that
// included windows.h first (one that includes it later reaches DrawTextW, which forwards).
#undef DrawText

namespace Lorvex {

struct GlowEntry;  // graphics/GlowCache.h
struct Image;      // graphics/Images.h

class Graphics {
public:
    class Device;  // graphics/Device.h
    class Fonts;   // graphics/Device.h
    // The slots of the font table, the numbers of TextStyle::font; unscoped so that a name can be
    // given where that integer is taken (style.font = Graphics::FontSlot::Mono).
    enum FontSlot : int32_t { Ui = 0, Icons = 1, Mono = 2, MonoFallback = 3 };

    // Makes a realisation: a stroke of the width when width > 0, else the fill. Null on failure.
    // The same type as RealizationCache::Creator.
    using RealizationCreator = std::function<ComPtr<D2DExtra::ID2D1GeometryRealization>(
        ID2D1Geometry* geometry, float tolerance, float width, bool roundCaps)>;

    struct GradientStop {
        float position = 0;  // 0..1
        Color color;
    };

    // One styled range of a rich text, in UTF-16 units.
    struct TextSpan {
        uint64_t start = 0;
        uint64_t length = 0;
        int32_t weight = 0;  // 0 keeps the style's weight
        Color color;         // alpha 0 or less keeps the text colour
        bool underline = false;
        bool italic = false;
        bool strike = false;
        bool mono = false;
    };

    struct TextSize {
        float width = 0;
        float height = 0;
    };

    // Entry counts of the caches, for diagnostics and tests.
    struct CacheCounts {
        size_t textFormats = 0;
        size_t textLayouts = 0;
        size_t richTextLayouts = 0;
        size_t linearBrushes = 0;
        size_t radialBrushes = 0;
        size_t clipGeometries = 0;
        size_t realizations = 0;
        size_t glows = 0;
    };

    Graphics();
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    // Life cycle. A null window makes an off-screen surface of the size given by
    // SetOffscreenSize (1 by 1 until then).
    bool Initialize(HWND window, bool composition);
    bool EnsureTargets();
    void ReleaseTargets();
    // Follows the window's client size; false when the targets could not be made at it (the
    // swap chain is then made anew by the next EnsureTargets).
    bool Resize();
    bool SetDpi(float dpi);
    void EndFrame();
    void SetOffscreenSize(int pixelWidth, int pixelHeight);

    // Frame production: the frame number advances, BeginDraw, identity transform, empty
    // transform stack.
    void BeginFrame();
    // A frame that redraws only some pixels of the target. Set before BeginFrame, the region
    // clips everything the frame draws (its clear too) until EndDraw, and Present names it to the
    // swap chain as the frame's only changed rectangle; an empty region (the default) makes the
    // frame whole. Present clears it.
    void SetFrameRegion(const PixelRect& region) { frameRegion_ = region; }
    const PixelRect& FrameRegion() const { return frameRegion_; }
    // In a frame that redraws only a region: whether the rect (local DIPs, through the current
    // transform) lies wholly outside it, where drawing would change no pixel and only cost the
    // renderer its work. False in whole frames and while drawing into a bitmap.
    bool OutsideFrameRegion(const Rect& rect) const;
    // The same for a text layout drawn at the origin: its box and its ink, which may overflow the
    // box (a line taller than the box, an unwrapped run wider than it), grown by margin.
    bool LayoutOutsideFrameRegion(IDWriteTextLayout* layout, float x, float y, float margin) const;
    // Presents the frame to the swap chain without waiting for the display: the region alone,
    // or the whole target. The swap chain's answer; S_OK without a swap chain.
    HRESULT Present();
    // Advances whenever the target is made anew, since its pixels are then unknown.
    uint64_t TargetGeneration() const { return targetGeneration_; }
    // Forgets the target bitmap after a lost target; the next EnsureTargets rebuilds it.
    void DropTarget();

    HWND Window() const { return window_; }
    bool Composition() const { return composition_; }
    float Dpi() const { return dpi_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    int PixelWidth() const { return pixelWidth_; }
    int PixelHeight() const { return pixelHeight_; }
    ID2D1DeviceContext* Context() const { return context_.Get(); }
    IDXGISwapChain1* SwapChain() const { return swapChain_.Get(); }
    ID2D1Bitmap1* TargetBitmap() const { return targetBitmap_.Get(); }
    // What this surface draws in place of what the platform gets wrong; taken from the device
    // when the surface is initialised.
    const DrawingQuirks& Quirks() const { return quirks_; }
    // The product of the open layers' opacities where the platform's layers do not fade (what a
    // caller drawing with its own brush multiplies in); 1 where they do.
    float GroupOpacity() const;
    uint64_t FrameNumber() const { return frameNumber_; }
    void SetFrameNumber(uint64_t frame) { frameNumber_ = frame; }
    CacheCounts Counts() const;

    // Transforms, layers and clips; every push is matched by its pop within the frame. Layers
    // (round clips are layers) and axis-aligned clips share the context's one stack: each pop
    // closes the newest open push, which must be of its own kind, and nothing may stay open when
    // the frame ends (Windows then fails the whole frame's EndDraw; Wine draws on).
    void PushTransform(const D2D1_MATRIX_3X2_F& matrix);
    void PopTransform();
    size_t TransformDepth() const;
    void PushLayer(float opacity, ID2D1Geometry* mask);
    void PushRoundClip(const Rect& rect, float radius);
    void PopLayer();
    // An aliased clip to rect in local coordinates.
    void PushAxisClip(const Rect& rect);
    void PopAxisClip();
    // Layers and clips open now.
    size_t OpenLayers() const;

    // Off-screen drawing (graphics/GraphicsTargets.cpp). A bitmap of the surface's pixel size and
    // DPI (premultiplied BGRA) that can be drawn into and drawn from; null when it cannot be made.
    ComPtr<ID2D1Bitmap1> CreateTargetBitmap();
    // Sends this frame's drawing to bitmap until RestoreTarget. Refused (false) while a layer or
    // clip is open (the frame region's too), since those belong to the target they were pushed
    // on; what is drawn into the bitmap closes its own pushes before RestoreTarget (else that is
    // the frame's fault).
    bool RedirectTarget(ID2D1Bitmap1* bitmap);
    void RestoreTarget();
    // Fills the whole target with the colour, transform aside (open clips still apply).
    void Clear(const Color& color);
    // The bitmap stretched over rect with linear interpolation.
    void DrawBitmap(ID2D1Bitmap1* bitmap, const Rect& rect, float opacity);
    // A layer whose opacity follows a radial gradient of the stops' alphas (centre and radii in
    // local DIPs), drawn with grayscale text antialiasing until its PopLayer. False, with nothing
    // pushed, when the gradient cannot be made.
    bool PushRadialMaskLayer(const std::vector<GradientStop>& stops, D2D1_POINT_2F center, float radiusX,
                             float radiusY);
    // Tests only: while set, CreateTargetBitmap fails as a device out of memory would.
    static void SetTargetBitmapsFailForTesting(bool fail);

    // Ends the frame's drawing (the context's EndDraw) and returns its result. Before that, when
    // strict checking is on, a pop that did not match its push or anything left open is handed
    // to the strict reporter, once per frame.
    HRESULT EndDraw();
    // What is wrong with this frame's layers and clips so far: the first mismatched pop, else
    // what is still open ("1 layer and 2 clips left open"); empty when balanced.
    std::string LayerFault() const;
    // Tests only: strict checking reports every unbalanced frame of any surface to report; an
    // empty function turns it off (the program's state).
    static void SetStrictLayersForTesting(std::function<void(const std::string& fault)> report);
    // Tests only: while set, this surface's frames draw through an empty clip. Every draw call is
    // still made and checked, but no pixel of the target changes and the processor rasterises
    // nothing, so frames that no test looks at cost little in a software renderer. Drawing into
    // an off-screen bitmap (RedirectTarget) is drawn whole, since a later frame may show it.
    void SetUndrawnForTesting(bool undrawn) { undrawnForTesting_ = undrawn; }

    // The target's pixels as 0xAARRGGBB (premultiplied; opaque for a window's target), row after
    // row; empty when there is no target or it cannot be read. Outside a frame's drawing, e.g.
    // after EndDraw and before the window presents.
    std::vector<uint32_t> ReadPixels() const;

    // Shapes: nothing is drawn for a colour whose alpha is 0 or less.
    void FillRect(const Rect& rect, const Color& color);
    void FillRoundRect(const Rect& rect, float radius, const Color& color);
    void FillRoundRectCorners(const Rect& rect, float topLeft, float topRight, float bottomRight, float bottomLeft,
                              const Color& color);
    void StrokeRoundRect(const Rect& rect, float radius, const Color& color, float width);
    void FillEllipse(float cx, float cy, float rx, float ry, const Color& color);
    void StrokeEllipse(float cx, float cy, float rx, float ry, const Color& color, float width);
    // Fills the rounded rect with a radial gradient from the centre (first stop) out to the radii
    // (last stop, which continues beyond them).
    void FillRadialGradient(const Rect& rect, float radius, const std::vector<GradientStop>& stops,
                            D2D1_POINT_2F center, float radiusX, float radiusY);
    // Fills the ellipse with a radial gradient from its centre (first stop) to its edge (last).
    void FillEllipseRadial(float cx, float cy, float rx, float ry, const std::vector<GradientStop>& stops,
                           float opacity);
    void DrawLine(float x1, float y1, float x2, float y2, const Color& color, float width);
    void FillGeometry(ID2D1Geometry* geometry, const Color& color);
    void StrokeGeometry(ID2D1Geometry* geometry, const Color& color, float width, bool roundCaps);

    // Gradients: the brushes stay owned by the surface's caches; the parameters of the latest
    // call win.
    ID2D1LinearGradientBrush* LinearBrush(const std::vector<GradientStop>& stops, D2D1_POINT_2F start,
                                          D2D1_POINT_2F end, float opacity);
    ID2D1RadialGradientBrush* RadialBrush(const std::vector<GradientStop>& stops, D2D1_POINT_2F center, float radiusX,
                                          float radiusY, float opacity, D2D1_POINT_2F originOffset);
    // from and to are fractions of the rect: (0, 0) top-left, (1, 1) bottom-right.
    void FillLinearGradient(const Rect& rect, float radius, const std::vector<GradientStop>& stops, D2D1_POINT_2F from,
                            D2D1_POINT_2F to);

    // Text. Layouts from TextLayout stay owned by the cache and live until the next eviction.
    IDWriteTextFormat* TextFormat(const TextStyle& style);
    IDWriteTextLayout* TextLayout(std::wstring_view text, const TextStyle& style, float maxWidth, float maxHeight);
    void DrawText(std::wstring_view text, const Rect& rect, const Color& color, const TextStyle& style);
    // What a DrawText call becomes in a file that includes windows.h after this header.
    void DrawTextW(std::wstring_view text, const Rect& rect, const Color& color, const TextStyle& style) {
        DrawText(text, rect, color, style);
    }
    ComPtr<IDWriteTextLayout> RichTextLayout(std::wstring_view text, const TextStyle& style,
                                             const std::vector<TextSpan>& spans, float maxWidth, float maxHeight,
                                             bool applyColors);
    TextSize MeasureText(std::wstring_view text, const TextStyle& style, float maxWidth);
    TextSize MeasureRichText(std::wstring_view text, const TextStyle& style, const std::vector<TextSpan>& spans,
                             float maxWidth);
    int32_t HitTestText(std::wstring_view text, const TextStyle& style, float maxWidth, float x, float y);
    void CaretPosition(std::wstring_view text, const TextStyle& style, float maxWidth, size_t index, float* x, float* y,
                       float* height);

    // Glow and realisation.
    D2DExtra::ID2D1GeometryRealization* GeometryRealization(ID2D1Geometry* geometry, float width, bool roundCaps);
    void GlowRound(const Rect& rect, float radius, const Color& color, float blur, float opacity);

    // Pictures (graphics/ImageDraw.cpp): the image cover-fitted into the rect, clipped to the
    // rounded rect of the radius.
    void DrawImage(const std::shared_ptr<Image>& image, const Rect& rect, float radius, float opacity);

    // Replaces how realisations are made (tests count and fake them); an empty creator restores
    // the device's.
    void SetRealizationCreator(RealizationCreator creator);

private:
    struct State;  // graphics/GraphicsState.h

    bool BindTarget();
    // Pushes a layer on the context (bounds null: unbounded) with grayscale text until its pop.
    void OpenLayer(const Rect* bounds, ID2D1Geometry* mask, float opacity, ID2D1Brush* opacityBrush);
    // A bitmap of the surface's pixel size and DPI that can be drawn into; null on failure.
    ComPtr<ID2D1Bitmap1> MakeTargetBitmap();
    bool CreateSwapChain();
    void ReleaseSwapChain();
    // The shared brush in the colour, with the group opacity carried in where layers do not fade.
    void SetSolidColor(const Color& color);
    // A rectangle (radius 0 or less) or a rounded rectangle filled with the brush.
    void FillRoundRectWith(const Rect& rect, float radius, ID2D1Brush* brush);
    ComPtr<IDWriteTextLayout> CreatePlainLayout(std::wstring_view text, const TextStyle& style, float maxWidth,
                                                float maxHeight);
    // The layout hit tests and carets use: top-aligned, untrimmed, " " for an empty text.
    IDWriteTextLayout* HitTestLayout(std::wstring_view text, const TextStyle& style, float maxWidth);
    ComPtr<D2DExtra::ID2D1GeometryRealization> CreateRealization(ID2D1Geometry* geometry, float tolerance, float width,
                                                                 bool roundCaps);
    GlowEntry* GlowSource(const std::wstring& key, float width, float height, float pad,
                          const std::function<void(ID2D1DeviceContext*, ID2D1Brush*)>& draw);
    void BakeGlow(GlowEntry& entry, float blur);
    // The blur where the shadow effect cannot make it: the shape read back, blurred and painted in
    // the colour (opaque) on the processor.
    void BakeGlowOnProcessor(GlowEntry& entry, float blur, const Color& color);
    void DrawGlow(GlowEntry& entry, float x, float y, const Color& color, float blur, float opacity);

    HWND window_ = nullptr;
    bool composition_ = false;
    float dpi_ = 96;
    float width_ = 1;
    float height_ = 1;
    int pixelWidth_ = 1;
    int pixelHeight_ = 1;
    ComPtr<IDXGISwapChain1> swapChain_;
    ComPtr<IDCompositionTarget> compositionTarget_;
    ComPtr<IDCompositionVisual> compositionVisual_;
    ComPtr<ID2D1DeviceContext> context_;
    ComPtr<D2DExtra::ID2D1DeviceContext1> context1_;  // the same context, for realisations
    ComPtr<ID2D1Bitmap1> targetBitmap_;
    ComPtr<ID2D1SolidColorBrush> solidBrush_;
    ComPtr<ID2D1StrokeStyle> roundStroke_;
    uint64_t frameNumber_ = 0;
    bool undrawnForTesting_ = false;
    bool undrawnClipOpen_ = false;    // the empty clip of an undrawn frame is on the context's stack
    bool redirectedUndrawn_ = false;  // the clip was taken off for drawing into a bitmap
    void PushUndrawnClip();
    void PopUndrawnClip();
    DrawingQuirks quirks_;
    uint64_t targetGeneration_ = 0;
    PixelRect frameRegion_;
    bool regionClipOpen_ = false;  // the frame region's clip is pushed on the context
    // The caches and stacks; made by the constructor, never null.
    std::unique_ptr<State> state_;
    ComPtr<ID2D1Effect> liveShadow_;
    ComPtr<ID2D1Effect> bakingShadow_;

    // Realisations made through ID2D1DeviceContext1, or the creator a test put in its place.
    RealizationCreator realizationCreator_;
    bool customRealizationCreator_ = false;
    // Set once the platform answered that it cannot make realisations (E_NOTIMPL, or no
    // ID2D1DeviceContext1): the surface then draws geometries directly without asking again.
    bool realizationsUnavailable_ = false;
};

}  // namespace Lorvex

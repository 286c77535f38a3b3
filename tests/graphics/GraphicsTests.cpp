// The drawing surface: pixels of fills, strokes, lines, transforms and clips read back from an
// off-screen target, its caches and their eviction by frame number, and a window's swap chain.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "graphics/BitmapPixels.h"
#include "graphics/Geometry.h"
#include "graphics/RealizationCache.h"
#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

using Testing::Offscreen;

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;
const Color red = {1, 0, 0, 1};
const Color blue = {0, 0, 1, 1};

bool Near(uint32_t pixel, uint32_t expected, int tolerance = 6) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string Hex(uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(pixel));
    return text;
}

// Expects the listed pixels of the last frame.
struct Probe {
    int x, y;
    uint32_t color;
};
void ExpectPixels(Offscreen& surface, std::initializer_list<Probe> probes, int tolerance = 6) {
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    for (const auto& p : probes) {
        EXPECT_TRUE(Near(surface.At(pixels, p.x, p.y), p.color, tolerance))
            << "at " << p.x << "," << p.y << ": " << Hex(surface.At(pixels, p.x, p.y)) << " expected " << Hex(p.color);
    }
}

TEST(GfxSurface, FillsDrawInsideTheirShapeAndNothingForInvisibleInput) {
    Offscreen surface(120, 80);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    surface.Begin();
    g.FillRect({10, 10, 20, 20}, red);
    g.FillRoundRect({40, 10, 30, 30}, 15, blue);  // a circle
    g.FillEllipse(100, 25, 10, 10, red);
    g.FillRoundRectCorners({10, 50, 30, 20}, 10, 0, 0, 0, blue);
    // Nothing for a transparent colour or an empty rectangle.
    g.FillRect({80, 50, 30, 20}, {1, 0, 0, 0});
    g.FillRect({80, 50, 0, 20}, red);
    g.FillRoundRect({80, 50, 30, -1}, 4, red);
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{20, 20, kRed},
                           {5, 5, kWhite},
                           {55, 25, kBlue},
                           {41, 11, kWhite},  // outside the circle's curve
                           {100, 25, kRed},
                           {11, 51, kWhite},  // the rounded top-left corner
                           {38, 51, kBlue},   // the square top-right corner
                           {95, 60, kWhite}});
}

TEST(GfxSurface, StrokesAndLinesCoverTheirWidthWithFlushEnds) {
    Offscreen surface(120, 80);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    surface.Begin();
    // Radius 2 at width 6 leaves no radius: a plain rectangle inset by 3, square corners.
    g.StrokeRoundRect({10, 10, 40, 40}, 2, red, 6);
    g.DrawLine(60, 20, 110, 20, blue, 4);
    g.DrawLine(60, 40, 100, 70, red, 4);
    g.DrawLine(60, 75, 110, 75, red, 0);
    g.StrokeEllipse(85, 55, 8, 8, blue, 2);
    // A stroke width that is not a number draws nothing and asks for no realisation.
    auto bar = Geometry::FromPathData("M60 2 L110 2");
    ASSERT_TRUE(bar);
    g.StrokeGeometry(bar.Get(), red, NAN, false);
    EXPECT_EQ(g.Counts().realizations, 0u);
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{10, 10, kRed},
                           {12, 30, kRed},
                           {15, 30, kRed},
                           {17, 30, kWhite},
                           {30, 30, kWhite},
                           {48, 48, kRed},
                           {85, 19, kBlue},
                           {85, 21, kBlue},
                           {85, 23, kWhite},
                           {58, 20, kWhite},  // no cap beyond the end points
                           {111, 20, kWhite},
                           {80, 55, kRed},  // the diagonal's midpoint
                           {85, 75, kWhite},
                           {93, 55, kBlue},
                           {85, 55, kWhite},
                           {85, 2, kWhite}});
}

TEST(GfxSurface, TransformsComposeAndPopBack) {
    Offscreen surface(100, 100);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    surface.Begin();
    g.PushTransform(D2D1::Matrix3x2F::Translation(20, 20));
    g.PushTransform(D2D1::Matrix3x2F::Scale(2, 2));  // applies first, inside the translation
    g.FillRect({0, 0, 10, 10}, red);
    g.PopTransform();
    EXPECT_EQ(g.TransformDepth(), 1u);
    g.FillRect({50, 0, 10, 10}, blue);
    // A line's own rotation applies inside the current transform, which it leaves as it was.
    g.DrawLine(40, 60, 60, 60, red, 4);
    g.FillRect({-20, 50, 10, 10}, blue);
    g.PopTransform();
    g.PopTransform();  // one pop too many changes nothing
    g.FillRect({0, 80, 10, 10}, blue);
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{21, 21, kRed},
                           {38, 38, kRed},
                           {42, 42, kWhite},
                           {75, 25, kBlue},
                           {5, 85, kBlue},
                           {5, 5, kWhite},
                           {70, 80, kRed},
                           {58, 80, kWhite},
                           {70, 84, kWhite},
                           {5, 75, kBlue}});
}

TEST(GfxSurface, GeometriesDrawTheSameOnEveryUse) {
    // From the third use a realisation is asked for; where the platform has none the geometry
    // must still be drawn directly.
    Offscreen surface(60, 60);
    ASSERT_TRUE(surface.Ready());
    auto triangle = Geometry::FromPathData("M10 10 L50 10 L10 50 Z");
    ASSERT_TRUE(triangle);
    for (int frame = 0; frame < 5; ++frame) {
        surface.Begin();
        surface.graphics.FillGeometry(triangle.Get(), red);
        surface.graphics.StrokeGeometry(triangle.Get(), blue, 2, true);
        ASSERT_TRUE(surface.End());
        ExpectPixels(surface, {{20, 20, kRed}, {40, 40, kWhite}, {30, 10, kBlue}});
    }
}

TEST(GfxSurface, GradientsRunAcrossTheirShapeAndShareOneBrushPerStopList) {
    Offscreen surface(100, 60);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    const std::vector<Graphics::GradientStop> stops = {{0, red}, {1, blue}};
    surface.Begin();
    g.FillLinearGradient({0, 0, 100, 20}, 0, stops, {0, 0}, {1, 0});
    g.FillLinearGradient({0, 20, 100, 20}, 0, stops, {0, 0}, {0, 1});
    g.FillEllipseRadial(50, 50, 10, 10, stops, 1);
    ASSERT_TRUE(surface.End());
    // Colours blend along the way: each end is near its own stop.
    ExpectPixels(surface, {{1, 10, kRed}, {98, 10, kBlue}, {50, 21, kRed}, {50, 38, kBlue}, {50, 50, kRed}}, 40);
    ExpectPixels(surface, {{50, 10, 0xFF800080}}, 50);
    EXPECT_EQ(g.Counts().linearBrushes, 1u);
    EXPECT_EQ(g.Counts().radialBrushes, 1u);

    // One brush; the parameters of the latest call win.
    auto* first = g.LinearBrush(stops, {0, 0}, {10, 0}, 1);
    auto* second = g.LinearBrush(stops, {5, 5}, {5, 50}, 0.5f);
    EXPECT_EQ(first, second);
    EXPECT_FLOAT_EQ(second->GetStartPoint().y, 5);
    EXPECT_FLOAT_EQ(second->GetOpacity(), 0.5f);
    EXPECT_NE(g.LinearBrush({{0, red}, {1, red}}, {0, 0}, {1, 0}, 1), first);
}

TEST(GfxSurface, RoundClipCutsItsContent) {
    Offscreen surface(100, 100);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    surface.Begin();
    g.PushRoundClip({20, 20, 40, 40}, 20);
    g.FillRect({0, 0, 100, 100}, red);
    g.PopLayer();
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{40, 40, kRed}, {10, 40, kWhite}, {70, 70, kWhite}});
    // Where the platform's layers cut nothing (Wine 8), the clip keeps at least to its rect.
    if (!g.Quirks().layersIgnoreMasks) {
        ExpectPixels(surface, {{21, 21, kWhite}});
    }
}

TEST(GfxSurface, PopLayerRestoresTheTextAntialiasMode) {
    Offscreen surface(20, 20);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    ID2D1DeviceContext* context = g.Context();
    surface.Begin();
    ASSERT_EQ(context->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    g.PushLayer(0.5f, nullptr);
    g.PushRoundClip({0, 0, 10, 10}, 2);
    EXPECT_EQ(context->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    g.PopLayer();
    EXPECT_EQ(context->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    g.PopLayer();
    EXPECT_EQ(context->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    EXPECT_TRUE(surface.End());
}

TEST(GfxSurface, ClipGeometriesUnusedForThreeFramesGoAtTheNextThirtieth) {
    Offscreen surface(50, 50);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    g.SetFrameNumber(26);
    for (int frame = 27; frame <= 30; ++frame) {
        surface.Begin();
        ASSERT_EQ(g.FrameNumber(), static_cast<uint64_t>(frame));
        g.PushRoundClip({0, 0, 10, 10}, 3);
        g.PopLayer();
        if (frame == 27) {
            g.PushRoundClip({0, 0, 20, 20}, 3);
            g.PopLayer();
            // The same values to the tenth share the entry.
            g.PushRoundClip({0.01f, 0, 20.04f, 20}, 3);
            g.PopLayer();
        }
        ASSERT_TRUE(surface.End());
        EXPECT_EQ(g.Counts().clipGeometries, frame < 30 ? 2u : 1u) << "after frame " << frame;
    }
}

TEST(GfxSurface, LayoutsUnusedForMoreThan240FramesGoAtTheNext120th) {
    Offscreen surface(50, 50);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    const TextStyle style;
    g.SetFrameNumber(1);
    g.TextLayout(L"old", style, 100, 20);
    g.RichTextLayout(L"old", style, {}, 100, 20, false);
    g.SetFrameNumber(200);
    g.TextLayout(L"recent", style, 100, 20);

    for (const uint64_t frame : {240, 359}) {
        g.SetFrameNumber(frame);
        g.EndFrame();
        EXPECT_EQ(g.Counts().textLayouts, 2u) << frame;
    }
    g.SetFrameNumber(360);
    g.EndFrame();
    EXPECT_EQ(g.Counts().textLayouts, 1u);
    EXPECT_EQ(g.Counts().richTextLayouts, 0u);
    // Formats stay until the targets are released.
    EXPECT_EQ(g.Counts().textFormats, 1u);
}

TEST(GfxSurface, SetDpiEmptiesRealisationsAndGlowsAndResizesInDips) {
    Offscreen surface(200, 100);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    int created = 0;
    g.SetRealizationCreator([&](ID2D1Geometry*, float, float, bool) {
        ++created;
        return ComPtr<RealizationCache::Realization>();
    });
    auto geometry = Geometry::FromPathData("M0 0 L10 0 L0 10 Z");
    for (int use = 0; use < 3; ++use) {
        g.GeometryRealization(geometry.Get(), 0, false);
    }
    EXPECT_EQ(created, 1);
    surface.Begin();
    g.GlowRound({10, 10, 40, 20}, 6, {0, 0, 0, 1}, 8, 1);
    ASSERT_TRUE(surface.End());
    EXPECT_EQ(g.Counts().realizations, 1u);
    EXPECT_EQ(g.Counts().glows, 1u);

    ASSERT_TRUE(g.SetDpi(192));
    EXPECT_EQ(g.Counts().realizations, 0u);
    EXPECT_EQ(g.Counts().glows, 0u);
    EXPECT_FLOAT_EQ(g.Width(), 100);
    EXPECT_FLOAT_EQ(g.Height(), 50);
    EXPECT_EQ(g.TargetBitmap()->GetPixelSize().width, 200u);
    // At twice the DPI a rectangle of 10 DIPs covers 20 pixels.
    surface.Begin();
    g.FillRect({0, 0, 10, 10}, red);
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{19, 19, kRed}, {21, 21, kWhite}});
}

TEST(GfxSurface, GlowsShareOneEntryAcrossColoursAndSkipWhatCannotShow) {
    Offscreen surface(100, 100);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    // Where the shadow effect cannot blur, the processor blurs each colour on its own.
    const size_t perColour = g.Quirks().shadowUnavailable ? 2 : 1;
    surface.Begin();
    g.GlowRound({10, 10, 30, 30}, 8, {0, 0, 0, 1}, 6, 0);  // opacity 0
    g.GlowRound({10, 10, 30, 30}, 8, {0, 0, 0, 1}, 6, 1);
    g.GlowRound({50, 50, 30, 30}, 8, {1, 0, 0, 1}, 6, 0.5f);
    g.GlowRound({50, 50, 30, 30}, 8, {1, 0, 0, 0.3f}, 6, 1);  // the alpha is no other colour
    EXPECT_EQ(g.Counts().glows, perColour);
    g.GlowRound({0, 0, 9000, 20}, 8, {0, 0, 0, 1}, 6, 1);  // reaches 8192 pixels
    EXPECT_EQ(g.Counts().glows, perColour + 1);
    ASSERT_TRUE(surface.End());
}

TEST(GfxSurface, GlowDarkensAroundItsShapeInAnyColour) {
    Offscreen surface(100, 100);
    ASSERT_TRUE(surface.Ready());
    // The platform's own shadow effect: a platform where it cannot take a colour and a blur gets
    // the processor's blur.
    {
        ComPtr<ID2D1Effect> effect;
        ID2D1DeviceContext* context = surface.graphics.Context();
        const std::vector<uint32_t> white(16, 0xFFFFFFFFu);
        const ComPtr<ID2D1Bitmap1> source = MakeBitmapFromPixels(context, 4, 4, white, 96);
        const bool takes = SUCCEEDED(context->CreateEffect(D2DExtra::CLSID_Shadow, effect.Put())) && effect &&
                           source && D2DExtra::ConfigureShadow(effect.Get(), source.Get(), {1, 1, 1, 1}, 2);
        if (!takes) {
            EXPECT_TRUE(surface.graphics.Quirks().shadowUnavailable);
        }
    }
    for (int frame = 0; frame < 2; ++frame) {  // baked on the first, from the cache on the second
        surface.Begin();
        surface.graphics.GlowRound({30, 30, 40, 40}, 8, {0, 0, 0, 1}, 10, 1);
        surface.graphics.GlowRound({30, 30, 40, 40}, 8, {0, 0, 1, 1}, 10, 0.5f);
        ASSERT_TRUE(surface.End());
        const auto pixels = surface.Pixels();
        const uint32_t nearEdge = surface.At(pixels, 27, 50);
        EXPECT_LT(Testing::Red(nearEdge), 250) << Hex(nearEdge);
        EXPECT_GT(Testing::Blue(nearEdge), Testing::Red(nearEdge) + 10) << "the blue glow over the black one";
        EXPECT_TRUE(Near(surface.At(pixels, 2, 2), kWhite));
    }
}

// A borderless window of the given client size for swap-chain tests.
class TestWindow {
public:
    TestWindow(int width, int height) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Lorvex.GfxTestWindow";
        RegisterClassW(&windowClass);
        handle = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    ~TestWindow() {
        if (handle) {
            DestroyWindow(handle);
        }
    }
    void SetClientSize(int width, int height) {
        SetWindowPos(handle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND handle = nullptr;
};

TEST(GfxSurfaceWindow, SwapChainFollowsTheClientSize) {
    ASSERT_TRUE(Testing::GraphicsReady());
    TestWindow window(160, 90);
    ASSERT_NE(window.handle, nullptr);
    Graphics g;
    ASSERT_TRUE(g.Initialize(window.handle, false));
    ASSERT_NE(g.SwapChain(), nullptr);
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    g.SwapChain()->GetDesc1(&desc);
    EXPECT_EQ(desc.Width, 160u);
    EXPECT_EQ(desc.Height, 90u);
    EXPECT_EQ(g.PixelWidth(), 160);

    // The same size keeps the target; a new one rebuilds it at that size.
    ID2D1Bitmap1* target = g.TargetBitmap();
    g.Resize();
    EXPECT_EQ(g.TargetBitmap(), target);
    // No client width at all still gets a swap chain one pixel wide.
    window.SetClientSize(0, 40);
    g.Resize();
    g.SwapChain()->GetDesc1(&desc);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(g.PixelWidth(), 1);
    ASSERT_NE(g.TargetBitmap(), nullptr);
    EXPECT_EQ(g.TargetBitmap()->GetPixelSize().width, 1u);

    g.ReleaseTargets();
    EXPECT_FALSE(g.EnsureTargets());  // not drawn until initialised again
    EXPECT_TRUE(g.Initialize(window.handle, false));
}

TEST(GfxSurfaceWindow, CompositionNeedsACompositionDevice) {
    ASSERT_TRUE(Testing::GraphicsReady());
    TestWindow window(100, 100);
    Graphics g;
    const bool hasComposition = static_cast<bool>(Graphics::Device::Instance().compositionDevice);
    EXPECT_EQ(g.Initialize(window.handle, true), hasComposition);
    if (hasComposition) {
        EXPECT_EQ(g.Context()->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    }
}

// The frame driver's undrawn frames: every call is made, no pixel of the target changes, and a
// picture drawn into an off-screen bitmap meanwhile is drawn whole, so a later drawn frame can
// show it; turned off, the next frame draws as before.
TEST(GfxSurface, AnUndrawnFrameChangesNoPixelButDrawsItsOffscreenPicturesWhole) {
    Offscreen surface(40, 20);
    ASSERT_TRUE(surface.Ready());
    auto& g = surface.graphics;
    surface.Begin();
    ASSERT_TRUE(surface.End());

    g.SetUndrawnForTesting(true);
    surface.Begin();
    g.FillRect({0, 0, 40, 20}, red);
    ComPtr<ID2D1Bitmap1> picture = g.CreateTargetBitmap();
    ASSERT_TRUE(picture);
    ASSERT_TRUE(g.RedirectTarget(picture.Get()));
    g.Clear(blue);
    g.RestoreTarget();
    g.PushAxisClip({0, 0, 20, 20});
    g.FillRect({0, 0, 40, 20}, red);
    g.PopAxisClip();
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{5, 5, kWhite}, {35, 15, kWhite}});

    g.SetUndrawnForTesting(false);
    surface.Begin();
    g.DrawBitmap(picture.Get(), {20, 0, 20, 20}, 1);
    g.FillRect({0, 0, 20, 20}, red);
    ASSERT_TRUE(surface.End());
    ExpectPixels(surface, {{5, 5, kRed}, {35, 15, kBlue}});
}

}  // namespace
}  // namespace Lorvex

// What the surface draws where the platform's Direct2D or DirectWrite lacks a feature: each case
// first draws the platform's own answer straight on the context and checks that the surface's
// read-back decision agrees with it (so where the platform is right, the untouched road runs),
// then checks the picture the surface draws. A platform check forced to "all right" gives the
// very calls of the untouched road.

#include <gtest/gtest.h>
#include <dwrite_2.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "graphics/BitmapPixels.h"
#include "graphics/Geometry.h"
#include "graphics/GlowBlur.h"
#include "graphics/Images.h"
#include "tests/support/GfxOffscreen.h"

namespace Lorvex {
namespace {

using Testing::Offscreen;
using Testing::Red;

const Color kRed = {1, 0, 0, 1};
const Color kHalfRed = {1, 0, 0, 0.5f};

// One frame cleared to the colour; draw runs with the surface and its context.
std::vector<uint32_t> Frame(Offscreen& surface, const Color& background,
                            const std::function<void(Graphics&, ID2D1DeviceContext*)>& draw) {
    surface.graphics.BeginFrame();
    ID2D1DeviceContext* context = surface.graphics.Context();
    context->Clear(D2D1::ColorF(background.r, background.g, background.b, background.a));
    draw(surface.graphics, context);
    EXPECT_TRUE(surface.End());
    return surface.Pixels();
}

ComPtr<ID2D1GradientStopCollection> RawStops(ID2D1DeviceContext* context, const Color& color) {
    const D2D1_GRADIENT_STOP stops[] = {{0, D2D1::ColorF(color.r, color.g, color.b, color.a)},
                                        {1, D2D1::ColorF(color.r, color.g, color.b, color.a)}};
    ComPtr<ID2D1GradientStopCollection> collection;
    context->CreateGradientStopCollection(stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.Put());
    return collection;
}

TEST(GfxReplacements, TranslucentGradientStopsComposeAsStraightColours) {
    Offscreen surface(16, 4);
    ASSERT_TRUE(surface.Ready());
    const std::vector<Graphics::GradientStop> stops = {{0, kHalfRed}, {1, kHalfRed}};
    // Left half: the platform's own brush; right half: the surface's. Over opaque black.
    const auto linear = Frame(surface, {0, 0, 0, 1}, [&](Graphics& g, ID2D1DeviceContext* context) {
        ComPtr<ID2D1LinearGradientBrush> raw;
        context->CreateLinearGradientBrush(D2D1::LinearGradientBrushProperties({0, 0}, {8, 0}),
                                           RawStops(context, kHalfRed).Get(), raw.Put());
        ASSERT_TRUE(raw);
        context->FillRectangle(D2D1::RectF(0, 0, 8, 4), raw.Get());
        g.FillLinearGradient({8, 0, 8, 4}, 0, stops, {0, 0}, {1, 0});
    });
    ASSERT_FALSE(linear.empty());
    EXPECT_EQ(surface.graphics.Quirks().linearStopsPremultiplied, Red(surface.At(linear, 4, 2)) > 191);
    EXPECT_NEAR(Red(surface.At(linear, 12, 2)), 128, 3);

    const auto radial = Frame(surface, {0, 0, 0, 1}, [&](Graphics& g, ID2D1DeviceContext* context) {
        ComPtr<ID2D1RadialGradientBrush> raw;
        context->CreateRadialGradientBrush(D2D1::RadialGradientBrushProperties({4, 2}, {0, 0}, 8, 8),
                                           RawStops(context, kHalfRed).Get(), raw.Put());
        ASSERT_TRUE(raw);
        context->FillRectangle(D2D1::RectF(0, 0, 8, 4), raw.Get());
        g.FillRadialGradient({8, 0, 8, 4}, 0, stops, D2D1::Point2F(12, 2), 8, 8);
    });
    ASSERT_FALSE(radial.empty());
    EXPECT_EQ(surface.graphics.Quirks().radialStopsPremultiplied, Red(surface.At(radial, 4, 2)) > 191);
    EXPECT_NEAR(Red(surface.At(radial, 12, 2)), 128, 3);

    // A stop at alpha 0 adds nothing, whatever its colour: what every fade-out relies on.
    const auto faded = Frame(surface, {0, 0, 0, 1}, [&](Graphics& g, ID2D1DeviceContext*) {
        g.FillLinearGradient({0, 0, 16, 4}, 0, {{0, {1, 0.5f, 1, 0}}, {1, {1, 0.5f, 1, 0}}}, {0, 0}, {1, 0});
    });
    ASSERT_FALSE(faded.empty());
    EXPECT_EQ(surface.At(faded, 8, 2), 0xFF000000u);
}

TEST(GfxReplacements, OpenLayersFadeColoursGradientsAndBitmaps) {
    Offscreen surface(40, 8);
    ASSERT_TRUE(surface.Ready());
    const std::vector<uint32_t> redPixels(16, 0xFFFF0000u);
    ComPtr<ID2D1Bitmap1> bitmap;
    const auto pixels = Frame(surface, {0, 0, 0, 1}, [&](Graphics& g, ID2D1DeviceContext* context) {
        bitmap = MakeBitmapFromPixels(context, 4, 4, redPixels, 96);
        // The platform's own layer, then the surface's two nested ones: 0.5 x 0.5.
        Testing::FillRedInPlatformLayer(context, D2D1::RectF(0, 0, 8, 8), 0.5f);
        g.PushLayer(0.5f, nullptr);
        g.PushLayer(0.5f, nullptr);
        g.FillRect({8, 0, 8, 8}, kRed);
        g.FillLinearGradient({16, 0, 8, 8}, 0, {{0, kRed}, {1, kRed}}, {0, 0}, {1, 0});
        g.DrawBitmap(bitmap.Get(), {24, 0, 8, 8}, 1);
        g.PopLayer();
        // Closing the inner layer brings back the outer one's opacity alone.
        g.FillRect({32, 0, 8, 8}, kRed);
        g.PopLayer();
    });
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(surface.graphics.Quirks().layersIgnoreOpacity, Red(surface.At(pixels, 4, 4)) > 191);
    for (const int x : {12, 20, 28}) {
        EXPECT_NEAR(Red(surface.At(pixels, x, 4)), 64, 3) << "at x " << x;
    }
    EXPECT_NEAR(Red(surface.At(pixels, 36, 4)), 128, 3);
    EXPECT_FLOAT_EQ(surface.graphics.GroupOpacity(), 1);
}

// The share of the reference's painted pixels that the other picture paints too.
double Coverage(const std::vector<uint32_t>& shape, const std::vector<uint32_t>& reference) {
    size_t painted = 0;
    size_t both = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        const bool inReference = Red(reference[i]) > 127 && (reference[i] & 0xFF) < 128;
        const bool inShape = Red(shape[i]) > 127 && (shape[i] & 0xFF) < 128;
        painted += inReference ? 1 : 0;
        both += inReference && inShape ? 1 : 0;
    }
    return painted ? static_cast<double>(both) / painted : 0;
}

size_t Painted(const std::vector<uint32_t>& pixels) {
    size_t count = 0;
    for (const uint32_t pixel : pixels) {
        count += Red(pixel) > 127 && (pixel & 0xFF) < 128 ? 1 : 0;
    }
    return count;
}

TEST(GfxReplacements, ArcsAreRoundInFillsStrokesAndIcons) {
    Offscreen surface(100, 100);
    ASSERT_TRUE(surface.Ready());
    const Color white = {1, 1, 1, 1};
    const auto ellipse =
        Frame(surface, white, [](Graphics& g, ID2D1DeviceContext*) { g.FillEllipse(50, 50, 40, 40, kRed); });
    const auto corners = Frame(surface, white, [](Graphics& g, ID2D1DeviceContext*) {
        g.FillRoundRectCorners({10, 10, 80, 80}, 40, 40, 40, 40, kRed);
    });
    // Two half circles of path text, as the icons write them.
    const auto halves = Geometry::FromPathData("M10,50 A40,40 0 0 1 90,50 A40,40 0 0 1 10,50 Z");
    ASSERT_TRUE(halves);
    const auto icon =
        Frame(surface, white, [&](Graphics& g, ID2D1DeviceContext*) { g.FillGeometry(halves.Get(), kRed); });
    ASSERT_FALSE(ellipse.empty() || corners.empty() || icon.empty());
    for (const auto* shape : {&corners, &icon}) {
        EXPECT_GE(Coverage(*shape, ellipse), 0.98);
        EXPECT_LE(Painted(*shape), Painted(ellipse) * 1.02);
    }

    // A stroked arc (the spinner's): the quarter from the top to the right side shows, the rest
    // of the circle does not.
    const auto quarter = Graphics::Device::MakePathGeometry(
        [](ID2D1GeometrySink* sink) {
            sink->BeginFigure({50, 10}, D2D1_FIGURE_BEGIN_HOLLOW);
            Geometry::AddArc(sink, {50, 10},
                             D2D1::ArcSegment({90, 50}, D2D1::SizeF(40, 40), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE,
                                              D2D1_ARC_SIZE_SMALL));
            sink->EndFigure(D2D1_FIGURE_END_OPEN);
        },
        D2D1_FILL_MODE_ALTERNATE);
    ASSERT_TRUE(quarter);
    const auto stroked = Frame(
        surface, white, [&](Graphics& g, ID2D1DeviceContext*) { g.StrokeGeometry(quarter.Get(), kRed, 4, true); });
    ASSERT_FALSE(stroked.empty());
    const int at45 = static_cast<int>(std::lround(50 + 40 * std::cos(-3.14159265 / 4)));
    const int at45y = static_cast<int>(std::lround(50 + 40 * std::sin(-3.14159265 / 4)));
    EXPECT_GT(Red(surface.At(stroked, at45, at45y)), 127);
    EXPECT_LT(Testing::Blue(surface.At(stroked, at45, at45y)), 128) << "the arc's middle is drawn";
    EXPECT_EQ(surface.At(stroked, 50, 50), 0xFFFFFFFFu);
    EXPECT_EQ(surface.At(stroked, 10, 50), 0xFFFFFFFFu) << "nothing beyond the quarter";
}

TEST(GfxReplacements, ArcBeziersFollowTheCircleWithinATinyFraction) {
    struct Case {
        float radius;
        float degrees;  // the sweep, clockwise
    };
    const Case cases[] = {{1, 90}, {4, 90}, {22, 90}, {22, 270}, {40, 180}, {120, 90}, {600, 359}};
    for (const Case& c : cases) {
        const double end = c.degrees * 3.14159265358979 / 180;
        const D2D1_POINT_2F from = {c.radius, 0};  // around the origin
        const D2D1_POINT_2F to = {static_cast<float>(c.radius * std::cos(end)),
                                  static_cast<float>(c.radius * std::sin(end))};
        const auto segments = Geometry::ArcBeziers(
            from, D2D1::ArcSegment(to, D2D1::SizeF(c.radius, c.radius), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE,
                                   c.degrees > 180 ? D2D1_ARC_SIZE_LARGE : D2D1_ARC_SIZE_SMALL));
        ASSERT_GE(segments.size(), static_cast<size_t>(std::ceil(c.degrees / 90 - 1e-6))) << c.radius;
        D2D1_POINT_2F start = from;
        double worst = 0;
        for (const auto& s : segments) {
            for (int i = 0; i <= 32; ++i) {
                const double t = i / 32.0, u = 1 - t;
                const double x = u * u * u * start.x + 3 * u * u * t * s.point1.x + 3 * u * t * t * s.point2.x +
                                 t * t * t * s.point3.x;
                const double y = u * u * u * start.y + 3 * u * u * t * s.point1.y + 3 * u * t * t * s.point2.y +
                                 t * t * t * s.point3.y;
                worst = std::max(worst, std::fabs(std::hypot(x, y) - c.radius));
            }
            start = s.point3;
        }
        EXPECT_LT(worst, 0.005) << "radius " << c.radius << ", " << c.degrees << " degrees";
        EXPECT_FLOAT_EQ(segments.back().point3.x, to.x);
        EXPECT_FLOAT_EQ(segments.back().point3.y, to.y);
    }
    // Nothing for an arc that ends where it starts; a line for a radius of 0; radii too small
    // to reach the end grow into a half circle.
    EXPECT_TRUE(Geometry::ArcBeziers({5, 5}, D2D1::ArcSegment({5, 5}, D2D1::SizeF(3, 3), 0,
                                                              D2D1_SWEEP_DIRECTION_CLOCKWISE, D2D1_ARC_SIZE_SMALL))
                    .empty());
    const auto line = Geometry::ArcBeziers(
        {0, 0}, D2D1::ArcSegment({9, 0}, D2D1::SizeF(0, 3), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE, D2D1_ARC_SIZE_SMALL));
    ASSERT_EQ(line.size(), 1u);
    EXPECT_FLOAT_EQ(line[0].point1.x, 3);
    EXPECT_FLOAT_EQ(line[0].point1.y, 0);
    const auto grown = Geometry::ArcBeziers(
        {0, 0}, D2D1::ArcSegment({10, 0}, D2D1::SizeF(1, 1), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE, D2D1_ARC_SIZE_SMALL));
    ASSERT_GE(grown.size(), 2u);
    for (const auto& segment : grown) {
        EXPECT_NEAR(std::hypot(segment.point3.x - 5, segment.point3.y), 5, 1e-4);
        EXPECT_LE(segment.point3.y, 1e-4) << "clockwise on screen from the left end goes over the top";
    }
}

TEST(GfxReplacements, ProcessorBlurSpreadsLikeAGaussian) {
    // A single opaque pixel in the middle: its blur sums to the same, peaks at the centre and
    // falls off symmetrically, about as far as the deviation says.
    constexpr int side = 41;
    std::vector<float> plane(side * side, 0);
    plane[20 * side + 20] = 1;
    GlowBlur::Gaussian(plane, side, side, 4);
    double sum = 0;
    for (const float v : plane) {
        sum += v;
    }
    EXPECT_NEAR(sum, 1, 1e-4);
    const float centre = plane[20 * side + 20];
    EXPECT_NEAR(plane[20 * side + 16], plane[20 * side + 24], 1e-6);
    EXPECT_NEAR(plane[16 * side + 20], plane[20 * side + 16], 1e-6);
    // For a Gaussian of deviation 4 the value one deviation out is exp(-1/2) of the centre.
    EXPECT_NEAR(plane[20 * side + 24] / centre, std::exp(-0.5), 0.08);
    EXPECT_LT(plane[20 * side + 34], centre * 0.01);

    // The tint paints premultiplied pixels in the colour.
    const std::vector<uint32_t> tinted = GlowBlur::TintedBlur({0xFF000000u}, 1, 1, 0.1f, 0, 0, 1);
    ASSERT_EQ(tinted.size(), 1u);
    EXPECT_EQ(tinted[0], 0xFF0000FFu);
}

TEST(GfxReplacements, SymbolsMissingFromATextsFontComeFromOneThatHasThem) {
    ASSERT_TRUE(Testing::GraphicsReady());
    Offscreen surface(40, 20);
    ASSERT_TRUE(surface.Ready());
    ComPtr<IDWriteFactory2> factory = ComPtr<IDWriteFactory>(Graphics::Device::Instance().dwriteFactory.Get())
                                          .Query<IDWriteFactory2>(__uuidof(IDWriteFactory2));
    ASSERT_TRUE(factory);
    ComPtr<IDWriteFontFallback> system;
    ASSERT_TRUE(SUCCEEDED(factory->GetSystemFontFallback(system.Put())) && system);
    const auto HasArrow = [](const ComPtr<IDWriteFont>& font) {
        BOOL has = FALSE;
        return font && SUCCEEDED(font->HasCharacter(0x2192, &has)) && has;
    };
    EXPECT_EQ(surface.graphics.Quirks().symbolsLackFallback, !HasArrow(FallbackFont(system.Get(), nullptr, 0x2192)));

    // A text format's fallback (the system's where it sets none) after a family without arrows.
    TextStyle style;
    IDWriteTextFormat* format = surface.graphics.TextFormat(style);
    ASSERT_TRUE(format);
    const auto format1 = ComPtr<IDWriteTextFormat>(format).Query<IDWriteTextFormat1>(__uuidof(IDWriteTextFormat1));
    ASSERT_TRUE(format1);
    ComPtr<IDWriteFontFallback> fallback;
    format1->GetFontFallback(fallback.Put());
    if (!fallback) {
        fallback = system;
    }
    EXPECT_TRUE(HasArrow(FallbackFont(fallback.Get(), L"Tahoma", 0x2192)));
}

TEST(GfxReplacements, WhereThePlatformIsRightTheSurfaceDrawsItsOwnCalls) {
    // Every check forced to "right": the surface's pictures are the platform's own calls, pixel
    // for pixel (here as on a platform that composes as documented).
    Graphics::Device::SetQuirksForTesting(DrawingQuirks{});
    {
        Offscreen surface(48, 8);
        ASSERT_TRUE(surface.Ready());
        EXPECT_EQ(surface.graphics.Quirks(), DrawingQuirks{});
        const auto pixels = Frame(surface, {0, 0, 0, 1}, [&](Graphics& g, ID2D1DeviceContext* context) {
            const auto stops = RawStops(context, kHalfRed);
            ComPtr<ID2D1LinearGradientBrush> linear;
            context->CreateLinearGradientBrush(D2D1::LinearGradientBrushProperties({0, 0}, {8, 0}), stops.Get(),
                                               linear.Put());
            context->FillRectangle(D2D1::RectF(0, 0, 8, 8), linear.Get());
            Testing::FillRedInPlatformLayer(context, D2D1::RectF(8, 0, 16, 8), 0.5f);

            g.FillLinearGradient({24, 0, 8, 8}, 0, {{0, kHalfRed}, {1, kHalfRed}}, {0, 0}, {1, 0});
            g.PushLayer(0.5f, nullptr);
            g.FillRect({32, 0, 8, 8}, kRed);
            g.PopLayer();
        });
        ASSERT_FALSE(pixels.empty());
        EXPECT_EQ(surface.At(pixels, 4, 4), surface.At(pixels, 28, 4));
        EXPECT_EQ(surface.At(pixels, 12, 4), surface.At(pixels, 36, 4));
    }
    {
        // A photo in a circle: the platform's masked layer with the picture in it, left, and the
        // surface's, right; the two halves alike wherever the platform's mask cuts or not.
        Offscreen surface(80, 40);
        ASSERT_TRUE(surface.Ready());
        const auto picture = Image::Create(4, 4, std::vector<uint32_t>(16, 0xFF0000FFu));
        ASSERT_TRUE(picture);
        ComPtr<ID2D1RoundedRectangleGeometry> circle;
        Graphics::Device::Instance().d2dFactory->CreateRoundedRectangleGeometry(
            D2D1::RoundedRect(D2D1::RectF(4, 4, 36, 36), 16, 16), circle.Put());
        ASSERT_TRUE(circle);
        const auto pixels = Frame(surface, {1, 1, 1, 1}, [&](Graphics& g, ID2D1DeviceContext* context) {
            context->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), circle.Get()), nullptr);
            const D2D1_RECT_F box = D2D1::RectF(4, 4, 36, 36);
            context->DrawBitmap(picture->bitmap.Get(), &box, 1.0f, D2D1_INTERPOLATION_MODE_HIGH_QUALITY_CUBIC, nullptr,
                                nullptr);
            context->PopLayer();
            g.DrawImage(picture, {44, 4, 32, 32}, 16, 1);
        });
        ASSERT_FALSE(pixels.empty());
        int differing = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                differing += surface.At(pixels, x, y) != surface.At(pixels, x + 40, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0);

        // Text formats keep the system's own fallback, and a glow is one entry for every colour
        // (blurred by the platform's shadow, not baked per colour on the processor).
        IDWriteTextFormat* format = surface.graphics.TextFormat(TextStyle{});
        ASSERT_TRUE(format);
        const auto format1 = ComPtr<IDWriteTextFormat>(format).Query<IDWriteTextFormat1>(__uuidof(IDWriteTextFormat1));
        ASSERT_TRUE(format1);
        ComPtr<IDWriteFontFallback> fallback;
        format1->GetFontFallback(fallback.Put());
        EXPECT_FALSE(fallback);
        surface.Begin();
        surface.graphics.GlowRound({10, 10, 20, 20}, 6, {1, 0, 0, 1}, 6, 1);
        surface.graphics.GlowRound({10, 10, 20, 20}, 6, {0, 0, 1, 1}, 6, 1);
        EXPECT_EQ(surface.graphics.Counts().glows, 1u);
        ASSERT_TRUE(surface.End());
    }
    Graphics::Device::SetQuirksForTesting(std::nullopt);
}

}  // namespace
}  // namespace Lorvex

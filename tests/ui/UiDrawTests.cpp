// What the widget context draws on a real (off-screen) surface: clips that cut drawing where hit
// tests are cut, guards that undo their pushes, and the built-in tooltip.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/GfxOffscreen.h"
#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

using Testing::Offscreen;

bool IsRed(uint32_t p) {
    return Testing::Red(p) > 240 && Testing::Green(p) < 15 && Testing::Blue(p) < 15;
}
bool IsWhite(uint32_t p) {
    return Testing::Red(p) > 240 && Testing::Green(p) > 240 && Testing::Blue(p) > 240;
}

// An off-screen surface and its Ui; Begin starts a frame of both.
struct SurfaceAndUi {
    SurfaceAndUi(int width, int height) : surface(width, height) {}
    bool Begin() {
        if (!surface.Ready()) {
            return false;
        }
        surface.Begin();
        ui.BeginFrame(input, 1, 1.0f / 60);
        return true;
    }

    Offscreen surface;
    Ui ui{surface.graphics};
    Input input;
};

TEST(UiDraw, ClipsCutDrawingWhereTheyCutHitTests) {
    SurfaceAndUi drawn(100, 80);
    ASSERT_TRUE(drawn.Begin());
    Offscreen& surface = drawn.surface;
    Ui& ui = drawn.ui;
    ui.PushTranslate(20, 10);
    ui.PushScale(2, 0, 0);
    ui.PushClip({0, 0, 10, 10});
    const Rect window = ui.Clips().back();
    surface.graphics.FillRect({-50, -50, 200, 200}, {1, 0, 0, 1});
    ui.PopClip();
    {
        // A widget's layer and transform, undone by its guard.
        Ui::ClipScope scope(ui);
        surface.graphics.PushLayer(1, nullptr);
        scope.layerPushed = true;
        ui.PushTranslate(5, 5);
        scope.transformPushed = true;
    }
    ui.PopTransform();
    ui.PopTransform();
    EXPECT_EQ(ui.TransformDepth(), 0u);
    EXPECT_EQ(surface.graphics.TransformDepth(), 0u);
    surface.graphics.FillRect({0, 0, 5, 5}, {0, 0, 1, 1});  // back at the window's origin
    ui.EndFrame();
    ASSERT_TRUE(surface.End());

    EXPECT_FLOAT_EQ(window.x, 20);
    EXPECT_FLOAT_EQ(window.y, 10);
    EXPECT_FLOAT_EQ(window.w, 20);
    EXPECT_FLOAT_EQ(window.h, 20);
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(IsRed(surface.At(pixels, 20, 10)));
    EXPECT_TRUE(IsRed(surface.At(pixels, 39, 29)));
    EXPECT_TRUE(IsWhite(surface.At(pixels, 19, 15)));
    EXPECT_TRUE(IsWhite(surface.At(pixels, 40, 15)));
    EXPECT_TRUE(IsWhite(surface.At(pixels, 25, 30)));
    EXPECT_EQ(Testing::Blue(surface.At(pixels, 2, 2)), 255);
    EXPECT_EQ(Testing::Red(surface.At(pixels, 2, 2)), 0);
}

// Buttons scale about their centre when pressed: what they draw must stay where their hit test
// looks. Twice about (20, 20) maps local p to 2p - 20, so local 15..25 covers the window's 10..30.
TEST(UiDraw, ScaleAboutACentreDrawsWhereItHitTests) {
    SurfaceAndUi drawn(60, 60);
    ASSERT_TRUE(drawn.Begin());
    Offscreen& surface = drawn.surface;
    Ui& ui = drawn.ui;
    ui.PushScale(2, 20, 20);
    EXPECT_FLOAT_EQ(ui.offsetX, -20);
    EXPECT_FLOAT_EQ(ui.offsetY, -20);
    surface.graphics.FillRect({15, 15, 10, 10}, {1, 0, 0, 1});
    ui.PopTransform();
    ui.EndFrame();
    ASSERT_TRUE(surface.End());

    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    for (const auto& [x, y] : {std::pair{10, 10}, {29, 29}, {20, 20}}) {
        EXPECT_TRUE(IsRed(surface.At(pixels, x, y))) << x << "," << y;
    }
    for (const auto& [x, y] : {std::pair{9, 15}, {30, 15}, {15, 30}, {35, 35}}) {
        EXPECT_TRUE(IsWhite(surface.At(pixels, x, y))) << x << "," << y;
    }
}

TEST(UiDraw, BuiltInTooltipIsAWhiteBoxWithOutlineAndText) {
    Offscreen surface(300, 200);
    ASSERT_TRUE(surface.Ready());
    Ui ui(surface.graphics);
    TextStyle style;
    style.size = 12;
    const auto size = surface.graphics.MeasureText(L"Guardar cambios", style, 400);
    ASSERT_GT(size.width, 0);

    for (const float anchorY : {40.0f, 190.0f}) {
        SCOPED_TRACE(anchorY);
        const Rect box = Ui::TooltipBox(size, 50, anchorY, 300, 200, 1);
        surface.Begin();
        surface.graphics.Context()->Clear(D2D1::ColorF(0, 0, 1, 1));
        ui.DrawTooltip(L"Guardar cambios", 50, anchorY);
        ASSERT_TRUE(surface.End());
        const auto pixels = surface.Pixels();
        ASSERT_FALSE(pixels.empty());
        const int left = static_cast<int>(box.x);
        const int top = static_cast<int>(box.y);
        const int midY = top + static_cast<int>(box.h / 2);
        // Above the anchor when below would leave the surface.
        EXPECT_EQ(anchorY > 100, box.y < anchorY);
        EXPECT_NEAR(Testing::Red(surface.At(pixels, left, midY)), 118, 6);   // outline
        EXPECT_TRUE(IsWhite(surface.At(pixels, left + 3, midY)));            // padding
        EXPECT_EQ(Testing::Blue(surface.At(pixels, left - 10, midY)), 255);  // background
        EXPECT_EQ(Testing::Red(surface.At(pixels, left - 10, midY)), 0);
        // Some text pixel is as dark as the text colour's neighbourhood.
        int darkest = 255;
        for (int y = top + 3; y < top + static_cast<int>(box.h) - 3; ++y) {
            for (int x = left + 6; x < left + static_cast<int>(box.w) - 6; ++x) {
                darkest = std::min(darkest, Testing::Red(surface.At(pixels, x, y)));
            }
        }
        EXPECT_LT(darkest, 160);
    }
}

}  // namespace
}  // namespace Lorvex::UI

// What the scroll area draws on a real (off-screen) surface: its content shifted and cut to the
// viewport, and the thumb beside it in the palette's colour.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/GfxOffscreen.h"
#include "ui/ScrollArea.h"
#include "ui/Theme.h"

namespace Lorvex::UI {
namespace {

using Testing::Offscreen;

// The colour over opaque red, as 0..255 channels.
int Over(float channel, float alpha, float below) {
    return static_cast<int>(std::lround((channel * alpha + below * (1 - alpha)) * 255));
}

// The thumb's colour over opaque red content at the pixel.
void ExpectThumbColour(uint32_t pixel, Color thumb) {
    EXPECT_NEAR(Testing::Red(pixel), Over(thumb.r, thumb.a, 1), 2);
    EXPECT_NEAR(Testing::Green(pixel), Over(thumb.g, thumb.a, 0), 2);
    EXPECT_NEAR(Testing::Blue(pixel), Over(thumb.b, thumb.a, 0), 2);
}

TEST(ScrollAreaDraw, ContentIsShiftedAndClippedAndTheThumbLiesOnTop) {
    Offscreen surface(120, 140);
    ASSERT_TRUE(surface.Ready());
    Ui ui(surface.graphics);
    Input input;
    const uint64_t id = MakeIdFromText("list");
    // 400 of content in 100, scrolled to the middle: a 25 DIP thumb, 37.5 down its 75 DIP track.
    ScrollState& state = ui.State<ScrollState>(id);
    state.target = 150;
    state.current = 150;
    state.content = 400;
    double now = 1;
    const auto frame = [&] {
        surface.Begin();
        ui.BeginFrame(input, now, 1.0f / 60);
        now += 1.0 / 60;
        {
            ScrollArea area(ui, id, {10, 10, 80, 100}, 48);
            EXPECT_EQ(area.offset, 150);
            // Content is drawn where it would be unscrolled: its top at the viewport's top.
            surface.graphics.FillRect({10, 10, 80, 400}, {1, 0, 0, 1});
            surface.graphics.FillRect({10, 160, 80, 10}, {0, 0, 1, 1});  // the first row in view
            area.content = 400;
        }
        surface.graphics.FillRect({0, 130, 5, 5}, {0, 1, 0, 1});  // back in window coordinates
        ui.EndFrame();
        input.ClearFrame();
        EXPECT_TRUE(surface.End());
        return surface.Pixels();
    };

    // Drawn before anything applied the theme: the area applies it itself.
    Material::PaletteReady = false;
    const auto pixels = frame();
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(Material::PaletteReady);
    const auto at = [&](int x, int y) { return surface.At(pixels, x, y); };
    EXPECT_EQ(Testing::Blue(at(40, 12)), 255);
    EXPECT_EQ(Testing::Red(at(40, 12)), 0);
    EXPECT_EQ(Testing::Red(at(40, 50)), 255);
    for (const auto& [x, y] : {std::pair{5, 50}, {95, 50}, {40, 5}, {40, 115}}) {
        EXPECT_EQ(at(x, y), 0xFFFFFFFFu) << x << "," << y;
    }
    EXPECT_EQ(Testing::Green(at(2, 132)), 255);

    // The thumb: x 82..88, y 47.5..72.5, in scrollThumb over the red content.
    ExpectThumbColour(at(85, 60), Material::Palette.scrollThumb);
    EXPECT_EQ(at(85, 44), 0xFFFF0000u);
    EXPECT_EQ(at(85, 76), 0xFFFF0000u);

    // Under the pointer (the hover is decided one frame late) it turns to the accent.
    input.x = 85;
    input.y = 60;
    input.inside = true;
    input.moved = true;
    frame();
    const auto hovered = frame();
    ASSERT_FALSE(hovered.empty());
    Color accent = Material::Palette.primary;
    accent.a *= 0.85f;
    ExpectThumbColour(surface.At(hovered, 85, 60), accent);
}

}  // namespace
}  // namespace Lorvex::UI

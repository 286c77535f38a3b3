// The kit's pictures where the platform lacks a feature, read back from an off-screen surface in
// both themes: the backdrop's discs stay inside its rounded rect, and a disabled button is drawn
// dimmed, by the platform's layer where it fades and by the surface where it does not.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "main/kit/Backdrop.h"
#include "main/kit/Buttons.h"
#include "tests/main/KitSheetFrames.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {
namespace {

using Testing::Blue;
using Testing::Green;
using Testing::Red;

constexpr int kHalf = 300;
constexpr int kHeight = 200;

int Difference(uint32_t a, uint32_t b) {
    return std::abs(Red(a) - Red(b)) + std::abs(Green(a) - Green(b)) + std::abs(Blue(a) - Blue(b));
}

TEST(KitReplacements, BackdropDiscsStayInsideTheirRoundedRect) {
    Testing::Offscreen surface(2 * kHalf, kHeight);
    ASSERT_TRUE(surface.Ready());
    const Rect card = {20, 20, 240, 140};
    const auto pixels = Testing::DrawThemeHalves(surface, kHalf, [&](UI::Ui& ui, bool, float left) {
        ui.graphics->FillRect({left, 0, kHalf, kHeight}, UI::Material::Palette.background);
        Backdrop(ui, {left + card.x, card.y, card.w, card.h}, 22, 1.4f);
    });
    ASSERT_FALSE(pixels.empty());
    for (const int left : {0, kHalf}) {
        const uint32_t background = surface.At(pixels, left + 5, 5);
        // The rounded corners and everything outside the rect keep the background.
        for (const auto& [x, y] : {std::pair{21, 21}, std::pair{258, 21}, std::pair{21, 158}, std::pair{258, 158},
                                   std::pair{140, 175}, std::pair{275, 90}}) {
            EXPECT_EQ(surface.At(pixels, left + x, y), background) << "half " << left << " at " << x << "," << y;
        }
        // Inside, the discs tint it.
        int most = 0;
        for (int y = 30; y < 150; y += 4) {
            for (int x = 30; x < 250; x += 4) {
                most = std::max(most, Difference(surface.At(pixels, left + x, y), background));
            }
        }
        EXPECT_GE(most, 12) << "half " << left;
    }
}

TEST(KitReplacements, DisabledButtonsAreDrawnDimmed) {
    Testing::Offscreen surface(2 * kHalf, kHeight);
    ASSERT_TRUE(surface.Ready());
    // The platform's own layer first: the surface fades by hand only where it does not fade.
    surface.Begin();
    Testing::FillRedInPlatformLayer(surface.graphics.Context(), D2D1::RectF(0, 0, 8, 8), 0.5f);
    ASSERT_TRUE(surface.End());
    const auto platform = surface.Pixels();
    ASSERT_FALSE(platform.empty());
    EXPECT_EQ(surface.graphics.Quirks().layersIgnoreOpacity, Green(surface.At(platform, 4, 4)) < 64);

    const std::wstring label = L"Guardar";
    float width = 0;
    const auto pixels = Testing::DrawThemeHalves(surface, kHalf, [&](UI::Ui& ui, bool, float left) {
        const UI::Material::Theme& palette = UI::Material::Palette;
        ui.graphics->FillRect({left, 0, kHalf, kHeight}, palette.background);
        width = ButtonWidth(ui, label, kButtonFontSize);
        for (int filled = 0; filled < 2; ++filled) {
            const float x = left + 20 + filled * 140;
            Button(ui, 10 + filled, {x, 30, width, 42}, UI::Material::Icon::Save, label, palette.primary, filled,
                   true);
            Button(ui, 20 + filled, {x, 110, width, 42}, UI::Material::Icon::Save, label, palette.primary, filled,
                   false);
        }
    });
    ASSERT_FALSE(pixels.empty());
    // How far each button's pixels are from the background, in all: the disabled one's near 42 %.
    // Where the platform's layers do not fade, each part is faded on its own, so the label shows
    // through the faded pill a little more than a faded whole would (up to about 65 %).
    const auto Ink = [&](int left, float x, float y) {
        const uint32_t background = surface.At(pixels, left + 5, 5);
        long sum = 0;
        for (int py = static_cast<int>(y) - 4; py < static_cast<int>(y) + 46; ++py) {
            for (int px = static_cast<int>(x) - 4; px < static_cast<int>(x + width) + 4; ++px) {
                sum += Difference(surface.At(pixels, left + px, py), background);
            }
        }
        return static_cast<double>(sum);
    };
    for (const int left : {0, kHalf}) {
        for (int filled = 0; filled < 2; ++filled) {
            const float x = 20.0f + filled * 140;
            const double ratio = Ink(left, x, 110) / Ink(left, x, 30);
            EXPECT_GT(ratio, 0.3) << "half " << left << (filled ? " filled" : " outlined");
            EXPECT_LT(ratio, 0.7) << "half " << left << (filled ? " filled" : " outlined");
        }
    }
}

}  // namespace
}  // namespace Lorvex::Main::Kit

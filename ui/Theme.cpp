#include "ui/Theme.h"

#include <cmath>
#include <cstdint>

namespace Lorvex::UI::Material {

Theme Palette;
bool DarkTheme = false;
bool PaletteReady = false;

namespace {

// Channels as n/255: every colour of the themes is a whole step of 8-bit colour.
struct Rgba {
    uint8_t r, g, b, a;
};

struct Role {
    Color Theme::*member;
    Rgba dark;
    Rgba light;
};

// The translucent roles are white at a low alpha in the dark theme and the text colour
// (28, 26, 46) at a similar alpha in the light one. accent is not here: it follows primary.
constexpr Role kRoles[] = {
    {&Theme::background, {13, 12, 24, 255}, {245, 243, 251, 255}},
    {&Theme::onBackground, {240, 238, 252, 255}, {28, 26, 46, 255}},
    {&Theme::onBackgroundMuted, {240, 238, 252, 140}, {28, 26, 46, 140}},
    {&Theme::outlineSubtle, {255, 255, 255, 22}, {28, 26, 46, 24}},
    {&Theme::surface, {26, 24, 46, 255}, {255, 255, 255, 255}},
    {&Theme::surfaceRaised, {33, 31, 58, 255}, {255, 255, 255, 255}},
    {&Theme::surfaceOverlay, {255, 255, 255, 18}, {28, 26, 46, 20}},
    {&Theme::primaryLight, {255, 143, 174, 255}, {255, 170, 196, 255}},
    {&Theme::onPrimaryLight, {0, 0, 0, 255}, {0, 0, 0, 255}},
    {&Theme::primary, {255, 77, 126, 255}, {232, 51, 107, 255}},
    {&Theme::onPrimary, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {&Theme::primaryDark, {214, 51, 108, 255}, {190, 30, 84, 255}},
    {&Theme::onPrimaryDark, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {&Theme::secondaryLight, {169, 155, 255, 255}, {190, 180, 255, 255}},
    {&Theme::onSecondaryLight, {0, 0, 0, 255}, {0, 0, 0, 255}},
    {&Theme::secondary, {124, 108, 242, 255}, {108, 92, 231, 255}},
    {&Theme::onSecondary, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {&Theme::secondaryDark, {90, 75, 209, 255}, {80, 64, 196, 255}},
    {&Theme::onSecondaryDark, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {&Theme::error, {255, 107, 107, 255}, {211, 47, 47, 255}},
    {&Theme::fieldOutline, {255, 255, 255, 46}, {28, 26, 46, 50}},
    {&Theme::fieldState2, {255, 255, 255, 26}, {28, 26, 46, 30}},
    {&Theme::fieldOutlineHover, {255, 255, 255, 110}, {28, 26, 46, 130}},
    {&Theme::fieldState4, {255, 255, 255, 10}, {28, 26, 46, 8}},
    {&Theme::fieldState5, {255, 255, 255, 46}, {28, 26, 46, 50}},
    {&Theme::fieldState6, {255, 255, 255, 26}, {28, 26, 46, 30}},
    {&Theme::fieldState7, {255, 255, 255, 110}, {28, 26, 46, 130}},
    {&Theme::surfaceAlt, {33, 31, 58, 255}, {255, 255, 255, 255}},
    {&Theme::inkStrong, {255, 255, 255, 90}, {28, 26, 46, 110}},
    {&Theme::mutedSolid, {80, 78, 100, 255}, {190, 188, 200, 255}},
    {&Theme::trackOff, {44, 42, 72, 255}, {226, 222, 238, 255}},
    {&Theme::inkFaint1, {255, 255, 255, 25}, {28, 26, 46, 20}},
    {&Theme::veil, {255, 255, 255, 160}, {255, 255, 255, 170}},
    {&Theme::inkFaint2, {255, 255, 255, 26}, {28, 26, 46, 26}},
    {&Theme::scrollThumb, {255, 255, 255, 60}, {28, 26, 46, 70}},
    {&Theme::inverse1, {240, 238, 252, 255}, {33, 31, 58, 255}},
    {&Theme::inverse2, {220, 216, 240, 255}, {50, 48, 80, 255}},
    {&Theme::tooltipBackground, {240, 238, 252, 255}, {33, 31, 58, 255}},
    {&Theme::inkFaint3, {255, 255, 255, 22}, {28, 26, 46, 18}},
    {&Theme::inkFaint4, {255, 255, 255, 14}, {28, 26, 46, 10}},
    {&Theme::inkFaint5, {255, 255, 255, 22}, {28, 26, 46, 24}},
    {&Theme::info, {76, 154, 255, 255}, {76, 154, 255, 255}},
    {&Theme::highlight, {255, 209, 102, 255}, {255, 209, 102, 255}},
    {&Theme::chrome, {18, 17, 33, 255}, {251, 250, 255, 255}},
    {&Theme::surfaceContainer, {37, 35, 64, 255}, {236, 233, 247, 255}},
    {&Theme::backdropA, {255, 77, 126, 255}, {255, 120, 160, 255}},
    {&Theme::backdropB, {124, 108, 242, 255}, {150, 135, 255, 255}},
    {&Theme::success, {81, 207, 102, 255}, {46, 170, 80, 255}},
    {&Theme::warning, {255, 196, 77, 255}, {230, 150, 20, 255}},
    {&Theme::danger, {255, 92, 92, 255}, {220, 53, 69, 255}},
    {&Theme::bubble1, {255, 77, 126, 255}, {240, 70, 120, 255}},
    {&Theme::bubble2, {196, 62, 182, 255}, {160, 80, 220, 255}},
    {&Theme::bubble3, {36, 34, 64, 255}, {255, 255, 255, 255}},
    {&Theme::bubble4, {52, 38, 76, 255}, {243, 238, 255, 255}},
    {&Theme::bubble5, {240, 238, 252, 255}, {28, 26, 46, 255}},
    {&Theme::bubble6, {190, 184, 230, 255}, {110, 100, 150, 255}},
};

Color ToColor(Rgba value) {
    return {value.r / 255.0f, value.g / 255.0f, value.b / 255.0f, value.a / 255.0f};
}

// WCAG 2 linearisation of one sRGB channel.
double Linear(float channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

}  // namespace

void ApplyTheme() {
    Theme theme;
    theme.dark = DarkTheme;
    for (const Role& role : kRoles) {
        theme.*role.member = ToColor(DarkTheme ? role.dark : role.light);
    }
    theme.accent = theme.primary;
    Palette = theme;
    PaletteReady = true;
}

const Theme& ReadyPalette() {
    if (!PaletteReady) {
        ApplyTheme();
    }
    return Palette;
}

Color OnColor(const Color& color) {
    const double luminance = 0.2126 * Linear(color.r) + 0.7152 * Linear(color.g) + 0.0722 * Linear(color.b);
    return luminance > 0.179 ? Color{0, 0, 0, 1} : Color{1, 1, 1, 1};
}

}  // namespace Lorvex::UI::Material

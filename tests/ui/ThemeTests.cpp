// The two palettes, role by role in 8-bit steps as the designers wrote them, and the contrast
// colour for content on a background.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>

#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

struct Expected {
    const char* name;
    Color Theme::*member;
    int dark[4];
    int light[4];
};

// Every role of the record in its order, with its colour in both themes.
const Expected kExpected[] = {
    {"background", &Theme::background, {13, 12, 24, 255}, {245, 243, 251, 255}},
    {"onBackground", &Theme::onBackground, {240, 238, 252, 255}, {28, 26, 46, 255}},
    {"onBackgroundMuted", &Theme::onBackgroundMuted, {240, 238, 252, 140}, {28, 26, 46, 140}},
    {"outlineSubtle", &Theme::outlineSubtle, {255, 255, 255, 22}, {28, 26, 46, 24}},
    {"surface", &Theme::surface, {26, 24, 46, 255}, {255, 255, 255, 255}},
    {"surfaceRaised", &Theme::surfaceRaised, {33, 31, 58, 255}, {255, 255, 255, 255}},
    {"surfaceOverlay", &Theme::surfaceOverlay, {255, 255, 255, 18}, {28, 26, 46, 20}},
    {"primaryLight", &Theme::primaryLight, {255, 143, 174, 255}, {255, 170, 196, 255}},
    {"onPrimaryLight", &Theme::onPrimaryLight, {0, 0, 0, 255}, {0, 0, 0, 255}},
    {"primary", &Theme::primary, {255, 77, 126, 255}, {232, 51, 107, 255}},
    {"onPrimary", &Theme::onPrimary, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {"primaryDark", &Theme::primaryDark, {214, 51, 108, 255}, {190, 30, 84, 255}},
    {"onPrimaryDark", &Theme::onPrimaryDark, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {"secondaryLight", &Theme::secondaryLight, {169, 155, 255, 255}, {190, 180, 255, 255}},
    {"onSecondaryLight", &Theme::onSecondaryLight, {0, 0, 0, 255}, {0, 0, 0, 255}},
    {"secondary", &Theme::secondary, {124, 108, 242, 255}, {108, 92, 231, 255}},
    {"onSecondary", &Theme::onSecondary, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {"secondaryDark", &Theme::secondaryDark, {90, 75, 209, 255}, {80, 64, 196, 255}},
    {"onSecondaryDark", &Theme::onSecondaryDark, {255, 255, 255, 255}, {255, 255, 255, 255}},
    {"error", &Theme::error, {255, 107, 107, 255}, {211, 47, 47, 255}},
    {"fieldOutline", &Theme::fieldOutline, {255, 255, 255, 46}, {28, 26, 46, 50}},
    {"fieldState2", &Theme::fieldState2, {255, 255, 255, 26}, {28, 26, 46, 30}},
    {"fieldOutlineHover", &Theme::fieldOutlineHover, {255, 255, 255, 110}, {28, 26, 46, 130}},
    {"fieldState4", &Theme::fieldState4, {255, 255, 255, 10}, {28, 26, 46, 8}},
    {"fieldState5", &Theme::fieldState5, {255, 255, 255, 46}, {28, 26, 46, 50}},
    {"fieldState6", &Theme::fieldState6, {255, 255, 255, 26}, {28, 26, 46, 30}},
    {"fieldState7", &Theme::fieldState7, {255, 255, 255, 110}, {28, 26, 46, 130}},
    {"surfaceAlt", &Theme::surfaceAlt, {33, 31, 58, 255}, {255, 255, 255, 255}},
    {"inkStrong", &Theme::inkStrong, {255, 255, 255, 90}, {28, 26, 46, 110}},
    {"mutedSolid", &Theme::mutedSolid, {80, 78, 100, 255}, {190, 188, 200, 255}},
    {"trackOff", &Theme::trackOff, {44, 42, 72, 255}, {226, 222, 238, 255}},
    {"inkFaint1", &Theme::inkFaint1, {255, 255, 255, 25}, {28, 26, 46, 20}},
    {"veil", &Theme::veil, {255, 255, 255, 160}, {255, 255, 255, 170}},
    {"inkFaint2", &Theme::inkFaint2, {255, 255, 255, 26}, {28, 26, 46, 26}},
    {"scrollThumb", &Theme::scrollThumb, {255, 255, 255, 60}, {28, 26, 46, 70}},
    {"inverse1", &Theme::inverse1, {240, 238, 252, 255}, {33, 31, 58, 255}},
    {"inverse2", &Theme::inverse2, {220, 216, 240, 255}, {50, 48, 80, 255}},
    {"tooltipBackground", &Theme::tooltipBackground, {240, 238, 252, 255}, {33, 31, 58, 255}},
    {"inkFaint3", &Theme::inkFaint3, {255, 255, 255, 22}, {28, 26, 46, 18}},
    {"inkFaint4", &Theme::inkFaint4, {255, 255, 255, 14}, {28, 26, 46, 10}},
    {"inkFaint5", &Theme::inkFaint5, {255, 255, 255, 22}, {28, 26, 46, 24}},
    {"accent", &Theme::accent, {255, 77, 126, 255}, {232, 51, 107, 255}},
    {"info", &Theme::info, {76, 154, 255, 255}, {76, 154, 255, 255}},
    {"highlight", &Theme::highlight, {255, 209, 102, 255}, {255, 209, 102, 255}},
    {"chrome", &Theme::chrome, {18, 17, 33, 255}, {251, 250, 255, 255}},
    {"surfaceContainer", &Theme::surfaceContainer, {37, 35, 64, 255}, {236, 233, 247, 255}},
    {"backdropA", &Theme::backdropA, {255, 77, 126, 255}, {255, 120, 160, 255}},
    {"backdropB", &Theme::backdropB, {124, 108, 242, 255}, {150, 135, 255, 255}},
    {"success", &Theme::success, {81, 207, 102, 255}, {46, 170, 80, 255}},
    {"warning", &Theme::warning, {255, 196, 77, 255}, {230, 150, 20, 255}},
    {"danger", &Theme::danger, {255, 92, 92, 255}, {220, 53, 69, 255}},
    {"bubble1", &Theme::bubble1, {255, 77, 126, 255}, {240, 70, 120, 255}},
    {"bubble2", &Theme::bubble2, {196, 62, 182, 255}, {160, 80, 220, 255}},
    {"bubble3", &Theme::bubble3, {36, 34, 64, 255}, {255, 255, 255, 255}},
    {"bubble4", &Theme::bubble4, {52, 38, 76, 255}, {243, 238, 255, 255}},
    {"bubble5", &Theme::bubble5, {240, 238, 252, 255}, {28, 26, 46, 255}},
    {"bubble6", &Theme::bubble6, {190, 184, 230, 255}, {110, 100, 150, 255}},
};

std::string Steps(const Color& color) {
    const float channels[] = {color.r, color.g, color.b, color.a};
    std::string text;
    for (float channel : channels) {
        if (!text.empty()) {
            text += ", ";
        }
        // Rounding alone would let a value between two steps pass.
        const float steps = channel * 255.0f;
        text +=
            std::abs(steps - std::round(steps)) < 1e-3f ? std::to_string(std::lround(steps)) : std::to_string(steps);
    }
    return text;
}

std::string Steps(const int (&values)[4]) {
    return std::to_string(values[0]) + ", " + std::to_string(values[1]) + ", " + std::to_string(values[2]) + ", " +
           std::to_string(values[3]);
}

size_t Offset(Color Theme::*member) {
    static const Theme probe;
    return static_cast<size_t>(reinterpret_cast<const char*>(&(probe.*member)) - reinterpret_cast<const char*>(&probe));
}

// The expected list covers the whole record, so no role can go unchecked: the colours follow the
// flag one after another, with nothing between them and nothing after the last.
TEST(Theme, ExpectedRolesCoverTheRecordInOrder) {
    const size_t first = Offset(kExpected[0].member);
    for (size_t i = 0; i < std::size(kExpected); ++i) {
        EXPECT_EQ(Offset(kExpected[i].member), first + i * sizeof(Color)) << kExpected[i].name;
    }
    EXPECT_EQ(sizeof(Theme), first + std::size(kExpected) * sizeof(Color));
}

TEST(Theme, EachThemeAppliesItsTableRoleByRole) {
    for (const bool dark : {true, false, true}) {
        DarkTheme = dark;
        ApplyTheme();
        EXPECT_TRUE(PaletteReady);
        EXPECT_EQ(Palette.dark, dark);
        for (const Expected& role : kExpected) {
            EXPECT_EQ(Steps(Palette.*role.member), Steps(dark ? role.dark : role.light))
                << role.name << (dark ? " (dark)" : " (light)");
        }
    }
}

TEST(Theme, OnColorPicksBlackOverBrightColours) {
    struct Case {
        const char* name;
        Color color;
        bool black;
    };
    const Case cases[] = {
        {"light primary", {255 / 255.0f, 143 / 255.0f, 174 / 255.0f, 1}, true},
        {"blue", {0, 0, 1, 1}, false},
        {"red, by its weight alone", {1, 0, 0, 1}, true},
        {"grey 117, luminance just under 0.179", {117 / 255.0f, 117 / 255.0f, 117 / 255.0f, 1}, false},
        {"grey 118, luminance just over 0.179", {118 / 255.0f, 118 / 255.0f, 118 / 255.0f, 1}, true},
        {"white with alpha 0: alpha is ignored", {1, 1, 1, 0}, true},
        {"black", {0, 0, 0, 1}, false},
    };
    for (const Case& c : cases) {
        const Color on = OnColor(c.color);
        const float expected = c.black ? 0.0f : 1.0f;
        EXPECT_EQ(on.r, expected) << c.name;
        EXPECT_EQ(on.g, expected) << c.name;
        EXPECT_EQ(on.b, expected) << c.name;
        EXPECT_EQ(on.a, 1.0f) << c.name;
    }
}

// The tables' contrast roles are what OnColor gives for the colour they sit on.
TEST(Theme, ContrastRolesAgreeWithOnColor) {
    for (const bool dark : {true, false}) {
        DarkTheme = dark;
        ApplyTheme();
        EXPECT_EQ(Steps(Palette.onPrimaryLight), Steps(OnColor(Palette.primaryLight))) << dark;
        EXPECT_EQ(Steps(Palette.onSecondaryLight), Steps(OnColor(Palette.secondaryLight))) << dark;
    }
}

}  // namespace
}  // namespace Lorvex::UI::Material

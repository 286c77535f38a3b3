// The kit's widgets without drawing: widths from measured text, avatar initials and colours, the
// choice chips' rows, and click semantics of buttons and chips fed by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/Fields.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/ui/UiHarness.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {
namespace {

using Testing::UiHarness;

float Measured(Graphics& graphics, const std::wstring& text, float size, int32_t weight) {
    TextStyle style;
    style.size = size;
    style.weight = weight;
    style.wrap = false;
    return graphics.MeasureText(text, style, 100000).width;
}

TEST(KitMeasures, ButtonAndChipWidthsFromLabelWidths) {
    struct Case {
        float labelWidth;
        bool withExtra;
        float button;
        float chip;
    };
    const Case cases[] = {
        {0, false, 54, 16},
        {40, true, 102, 72},
        {40.2f, true, 103, 73},
        {0, true, 62, 32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ButtonWidthFor(c.labelWidth, c.withExtra), c.button) << c.labelWidth;
        EXPECT_EQ(ChipWidthFor(c.labelWidth, c.withExtra), c.chip) << c.labelWidth;
    }
}

TEST(KitMeasures, ButtonAndChipWidthsMeasureTheirLabelsAsTheyAreDrawn) {
    Testing::Offscreen surface(64, 64);
    ASSERT_TRUE(surface.Ready());
    UI::Ui ui(surface.graphics);
    Graphics& graphics = surface.graphics;
    const std::wstring label = L"Guardar personaje";
    ASSERT_GT(Measured(graphics, label, 14, 600), 40);

    EXPECT_EQ(ButtonWidth(ui, L"", kButtonFontSize), 54);
    EXPECT_EQ(ButtonWidth(ui, label, kButtonFontSize), std::ceil(Measured(graphics, label, 14, 600) + 62));
    EXPECT_GT(ButtonWidth(ui, label, 18), ButtonWidth(ui, label, 14));

    EXPECT_EQ(ChipWidth(ui, label, false), std::ceil(Measured(graphics, label, 11, 600) + 16));
    EXPECT_EQ(ChipWidth(ui, label, true), ChipWidth(ui, label, false) + 16);
}

TEST(KitMeasures, FieldHeightsFromTheLineHeight) {
    struct Case {
        float line;
        bool multiLine;
        float lines;
        float height;
    };
    const Case cases[] = {
        {16.3f, false, 5, 45},  // a single-line field ignores the line count
        {16.3f, true, 1, 45},
        {16.3f, true, 3, 79},  // the line is rounded up before it is multiplied
        {16.3f, true, 2.5f, 70.5f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FieldHeightFor(c.line, c.multiLine, c.lines), c.height) << c.lines;
    }

    Testing::Offscreen surface(64, 64);
    ASSERT_TRUE(surface.Ready());
    UI::Ui ui(surface.graphics);
    TextStyle style;
    style.size = 14;
    style.wrap = false;
    const float line = surface.graphics.MeasureText(L"Ag", style, 100000).height;
    ASSERT_GT(line, 10);
    EXPECT_EQ(FieldHeight(ui, false, 1), std::ceil(line) + 28);
    EXPECT_EQ(FieldHeight(ui, true, 4), 4 * std::ceil(line) + 28);
}

TEST(KitAvatar, InitialsOfNames) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L"?"},
        {L"    ", L"?"},
        {L"¡¿...!", L"?"},
        {L"-ana", L"?"},  // punctuation ends the word's start
        {L"ana lópez", L"AL"},
        {L"Ana María López", L"AM"},
        {L"  luna\t de  plata", L"LD"},
        {L"Ana-María", L"A"},
        {L"r2 d2", L"RD"},
        {L"3po", L"3"},
        {L"(Sam) Frodo", L"F"},
    };
    for (const auto& [name, initials] : cases) {
        EXPECT_EQ(AvatarInitials(name), initials) << std::string(name.begin(), name.end());
    }
}

TEST(KitAvatar, ColourIndexIsAStableCaseBlindHashOfTheName) {
    const std::pair<std::wstring, size_t> cases[] = {
        {L"", 1}, {L"a", 0}, {L"Ana", 1}, {L"Marco Polo", 7}, {L"MARCO POLO", 7}, {L"marco polo", 7}, {L"Zoe", 9},
    };
    for (const auto& [name, index] : cases) {
        EXPECT_EQ(AvatarColorIndex(name), index) << std::string(name.begin(), name.end());
    }
    EXPECT_EQ(AvatarColors()[0].ToArgb(), 0xFFFF4D7Eu);
    EXPECT_EQ(AvatarColors()[9].ToArgb(), 0xFFA55EEAu);
}

// Drawn on white in the dark theme, whose surface colour would show as a halo: an avatar without
// a ring keeps the white up to its own circle, one with a ring covers it.
TEST(KitAvatar, OnlyARingWiderThanZeroDrawsTheRingAndItsGap) {
    Testing::Offscreen surface(120, 60);
    ASSERT_TRUE(surface.Ready());
    const bool savedDark = UI::Material::DarkTheme;
    UI::Material::DarkTheme = true;
    UI::Material::ApplyTheme();
    UI::Ui ui(surface.graphics);
    surface.Begin();
    Avatar(ui, {10, 10, 40, 40}, std::nullopt, L"Ana", 0, {});
    Avatar(ui, {70, 10, 40, 40}, std::nullopt, L"Ana", 3, {});
    ASSERT_TRUE(surface.End());
    const std::vector<uint32_t> pixels = surface.Pixels();
    UI::Material::DarkTheme = savedDark;
    UI::Material::ApplyTheme();
    ASSERT_FALSE(pixels.empty());

    // The pixel row just above each circle, on its vertical centre line.
    EXPECT_EQ(surface.At(pixels, 30, 9), 0xFFFFFFFFu);
    EXPECT_NE(surface.At(pixels, 90, 9), 0xFFFFFFFFu);
    // Inside, both show the name's colour.
    EXPECT_EQ(surface.At(pixels, 20, 30), surface.At(pixels, 80, 30));
}

TEST(KitChoiceChips, RowsWrapOnlyAfterTheirFirstChip) {
    struct Case {
        const char* name;
        float width;
        std::vector<float> widths;
        std::vector<Rect> rects;
    };
    const Case cases[] = {
        {"empty", 100, {}, {}},
        {"one row", 200, {50, 60}, {{10, 20, 50, 32}, {68, 20, 60, 32}}},
        {"exact fit", 118, {50, 60}, {{10, 20, 50, 32}, {68, 20, 60, 32}}},
        {"wrap", 117, {50, 60, 30}, {{10, 20, 50, 32}, {10, 60, 60, 32}, {78, 60, 30, 32}}},
        {"narrower than a chip", 20, {50, 60}, {{10, 20, 50, 32}, {10, 60, 60, 32}}},
    };
    for (const Case& c : cases) {
        const std::vector<Rect> rects = ChoiceChipsLayout(10, 20, c.width, c.widths);
        ASSERT_EQ(rects.size(), c.rects.size()) << c.name;
        for (size_t i = 0; i < rects.size(); ++i) {
            EXPECT_EQ(rects[i].x, c.rects[i].x) << c.name << " " << i;
            EXPECT_EQ(rects[i].y, c.rects[i].y) << c.name << " " << i;
            EXPECT_EQ(rects[i].w, c.rects[i].w) << c.name << " " << i;
            EXPECT_EQ(rects[i].h, c.rects[i].h) << c.name << " " << i;
        }
    }
}

struct KitClicks : ::testing::Test {
    // Hover, press and release at (x, y), one frame each; how many frames reported a click.
    int ClickAt(float x, float y, const std::function<bool()>& widget) {
        int clicks = 0;
        const auto draw = [&] { clicks += widget() ? 1 : 0; };
        harness.MoveTo(x, y);
        harness.Frame(draw);
        harness.Press();
        harness.Frame(draw);
        harness.Release();
        harness.Frame(draw);
        harness.Frame(draw);
        return clicks;
    }

    UiHarness harness;
};

// With no width to spare every chip gets a row of its own, 40 apart, whatever its label measures.
TEST_F(KitClicks, ChoiceChipsSelectTheClickedOptionAndReportTheirHeight) {
    const std::vector<std::wstring> options = {L"Corto", L"Medio", L"Largo", L"Libre"};
    std::wstring selection = L"Medio";
    float height = 0;
    const auto chips = [&] {
        height = ChoiceChips(harness.ui, 77, 0, 0, 0, options, selection, {1, 0, 0, 1});
        return false;
    };
    ClickAt(5, 130, chips);
    EXPECT_EQ(selection, L"Libre");
    EXPECT_EQ(height, 152);

    ClickAt(5, 10, chips);
    EXPECT_EQ(selection, L"Corto");
    // Between rows nothing changes.
    ClickAt(5, 36, chips);
    EXPECT_EQ(selection, L"Corto");
}

TEST_F(KitClicks, TheSelectedChipStillReportsItsClick) {
    const Rect rect = {0, 0, 80, 32};
    EXPECT_EQ(ClickAt(10, 10, [&] { return ChoiceChip(harness.ui, 5, rect, L"Sí", true, {0, 0, 1, 1}, true); }), 1);
    EXPECT_EQ(ClickAt(10, 10, [&] { return ChoiceChip(harness.ui, 5, rect, L"Sí", true, {0, 0, 1, 1}, false); }), 0);
}

TEST_F(KitClicks, ButtonsClickOnceWhenEnabledAndNeverWhenDisabled) {
    const Rect rect = {20, 20, 120, 40};
    for (const bool filled : {true, false}) {
        const auto button = [&] {
            return Button(harness.ui, 9, rect, UI::Material::Icon::Plus, L"Nuevo", {0.4f, 0.3f, 0.9f, 1}, filled, true);
        };
        EXPECT_EQ(ClickAt(60, 40, button), 1) << filled;
        EXPECT_EQ(ClickAt(10, 10, button), 0) << filled;
    }

    const auto disabled = [&] {
        return Button(harness.ui, 9, rect, UI::Material::Icon::Plus, L"Nuevo", {0.4f, 0.3f, 0.9f, 1}, true, false);
    };
    EXPECT_EQ(ClickAt(60, 40, disabled), 0);
    EXPECT_NE(harness.ui.hover, 9u);

    const auto icon = [&] {
        return IconButton(harness.ui, 11, {200, 20, 36, 36}, UI::Material::Icon::Plus, {0, 0, 0, 1}, L"Añadir", true,
                          20);
    };
    EXPECT_EQ(ClickAt(218, 38, icon), 1);
    const auto disabledIcon = [&] {
        return IconButton(harness.ui, 11, {200, 20, 36, 36}, UI::Material::Icon::Plus, {0, 0, 0, 1}, L"Añadir", false,
                          20);
    };
    EXPECT_EQ(ClickAt(218, 38, disabledIcon), 0);
    EXPECT_NE(harness.ui.hover, 11u);
}

TEST_F(KitClicks, TheEmptyStateReportsItsActionButton) {
    const Rect area = {0, 0, 800, 600};
    const float buttonCentreY = EmptyStateTop(area, true) + 206 + 21;
    const auto card = [&](const std::wstring& action) {
        return [&, action] {
            return EmptyState(harness.ui, 21, area, UI::Material::Icon::ChatOutline, L"Nada", L"Aún nada.", action,
                              UI::Material::Icon::Plus);
        };
    };
    EXPECT_EQ(ClickAt(400, buttonCentreY, card(L"Nuevo chat")), 1);
    EXPECT_EQ(ClickAt(400, buttonCentreY - 30, card(L"Nuevo chat")), 0);
    EXPECT_EQ(ClickAt(400, buttonCentreY, card(L"")), 0);
}

TEST_F(KitClicks, APressThatLeavesTheButtonIsNoClick) {
    const Rect rect = {20, 20, 120, 40};
    int clicks = 0;
    const auto draw = [&] {
        clicks += Button(harness.ui, 9, rect, UI::Material::Icon::Plus, L"", {0, 0, 0, 1}, true, true) ? 1 : 0;
    };
    harness.MoveTo(60, 40);
    harness.Frame(draw);
    harness.Press();
    harness.Frame(draw);
    harness.MoveTo(300, 300);
    harness.Frame(draw);
    harness.Release();
    harness.Frame(draw);
    EXPECT_EQ(clicks, 0);
}

}  // namespace
}  // namespace Lorvex::Main::Kit

// The material widgets on a real off-screen surface: the outline stays open behind a floated label
// and closed behind a resting one, and a sheet of fields, switches and a slider in both themes is
// saved as material-widgets.png beside the test program to be looked at.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <utility>

#include "graphics/Images.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/ui/UiHarness.h"
#include "ui/Ids.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

using Testing::Offscreen;

constexpr int kWidth = 760;
constexpr int kThemeHeight = 150;

struct Sheet {
    Rect floated;  // outlined, with text, not focused
    Rect resting;  // outlined, empty, not focused
};

// One theme's row of widgets at top y; returns where the two outlined fields went.
Sheet DrawSheet(Ui& ui, float top, uint64_t focusedId) {
    Graphics& g = *ui.graphics;
    g.FillRect({0, top, static_cast<float>(kWidth), kThemeHeight}, Palette.background);
    TextFieldOptions outlined;
    outlined.paddingLeft = -1;
    outlined.fontSize = 15;
    outlined.label = L"Nombre";
    TextFieldOptions filled = outlined;
    filled.outlined = false;
    filled.label = L"Correo";

    static std::wstring name = L"Lucía";
    static std::wstring empty;
    static std::wstring focusedText;
    static std::wstring filledText;
    const Sheet sheet{{16, top + 20, 220, 56}, {16, top + 86, 220, 56}};
    TextField(ui, MakeId("floated", static_cast<uint64_t>(top)), sheet.floated, name, outlined);
    TextField(ui, MakeId("resting", static_cast<uint64_t>(top)), sheet.resting, empty, outlined);
    TextField(ui, focusedId, {252, top + 20, 220, 56}, focusedText, outlined);
    TextField(ui, MakeId("filled", static_cast<uint64_t>(top)), {252, top + 86, 220, 48}, filledText, filled);
    Switch(ui, MakeId("on", static_cast<uint64_t>(top)), {490, top + 20, 60, 56}, true);
    Switch(ui, MakeId("off", static_cast<uint64_t>(top)), {570, top + 20, 60, 56}, false);
    float value = 0.35f;
    Slider(ui, MakeId("slider", static_cast<uint64_t>(top)), {490, top + 86, 250, 40}, value, 0, 1, Palette.primary);
    return sheet;
}

TEST(MaterialDraw, OutlineOpensBehindAFloatedLabelAndTheSheetIsSaved) {
    Offscreen surface(kWidth, 2 * kThemeHeight);
    if (!surface.Ready()) {
        GTEST_SKIP() << "no graphics device";
    }
    Testing::UiHarness h{surface.graphics};
    const uint64_t lightFocus = MakeId("focused", 0);
    const uint64_t darkFocus = MakeId("focused", 1);
    Sheet light;
    Sheet dark;
    surface.Begin();
    h.Frame([&] {
        DarkTheme = false;
        ApplyTheme();
        h.ui.focus = lightFocus;
        light = DrawSheet(h.ui, 0, lightFocus);
        DarkTheme = true;
        ApplyTheme();
        h.ui.focus = darkFocus;
        dark = DrawSheet(h.ui, kThemeHeight, darkFocus);
    });
    ASSERT_TRUE(surface.End());
    const std::vector<uint32_t> pixels = surface.Pixels();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kWidth) * 2 * kThemeHeight);

    for (const auto& [theme, sheet] : {std::pair{"light", light}, std::pair{"dark", dark}}) {
        SCOPED_TRACE(theme);
        const int top = static_cast<int>(sheet.floated.y);
        const int restingTop = static_cast<int>(sheet.resting.y);
        const uint32_t paper = surface.At(pixels, 2, top + 10);
        // The label starts at x + 16 + 1; the gap opens 4 DIPs before it, so x + 14 is inside it.
        const int inGap = static_cast<int>(sheet.floated.x) + 14;
        const int farRight = static_cast<int>(sheet.floated.x + sheet.floated.w) - 20;
        EXPECT_EQ(surface.At(pixels, inGap, top), paper);
        EXPECT_NE(surface.At(pixels, farRight, top), paper);
        EXPECT_NE(surface.At(pixels, inGap, restingTop), paper);  // closed: the label rests inside
    }

    const std::string png = Images::Encode(kWidth, 2 * kThemeHeight, pixels, true, 1);
    ASSERT_FALSE(png.empty());
    std::ofstream("material-widgets.png", std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
    DarkTheme = false;
    ApplyTheme();
}

}  // namespace
}  // namespace Lorvex::UI::Material

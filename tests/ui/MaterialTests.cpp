// The material widgets as logic, with hand-fed input and time on a surface without a device: the
// editor style a text field asks for, the outline's gap behind a floated label, the switch's
// click and thumb travel, and the slider's value under the pointer.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/ui/UiHarness.h"
#include "ui/Ids.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

using Testing::UiHarness;

void ExpectColor(const Color& actual, const Color& expected) {
    EXPECT_FLOAT_EQ(actual.r, expected.r);
    EXPECT_FLOAT_EQ(actual.g, expected.g);
    EXPECT_FLOAT_EQ(actual.b, expected.b);
    EXPECT_FLOAT_EQ(actual.a, expected.a);
}

void ExpectRect(const Rect& actual, const Rect& expected) {
    EXPECT_FLOAT_EQ(actual.x, expected.x);
    EXPECT_FLOAT_EQ(actual.y, expected.y);
    EXPECT_FLOAT_EQ(actual.w, expected.w);
    EXPECT_FLOAT_EQ(actual.h, expected.h);
}

TEST(MaterialTextFieldStyle, FollowsTheOptionsAndTheTheme) {
    DarkTheme = true;
    PaletteReady = false;  // the style applies the theme itself
    struct Case {
        const char* name;
        TextFieldOptions options;
        Paddings editor;  // left, top, right, bottom as the editor gets them
        bool password;
    };
    TextFieldOptions outlinedAuto;
    outlinedAuto.paddingLeft = -1;
    TextFieldOptions filledAuto = outlinedAuto;
    filledAuto.outlined = false;
    TextFieldOptions given;
    given.paddingLeft = 3;
    given.paddingTop = 5;
    given.paddingRight = 7;
    given.paddingBottom = 9;
    given.password = true;
    TextFieldOptions multiPassword;
    multiPassword.multiLine = true;
    multiPassword.password = true;
    const Case cases[] = {
        {"outlined, automatic paddings", outlinedAuto, {16, 15, 12, 15}, false},
        {"filled, automatic paddings", filledAuto, {0, 3, 0, 3}, false},
        {"paddings given, password", given, {3, 4, 7, 8}, true},
        {"default paddings, a multi-line field is never a password field", multiPassword, {14, 13, 12, 11}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TextFieldStyle style = MakeTextFieldStyle(c.options);
        EXPECT_FLOAT_EQ(style.paddingLeft, c.editor.left);
        EXPECT_FLOAT_EQ(style.paddingTop, c.editor.top);
        EXPECT_FLOAT_EQ(style.paddingRight, c.editor.right);
        EXPECT_FLOAT_EQ(style.paddingBottom, c.editor.bottom);
        EXPECT_EQ(style.password, c.password);
        EXPECT_EQ(style.multiLine, c.options.multiLine);
        EXPECT_EQ(style.textStyle.wrap, c.options.multiLine);
    }
    EXPECT_TRUE(PaletteReady);

    TextFieldOptions options;
    options.fontSize = 17;
    options.font = 2;
    options.alignment = 1;
    TextFieldStyle style = MakeTextFieldStyle(options);
    EXPECT_FLOAT_EQ(style.textStyle.size, 17);
    EXPECT_EQ(style.textStyle.font, 2);
    EXPECT_EQ(style.textStyle.weight, 400);
    EXPECT_EQ(style.textStyle.align, TextAlign::Leading);
    EXPECT_EQ(style.textStyle.valign, VerticalAlign::Center);
    EXPECT_FALSE(style.textStyle.ellipsis);
    EXPECT_EQ(style.alignment, 1);
    EXPECT_EQ(style.maxLength, 0u);
    EXPECT_TRUE(style.placeholder.empty());
    EXPECT_FLOAT_EQ(style.cornerRadius, 0);
    ExpectColor(style.textColor, Palette.onBackground);
    ExpectColor(style.backgroundColor, {});
    ExpectColor(style.borderColor, {});
    ExpectColor(style.focusBorderColor, {0, 0, 0, 1 / 255.0f});  // above 0, so the editor draws no outline
    ExpectColor(style.caretColor, Palette.primary);
    ExpectColor(style.selectionColor, ScaleAlpha(Palette.primaryLight, 0.4f));

    options.textColor = {0.1f, 0.2f, 0.3f, 0.5f};
    ExpectColor(MakeTextFieldStyle(options).textColor, options.textColor);
    options.textColor.a = 0;
    ExpectColor(MakeTextFieldStyle(options).textColor, Palette.onBackground);
    DarkTheme = false;
    ApplyTheme();
}

TEST(MaterialNotch, OpensFourDipsEitherSideOfAMovingLabel) {
    const Notch resting = LabelNotch(30, 50, 0.01f);
    EXPECT_GE(resting.start, resting.end);
    const Notch moving = LabelNotch(30, 50, 0.02f);
    EXPECT_FLOAT_EQ(moving.start, 26);
    EXPECT_FLOAT_EQ(moving.end, 84);
}

TEST(MaterialNotch, OutlineRegionsLeaveTheGapOpen) {
    const Rect field = {10, 20, 200, 56};
    struct Case {
        const char* name;
        Notch notch;
        std::vector<Rect> regions;
    };
    const Case cases[] = {
        {"no notch: one stroke", {}, {field}},
        {"notch inside the top edge", {26, 84}, {{8, 22, 204, 56}, {8, 18, 18, 4}, {84, 18, 128, 4}}},
        {"notch from the left corner: no left strip", {8, 60}, {{8, 22, 204, 56}, {60, 18, 152, 4}}},
        {"notch past the right corner: no right strip", {100, 230}, {{8, 22, 204, 56}, {8, 18, 92, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Rect> regions = OutlineRegions(field, c.notch);
        ASSERT_EQ(regions.size(), c.regions.size());
        for (size_t i = 0; i < regions.size(); ++i) {
            ExpectRect(regions[i], c.regions[i]);
        }
    }
}

TEST(MaterialTextField, DisabledFieldBlocksHoverAndTakesNoFocus) {
    UiHarness h;
    const uint64_t below = MakeIdFromText("below");
    const uint64_t field = MakeIdFromText("field");
    const Rect rect = {0, 0, 200, 50};
    std::wstring text = L"hola";
    TextFieldOptions options;
    options.label = L"Nombre";
    Interaction under;
    const auto draw = [&](bool enabled) {
        return [&, enabled] {
            under = h.ui.Interact(below, rect);
            EXPECT_FALSE(TextField(h.ui, field, rect, text, options, enabled));
        };
    };
    h.MoveTo(50, 25);
    h.Frame(draw(false));
    h.Press();
    h.Frame(draw(false));
    h.Release();
    h.Frame(draw(false));
    EXPECT_FALSE(under.hovered);
    EXPECT_FALSE(under.clicked);
    EXPECT_NE(h.ui.focus, field);
    EXPECT_NE(h.ui.hover, field);
    EXPECT_EQ(text, L"hola");

    h.Frame(draw(true));  // the enabled field claims the hover first
    h.Press();
    h.Frame(draw(true));
    h.Release();
    h.Frame(draw(true));
    EXPECT_EQ(h.ui.focus, field);
}

TEST(MaterialSwitch, ClicksOnlyWhenPressedAndReleasedOnIt) {
    UiHarness h;
    const uint64_t id = MakeIdFromText("switch");
    const Rect rect = {0, 0, 100, 40};  // the switch itself spans x 24..76, y 4..36
    bool on = false;
    int clicks = 0;
    bool enabled = true;
    const auto draw = [&] {
        if (Switch(h.ui, id, rect, on, enabled)) {
            on = !on;
            ++clicks;
        }
    };
    const auto click = [&](float x, float y) {
        h.MoveTo(x, y);
        h.Frame(draw);
        h.Press();
        h.Frame(draw);
        h.Release();
        h.Frame(draw);
    };
    click(50, 20);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(on);
    click(10, 20);  // inside rect, beside the switch
    EXPECT_EQ(clicks, 1);
    enabled = false;
    click(50, 20);
    EXPECT_EQ(clicks, 1);
}

TEST(MaterialSwitch, FirstDrawnOnShowsTheThumbAtTheEndAndAFlipAnimates) {
    UiHarness h;
    const uint64_t id = MakeIdFromText("switch");
    bool on = true;
    h.Frame([&] { Switch(h.ui, id, {0, 0, 52, 32}, on); });
    EXPECT_FALSE(h.ui.redraw);
    EXPECT_FLOAT_EQ(h.ui.Approach(SaltedId(id, kSwitchSalt), 1, 0.2f), 1);
    on = false;
    h.Frame([&] { Switch(h.ui, id, {0, 0, 52, 32}, on); });
    EXPECT_TRUE(h.ui.redraw);

    // The thumb's travel ends where it starts and where it goes, and overshoots a little between.
    EXPECT_FLOAT_EQ(SwitchTravel(0, false), 0);
    EXPECT_FLOAT_EQ(SwitchTravel(1, false), 1);
    EXPECT_FLOAT_EQ(SwitchTravel(1, true), 1);
    EXPECT_FLOAT_EQ(SwitchTravel(0, true), 0);
    float highest = 0;
    float lowest = 1;
    for (int i = 0; i <= 100; ++i) {
        highest = std::max(highest, SwitchTravel(i / 100.0f, true));
        lowest = std::min(lowest, SwitchTravel(i / 100.0f, false));
    }
    EXPECT_GT(highest, 1.02f);
    EXPECT_LT(highest, 1.08f);
    EXPECT_LT(lowest, -0.02f);
    EXPECT_GT(lowest, -0.08f);
    EXPECT_FLOAT_EQ(SwitchTravel(-3, false), 0);  // the amount is clamped
    EXPECT_FLOAT_EQ(SwitchTravel(4, true), 1);
}

TEST(MaterialSlider, FollowsTheHeldPointerAndReportsRealChangesOnly) {
    UiHarness h;
    const uint64_t id = MakeIdFromText("slider");
    const Rect rect = {0, 0, 220, 40};  // the track runs from x 10 over 200
    float value = 2;
    bool changed = false;
    bool dragging = false;
    const auto draw = [&] { changed = Slider(h.ui, id, rect, value, 0, 10, {1, 0, 0, 1}, &dragging); };
    h.MoveTo(110, 20);
    h.Frame(draw);
    EXPECT_FALSE(changed);
    EXPECT_FALSE(dragging);
    EXPECT_FLOAT_EQ(value, 2);
    h.Press();
    h.Frame(draw);
    EXPECT_TRUE(changed);
    EXPECT_TRUE(dragging);
    EXPECT_FLOAT_EQ(value, 5);
    h.Frame(draw);  // held still
    EXPECT_FALSE(changed);
    h.MoveTo(-40, 300);  // dragged far outside: clamped
    h.Frame(draw);
    EXPECT_TRUE(changed);
    EXPECT_FLOAT_EQ(value, 0);
    h.MoveTo(900, 20);
    h.Frame(draw);
    EXPECT_FLOAT_EQ(value, 10);
    h.Release();
    h.Frame(draw);
    EXPECT_FALSE(dragging);
    h.MoveTo(60, 20);
    h.Frame(draw);
    EXPECT_FALSE(changed);
    EXPECT_FLOAT_EQ(value, 10);
}

TEST(MaterialSlider, EmptyRangeKeepsTheValueAtMinWithoutAChange) {
    UiHarness h;
    const uint64_t id = MakeIdFromText("slider");
    for (const float max : {3.0f, 1.0f}) {
        SCOPED_TRACE(max);
        float value = 7;
        bool changed = true;
        h.MoveTo(110, 20);
        h.Press();
        for (int i = 0; i < 3; ++i) {
            h.Frame([&] { changed = Slider(h.ui, id, {0, 0, 220, 40}, value, 3, max, {0, 0, 1, 1}); });
            EXPECT_FALSE(changed);
            EXPECT_FLOAT_EQ(value, 3);
            h.MoveTo(150.0f + i * 20, 20);
        }
        h.Release();
        h.Frame();
    }
}

TEST(MaterialSlider, ValueUnderThePointerFollowsTheTransform) {
    UiHarness h;
    h.Frame([&] {
        h.ui.PushTranslate(50, 0);
        h.ui.PushScale(2, 0, 0);
        // Local x 50 is the track's middle; in the window that is 50 + 50 * 2.
        EXPECT_FLOAT_EQ(SliderValueAt(h.ui, {0, 0, 100, 20}, 150, 0, 1), 0.5f);
        h.ui.PopTransform();
        h.ui.PopTransform();
    });
}

}  // namespace
}  // namespace Lorvex::UI::Material

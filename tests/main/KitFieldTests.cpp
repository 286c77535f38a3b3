// The kit's field options on their way into the material text field: the defaults every form
// relies on, every option copied, the rounded background, and typing through the kit's field.

#include <gtest/gtest.h>

#include <string>

#include "main/kit/Fields.h"
#include "tests/ui/UiHarness.h"
#include "ui/Material.h"

namespace Lorvex::Main::Kit {
namespace {

using namespace UI::Material;

TEST(KitFieldOptions, DefaultsReachTheMaterialField) {
    const FieldOptions options(L"Nombre", true);
    EXPECT_EQ(options.label, L"Nombre");
    EXPECT_TRUE(options.multiLine);

    const TextFieldOptions material = ToTextFieldOptions(options);
    const Paddings p = FieldPaddings(material);
    EXPECT_EQ(p.left, 14);
    EXPECT_EQ(p.top, 14);
    EXPECT_EQ(p.right, 12);
    EXPECT_EQ(p.bottom, 12);
    const TextFieldStyle style = MakeTextFieldStyle(material);
    EXPECT_EQ(style.paddingTop, 13);
    EXPECT_EQ(style.paddingBottom, 11);
    EXPECT_EQ(style.textStyle.size, 14);
    EXPECT_TRUE(style.multiLine);
    EXPECT_EQ(material.label, L"Nombre");
}

TEST(KitFieldOptions, EveryOptionIsCopied) {
    FieldOptions options(L"Clave", false);
    options.fontSize = 18;
    options.alignment = 1;
    options.tooltip = L"Ayuda";
    options.outlined = false;
    options.paddingLeft = -1;
    options.background = {10, 20, 30, 40};
    options.font = 2;
    options.textColor = {1, 2, 3, 4};
    options.noDecoration = true;
    options.password = true;

    const TextFieldOptions m = ToTextFieldOptions(options);
    EXPECT_EQ(m.fontSize, 18);
    EXPECT_EQ(m.alignment, 1);
    EXPECT_EQ(m.tooltip, L"Ayuda");
    EXPECT_FALSE(m.outlined);
    EXPECT_EQ(m.background.r, 10);
    EXPECT_EQ(m.background.a, 40);
    EXPECT_EQ(m.font, 2);
    EXPECT_EQ(m.textColor.b, 3);
    EXPECT_TRUE(m.noDecoration);
    EXPECT_TRUE(m.password);
    EXPECT_FALSE(m.multiLine);
    // Automatic paddings of a filled field.
    const Paddings p = FieldPaddings(m);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 4);
    EXPECT_EQ(p.right, 0);
    EXPECT_EQ(p.bottom, 4);
    EXPECT_TRUE(MakeTextFieldStyle(m).password);

    options.paddingLeft = 1;
    options.paddingTop = 2;
    options.paddingRight = 3;
    options.paddingBottom = 4;
    const Paddings own = FieldPaddings(ToTextFieldOptions(options));
    EXPECT_EQ(own.left, 1);
    EXPECT_EQ(own.top, 2);
    EXPECT_EQ(own.right, 3);
    EXPECT_EQ(own.bottom, 4);
}

TEST(KitFieldOptions, BackgroundIsRoundedAsTheKitDrawsIt) {
    FieldOptions options(L"", false);
    EXPECT_EQ(BackgroundRadius(ToTextFieldOptions(options)), 16);
    options.outlined = false;
    EXPECT_EQ(BackgroundRadius(ToTextFieldOptions(options)), 0);

    TextFieldOptions bare;
    EXPECT_EQ(BackgroundRadius(bare), 4);
    bare.outlined = false;
    EXPECT_EQ(BackgroundRadius(bare), 0);
}

TEST(KitField, ClickThenTypeEditsTheText) {
    Testing::UiHarness h;
    const FieldOptions options(L"Nombre", false);
    const Rect rect{20, 20, 200, 48};
    std::wstring text = L"Ana";
    bool edited = false;
    auto frame = [&] { h.Frame([&] { edited = Field(h.ui, 77, rect, text, options); }); };

    // Hover first: the hover is decided one frame late.
    h.MoveTo(150, 44);
    frame();
    h.Press();
    frame();
    h.Release();
    frame();
    EXPECT_EQ(h.ui.focus, 77u);

    h.input.text = L"!";
    frame();
    EXPECT_TRUE(edited);
    EXPECT_EQ(text, L"Ana!");

    // A disabled field neither focuses nor takes typing.
    std::wstring other = L"x";
    h.MoveTo(150, 120);
    h.Frame([&] { Field(h.ui, 78, {20, 100, 200, 48}, other, options, false); });
    h.Press();
    h.Frame([&] { Field(h.ui, 78, {20, 100, 200, 48}, other, options, false); });
    h.Release();
    h.input.text = L"y";
    h.Frame([&] { Field(h.ui, 78, {20, 100, 200, 48}, other, options, false); });
    EXPECT_EQ(other, L"x");
}

}  // namespace
}  // namespace Lorvex::Main::Kit

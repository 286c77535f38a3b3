// Draws one sheet of everything a form is built from, in both themes, and saves it as
// widget-sheet.png in the test's working folder to be looked at: kit fields with floated labels,
// a focused field holding a selection, buttons, chips, a switch on and off, a slider, avatars,
// an empty state and three toasts. Under Wine layers, round clips and shadows draw nothing, so
// only plain fills are checked here.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "graphics/Images.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/Fields.h"
#include "main/kit/Toasts.h"
#include "tests/main/KitSheetFrames.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Material.h"
#include "ui/TextEditor.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {
namespace {

constexpr int kHalfWidth = 640;
constexpr int kHeight = 720;
constexpr int kPhotoSide = 48;
const wchar_t* const kPhotoPath = L"widget-sheet-photo.png";
constexpr uint64_t kFocusedField = 0xF0C5;
constexpr Rect kBackedField = {330, 90, 290, 0};  // height from FieldHeight

void DrawHalf(UI::Ui& ui, Toasts& toasts, float left) {
    const UI::Material::Theme& palette = UI::Material::Palette;
    ui.graphics->FillRect({left, 0, kHalfWidth, kHeight}, palette.background);
    const float fh = FieldHeight(ui, false, 1);

    std::wstring name = L"Lía Robles";
    std::wstring age;
    Field(ui, 1, {left + 20, 20, 290, fh}, name, FieldOptions(L"Nombre *", false));
    Field(ui, 2, {left + 330, 20, 290, fh}, age, FieldOptions(L"Edad *", false));

    std::wstring description = L"Una exploradora curiosa";
    ui.focus = kFocusedField;
    ui.State<UI::EditState>(kFocusedField) = {static_cast<int32_t>(description.size()),
                                              static_cast<int32_t>(description.size() - 7)};
    Field(ui, kFocusedField, {left + 20, 90, 290, fh}, description, FieldOptions(L"Descripción", false));
    FieldOptions backed(L"Buscar", false);
    backed.background = palette.surfaceContainer;
    std::wstring search = L"dragones";
    Field(ui, 3, {left + kBackedField.x, kBackedField.y, kBackedField.w, fh}, search, backed);
    FieldOptions filled(L"Apodo", false);
    filled.outlined = false;
    filled.paddingLeft = -1;
    std::wstring nick = L"Lía";
    Field(ui, 4, {left + 20, 160, 290, 48}, nick, filled);
    std::wstring key = L"secreto";
    FieldOptions password(L"Clave", false);
    password.password = true;
    Field(ui, 5, {left + 330, 160, 290, fh}, key, password, false);

    float x = left + 20;
    const std::wstring labels[] = {L"Guardar", L"Cancelar"};
    for (int i = 0; i < 2; ++i) {
        const float w = ButtonWidth(ui, labels[i], kButtonFontSize);
        Button(ui, 10 + i, {x, 230, w, 42}, UI::Material::Icon::Plus, labels[i], palette.primary, i == 0, true);
        x += w + 12;
    }
    x += 8;
    for (const std::wstring& chip : {std::wstring(L"Fantasía"), std::wstring(L"Aventura")}) {
        const float w = ChipWidth(ui, chip, true);
        Chip(ui, {x, 240, w, 22}, chip, palette.primary, UI::Material::Icon::Heart, true);
        x += w + 8;
    }

    UI::Material::Switch(ui, 20, {left + 20, 295, 60, 40}, true);
    UI::Material::Switch(ui, 21, {left + 90, 295, 60, 40}, false);
    float level = 0.6f;
    UI::Material::Slider(ui, 22, {left + 170, 295, 300, 40}, level, 0, 1, palette.primary);

    Avatar(ui, {left + 20, 355, 56, 56}, std::nullopt, L"Lía Robles", 0, {});
    Avatar(ui, {left + 90, 355, 56, 56}, std::wstring(kPhotoPath), L"Foto", 3, palette.success);

    EmptyState(ui, 30, {left, 420, 320, 300}, UI::Material::Icon::ChatOutline, L"Aún no hay chats",
               L"Empieza una conversación para verla aquí.", L"Nuevo chat", UI::Material::Icon::Plus);
    toasts.Draw(ui, {left + 320, 400, 320, 320});
}

TEST(WidgetSheet, EverythingInBothThemes) {
    Testing::Offscreen surface(2 * kHalfWidth, kHeight);
    ASSERT_TRUE(surface.Ready());
    const std::vector<uint32_t> photo(kPhotoSide * kPhotoSide, 0xFF2060E0u);
    ASSERT_TRUE(Files::WriteBytes(kPhotoPath, Images::Encode(kPhotoSide, kPhotoSide, photo, true, 0)));
    Toasts lightToasts;
    Toasts darkToasts;
    for (Toasts* toasts : {&lightToasts, &darkToasts}) {
        toasts->Push(L"Nueva respuesta en el chat", ToastKind::Info);
        toasts->Push(L"Personaje guardado", ToastKind::Success);
        toasts->Push(L"No se pudo conectar con el servidor", ToastKind::Error);
    }
    const std::vector<uint32_t> pixels = Testing::DrawThemeHalves(
        surface, kHalfWidth,
        [&](UI::Ui& ui, bool dark, float left) { DrawHalf(ui, dark ? darkToasts : lightToasts, left); });
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(Testing::SavePng(L"widget-sheet.png", 2 * kHalfWidth, kHeight, pixels));

    // The backed field's background shows inside it, away from the rounded corners, in each theme.
    for (const bool dark : {false, true}) {
        UI::Material::DarkTheme = dark;
        UI::Material::ApplyTheme();
        const Color fill = UI::Material::Palette.surfaceContainer;
        const Color back = UI::Material::Palette.background;
        const int left = dark ? kHalfWidth : 0;
        const uint32_t inside = surface.At(pixels, left + static_cast<int>(kBackedField.x + kBackedField.w - 20),
                                           static_cast<int>(kBackedField.y + 10));
        const int expected = static_cast<int>(fill.r * 255 + 0.5f);
        if (std::abs(static_cast<int>(fill.r * 255) - static_cast<int>(back.r * 255)) > 6) {
            EXPECT_NEAR(Testing::Red(inside), expected, 6) << dark;
        }
    }
    UI::Material::DarkTheme = false;
    UI::Material::ApplyTheme();
}

}  // namespace
}  // namespace Lorvex::Main::Kit

// Draws the kit's buttons, icon buttons, chips, choice chips, avatars (initials, photo, ring), a
// section header, field captions and the backdrop off-screen in both themes and saves the
// picture as kit-widgets.png in the test's working folder, to be looked at. Under Wine layers,
// round clips and shadows draw nothing, so only plain fills and pictures are checked here.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Files.h"
#include "graphics/Images.h"
#include "main/kit/Avatar.h"
#include "main/kit/Backdrop.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Headings.h"
#include "tests/main/KitSheetFrames.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {
namespace {

constexpr int kHalfWidth = 640;
constexpr int kHeight = 480;
constexpr int kPhotoSide = 64;
const wchar_t* const kPhotoPath = L"kit-avatar-photo.png";
constexpr Rect kPhotoAvatar = {200, 300, 64, 64};

// The palette already matches the half, so the theme flag is not needed here.
void DrawHalf(UI::Ui& ui, bool /*dark*/, float left) {
    const UI::Material::Theme& palette = UI::Material::Palette;
    Graphics& graphics = *ui.graphics;
    const Rect area = {left, 0, kHalfWidth, kHeight};
    graphics.FillRect(area, palette.background);
    Backdrop(ui, area, 0, 1.4f);

    float x = left + 20;
    const std::wstring labels[] = {L"Nuevo chat", L"Importar", L"Guardar"};
    const bool filled[] = {true, false, true};
    const bool enabled[] = {true, true, false};
    for (int i = 0; i < 3; ++i) {
        const float w = ButtonWidth(ui, labels[i], kButtonFontSize);
        Button(ui, 100 + i, {x, 20, w, 42}, UI::Material::Icon::Plus, labels[i], palette.primary, filled[i],
               enabled[i]);
        x += w + 12;
    }
    Button(ui, 110, {x, 20, ButtonWidth(ui, L"", kButtonFontSize), 42}, UI::Material::Icon::Settings, L"",
           palette.secondary, false, true, 45);

    x = left + 20;
    for (const UI::Material::Icon icon : {UI::Material::Icon::Close, UI::Material::Icon::Heart,
                                          UI::Material::Icon::PersonAdd, UI::Material::Icon::Settings}) {
        IconButton(ui, 200 + static_cast<uint64_t>(icon), {x, 80, 40, 40}, icon, palette.onBackground, L"Acción",
                   icon != UI::Material::Icon::Settings, 22);
        x += 48;
    }

    x = left + 20;
    const std::pair<std::wstring, Color> chips[] = {
        {L"Fantasía", palette.primary}, {L"Aventura", palette.success}, {L"Terror", palette.danger}};
    for (size_t i = 0; i < 3; ++i) {
        const bool withIcon = i != 1;
        const float w = ChipWidth(ui, chips[i].first, withIcon);
        Chip(ui, {x, 136, w, 22}, chips[i].first, chips[i].second, UI::Material::Icon::Heart, withIcon);
        x += w + 8;
    }

    std::wstring selection = L"Medio";
    const float used = ChoiceChips(ui, 300, left + 20, 180, 300, {L"Corto", L"Medio", L"Largo", L"Muy largo", L"Libre"},
                                   selection, palette.primary);
    ChoiceChip(ui, 320, {left + 340, 180, 110, 32}, L"Desactivado", false, palette.primary, false);

    const float avatarTop = 180 + used + 30;
    Avatar(ui, {left + 20, avatarTop, 64, 64}, std::nullopt, L"Lía Robles", 0, {});
    Avatar(ui, {left + 100, avatarTop, 64, 64}, std::wstring(), L"marco", 3, {});
    Avatar(ui, {left + kPhotoAvatar.x, kPhotoAvatar.y, kPhotoAvatar.w, kPhotoAvatar.h}, std::wstring(kPhotoPath),
           L"Foto", 0, {});
    Avatar(ui, {left + 290, avatarTop, 64, 64}, std::wstring(kPhotoPath), L"Foto", 3, palette.success);
    Avatar(ui, {left + 380, avatarTop + 16, 32, 32}, std::wstring(L"no-such-photo.png"), L"¿?", 0, {});

    SectionHeader(ui, {left + 20, 390, 300, 30}, L"Personalidad", UI::Material::Icon::PersonHeart);
    FieldLabel(ui, {left + 20, 430, 200, 20}, L"Nombre", true);
    FieldLabel(ui, {left + 240, 430, 200, 20}, L"Descripción corta", false);
}

TEST(KitSheet, WidgetsInBothThemes) {
    Testing::Offscreen surface(2 * kHalfWidth, kHeight);
    ASSERT_TRUE(surface.Ready());
    const std::vector<uint32_t> photo(kPhotoSide * kPhotoSide, 0xFF20C040u);
    ASSERT_TRUE(Files::WriteBytes(kPhotoPath, Images::Encode(kPhotoSide, kPhotoSide, photo, true, 0)));

    const std::vector<uint32_t> pixels = Testing::DrawThemeHalves(surface, kHalfWidth, DrawHalf);
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(Testing::SavePng(L"kit-widgets.png", 2 * kHalfWidth, kHeight, pixels));

    // The photo avatar shows the picture, not the initials disc.
    for (const int left : {0, kHalfWidth}) {
        const uint32_t centre = surface.At(pixels, left + static_cast<int>(kPhotoAvatar.x + kPhotoAvatar.w / 2),
                                           static_cast<int>(kPhotoAvatar.y + kPhotoAvatar.h / 2));
        EXPECT_GT(Testing::Green(centre), 150) << left;
        EXPECT_LT(Testing::Red(centre), 80) << left;
    }
}

}  // namespace
}  // namespace Lorvex::Main::Kit

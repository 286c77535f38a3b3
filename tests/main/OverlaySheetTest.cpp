// Draws a confirmation dialog and a context menu over a plain screen off-screen in both themes
// and saves the picture as overlay-sheet.png in the test's working folder, to be looked at.
// Under Wine layers, round clips and shadows draw nothing, so only plain fills are checked here.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "tests/main/KitSheetFrames.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

constexpr int kHalfWidth = 900;
constexpr int kHeight = 600;
constexpr float kDialogWidth = 560;  // the dialog's window; the menu's takes the rest of the half
const Rect kMoreButton = {200, 40, 110, 40};

std::vector<ContextMenu::Item> MenuItems() {
    std::vector<ContextMenu::Item> items(5);
    items[0] = {L"Editar", UI::Material::Icon::PencilOutline};
    items[1] = {L"Duplicar", UI::Material::Icon::Copy};
    items[1].hint = L"Crea una copia con todos sus chats";
    items[2] = {L"Modo compacto", UI::Material::Icon::Tune};
    items[2].selected = true;
    items[3] = {L"Sincronizar ahora", UI::Material::Icon::CloudSync};
    items[3].enabled = false;
    items[4] = {L"Borrar personaje", UI::Material::Icon::Delete};
    items[4].danger = true;
    items[4].separator = true;
    return items;
}

struct Half {
    ConfirmDialog dialog{nullptr};
    ContextMenu menu{nullptr};
};

void DrawHalf(UI::Ui& ui, Half& half, float left) {
    const UI::Material::Theme& palette = UI::Material::Palette;
    Graphics& graphics = *ui.graphics;
    const Rect dialogWindow = {left, 0, kDialogWidth, kHeight};
    const Rect menuWindow = {left + kDialogWidth, 0, kHalfWidth - kDialogWidth, kHeight};
    const Rect more = {menuWindow.x + kMoreButton.x, kMoreButton.y, kMoreButton.w, kMoreButton.h};
    if (!half.dialog.IsVisible()) {
        half.dialog.Open(L"¿Borrar a Lía?",
                         L"Se borrarán también sus 12 chats y sus recuerdos. Esta acción no se puede deshacer.",
                         L"Borrar", true, {}, UI::Material::Icon::Delete);
        half.menu.Open(more, MenuItems(), true, false);
    }

    graphics.FillRect({left, 0, kHalfWidth, kHeight}, palette.background);
    TextStyle text = Kit::KitStyle(15, 400);
    text.wrap = true;
    for (int row = 0; row < 6; ++row) {
        graphics.DrawText(L"Una pantalla cualquiera bajo el diálogo, con su texto y sus tarjetas.",
                          {left + 30, 30.0f + 90 * row, kDialogWidth - 60, 60}, palette.onBackground, text);
    }
    ui.hitSuspended = true;
    Kit::Button(ui, 9, more, UI::Material::Icon::DotsVertical, L"Más", palette.primary, false, true);
    ui.hitSuspended = false;
    half.dialog.Draw(ui, dialogWindow);
    half.menu.Draw(ui, menuWindow);
}

TEST(OverlaySheet, DialogAndMenuInBothThemes) {
    Testing::Offscreen surface(2 * kHalfWidth, kHeight);
    ASSERT_TRUE(surface.Ready());
    Half light;
    Half dark;
    const std::vector<uint32_t> pixels = Testing::DrawThemeHalves(
        surface, kHalfWidth, [&](UI::Ui& ui, bool isDark, float left) { DrawHalf(ui, isDark ? dark : light, left); });
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(Testing::SavePng(L"overlay-sheet.png", 2 * kHalfWidth, kHeight, pixels));

    // The panels are filled in the raised surface; the scrim darkens what lies beside the panel.
    for (const bool isDark : {false, true}) {
        Half& half = isDark ? dark : light;
        const int left = isDark ? kHalfWidth : 0;
        UI::Material::DarkTheme = isDark;
        UI::Material::ApplyTheme();
        const uint32_t raised = UI::Material::Palette.surfaceRaised.ToArgb();
        const uint32_t background = UI::Material::Palette.background.ToArgb();
        UI::Material::DarkTheme = false;
        UI::Material::ApplyTheme();

        ASSERT_TRUE(half.dialog.open);
        UI::Ui ui(surface.graphics);
        const float width = half.dialog.Width({0, 0, kDialogWidth, kHeight});
        const Dialog::Geometry g = Dialog::Layout({static_cast<float>(left), 0, kDialogWidth, kHeight}, width,
                                                  half.dialog.ContentHeight(ui, width - 48), true);
        EXPECT_EQ(surface.At(pixels, static_cast<int>(g.footer.x + 10), static_cast<int>(g.footer.y + 36)), raised)
            << isDark;
        const uint32_t beside = surface.At(pixels, left + 5, kHeight - 5);
        EXPECT_LT(Testing::Red(beside) + Testing::Green(beside) + Testing::Blue(beside),
                  Testing::Red(background) + Testing::Green(background) + Testing::Blue(background))
            << isDark;

        const Rect menu = half.menu.Placement({left + kDialogWidth, 0, kHalfWidth - kDialogWidth, kHeight});
        EXPECT_EQ(menu.x + menu.w, left + kDialogWidth + kMoreButton.x + kMoreButton.w);
        EXPECT_EQ(surface.At(pixels, static_cast<int>(menu.x + menu.w - 16), static_cast<int>(menu.y + 26)), raised)
            << isDark;
    }
}

}  // namespace
}  // namespace Lorvex::Main

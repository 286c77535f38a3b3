// Draws the kit's toasts, a rich text, a spinner, typing dots and an empty state off-screen in
// both themes and saves the picture as kit-sheet.png in the test's working folder, to be looked
// at. Under Wine layers, round clips and shadows draw nothing, so only plain shapes and text are
// checked here.

#include <gtest/gtest.h>

#include <d2d1_1.h>
#include <dwrite.h>

#include <string>
#include <vector>

#include "main/kit/EmptyState.h"
#include "main/kit/Progress.h"
#include "main/kit/RichText.h"
#include "main/kit/Toasts.h"
#include "tests/main/KitSheetFrames.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {
namespace {

constexpr int kHalfWidth = 700;
constexpr int kHeight = 640;

// One theme in the left or right half: two frames, so the toasts are placed and fully entered.
void DrawHalf(Testing::Offscreen& surface, UI::Ui& ui, Toasts& toasts, float left) {
    const UI::Material::Theme& palette = UI::Material::Palette;
    const Rect area = {left, 0, kHalfWidth, kHeight};
    Graphics& graphics = surface.graphics;
    graphics.FillRect(area, palette.background);

    const RichText rich(L"**Lía** sonríe. *Te estaba esperando*, dice, y señala el `mapa` ~~viejo~~ nuevo.\n\n",
                        palette.onBackgroundMuted, palette.primary);
    TextStyle style;
    style.size = 15;
    style.wrap = true;
    ComPtr<IDWriteTextLayout> layout = graphics.RichTextLayout(rich.text, style, rich.spans, 420, 200, true);
    ComPtr<ID2D1SolidColorBrush> brush;
    const Color ink = palette.onBackground;
    if (layout &&
        SUCCEEDED(graphics.Context()->CreateSolidColorBrush(D2D1::ColorF(ink.r, ink.g, ink.b, ink.a), brush.Put()))) {
        graphics.Context()->DrawTextLayout(D2D1::Point2F(left + 30, 24), layout.Get(), brush.Get());
    }
    Spinner(ui, left + 520, 50, 16, palette.primary, 3);
    TypingDots(ui, left + 580, 50, palette.secondary, 8);
    EmptyState(ui, 7, {left, 90, kHalfWidth, 260}, UI::Material::Icon::ChatOutline, L"Aún no hay chats",
               L"Empieza una conversación con un personaje para verla aquí.", L"Nuevo chat", UI::Material::Icon::Plus);
    toasts.Draw(ui, area);
}

TEST(KitSheet, ToastsRichTextAndProgressInBothThemes) {
    Testing::Offscreen surface(2 * kHalfWidth, kHeight);
    ASSERT_TRUE(surface.Ready());
    Toasts lightToasts;
    Toasts darkToasts;
    for (Toasts* toasts : {&lightToasts, &darkToasts}) {
        toasts->Push(L"Nueva respuesta en el chat", ToastKind::Info);
        toasts->Push(L"Personaje guardado", ToastKind::Success);
        toasts->Push(
            L"No se pudo conectar con el servidor: la solicitud tardó demasiado y se canceló. Vuelve a "
            L"intentarlo más tarde.",
            ToastKind::Error);
    }
    const std::vector<uint32_t> pixels = Testing::DrawThemeHalves(
        surface, kHalfWidth,
        [&](UI::Ui& ui, bool dark, float left) { DrawHalf(surface, ui, dark ? darkToasts : lightToasts, left); });
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(Testing::SavePng(L"kit-sheet.png", 2 * kHalfWidth, kHeight, pixels));

    // The newest toast (the error) lies lowest and is the widest: its raised surface differs
    // from the background beside it in both halves.
    for (const int left : {0, kHalfWidth}) {
        const uint32_t inside = surface.At(pixels, left + kHalfWidth / 2, kHeight - 24 - 10);
        const uint32_t outside = surface.At(pixels, left + 20, kHeight - 24 - 10);
        EXPECT_NE(inside, outside) << left;
    }
}

}  // namespace
}  // namespace Lorvex::Main::Kit

// Section headings and field captions.

#include "main/kit/Headings.h"

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr float kTile = 26;
constexpr float kTitleIndent = 36;

}  // namespace

void SectionHeader(UI::Ui& ui, const Rect& rect, const std::wstring& title, UI::Material::Icon icon) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    const float cy = rect.y + rect.h / 2;
    graphics.FillRoundRect({rect.x, cy - kTile / 2, kTile, kTile}, 8, Faded(palette.primary, 0.16f));
    UI::Material::DrawIcon(graphics, icon, {rect.x + 5.5f, cy - 7.5f, 15, 15}, palette.primary);
    const float width = rect.w - kTitleIndent;
    if (title.empty() || palette.onBackground.a <= 0 || width <= 0) {
        return;
    }
    TextStyle style = KitStyle(15, 600);
    style.valign = VerticalAlign::Center;
    graphics.DrawText(title, {rect.x + kTitleIndent, rect.y, width, rect.h}, palette.onBackground, style);
}

void FieldLabel(UI::Ui& ui, const Rect& rect, const std::wstring& text, bool required) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    TextStyle style = KitStyle(12.5f, 500);
    style.valign = VerticalAlign::Center;
    graphics.DrawText(text, rect, palette.onBackgroundMuted, style);
    if (!required) {
        return;
    }
    const float width = graphics.MeasureText(text, style, rect.w).width;
    TextStyle star = KitStyle(12.5f, 700);
    star.valign = VerticalAlign::Center;
    graphics.DrawText(L" *", {rect.x + width, rect.y, 20, rect.h}, palette.primary, star);
}

}  // namespace Lorvex::Main::Kit

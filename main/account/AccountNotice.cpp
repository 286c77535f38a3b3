#include "main/account/AccountNotice.h"

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"
#include "ui/Theme.h"

namespace Lorvex::Main::AccountNotice {
namespace {

constexpr float kTextLeft = 36;
constexpr float kTextRightRoom = 46;  // the icon's column and the band's inner margin
constexpr float kTextTop = 10;
constexpr float kPadding = 20;  // above and below the text inside the band

TextStyle Style() {
    TextStyle style = Kit::KitStyle(13, 400);
    style.wrap = true;
    return style;
}

}  // namespace

float Height(UI::Ui& ui, const std::wstring& text, float width) {
    if (text.empty()) {
        return 0;
    }
    return ui.graphics->MeasureText(text, Style(), width - kTextRightRoom).height + kPadding + kGapBelow;
}

void Draw(UI::Ui& ui, float x, float y, float width, const std::wstring& text, UI::Material::Icon icon,
          const Color& tone) {
    const float height = Height(ui, text, width);
    if (height <= 0) {
        return;
    }
    Graphics& graphics = *ui.graphics;
    const float band = height - kGapBelow;
    graphics.FillRoundRect({x, y, width, band}, 10, Kit::Faded(tone, 0.12f));
    UI::Material::DrawIcon(graphics, icon, {x + 18 - 8.5f, y + 20 - 8.5f, 17, 17}, tone);
    graphics.DrawText(text, {x + kTextLeft, y + kTextTop, width - kTextRightRoom, band - kPadding},
                      Kit::KitPalette().onBackground, Style());
}

}  // namespace Lorvex::Main::AccountNotice

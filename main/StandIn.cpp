#include "main/StandIn.h"

#include "main/kit/KitColor.h"

namespace Lorvex::Main {

void DrawStandIn(UI::Ui& ui, const Rect& content, const std::wstring& title) {
    TextStyle style = Kit::KitStyle(22, 600);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(title, content, Kit::Faded(Kit::KitPalette().onBackground, 0.5f), style);
}

}  // namespace Lorvex::Main

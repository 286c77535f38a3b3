#include "main/chat/ChatScreen.h"

#include "main/kit/KitColor.h"

namespace Lorvex::Main {

// The top bar's actions are still to come: it shows who the chat is with.
void ChatScreen::DrawTopBar(UI::Ui& ui, const Rect& rect) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    ui.graphics->FillRect(rect, palette.background);
    ui.graphics->FillRect({rect.x, rect.y + rect.h - 1.0f, rect.w, 1.0f}, palette.outlineSubtle);
    TextStyle style = Kit::KitStyle(16, 600);
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(Title(), {rect.x + 24.0f, rect.y, rect.w - 48.0f, rect.h}, palette.onBackground, style);
}

}  // namespace Lorvex::Main

#include "main/chat/ChatScreen.h"

#include "main/kit/KitColor.h"

namespace Lorvex::Main {

// The conversation list is still to come: the column keeps its place and colours so the rest of
// the screen lays out as it will.
void ChatScreen::DrawSidebar(UI::Ui& ui, const Rect& rect) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    ui.graphics->FillRect(rect, palette.chrome);
    ui.graphics->FillRect({rect.x + rect.w - 1.0f, rect.y, 1.0f, rect.h}, palette.outlineSubtle);
}

}  // namespace Lorvex::Main

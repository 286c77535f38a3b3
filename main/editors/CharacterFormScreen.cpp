#include "main/editors/CharacterFormScreen.h"

#include "main/StandIn.h"

namespace Lorvex::Main {

void CharacterFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void CharacterFormScreen::OnShow() {
    shownAt = -1.0;
}

std::wstring CharacterFormScreen::Title() {
    return L"Nuevo personaje";
}

}  // namespace Lorvex::Main

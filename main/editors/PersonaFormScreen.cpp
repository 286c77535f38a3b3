#include "main/editors/PersonaFormScreen.h"

#include "main/StandIn.h"

namespace Lorvex::Main {

void PersonaFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void PersonaFormScreen::OnShow() {
    shownAt = -1.0;
}

std::wstring PersonaFormScreen::Title() {
    return L"Nuevo usuario";
}

}  // namespace Lorvex::Main

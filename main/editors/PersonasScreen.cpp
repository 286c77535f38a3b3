#include "main/editors/PersonasScreen.h"

#include "main/MainWindow.h"
#include "main/StandIn.h"

namespace Lorvex::Main {

void PersonasScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void PersonasScreen::OnShow() {
    shownAt = owner->ui.time;
}

std::wstring PersonasScreen::Title() {
    return L"Usuarios";
}

}  // namespace Lorvex::Main

#include "main/home/HomeScreen.h"

#include "main/MainWindow.h"
#include "main/StandIn.h"

namespace Lorvex::Main {

void HomeScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void HomeScreen::OnShow() {
    shownAt = owner->ui.time;
}

std::wstring HomeScreen::Title() {
    return L"Inicio";
}

}  // namespace Lorvex::Main

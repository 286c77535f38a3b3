#include "main/editors/PersonaFormScreen.h"

#include "main/StandIn.h"

namespace Lorvex::Main {

void PersonaFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    if (shownAt < 0) {
        shownAt = ui.time;
    }
    DrawStandIn(ui, content, Title());
}

void PersonaFormScreen::OnShow() {
    shownAt = -1.0;
}

std::wstring PersonaFormScreen::Title() {
    if (edited) {
        return L"Editar usuario";
    }
    return welcome ? L"Bienvenida" : L"Nuevo usuario";
}

void PersonaFormScreen::Reset(bool welcomeMode) {
    edited.reset();
    welcome = welcomeMode;
}

void PersonaFormScreen::Load(const std::shared_ptr<Persona>& persona) {
    Reset(false);
    edited = persona;
}

}  // namespace Lorvex::Main

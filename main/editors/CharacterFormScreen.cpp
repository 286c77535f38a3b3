#include "main/editors/CharacterFormScreen.h"

#include "main/MainWindow.h"
#include "main/StandIn.h"

namespace Lorvex::Main {

void CharacterFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    DrawStandIn(ui, content, Title());
}

void CharacterFormScreen::OnShow() {
    shownAt = owner->ui.time;
}

std::wstring CharacterFormScreen::Title() {
    if (step == EditCharacter) {
        return L"Editar personaje";
    }
    if (step == DuoSecond) {
        return L"Nuevo dúo · paso 2 de 2";
    }
    return L"Nuevo personaje";
}

int32_t CharacterFormScreen::ScreenToReturnTo() const {
    return owner->currentScreen == kCharacterFormScreen ? kHomeScreen : owner->currentScreen;
}

void CharacterFormScreen::StartNew() {
    step = NewCharacter;
    edited.reset();
    returnScreen = ScreenToReturnTo();
    stepShownAt = -10.0;
}

void CharacterFormScreen::StartEdit(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    step = EditCharacter;
    edited = character;
    returnScreen = ScreenToReturnTo();
    stepShownAt = -10.0;
}

}  // namespace Lorvex::Main

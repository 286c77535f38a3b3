#include "main/account/AccountDialog.h"

namespace Lorvex::Main {

void AccountDialog::Open() {
    title = L"Cuenta en la nube";
    subtitle = L"Guarda tus personajes, personas y chats en tu cuenta";
    headerIcon = static_cast<UI::Material::Icon>(29);
    accent = {0, 0, 0, 0};
    Dialog::Open();
}

float AccountDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void AccountDialog::Body(UI::Ui& ui, const Rect& body) {
}

void AccountDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

#include "main/account/ProfileDialog.h"

#include "services/CloudSync.h"

namespace Lorvex::Main {

void ProfileDialog::Open(bool create) {
    createMode = create;
    title = create ? L"Crea tu perfil" : L"Tu perfil";
    subtitle = Services::CloudSync::Instance().account.email;
    headerIcon = static_cast<UI::Material::Icon>(1);
    accent = {0, 0, 0, 0};
    Dialog::Open();
}

float ProfileDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void ProfileDialog::Body(UI::Ui& ui, const Rect& body) {
}

void ProfileDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

#include "main/account/AccountDialog.h"

namespace Lorvex::Main {

void AccountDialog::Open() {
    title = L"AccountDialog";
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

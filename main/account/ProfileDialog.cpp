#include "main/account/ProfileDialog.h"

namespace Lorvex::Main {

void ProfileDialog::Open() {
    title = L"ProfileDialog";
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

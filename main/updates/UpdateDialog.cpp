#include "main/updates/UpdateDialog.h"

namespace Lorvex::Main {

void UpdateDialog::Open() {
    title = L"UpdateDialog";
    Dialog::Open();
}

float UpdateDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void UpdateDialog::Body(UI::Ui& ui, const Rect& body) {
}

void UpdateDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

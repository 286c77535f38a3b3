#include "main/dialogs/SettingsDialog.h"

namespace Lorvex::Main {

void SettingsDialog::Open() {
    title = L"SettingsDialog";
    Dialog::Open();
}

float SettingsDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void SettingsDialog::Body(UI::Ui& ui, const Rect& body) {
}

void SettingsDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

#include "main/editors/KnownCharactersDialog.h"

namespace Lorvex::Main {

void KnownCharactersDialog::Open() {
    title = L"KnownCharactersDialog";
    Dialog::Open();
}

float KnownCharactersDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void KnownCharactersDialog::Body(UI::Ui& ui, const Rect& body) {
}

void KnownCharactersDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

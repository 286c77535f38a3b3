#include "main/editors/KnownCharacterEditor.h"

namespace Lorvex::Main {

void KnownCharacterEditor::Open() {
    title = L"KnownCharacterEditor";
    Dialog::Open();
}

float KnownCharacterEditor::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void KnownCharacterEditor::Body(UI::Ui& ui, const Rect& body) {
}

void KnownCharacterEditor::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

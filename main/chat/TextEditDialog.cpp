#include "main/chat/TextEditDialog.h"

namespace Lorvex::Main {

float TextEditDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void TextEditDialog::Body(UI::Ui& ui, const Rect& body) {
}

void TextEditDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

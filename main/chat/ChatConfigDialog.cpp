#include "main/chat/ChatConfigDialog.h"

namespace Lorvex::Main {

void ChatConfigDialog::Open() {
    title = L"ChatConfigDialog";
    Dialog::Open();
}

float ChatConfigDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void ChatConfigDialog::Body(UI::Ui& ui, const Rect& body) {
}

void ChatConfigDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

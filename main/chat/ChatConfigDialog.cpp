#include "main/chat/ChatConfigDialog.h"

#include "main/MainWindow.h"
#include "main/kit/KitColor.h"
#include "services/AppState.h"

namespace Lorvex::Main {

void ChatConfigDialog::Open() {
    const Services::AppState& state = Services::AppState::Instance();
    configCharacter = state.currentCharacter;
    if (!configCharacter || !state.currentChat) {
        owner->toasts.Push(L"No hay ningún chat abierto.", Kit::ToastKind::Info);
        return;
    }
    title = L"Configuración del chat";
    subtitle = L"Chat con " + configCharacter->name;
    headerIcon = static_cast<UI::Material::Icon>(87);
    accent = Kit::KitPalette().secondary;
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

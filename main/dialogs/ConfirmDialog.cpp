#include "main/dialogs/ConfirmDialog.h"

#include <utility>

namespace Lorvex::Main {

void ConfirmDialog::Open(const std::wstring& titleText, const std::wstring& messageText, const std::wstring& label,
                         bool isDanger, std::function<void()> action, UI::Material::Icon icon) {
    title = titleText;
    subtitle.clear();
    message = messageText;
    confirmLabel = label;
    danger = isDanger;
    onConfirm = std::move(action);
    headerIcon = icon;
    accent = {0, 0, 0, 0};
    Dialog::Open();
}

// Stand-ins until the dialog's drawing lands.
float ConfirmDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 40;
}

void ConfirmDialog::Body(UI::Ui& ui, const Rect& body) {
}

void ConfirmDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

void ConfirmDialog::OnSubmit() {
    std::function<void()> action = onConfirm;
    Close();
    if (action) {
        action();
    }
}

}  // namespace Lorvex::Main

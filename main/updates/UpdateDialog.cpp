#include "main/updates/UpdateDialog.h"

#include <string>

#include "App/Config.h"

namespace Lorvex::Main {

void UpdateDialog::Open() {
    headerIcon = static_cast<UI::Material::Icon>(88);
    accent = {0, 0, 0, 0};
    title = L"Actualizaciones";
    subtitle = L"Tienes Lorvex " + std::wstring(Config::kVersion);
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

#include "main/dialogs/SettingsDialog.h"

#include "domain/Settings.h"

namespace Lorvex::Main {

void SettingsDialog::Open() {
    title = L"Ajustes";
    subtitle = L"Personaliza Lorvex";
    headerIcon = static_cast<UI::Material::Icon>(35);
    accent = {0, 0, 0, 0};
    const Settings& settings = Settings::Instance();
    temperature = static_cast<float>(settings.temperature);
    maxTokens = static_cast<float>(settings.max_tokens);
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

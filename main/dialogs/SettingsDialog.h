#pragma once
// The settings dialog ("Ajustes"). For now a stand-in with its header and the two slider copies
// it opens with. UI thread only; nothing fails.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class SettingsDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 600;

    explicit SettingsDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Opened by the title bar's settings button: the header, and the sliders' copies from the
    // settings.
    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    float temperature = 0.7f;  // the sliders' working values
    float maxTokens = 1000;
};

}  // namespace Lorvex::Main

#pragma once
// The settings dialog. For now a stand-in that shows its title. UI thread only.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class SettingsDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 600;

    explicit SettingsDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
};

}  // namespace Lorvex::Main

#pragma once
// The update dialog. For now a stand-in with the header for a version that knows of nothing
// newer. Opened by the main window when a new version was found, and by the settings dialog.
// UI thread only; nothing fails.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class UpdateDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 640;

    explicit UpdateDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
};

}  // namespace Lorvex::Main

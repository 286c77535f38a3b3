#pragma once
// The cloud account dialog: sign in or create an account. For now a stand-in with its header.
// Opened by the title bar's account button while no account is signed in. UI thread only.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class AccountDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 480;

    explicit AccountDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
};

}  // namespace Lorvex::Main

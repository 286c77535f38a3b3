#pragma once
// The profile dialog of the signed-in account. For now a stand-in with its header. Opened by the
// title bar's account button, and in create mode after a sign-up or a sign-in of an account
// without a name. UI thread only; nothing fails.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class ProfileDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 540;

    explicit ProfileDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // createMode: the account has no profile yet.
    void Open(bool createMode);
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    bool createMode = false;
};

}  // namespace Lorvex::Main

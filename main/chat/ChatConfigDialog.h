#pragma once
// The chat configuration dialog: who the user is in the open chat and how the character sees
// that persona. For now a stand-in with its header. Without an open character and chat it does
// not open and says so in a toast. UI thread only.

#include <memory>

#include "domain/Records.h"
#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class ChatConfigDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 600;

    explicit ChatConfigDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    std::shared_ptr<Character> configCharacter;  // the open character when it was opened
};

}  // namespace Lorvex::Main

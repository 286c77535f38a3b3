#pragma once
// The dialog of the people a character or persona knows. For now a stand-in that shows its title. UI thread only.

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class KnownCharactersDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 620;

    explicit KnownCharactersDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
};

}  // namespace Lorvex::Main

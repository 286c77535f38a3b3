#pragma once
// The dialog that asks before one action (deleting a character, its chats, a persona, a known
// person, messages from a point on). The action runs only when the user confirms, after the
// dialog has closed, so it may open another dialog or this one again. UI thread only.

#include <functional>
#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class ConfirmDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 460;

    explicit ConfirmDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Sets the texts, the action (replacing the previous one) and the header icon; a destructive
    // confirmation takes the palette's danger colour as its accent.
    void Open(const std::wstring& title, const std::wstring& message, const std::wstring& confirmLabel, bool danger,
              std::function<void()> onConfirm, UI::Material::Icon icon);

    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Closes the dialog, then runs the action.
    void OnSubmit() override;

    std::wstring message;
    std::wstring confirmLabel;
    bool danger = false;
    std::function<void()> onConfirm;
};

}  // namespace Lorvex::Main

#pragma once
// The dialog that edits one long text and hands it to the caller. It has no open operation of its
// own: the caller sets the header and the fields below, then calls Dialog::Open. For now a
// stand-in with its header. UI thread only; nothing fails.

#include <functional>
#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class TextEditDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 720;

    explicit TextEditDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    std::wstring editText;  // the text edited; the caller puts the current text in
    std::wstring note;      // shown under the editor; empty for none
    std::function<void(const std::wstring&)> onSave;
    bool focusPending = false;  // give the editor the keyboard at the next draw
};

}  // namespace Lorvex::Main

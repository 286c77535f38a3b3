#pragma once
// The dialog that edits one long text and hands it to the caller (the chat screen edits a message
// with it). It has no open operation of its own: the caller sets the header (title, subtitle,
// icon, accent) and the fields below, then calls Dialog::Open. "Guardar" and Ctrl+Enter close it
// and then call onSave with the text as typed, untrimmed, so the callback may open another
// dialog; a text of nothing but blanks cannot be saved. UI thread only; nothing fails.

#include <functional>
#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class TextEditDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 720;
    static constexpr float kEditorHeight = 288;

    explicit TextEditDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // 300, and 30 more for a note.
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Closes, then hands the text to onSave; nothing while the text is blank.
    void OnSubmit() override;

    // Whether the text holds more than blanks.
    bool CanSave() const;
    uint64_t EditorId() const;

    std::wstring editText;  // the text edited; the caller puts the current text in
    std::wstring note;      // shown under the editor; empty for none
    std::function<void(const std::wstring&)> onSave;
    bool focusPending = false;  // give the editor the keyboard at the next draw
};

}  // namespace Lorvex::Main

#pragma once
// The editor of one known person: photo, name, age, relationship, description, importance,
// personality traits as lines (typed, or pasted as a copied list), and the name shown in the
// speech bubble. It edits its own copy and hands the finished record to its opener's callback
// after closing; it never writes a file (the photo stays the picked file until the owner's save
// copies it). UI thread only. A blank name is refused with an error toast and keeps the editor
// open; an empty clipboard is announced with a toast and changes nothing.

#include <functional>
#include <optional>
#include <string>

#include "domain/Records.h"
#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class KnownCharacterEditor : public Dialog {
public:
    static constexpr float kPanelWidth = 560;

    explicit KnownCharacterEditor(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // existing: the record to edit, or nothing for a new one; ownerLabel: whose person it is.
    void Open(const std::optional<KnownCharacter>& existing, std::function<void(const KnownCharacter&)> onSave,
              const std::wstring& ownerLabel);
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Refuses a blank name; otherwise closes and hands the finished record on.
    void OnSubmit() override;

    // "Pegar lista": the clipboard's traits after the lines that are not blank.
    void PasteList();
    // The id of the name field.
    uint64_t NameFieldId() const;
    // The record as it is handed on: texts and traits trimmed, blank traits dropped; none when
    // the name is blank.
    static std::optional<KnownCharacter> Finished(const KnownCharacter& person);

    KnownCharacter record;  // the copy being edited
    bool editing = false;   // an existing record was given
    bool nameError = false;
    std::function<void(const KnownCharacter&)> onSave;

private:
    // The avatar, its captions and the photo buttons, from top.
    void PhotoRow(UI::Ui& ui, float x, float top);
    void ChoosePhoto();
    // The trait lines and their buttons from top; returns where the button row below them starts.
    float TraitLines(UI::Ui& ui, float x, float top, float width, float fieldHeight);
};

}  // namespace Lorvex::Main

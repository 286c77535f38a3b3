#pragma once
// The chat configuration dialog ("Configuración del chat"): which persona the user plays in the
// open chat, and how the open character sees that persona (its own traits and personality for
// it, kept in the character, never in the persona). The dialog edits a copy of the character's
// adjustments; switching personas keeps each one's edits in that copy, and only "Guardar" writes
// the copy into the character and the chosen persona into the chat.
// UI thread only. Without an open character and chat it does not open and says so in a toast; a
// save whose character, chat or persona went away meanwhile (a pull from the cloud) writes
// nothing and says so in a toast.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "domain/Records.h"
#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class ChatConfigDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 600;
    static constexpr float kRowStep = 64;
    static constexpr float kRowHeight = 58;

    explicit ChatConfigDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Takes the open character, a copy of its adjustments and the open persona.
    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Keeps the edits in the copy, writes the copy into the character, makes the chosen persona
    // the chat's and closes.
    void OnSubmit() override;

    // The selected persona's texts as this character sees it: its own, replaced by what the
    // copy's entry for it sets. Nothing without a selected persona.
    void LoadFields();
    // The texts into the copy: an entry with the texts that differ from the persona's own, or no
    // entry when none does. Nothing without a selected persona.
    void StoreFields();
    // Whether a text differs from the selected persona's own; false without one.
    bool Adjusted() const;
    // Keeps the current persona's edits in the copy and loads the other's; nothing when it is
    // already the selected one.
    void Select(const std::shared_ptr<Persona>& persona);
    // The line under a persona's name: age and gender, and whether the copy adjusts it.
    std::wstring RowDetail(const Persona& persona) const;

    // Row 0 is "Sin persona", row i + 1 the application's i-th persona.
    uint64_t RowId(size_t row) const;
    uint64_t TraitsId() const;
    uint64_t PersonalityId() const;
    uint64_t ResetId() const;

    std::shared_ptr<Character> configCharacter;  // the open character when it was opened
    std::shared_ptr<Persona> selectedPersona;    // null: no persona
    std::map<std::wstring, PersonaOverride> overrides;
    std::wstring traitsText;
    std::wstring personalityText;

private:
    void DrawPersonaRow(UI::Ui& ui, const Rect& rect, size_t row, const std::shared_ptr<Persona>& persona);
    // The adjustments of the selected persona from top; the section under the rows.
    void DrawAdjustments(UI::Ui& ui, float x, float top, float width);
    // Whether the save may write: the character still open and held, a chat open, the chosen
    // persona still there. Says what is missing in a toast otherwise.
    bool StillValid();
};

}  // namespace Lorvex::Main

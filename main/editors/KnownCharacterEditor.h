#pragma once
// The editor of one known person: it edits a copy and hands the finished record to its opener's
// callback, never writing anything itself. For now a stand-in with its header.
// UI thread only; nothing fails.

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

    KnownCharacter record;  // the copy being edited
    bool editing = false;   // an existing record was given
    bool nameError = false;
    std::function<void(const KnownCharacter&)> onSave;
};

}  // namespace Lorvex::Main

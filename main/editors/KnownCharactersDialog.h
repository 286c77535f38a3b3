#pragma once
// The dialog of the people a character knows and, from a chat, of those the user's persona
// knows: one tab per list, each row opening the known-character editor or the confirmation that
// removes it. The dialog works on copies of the lists: the editor's and the confirmation's
// callbacks change a copy by group and row index, checked again when they run, and the records
// change only in the openers' callbacks, which "Guardar" calls after the dialog has closed.
// UI thread only; nothing fails (a callback whose row or group is gone writes nothing).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class KnownCharactersDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 620;
    // The empty state's height, the tabs' and the rows' (each row is 8 shorter than its step).
    static constexpr float kEmptyHeight = 268;
    static constexpr float kTabsHeight = 48;
    static constexpr float kRowStep = 72;
    static constexpr float kRowHeight = 64;

    explicit KnownCharactersDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    using SaveList = std::function<void(const std::vector<KnownCharacter>&)>;

    // One tab: whose list it is, the edited copy and where it goes on saving.
    struct Group {
        std::wstring ownerLabel;
        std::vector<KnownCharacter> list;
        SaveList onSave;  // may be empty
    };

    // Two tabs, the second (the user's) only when its callback is set. Whatever a former opening
    // left is dropped.
    void Open(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave,
              const std::wstring& userName, std::vector<KnownCharacter> userList, SaveList userOnSave);
    // One tab.
    void OpenOne(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave);

    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Closes the dialog, then hands each group's list to its callback, in group order.
    void OnSubmit() override;

    // "De <first>" and, with a second group, "Tuyos (<second>)".
    std::vector<std::wstring> GroupTabs() const;
    // The current group, or the last one when it lies beyond; 0 without groups.
    size_t ShownGroup() const;

    // The editor for a new person of the group; its record is appended while the group exists.
    void AddTo(size_t group);
    // The editor with a copy of the row; the edited record replaces the row while it exists.
    void EditRow(size_t group, size_t row);
    // The confirmation that removes the row while it exists.
    void AskRemove(size_t group, size_t row);

    // The copies' changes the callbacks make; each checks its indices and reports whether it wrote.
    bool Append(size_t group, const KnownCharacter& person);
    bool Replace(size_t group, size_t row, const KnownCharacter& person);
    bool Erase(size_t group, size_t row);

    std::vector<Group> groups;
    uint64_t currentGroup = 0;
    std::wstring selectedTab;  // the tab chips' selection
};

}  // namespace Lorvex::Main

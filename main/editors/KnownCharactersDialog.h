#pragma once
// The dialog of the people a character knows and, from a chat, of those the user's persona
// knows: one tab per list, each list an edited copy handed to its opener's callback on saving.
// For now a stand-in with its header. UI thread only; nothing fails.

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

    explicit KnownCharactersDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    using SaveList = std::function<void(const std::vector<KnownCharacter>&)>;

    // One tab: whose list it is, the edited copy and where it goes on saving.
    struct Group {
        std::wstring ownerLabel;
        std::vector<KnownCharacter> list;
        SaveList onSave;  // may be empty
    };

    // Two tabs, the second (the user's) only when its callback is set.
    void Open(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave,
              const std::wstring& userName, std::vector<KnownCharacter> userList, SaveList userOnSave);
    // One tab.
    void OpenOne(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave);
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    std::vector<Group> groups;
    uint64_t currentGroup = 0;
};

}  // namespace Lorvex::Main

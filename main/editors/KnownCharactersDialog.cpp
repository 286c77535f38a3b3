#include "main/editors/KnownCharactersDialog.h"

#include <utility>

#include "main/kit/KitColor.h"

namespace Lorvex::Main {

void KnownCharactersDialog::Open(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave,
                                 const std::wstring& userName, std::vector<KnownCharacter> userList,
                                 SaveList userOnSave) {
    title = L"Personajes conocidos";
    headerIcon = static_cast<UI::Material::Icon>(3);
    accent = Kit::KitPalette().secondary;
    groups.clear();
    groups.push_back({ownerName, std::move(list), std::move(onSave)});
    if (userOnSave) {
        groups.push_back({userName, std::move(userList), std::move(userOnSave)});
    }
    currentGroup = 0;
    subtitle = L"La gente que " + ownerName + L" conoce y tiene presente";
    Dialog::Open();
}

void KnownCharactersDialog::OpenOne(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave) {
    Open(ownerName, std::move(list), std::move(onSave), L"", {}, nullptr);
}

float KnownCharactersDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void KnownCharactersDialog::Body(UI::Ui& ui, const Rect& body) {
}

void KnownCharactersDialog::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

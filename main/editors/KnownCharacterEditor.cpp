#include "main/editors/KnownCharacterEditor.h"

#include <utility>

#include "main/kit/KitColor.h"

namespace Lorvex::Main {

void KnownCharacterEditor::Open(const std::optional<KnownCharacter>& existing,
                                std::function<void(const KnownCharacter&)> save, const std::wstring& ownerLabel) {
    editing = existing.has_value();
    record = existing.value_or(KnownCharacter{});
    if (record.importance.empty()) {
        record.importance = L"De fondo";
    }
    title = editing ? L"Editar personaje conocido" : L"Nuevo personaje conocido";
    if (editing) {
        subtitle = record.name;
    } else {
        subtitle = L"Alguien que " + (ownerLabel.empty() ? std::wstring(L"el personaje") : ownerLabel) + L" conoce";
    }
    headerIcon = static_cast<UI::Material::Icon>(editing ? 2 : 6);
    accent = Kit::KitPalette().secondary;
    onSave = std::move(save);
    nameError = false;
    Dialog::Open();
}

float KnownCharacterEditor::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return 120;
}

void KnownCharacterEditor::Body(UI::Ui& ui, const Rect& body) {
}

void KnownCharacterEditor::Footer(UI::Ui& ui, const Rect& footer) {
}

}  // namespace Lorvex::Main

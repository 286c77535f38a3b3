#include "main/editors/KnownCharactersDialog.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharacterRow.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "ui/Ids.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr uint64_t kTabsSalt = 0x4C01;
constexpr uint64_t kEmptySalt = 0x4C02;
constexpr uint64_t kRowsSalt = 0x4C03;

// Rows enter one after another, the first two steps after the panel, the later ones no later
// than the sixteenth.
constexpr double kRowDelay = 0.04;
constexpr size_t kLastStaggered = 16;
constexpr double kRowEntrance = 0.3;

std::wstring OwnerSubtitle(const std::wstring& owner) {
    return L"La gente que " + owner + L" conoce y tiene presente";
}

}  // namespace

void KnownCharactersDialog::Open(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave,
                                 const std::wstring& userName, std::vector<KnownCharacter> userList,
                                 SaveList userOnSave) {
    title = L"Personajes conocidos";
    headerIcon = Icon::PersonGroup;
    accent = Kit::KitPalette().secondary;
    groups.clear();
    groups.push_back({ownerName, std::move(list), std::move(onSave)});
    if (userOnSave) {
        groups.push_back({userName, std::move(userList), std::move(userOnSave)});
    }
    currentGroup = 0;
    selectedTab = GroupTabs().front();
    subtitle = OwnerSubtitle(ownerName);
    Dialog::Open();
}

void KnownCharactersDialog::OpenOne(const std::wstring& ownerName, std::vector<KnownCharacter> list, SaveList onSave) {
    Open(ownerName, std::move(list), std::move(onSave), L"", {}, nullptr);
}

std::vector<std::wstring> KnownCharactersDialog::GroupTabs() const {
    std::vector<std::wstring> tabs;
    if (!groups.empty()) {
        tabs.push_back(L"De " + groups[0].ownerLabel);
    }
    if (groups.size() >= 2) {
        tabs.push_back(L"Tuyos (" + groups[1].ownerLabel + L")");
    }
    return tabs;
}

size_t KnownCharactersDialog::ShownGroup() const {
    return groups.empty() ? 0 : std::min<size_t>(currentGroup, groups.size() - 1);
}

float KnownCharactersDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    if (groups.empty()) {
        return kEmptyHeight;
    }
    const float tabs = groups.size() >= 2 ? kTabsHeight : 0;
    const size_t rows = groups[ShownGroup()].list.size();
    if (rows == 0) {
        return tabs + kEmptyHeight;
    }
    return static_cast<float>(rows) * kRowStep + tabs + 4;
}

void KnownCharactersDialog::Body(UI::Ui& ui, const Rect& body) {
    if (groups.empty()) {
        return;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    float y = body.y;
    if (groups.size() >= 2) {
        const std::vector<std::wstring> tabs = GroupTabs();
        Kit::ChoiceChips(ui, ControlId(kTabsSalt), body.x, y, body.w, tabs, selectedTab, palette.secondary);
        const auto chosen = std::find(tabs.begin(), tabs.end(), selectedTab);
        if (chosen != tabs.end()) {
            currentGroup = static_cast<uint64_t>(chosen - tabs.begin());
        }
        y += kTabsHeight;
    }
    const size_t g = ShownGroup();
    subtitle = g == 0 ? OwnerSubtitle(groups[0].ownerLabel)
                      : L"Gente de tu vida: " + groups[0].ownerLabel + L" sabrá quiénes son cuando los menciones";

    const std::vector<KnownCharacter>& list = groups[g].list;
    if (list.empty()) {
        const std::wstring text = g == 0 ? L"Añade amigos, familia o rivales para que el personaje los recuerde."
                                         : L"Añade a tus amigos, familia o pareja para que el personaje sepa de quién "
                                           L"hablas.";
        if (Kit::EmptyState(ui, UI::NonZeroId(UI::Fnv1a64Word(ControlId(kEmptySalt), g)),
                            {body.x, y, body.w, kEmptyHeight}, Icon::PersonGroup, L"Nadie todavía", text, L"Agregar",
                            Icon::PersonAdd)) {
            AddTo(g);
        }
        return;
    }

    const uint64_t groupId = UI::Fnv1a64Word(ControlId(kRowsSalt), g);
    for (size_t i = 0; i < list.size(); ++i) {
        const Rect row = {body.x, y + static_cast<float>(i) * kRowStep, body.w, kRowHeight};
        const double delay = static_cast<double>(std::min(i + 2, kLastStaggered)) * kRowDelay;
        const float entered = Entrance(ui.time, openTime + delay, kRowEntrance);
        Kit::KnownRowAction action = Kit::KnownRowAction::None;
        {
            UI::Ui::ClipScope staged(ui);
            if (entered < 1) {
                ui.redraw = true;
                ui.graphics->PushLayer(entered, nullptr);
                staged.layerPushed = true;
                ui.PushTranslate(0, (1 - entered) * 10);
                staged.transformPushed = true;
            }
            action = Kit::KnownCharacterRow(ui, UI::NonZeroId(UI::Fnv1a64Word(groupId, i)), row, list[i]);
        }
        if (action == Kit::KnownRowAction::Edit) {
            EditRow(g, i);
        } else if (action == Kit::KnownRowAction::Remove) {
            // The confirmation stands above now; the remaining rows wait for the next frame.
            AskRemove(g, i);
            break;
        }
    }
}

void KnownCharactersDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, L"Guardar", Icon::Save, palette.primary, true, true)) {
        OnSubmit();
        return;
    }
    if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackground, false, true)) {
        Close();
        return;
    }
    if (!groups.empty()) {
        const std::wstring label = L"Agregar";
        const Rect add = {footer.x, footer.y + footer.h / 2 - 21, Kit::ButtonWidth(ui, label, Kit::kButtonFontSize),
                          42};
        if (Kit::Button(ui, LabelId(label), add, Icon::PersonAdd, label, palette.secondary, false, true)) {
            AddTo(ShownGroup());
        }
    }
}

void KnownCharactersDialog::OnSubmit() {
    // The callbacks may open this dialog again, which replaces the groups.
    const std::vector<Group> edited = groups;
    Close();
    for (const Group& group : edited) {
        if (group.onSave) {
            group.onSave(group.list);
        }
    }
}

void KnownCharactersDialog::AddTo(size_t group) {
    if (!owner || group >= groups.size()) {
        return;
    }
    owner->knownCharacterEditor->Open(
        std::nullopt, [this, group](const KnownCharacter& person) { Append(group, person); }, groups[group].ownerLabel);
}

void KnownCharactersDialog::EditRow(size_t group, size_t row) {
    if (!owner || group >= groups.size() || row >= groups[group].list.size()) {
        return;
    }
    owner->knownCharacterEditor->Open(
        groups[group].list[row], [this, group, row](const KnownCharacter& person) { Replace(group, row, person); },
        groups[group].ownerLabel);
}

void KnownCharactersDialog::AskRemove(size_t group, size_t row) {
    if (!owner || group >= groups.size() || row >= groups[group].list.size()) {
        return;
    }
    owner->confirmDialog->Open(
        L"Quitar personaje", L"¿Quitar a " + groups[group].list[row].name + L" de la lista?", L"Quitar", true,
        [this, group, row] { Erase(group, row); }, Icon::AlertCircle);
}

bool KnownCharactersDialog::Append(size_t group, const KnownCharacter& person) {
    if (group >= groups.size()) {
        return false;
    }
    groups[group].list.push_back(person);
    return true;
}

bool KnownCharactersDialog::Replace(size_t group, size_t row, const KnownCharacter& person) {
    if (group >= groups.size() || row >= groups[group].list.size()) {
        return false;
    }
    groups[group].list[row] = person;
    return true;
}

bool KnownCharactersDialog::Erase(size_t group, size_t row) {
    if (group >= groups.size() || row >= groups[group].list.size()) {
        return false;
    }
    groups[group].list.erase(groups[group].list.begin() + static_cast<std::ptrdiff_t>(row));
    return true;
}

}  // namespace Lorvex::Main

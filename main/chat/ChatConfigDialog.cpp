#include "main/chat/ChatConfigDialog.h"

#include <algorithm>
#include <vector>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Ids.h"
#include "ui/Material.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr uint64_t kRowSalt = 0x9e20;
constexpr uint64_t kTraitsSalt = 0x7a11;
constexpr uint64_t kPersonalitySalt = 0x7a12;
constexpr uint64_t kResetSalt = 0x7e5e;
// The row's selection amount lives under the row id salted twice.
constexpr uint64_t kSelectionSalt = 3;
constexpr uint64_t kSelectionSalt2 = 0x7066;

constexpr float kSectionHeight = 26;
constexpr float kRowsTop = 36;
constexpr float kAfterRows = 10;
constexpr float kPersonalityLines = 5;
constexpr float kSelectSeconds = 0.18f;

float FieldHeightSingle(UI::Ui& ui) {
    return Kit::FieldHeight(ui, false, 1);
}

float FieldHeightMulti(UI::Ui& ui) {
    return Kit::FieldHeight(ui, true, kPersonalityLines);
}

TextStyle RowText(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    return style;
}

// The record the application holds for this persona: the same object, or one saved in its place
// under the same id; null when it is gone.
std::shared_ptr<Persona> HeldPersona(const std::shared_ptr<Persona>& persona) {
    const auto& personas = Services::AppState::Instance().personas;
    if (std::find(personas.begin(), personas.end(), persona) != personas.end()) {
        return persona;
    }
    const auto sameId =
        std::find_if(personas.begin(), personas.end(), [&](const auto& held) { return held->id == persona->id; });
    return sameId == personas.end() ? nullptr : *sameId;
}

}  // namespace

void ChatConfigDialog::Open() {
    const Services::AppState& state = Services::AppState::Instance();
    configCharacter = state.currentCharacter;
    if (!configCharacter || !state.currentChat) {
        owner->toasts.Push(L"No hay ningún chat abierto.", Kit::ToastKind::Info);
        return;
    }
    title = L"Configuración del chat";
    subtitle = L"Chat con " + configCharacter->name;
    headerIcon = Icon::Tune;
    accent = Kit::KitPalette().secondary;
    overrides = configCharacter->persona_overrides;
    selectedPersona = state.currentPersona;
    LoadFields();
    Dialog::Open();
}

uint64_t ChatConfigDialog::RowId(size_t row) const {
    return UI::NonZeroId(UI::Fnv1a64Word(UI::Fnv1a64Word(seed, kRowSalt), row));
}

uint64_t ChatConfigDialog::TraitsId() const {
    return ControlId(kTraitsSalt);
}

uint64_t ChatConfigDialog::PersonalityId() const {
    return ControlId(kPersonalitySalt);
}

uint64_t ChatConfigDialog::ResetId() const {
    return ControlId(kResetSalt);
}

void ChatConfigDialog::LoadFields() {
    if (!selectedPersona) {
        return;
    }
    traitsText = selectedPersona->traits;
    personalityText = selectedPersona->personality;
    const auto entry = overrides.find(selectedPersona->id);
    if (entry == overrides.end()) {
        return;
    }
    if (entry->second.traits) {
        traitsText = *entry->second.traits;
    }
    if (entry->second.personality) {
        personalityText = *entry->second.personality;
    }
}

void ChatConfigDialog::StoreFields() {
    if (!selectedPersona) {
        return;
    }
    const bool traitsChanged = traitsText != selectedPersona->traits;
    const bool personalityChanged = personalityText != selectedPersona->personality;
    if (!traitsChanged && !personalityChanged) {
        overrides.erase(selectedPersona->id);
        return;
    }
    PersonaOverride& entry = overrides[selectedPersona->id];
    entry.traits = traitsChanged ? std::optional<std::wstring>(traitsText) : std::nullopt;
    entry.personality = personalityChanged ? std::optional<std::wstring>(personalityText) : std::nullopt;
}

bool ChatConfigDialog::Adjusted() const {
    return selectedPersona &&
           (traitsText != selectedPersona->traits || personalityText != selectedPersona->personality);
}

void ChatConfigDialog::Select(const std::shared_ptr<Persona>& persona) {
    if (persona == selectedPersona) {
        return;
    }
    StoreFields();
    selectedPersona = persona;
    LoadFields();
}

std::wstring ChatConfigDialog::RowDetail(const Persona& persona) const {
    std::wstring detail = persona.age.empty() ? persona.gender : persona.age + L" años · " + persona.gender;
    if (overrides.count(persona.id) != 0) {
        detail += L" · personalizada";
    }
    return detail;
}

float ChatConfigDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    const size_t rows = Services::AppState::Instance().personas.size() + 1;
    float height = kRowStep * static_cast<float>(rows) + kRowsTop + kAfterRows;
    if (selectedPersona) {
        height += FieldHeightSingle(ui) + 96 + FieldHeightMulti(ui) + 50;
    }
    return height;
}

void ChatConfigDialog::Body(UI::Ui& ui, const Rect& body) {
    Kit::SectionHeader(ui, {body.x, body.y + 2, body.w, kSectionHeight}, L"¿Quién eres en este chat?",
                       Icon::PersonCircle);
    float y = body.y + kRowsTop;
    const std::vector<std::shared_ptr<Persona>>& personas = Services::AppState::Instance().personas;
    DrawPersonaRow(ui, {body.x, y, body.w, kRowHeight}, 0, nullptr);
    for (size_t i = 0; i < personas.size(); ++i) {
        y += kRowStep;
        DrawPersonaRow(ui, {body.x, y, body.w, kRowHeight}, i + 1, personas[i]);
    }
    y += kRowStep + kAfterRows;
    if (selectedPersona) {
        DrawAdjustments(ui, body.x, y, body.w);
    }
}

void ChatConfigDialog::DrawPersonaRow(UI::Ui& ui, const Rect& rect, size_t row,
                                      const std::shared_ptr<Persona>& persona) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const uint64_t id = RowId(row);
    const UI::Interaction interaction = ui.Interact(id, rect, true);
    const float hover = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;
    const bool selected = persona == selectedPersona;
    const uint64_t selectionId = UI::NonZeroId(UI::Fnv1a64Word(UI::Fnv1a64Word(id, kSelectionSalt), kSelectionSalt2));
    const float s =
        UI::Material::Motion::EaseInOutCubic(ui.Approach(selectionId, selected ? 1.0f : 0.0f, kSelectSeconds));

    Color fill = Kit::Mix(palette.surfaceContainer, palette.primary, s);
    fill.a = (0.45f + 0.35f * hover) * palette.surfaceContainer.a * (1 - s) + 0.16f * palette.primary.a * s;
    graphics.FillRoundRect(rect, 14, fill);
    graphics.StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, 13.5f,
                             Kit::Mix(palette.outlineSubtle, palette.primary, s), 1 + s);

    const float textX = rect.x + 60;
    const float textWidth = std::max(0.0f, rect.w - 110);
    if (persona) {
        Kit::Avatar(ui, {rect.x + 12, rect.y + 11, 36, 36}, persona->photoPath, persona->name, 0, {0, 0, 0, 0});
        graphics.DrawText(persona->name, {textX, rect.y + 9, textWidth, 22}, palette.onBackground, RowText(14.5f, 600));
        const std::wstring detail = RowDetail(*persona);
        if (!detail.empty()) {
            graphics.DrawText(detail, {textX, rect.y + 30, textWidth, 18}, palette.onBackgroundMuted,
                              RowText(12.5f, 400));
        }
    } else {
        graphics.FillEllipse(rect.x + 30, rect.y + 29, 18, 18, palette.surfaceContainer);
        UI::Material::DrawIcon(graphics, Icon::Block, {rect.x + 21, rect.y + 20, 18, 18}, palette.onBackgroundMuted);
        graphics.DrawText(L"Sin persona", {textX, rect.y, textWidth, rect.h}, Kit::Faded(palette.onBackground, 0.8f),
                          RowText(14.5f, 500));
    }

    const float cx = rect.x + rect.w - 26;
    const float cy = rect.y + 29;
    graphics.StrokeEllipse(cx, cy, 9, 9, Kit::Mix(palette.onBackgroundMuted, palette.primary, s), 2);
    if (s > 0) {
        graphics.FillEllipse(cx, cy, 4.5f * s, 4.5f * s, palette.primary);
    }

    if (interaction.clicked) {
        Select(persona);
    }
}

void ChatConfigDialog::DrawAdjustments(UI::Ui& ui, float x, float top, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const std::wstring& characterName = configCharacter ? configCharacter->name : std::wstring();
    float y = top;
    graphics.FillRect({x, y, width, 1}, palette.outlineSubtle);
    y += 20;
    Kit::SectionHeader(ui, {x, y, width, kSectionHeight},
                       L"Cómo es " + selectedPersona->name + L" con " + characterName, Icon::TheaterMasks);
    y += 30;
    TextStyle noteStyle = Kit::KitStyle(12, 400);
    noteStyle.valign = VerticalAlign::Center;
    noteStyle.ellipsis = true;
    graphics.DrawText(L"Se aplica en todos los chats con este personaje. Tu persona original no cambia.",
                      {x, y, width, 20}, palette.onBackgroundMuted, noteStyle);
    y += 32;

    const float traitsHeight = FieldHeightSingle(ui);
    Kit::Field(ui, TraitsId(), {x, y, width, traitsHeight}, traitsText,
               Kit::FieldOptions(L"Rasgos (separados por comas)", false));
    y += traitsHeight + 14;
    const float personalityHeight = FieldHeightMulti(ui);
    Kit::Field(ui, PersonalityId(), {x, y, width, personalityHeight}, personalityText,
               Kit::FieldOptions(L"Personalidad", true));
    y += personalityHeight + 10;

    const bool adjusted = Adjusted();
    const std::wstring chip = adjusted ? L"Personalizada para " + characterName : L"Igual que tu persona";
    Kit::Chip(ui, {x, y + 8, Kit::ChipWidth(ui, chip, true), 24}, chip,
              adjusted ? palette.secondary : palette.onBackgroundMuted, adjusted ? Icon::Star : Icon::Check, true);

    const std::wstring reset = L"Restablecer";
    const float resetWidth = Kit::ButtonWidth(ui, reset, Kit::kButtonFontSize);
    if (Kit::Button(ui, ResetId(), {x + width - resetWidth, y + 2, resetWidth, 36}, Icon::Restore, reset,
                    palette.onBackground, false, adjusted)) {
        // The entry goes at the next store, when the texts match the persona's own.
        traitsText = selectedPersona->traits;
        personalityText = selectedPersona->personality;
    }
}

void ChatConfigDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, L"Guardar", Icon::Save, palette.primary, true, true)) {
        OnSubmit();
        return;
    }
    if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackground, false, true)) {
        Close();
    }
}

bool ChatConfigDialog::StillValid() {
    // A pull from the cloud may have removed the character, its chat or the persona while the
    // dialog was open; saving then would bring a removed record back and upload it again.
    const Services::AppState& state = Services::AppState::Instance();
    const auto& characters = state.characters;
    if (!configCharacter || std::find(characters.begin(), characters.end(), configCharacter) == characters.end()) {
        owner->toasts.Push(L"Este personaje ya no existe.", Kit::ToastKind::Error);
        Close();
        return false;
    }
    if (state.currentCharacter != configCharacter || !state.currentChat) {
        owner->toasts.Push(L"No hay ningún chat abierto.", Kit::ToastKind::Info);
        Close();
        return false;
    }
    if (selectedPersona) {
        // Left open: another persona may still be chosen.
        const std::shared_ptr<Persona> held = HeldPersona(selectedPersona);
        if (!held) {
            owner->toasts.Push(L"Este usuario ya no existe.", Kit::ToastKind::Error);
            return false;
        }
        selectedPersona = held;
    }
    return true;
}

void ChatConfigDialog::OnSubmit() {
    if (!open || !StillValid()) {
        return;
    }
    StoreFields();
    Services::AppState& state = Services::AppState::Instance();
    configCharacter->persona_overrides = overrides;
    const bool written = state.SaveCharacter(configCharacter);
    state.SetChatPersona(selectedPersona);
    Close();
    if (!written) {
        owner->toasts.Push(L"No se pudieron guardar los cambios.", Kit::ToastKind::Error);
        return;
    }
    owner->toasts.Push(selectedPersona ? L"Ahora juegas como " + selectedPersona->name : L"Chat sin persona",
                       Kit::ToastKind::Success);
}

}  // namespace Lorvex::Main

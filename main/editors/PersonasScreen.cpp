#include "main/editors/PersonasScreen.h"

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/Entering.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Icons.h"
#include "ui/Motion.h"
#include "ui/ScrollArea.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr uint64_t kEditSalt = 0x9E01;
constexpr uint64_t kDeleteSalt = 0x9E02;
constexpr float kEmptyHeight = 330;

TextStyle CentredLine(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    return style;
}

}  // namespace

Rect PersonasScreen::Grid::Card(size_t index) const {
    const size_t column = index % static_cast<size_t>(columns);
    const size_t row = index / static_cast<size_t>(columns);
    return {left + (cardWidth + kGap) * static_cast<float>(column),
            top + kListOffset + kRowStep * static_cast<float>(row), cardWidth, kCardHeight};
}

float PersonasScreen::Grid::ListHeight(size_t count) const {
    const size_t rows = (count + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns);
    return kRowStep * static_cast<float>(rows);
}

int PersonasScreen::Columns(float width) {
    return std::max(1, static_cast<int>(std::floor((width + kGap) / (kMinCardWidth + kGap))));
}

PersonasScreen::Grid PersonasScreen::GridFor(const Rect& content) {
    Grid grid;
    grid.left = content.x + 28;
    grid.width = content.w - 56;
    grid.top = content.y + 28;
    grid.columns = Columns(grid.width);
    grid.cardWidth = (grid.width - static_cast<float>(grid.columns - 1) * kGap) / static_cast<float>(grid.columns);
    return grid;
}

Rect PersonasScreen::EditButton(const Rect& card) {
    return {card.x + 14, card.y + card.h - 46, (card.w - 28 - 10) / 2, 34};
}

Rect PersonasScreen::DeleteButton(const Rect& card) {
    const Rect edit = EditButton(card);
    return {edit.x + edit.w + 10, edit.y, edit.w, edit.h};
}

std::shared_ptr<Persona> PersonasScreen::InUse() {
    const Services::AppState& state = Services::AppState::Instance();
    if (state.currentPersona) {
        return state.currentPersona;
    }
    return state.personas.empty() ? nullptr : state.personas.front();
}

std::wstring PersonasScreen::Details(const Persona& persona) {
    return persona.age.empty() ? persona.gender : persona.age + L" años · " + persona.gender;
}

void PersonasScreen::OnShow() {
    shownAt = owner->ui.time;
}

std::wstring PersonasScreen::Title() {
    return L"Usuarios";
}

void PersonasScreen::Draw(UI::Ui& ui, const Rect& content) {
    if (shownAt < 0) {
        shownAt = ui.time;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    UI::ScrollArea scroll(ui, ui.MakeIdFromText("personas-scroll"), content, 64);
    const Grid grid = GridFor(content);
    const float l = grid.left;
    const float w = grid.width;
    const float t = grid.top;

    {
        Entering entering(ui, shownAt, 0.4, 14);
        TextStyle titleStyle = Kit::KitStyle(26, 600);
        titleStyle.valign = VerticalAlign::Center;
        graphics.DrawText(L"Tus usuarios", {l, t, 0.6f * w, 34}, palette.onBackground, titleStyle);
        TextStyle textStyle = Kit::KitStyle(14, 400);
        textStyle.valign = VerticalAlign::Center;
        textStyle.ellipsis = true;
        graphics.DrawText(
            L"Cada usuario es una forma de presentarte ante los personajes. Elige cuál usar en cada chat.",
            {l, t + 36, 0.7f * w, 22}, palette.onBackgroundMuted, textStyle);
        const std::wstring label = L"Nuevo usuario";
        const float width = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
        if (Kit::Button(ui, ui.MakeIdFromText("persona-new"), {l + w - width, t + 8, width, 44}, Icon::PersonAdd, label,
                        palette.primary, true, true)) {
            StartNew();
        }
    }

    // A copy: a delete confirmed this frame must not pull the list from under the loop.
    const std::vector<std::shared_ptr<Persona>> personas = Services::AppState::Instance().personas;
    float listHeight = kEmptyHeight;
    if (personas.empty()) {
        if (Kit::EmptyState(ui, ui.MakeIdFromText("personas-empty"), {l, t + kListOffset, w, kEmptyHeight},
                            Icon::PersonCircle, L"Sin usuarios",
                            L"Crea un usuario para que los personajes sepan con quién hablan.", L"Crear usuario",
                            Icon::PersonAdd)) {
            StartNew();
        }
    } else {
        const std::shared_ptr<Persona> inUse = InUse();
        for (size_t i = 0; i < personas.size(); ++i) {
            const Rect card = grid.Card(i);
            if (ui.IsVisible(card, 40)) {
                DrawCard(ui, card, personas[i], i, personas[i] == inUse);
            }
        }
        listHeight = grid.ListHeight(personas.size());
    }
    scroll.content = t + kListOffset + listHeight - content.y + 28;
}

void PersonasScreen::DrawCard(UI::Ui& ui, const Rect& card, const std::shared_ptr<Persona>& persona, size_t index,
                              bool inUse) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const uint64_t id = UI::NonZeroId(UI::Fnv1a64(ui.MakeIdFromText("persona-card"), persona->id));

    const double delay = static_cast<double>(std::min<size_t>(index + 1, 16)) * 0.05;
    Entering entering(ui, shownAt + delay, 0.42, 20);

    // The card claims the pointer before its buttons, so a button drawn over it wins the hover.
    const UI::Interaction interaction = ui.Interact(id, card);
    const float v = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;
    ui.PushTranslate(0, -3 * v);
    if (v > 0) {
        graphics.GlowRound(card, 18, palette.secondary, 20, 0.25f * v);
    }
    UI::Material::Shadow(graphics, card, 18, 1 + 6 * v);
    graphics.FillRoundRect(card, 18, palette.surface);
    const Color outline = Kit::Mix(palette.surfaceOverlay, Kit::Faded(palette.secondary, 0.7f), v);
    graphics.StrokeRoundRect({card.x + 0.5f, card.y + 0.5f, card.w - 1, card.h - 1}, 17.5f, outline, 1);

    std::optional<std::wstring> photo;
    if (persona->photoPath && !persona->photoPath->empty()) {
        photo = persona->photoPath;
    }
    Kit::Avatar(ui, {card.x + card.w / 2 - 34, card.y + 20, 68, 68}, photo, persona->name, 2.5f,
                inUse ? palette.primary : palette.secondary);
    graphics.DrawText(persona->name, {card.x + 14, card.y + 96, card.w - 28, 24}, palette.onBackground,
                      CentredLine(17, 600));
    graphics.DrawText(Details(*persona), {card.x + 14, card.y + 120, card.w - 28, 18}, palette.onBackgroundMuted,
                      CentredLine(12.5f, 400));
    if (inUse) {
        const std::wstring badge = L"En uso";
        Kit::Chip(ui, {card.x + 14, card.y + 14, Kit::ChipWidth(ui, badge, true), 22}, badge, palette.primary,
                  Icon::Check, true);
    }

    const bool edit = Kit::Button(ui, UI::SaltedId(id, kEditSalt), EditButton(card), Icon::Pencil, L"Editar",
                                  palette.secondary, false, true);
    const bool remove = Kit::Button(ui, UI::SaltedId(id, kDeleteSalt), DeleteButton(card), Icon::Delete, L"Eliminar",
                                    palette.danger, false, true);
    ui.PopTransform();

    if (remove) {
        AskDelete(persona);
    } else if (edit || interaction.clicked) {
        Edit(persona);
    }
}

void PersonasScreen::StartNew() {
    owner->personaFormScreen->Reset(false);
    owner->Navigate(kPersonaFormScreen);
}

void PersonasScreen::Edit(const std::shared_ptr<Persona>& persona) {
    owner->personaFormScreen->Load(persona);
    owner->Navigate(kPersonaFormScreen);
}

void PersonasScreen::AskDelete(const std::shared_ptr<Persona>& persona) {
    MainWindow* window = owner;
    owner->confirmDialog->Open(
        L"Eliminar usuario", L"¿Eliminar a " + persona->name + L"? Los chats que lo usaban quedarán sin usuario.",
        L"Eliminar", true,
        [window, persona] {
            const std::wstring name = persona->name;
            Services::AppState::Instance().DeletePersona(persona);
            window->toasts.Push(name + L" eliminado", Kit::ToastKind::Success);
        },
        Icon::AlertCircle);
}

}  // namespace Lorvex::Main

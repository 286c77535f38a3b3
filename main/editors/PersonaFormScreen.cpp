#include "main/editors/PersonaFormScreen.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "domain/Choices.h"
#include "domain/Storage.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/Entering.h"
#include "main/editors/PhotoPick.h"
#include "main/kit/Avatar.h"
#include "main/kit/Backdrop.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Icons.h"
#include "ui/Motion.h"
#include "ui/ScrollArea.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kColumnWidth = 760;
constexpr float kAvatarSide = 104;
// The rows under the chips are placed for one row of chips, however many rows they wrap into.
constexpr float kChipRow = 32;

uint64_t Id(UI::Ui& ui, const char* name) {
    return ui.MakeIdFromText(name);
}

void Card(Graphics& graphics, const Rect& rect, float radius, float elevation) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    UI::Material::Shadow(graphics, rect, radius, elevation);
    graphics.FillRoundRect(rect, radius, palette.surface);
}

void Outline(Graphics& graphics, const Rect& rect, float radius) {
    graphics.StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, radius - 0.5f,
                             Kit::KitPalette().surfaceOverlay, 1);
}

bool StillHeld(const std::shared_ptr<Persona>& persona) {
    const auto& personas = Services::AppState::Instance().personas;
    return std::any_of(personas.begin(), personas.end(),
                       [&](const std::shared_ptr<Persona>& held) { return held && held->id == persona->id; });
}

}  // namespace

void PersonaFormScreen::OnShow() {
    shownAt = -1.0;
}

std::wstring PersonaFormScreen::Title() {
    if (edited) {
        return L"Editar usuario";
    }
    return welcome ? L"Bienvenida" : L"Nuevo usuario";
}

void PersonaFormScreen::Reset(bool welcomeMode) {
    edited.reset();
    unwritten_.reset();
    welcome = welcomeMode;
    showErrors = false;
    draft = PersonaDraft{};
}

void PersonaFormScreen::Load(const std::shared_ptr<Persona>& persona) {
    Reset(false);
    edited = persona;
    if (persona) {
        draft = PersonaDraft::From(*persona);
    }
}

void PersonaFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    const uint64_t scrollId = Id(ui, "pf-scroll");
    if (shownAt < 0) {
        shownAt = ui.time;
        UI::ScrollState& scrolled = ui.State<UI::ScrollState>(scrollId);
        scrolled.target = 0;
        scrolled.current = 0;
    }
    const float f1 = Kit::FieldHeight(ui, false, 1);
    const float f4 = Kit::FieldHeight(ui, true, 4);

    UI::ScrollArea scroll(ui, scrollId, content, 64);
    const float cw = std::min(content.w - 56, kColumnWidth);
    const float cx = content.x + content.w / 2 - cw / 2;
    const float top = content.y + 28;
    const float headerHeight = welcome ? 150.0f : 110.0f;
    spots = Spots{};
    {
        Entering entering(ui, shownAt, 0.5, 18);
        DrawHeader(ui, cx, top, cw, headerHeight);
    }

    const float k = top + headerHeight + 22;
    const float g = f1 + 150 + 18 + 28 + kChipRow + 16 + 28 + kChipRow + 18 + f1 + 16 + f4 + 24;
    {
        Entering entering(ui, shownAt + 0.08, 0.45, 18);
        const Rect card = {cx, k, cw, g};
        Card(*ui.graphics, card, 20, 1);
        Outline(*ui.graphics, card, 20);
        const float ix = cx + 24;
        const float iw = cw - 48;
        DrawPhotoRow(ui, ix, k, iw);
        DrawFields(ui, ix, k + 150, iw, f1, f4);
    }

    const float buttons = k + g + 22;
    {
        Entering entering(ui, shownAt + 0.16, 0.45, 18);
        DrawButtons(ui, cx + cw, buttons);
    }
    scroll.content = buttons + 46 - content.y + 40;
}

void PersonaFormScreen::DrawHeader(UI::Ui& ui, float cx, float top, float cw, float height) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Rect rect = {cx, top, cw, height};
    UI::Material::Shadow(graphics, rect, 22, 2);
    graphics.FillRoundRect(rect, 22, palette.surface);
    graphics.FillLinearGradient(
        rect, 22, {{0, Kit::Faded(palette.secondary, 0.22f)}, {1, Kit::Faded(palette.primary, 0.14f)}}, {0, 0}, {1, 1});
    Kit::Backdrop(ui, rect, 22, 1);
    Outline(graphics, rect, 22);

    float tl = cx + 28;
    const float hc = top + height / 2;
    if (!edited) {
        // The badge bobs gently for as long as the form is shown, 3 DIPs up and down.
        ui.RequestAmbientFrames({tl, hc - 30 - 3, 60, 60 + 6});
        const float bob = 3 * static_cast<float>(std::sin(1.6 * ui.AmbientTime()));
        const Rect badge = {tl, hc - 30 + bob, 60, 60};
        graphics.FillLinearGradient(badge, 18, {{0, palette.secondary}, {1, palette.primary}}, {0, 0}, {1, 0});
        UI::Material::DrawIcon(graphics, welcome ? Icon::Hand : Icon::PersonAdd, {badge.x + 15, badge.y + 15, 30, 30},
                               {1, 1, 1, 1});
        tl += 80;
    }

    std::wstring title = L"Nuevo usuario";
    if (edited) {
        title = L"Editar a " + edited->name;
    } else if (welcome) {
        title = L"¡Bienvenido a Lorvex!";
    }
    TextStyle titleStyle = Kit::KitStyle(welcome ? 26.0f : 23.0f, 600);
    titleStyle.valign = VerticalAlign::Center;
    titleStyle.ellipsis = true;
    graphics.DrawText(title, {tl, welcome ? hc - 40 : hc - 30, cx + cw - tl - 24, 34}, palette.onBackground,
                      titleStyle);

    const std::wstring text = welcome ? L"Antes de empezar, cuéntanos quién eres. Los personajes te conocerán así: tu "
                                        L"nombre, tu edad y tu forma de ser."
                                      : L"Define cómo te presentas ante los personajes.";
    TextStyle textStyle = Kit::KitStyle(14, 400);
    textStyle.wrap = true;
    textStyle.valign = VerticalAlign::Center;
    graphics.DrawText(text, {tl, welcome ? hc - 2 : hc + 6, cx + cw - tl - 28, 48},
                      Kit::Faded(palette.onBackground, 0.72f), textStyle);
}

void PersonaFormScreen::DrawPhotoRow(UI::Ui& ui, float ix, float top, float iw) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Rect photo = {ix, top + 24, kAvatarSide, kAvatarSide};
    spots.photo = photo;
    const uint64_t photoId = Id(ui, "pf-photo");
    const UI::Interaction interaction = ui.Interact(photoId, photo);
    const float hover = UI::Material::StateLayer(ui, photoId, interaction.hovered, interaction.held).first;
    std::optional<std::wstring> shown;
    if (!draft.photoPath.empty()) {
        shown = draft.photoPath;
    }
    Kit::Avatar(ui, photo, shown, Text::Trim(draft.name), 3, palette.secondary);
    if (hover > 0) {
        const float cx = photo.x + photo.w / 2;
        const float cy = photo.y + photo.h / 2;
        graphics.FillEllipse(cx, cy, 52, 52, {0, 0, 0, std::floor(hover * 120) / 255});
        UI::Material::DrawIcon(graphics, Icon::ImageAdd, {cx - 14, cy - 14, 28, 28}, {1, 1, 1, hover});
    }

    const float tx = ix + 124;
    const float tw = iw - 124;
    TextStyle heading = Kit::KitStyle(14.5f, 500);
    heading.valign = VerticalAlign::Center;
    graphics.DrawText(L"Foto de perfil", {tx, top + 34, tw, 22}, palette.onBackground, heading);
    TextStyle note = Kit::KitStyle(12.5f, 400);
    note.valign = VerticalAlign::Center;
    note.ellipsis = true;
    graphics.DrawText(L"Opcional. Aparece junto a tus mensajes.", {tx, top + 56, tw, 20}, palette.onBackgroundMuted,
                      note);

    const std::wstring pickLabel = L"Elegir foto";
    spots.pick = {tx, top + 86, Kit::ButtonWidth(ui, pickLabel, Kit::kButtonFontSize), 38};
    bool pick = interaction.clicked;
    if (Kit::Button(ui, Id(ui, "pf-pick"), spots.pick, Icon::ImageAdd, pickLabel, palette.secondary, false, true)) {
        pick = true;
    }
    if (!draft.photoPath.empty()) {
        const std::wstring removeLabel = L"Quitar";
        spots.remove = {spots.pick.x + spots.pick.w + 10, spots.pick.y,
                        Kit::ButtonWidth(ui, removeLabel, Kit::kButtonFontSize), 38};
        if (Kit::Button(ui, Id(ui, "pf-rm"), spots.remove, Icon::Delete, removeLabel, palette.danger, false, true)) {
            draft.photoPath.clear();
        }
    }
    if (pick) {
        PickPhotoFile();
    }
}

float PersonaFormScreen::DrawFields(UI::Ui& ui, float ix, float top, float iw, float f1, float f4) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const auto field = [&](const char* id, const Rect& rect, std::wstring& text, const wchar_t* label, bool multiLine,
                           bool required) {
        Kit::FieldOptions options(label, multiLine);
        options.error = required && showErrors && IsMissing(text);
        Kit::Field(ui, Id(ui, id), rect, text, options);
    };

    const float half = (iw - 14) / 2;
    spots.name = {ix, top, half, f1};
    spots.age = {ix + half + 14, top, half, f1};
    field("pf-name", spots.name, draft.name, L"Tu nombre *", false, true);
    field("pf-age", spots.age, draft.age, L"Edad *", false, true);

    float y = top + f1 + 18;
    Kit::FieldLabel(ui, {ix, y, iw, 20}, L"Género", true);
    spots.genderTop = y + 28;
    Kit::ChoiceChips(ui, Id(ui, "pf-gender"), ix, spots.genderTop, iw, Genders(), draft.gender, palette.secondary);
    y = spots.genderTop + 48;
    Kit::FieldLabel(ui, {ix, y, iw, 20}, L"Orientación sexual", true);
    spots.orientationTop = y + 28;
    Kit::ChoiceChips(ui, Id(ui, "pf-orient"), ix, spots.orientationTop, iw, Orientations(), draft.orientation,
                     palette.secondary);

    spots.traits = {ix, spots.orientationTop + 50, iw, f1};
    field("pf-traits", spots.traits, draft.traits, L"Rasgos (separados por comas)", false, false);
    spots.personality = {ix, spots.traits.y + f1 + 16, iw, f4};
    field("pf-personality", spots.personality, draft.personality, L"Personalidad *", true, true);
    return spots.personality.y + f4;
}

void PersonaFormScreen::DrawButtons(UI::Ui& ui, float right, float top) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    std::wstring label = L"Crear usuario";
    if (edited) {
        label = L"Guardar cambios";
    } else if (welcome) {
        label = L"Empezar";
    }
    const float width = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
    spots.save = {right - width, top, width, 46};
    const bool save = Kit::Button(ui, Id(ui, "pf-save"), spots.save, welcome ? Icon::ArrowRight : Icon::Check, label,
                                  palette.primary, true, true);
    bool cancel = false;
    if (!welcome) {
        const std::wstring cancelLabel = L"Cancelar";
        const float cancelWidth = Kit::ButtonWidth(ui, cancelLabel, Kit::kButtonFontSize);
        spots.cancel = {spots.save.x - 12 - cancelWidth, top + 3, cancelWidth, 40};
        cancel = Kit::Button(ui, Id(ui, "pf-cancel"), spots.cancel, Icon::Close, cancelLabel, palette.onBackground,
                             false, true);
    }
    // Acting after both buttons are drawn keeps this frame's layout whole.
    if (save) {
        Save();
    } else if (cancel) {
        Cancel();
    }
}

void PersonaFormScreen::PickPhotoFile() {
    if (!owner) {
        return;
    }
    if (const std::optional<std::wstring> picked = PickPhoto(*owner)) {
        draft.photoPath = *picked;
    }
}

void PersonaFormScreen::Save() {
    showErrors = true;
    Kit::Toasts& toasts = owner->toasts;
    if (!IsComplete(draft)) {
        toasts.Push(L"Completa los campos obligatorios (marcados con *)", Kit::ToastKind::Error);
        return;
    }
    // A pull from the cloud may have removed the persona while the form was open: saving it now
    // would bring its file back and upload it again.
    if (edited && !StillHeld(edited)) {
        toasts.Push(L"Este usuario ya no existe.", Kit::ToastKind::Error);
        return;
    }
    if (unwritten_ && !StillHeld(unwritten_)) {
        unwritten_.reset();
    }
    std::shared_ptr<Persona> persona = edited ? edited : unwritten_;
    if (!persona) {
        persona = std::make_shared<Persona>();
        persona->id = Time::NewUuid();
    }

    ApplyTexts(draft, *persona);
    switch (PhotoStepFor(draft.photoPath, persona->photoPath)) {
    case PhotoStep::Clear:
        persona->photoPath.reset();
        break;
    case PhotoStep::Keep:
        break;
    case PhotoStep::Import: {
        const std::wstring stored = Storage::ImportImage(draft.photoPath, L"persona_");
        if (stored.empty()) {
            toasts.Push(L"No se pudo guardar la imagen", Kit::ToastKind::Error);
        } else {
            persona->photoPath = stored;
            // Saving again (after a failed write) keeps this copy instead of making another.
            draft.photoPath = stored;
        }
        break;
    }
    }

    if (!Services::AppState::Instance().SavePersona(persona)) {
        if (!edited) {
            unwritten_ = persona;
        }
        toasts.Push(L"No se pudieron guardar los cambios.", Kit::ToastKind::Error);
        return;
    }
    unwritten_.reset();
    if (welcome) {
        toasts.Push(L"¡Hola, " + persona->name + L"! Ahora crea tu primer personaje", Kit::ToastKind::Success);
        welcome = false;
        owner->Navigate(kHomeScreen);
        return;
    }
    toasts.Push(edited ? std::wstring(L"Usuario guardado") : persona->name + L" creado", Kit::ToastKind::Success);
    owner->Navigate(kPersonasScreen);
}

void PersonaFormScreen::Cancel() {
    owner->Navigate(Services::AppState::Instance().personas.empty() ? kHomeScreen : kPersonasScreen);
}

}  // namespace Lorvex::Main

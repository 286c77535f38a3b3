#include "main/editors/KnownCharacterEditor.h"

#include <cmath>
#include <utility>
#include <vector>

#include "domain/Choices.h"
#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/PastedList.h"
#include "main/editors/PhotoPick.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/KitColor.h"
#include "ui/Ids.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

// Salts of the controls without a label of their own.
constexpr uint64_t kAvatarSalt = 0x4E01;
constexpr uint64_t kNameSalt = 0x4E02;
constexpr uint64_t kAgeSalt = 0x4E03;
constexpr uint64_t kRelationshipSalt = 0x4E04;
constexpr uint64_t kDescriptionSalt = 0x4E05;
constexpr uint64_t kImportanceSalt = 0x4E06;
constexpr uint64_t kLinesSalt = 0x4E07;
constexpr uint64_t kRemoveLineSalt = 0x4E08;
constexpr uint64_t kBubbleSalt = 0x4E09;

constexpr float kAvatarSize = 80;
constexpr float kPhotoTextLeft = 96;
constexpr float kFieldGap = 14;
constexpr float kSectionGap = 18;
constexpr float kCaptionAdvance = 28;
constexpr float kLineGap = 8;
constexpr float kSmallButtonHeight = 34;

// What a record without an importance gets.
const wchar_t* const kDefaultImportance = L"De fondo";

void Caption(UI::Ui& ui, float x, float y, float width, const std::wstring& text) {
    TextStyle style = Kit::KitStyle(12.5f, 500);
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(text, {x, y, width, 20}, Kit::KitPalette().onBackgroundMuted, style);
}

void Note(UI::Ui& ui, float x, float y, float width, const std::wstring& text) {
    TextStyle style = Kit::KitStyle(12, 400);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    ui.graphics->DrawText(text, {x, y, width, 18}, Kit::KitPalette().onBackgroundMuted, style);
}

uint64_t LineId(uint64_t linesId, size_t line) {
    return UI::NonZeroId(UI::Fnv1a64Word(linesId, line));
}

}  // namespace

void KnownCharacterEditor::Open(const std::optional<KnownCharacter>& existing,
                                std::function<void(const KnownCharacter&)> save, const std::wstring& ownerLabel) {
    editing = existing.has_value();
    record = existing.value_or(KnownCharacter{});
    if (record.importance.empty()) {
        record.importance = kDefaultImportance;
    }
    title = editing ? L"Editar personaje conocido" : L"Nuevo personaje conocido";
    if (editing) {
        subtitle = record.name;
    } else {
        subtitle = L"Alguien que " + (ownerLabel.empty() ? std::wstring(L"el personaje") : ownerLabel) + L" conoce";
    }
    headerIcon = editing ? Icon::PersonEdit : Icon::PersonAdd;
    accent = Kit::KitPalette().secondary;
    onSave = std::move(save);
    nameError = false;
    Dialog::Open();
}

uint64_t KnownCharacterEditor::NameFieldId() const {
    return ControlId(kNameSalt);
}

float KnownCharacterEditor::ContentHeight(UI::Ui& ui, float bodyWidth) {
    const float a = Kit::FieldHeight(ui, false, 1);
    const float m = Kit::FieldHeight(ui, true, 3);
    return m + 3 * a + static_cast<float>(record.personality.size()) * (a + kLineGap) + 346;
}

void KnownCharacterEditor::Body(UI::Ui& ui, const Rect& body) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const float x = body.x;
    const float w = body.w;
    const float a = Kit::FieldHeight(ui, false, 1);
    const float m = Kit::FieldHeight(ui, true, 3);
    PhotoRow(ui, x, body.y + 8);

    const float half = (w - kFieldGap) / 2;
    Kit::FieldOptions name(L"Nombre *", false);
    name.error = nameError && IsBlank(record.name);
    float y = body.y + 106;
    Kit::Field(ui, ControlId(kNameSalt), {x, y, half, a}, record.name, name);
    Kit::Field(ui, ControlId(kAgeSalt), {x + half + kFieldGap, y, half, a}, record.age,
               Kit::FieldOptions(L"Edad", false));
    y += a + kFieldGap;
    Kit::Field(ui, ControlId(kRelationshipSalt), {x, y, w, a}, record.relationship,
               Kit::FieldOptions(L"Relación (amiga, hermano, jefe...)", false));
    y += a + kFieldGap;
    Kit::Field(ui, ControlId(kDescriptionSalt), {x, y, w, m}, record.description,
               Kit::FieldOptions(L"Descripción", true));
    y += m + kSectionGap;

    Caption(ui, x, y, w, L"Importancia");
    y += kCaptionAdvance;
    y += Kit::ChoiceChips(ui, ControlId(kImportanceSalt), x, y, w, Importances(), record.importance, palette.secondary);
    y += kSectionGap;
    Caption(ui, x, y, w, L"Personalidad");
    y = TraitLines(ui, x, y + kCaptionAdvance, w, a);

    const std::wstring addLabel = L"Agregar línea";
    const float addWidth = Kit::ButtonWidth(ui, addLabel, Kit::kButtonFontSize);
    if (Kit::Button(ui, LabelId(addLabel), {x, y, addWidth, kSmallButtonHeight}, Icon::Plus, addLabel,
                    palette.secondary, false, true)) {
        record.personality.emplace_back();
        ui.focus = LineId(ControlId(kLinesSalt), record.personality.size() - 1);
        ui.caretTime = ui.time;
    }
    const std::wstring pasteLabel = L"Pegar lista";
    const Rect paste = {x + addWidth + 8, y, Kit::ButtonWidth(ui, pasteLabel, Kit::kButtonFontSize),
                        kSmallButtonHeight};
    if (Kit::Button(ui, LabelId(pasteLabel), paste, Icon::TextBoxEdit, pasteLabel, palette.onBackground, false, true)) {
        PasteList();
    }
    ui.Tooltip(LabelId(pasteLabel), L"Pega una lista copiada (una línea por rasgo, con o sin guiones)");

    y += 58;
    Kit::Field(ui, ControlId(kBubbleSalt), {x, y, w, a}, record.bubble_name,
               Kit::FieldOptions(L"Nombre en la burbuja (opcional)", false));
    Note(ui, x + 4, y + a + 4, w - 4, L"Se muestra cuando este personaje habla en un mensaje.");
}

void KnownCharacterEditor::PhotoRow(UI::Ui& ui, float x, float top) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Rect avatar = {x, top, kAvatarSize, kAvatarSize};
    const uint64_t avatarId = ControlId(kAvatarSalt);
    const UI::Interaction pointer = ui.Interact(avatarId, avatar, true);
    const float hover = UI::Material::StateLayer(ui, avatarId, pointer.hovered, pointer.held).first;
    Kit::Avatar(ui, avatar, record.photoPath, record.name.empty() ? L"?" : record.name, 2, {0, 0, 0, 0});
    if (hover > 0) {
        const float cx = x + kAvatarSize / 2;
        const float cy = top + kAvatarSize / 2;
        graphics.FillEllipse(cx, cy, 40, 40, {0, 0, 0, std::floor(hover * 120) / 255});
        UI::Material::DrawIcon(graphics, Icon::ImageAdd, {cx - 12, cy - 12, 24, 24}, {1, 1, 1, hover});
    }

    const float textX = x + kPhotoTextLeft;
    TextStyle heading = Kit::KitStyle(14, 500);
    heading.valign = VerticalAlign::Center;
    graphics.DrawText(L"Foto", {textX, top + 4, 300, 20}, palette.onBackground, heading);
    Note(ui, textX, top + 24, 400, L"Opcional. Aparece en su ficha y en sus mensajes.");

    const std::wstring choose = L"Elegir foto";
    const float chooseWidth = Kit::ButtonWidth(ui, choose, Kit::kButtonFontSize);
    const bool picked = Kit::Button(ui, LabelId(choose), {textX, top + 46, chooseWidth, 32}, Icon::ImageAdd, choose,
                                    palette.secondary, false, true);
    if (record.photoPath) {
        const std::wstring remove = L"Quitar";
        const Rect removeRect = {textX + chooseWidth + 8, top + 46, Kit::ButtonWidth(ui, remove, Kit::kButtonFontSize),
                                 32};
        if (Kit::Button(ui, LabelId(remove), removeRect, Icon::Delete, remove, palette.danger, false, true)) {
            record.photoPath.reset();
        }
    }
    if (picked || pointer.clicked) {
        ChoosePhoto();
    }
}

void KnownCharacterEditor::ChoosePhoto() {
    if (!owner) {
        return;
    }
    if (std::optional<std::wstring> path = PickPhoto(*owner)) {
        record.photoPath = std::move(*path);
    }
}

float KnownCharacterEditor::TraitLines(UI::Ui& ui, float x, float top, float width, float fieldHeight) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const uint64_t linesId = ControlId(kLinesSalt);
    std::optional<size_t> removed;
    float y = top;
    for (size_t i = 0; i < record.personality.size(); ++i) {
        const uint64_t id = LineId(linesId, i);
        const float centre = y + fieldHeight / 2;
        ui.graphics->FillEllipse(x + 6, centre, 3, 3, palette.secondary);
        Kit::Field(ui, id, {x + 18, y, width - 60, fieldHeight}, record.personality[i],
                   Kit::FieldOptions(L"Rasgo " + std::to_wstring(i + 1), false));
        if (Kit::IconButton(ui, UI::SaltedId(id, kRemoveLineSalt), {x + width - 36, centre - 17, 34, 34}, Icon::Close,
                            palette.danger, L"Quitar línea", true, 18)) {
            removed = i;
        }
        y += fieldHeight + kLineGap;
    }
    if (removed) {
        record.personality.erase(record.personality.begin() + static_cast<std::ptrdiff_t>(*removed));
        // The later lines move up into the ids of the ones before them; no field keeps a focus
        // that would now belong to another trait.
        ui.focus = 0;
    }
    return y;
}

void KnownCharacterEditor::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, editing ? L"Guardar" : L"Agregar", editing ? Icon::Save : Icon::Plus,
                     palette.secondary, true, true)) {
        OnSubmit();
        return;
    }
    if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackground, false, true)) {
        Close();
    }
}

std::optional<KnownCharacter> KnownCharacterEditor::Finished(const KnownCharacter& person) {
    KnownCharacter done = person;
    done.name = Text::Trim(person.name);
    if (done.name.empty()) {
        return std::nullopt;
    }
    done.age = Text::Trim(person.age);
    done.relationship = Text::Trim(person.relationship);
    done.description = Text::Trim(person.description);
    done.bubble_name = Text::Trim(person.bubble_name);
    done.personality.clear();
    for (const std::wstring& line : person.personality) {
        std::wstring trait = Text::Trim(line);
        if (!trait.empty()) {
            done.personality.push_back(std::move(trait));
        }
    }
    return done;
}

void KnownCharacterEditor::OnSubmit() {
    std::optional<KnownCharacter> done = Finished(record);
    if (!done) {
        nameError = true;
        if (owner) {
            owner->toasts.Push(L"El nombre es obligatorio.", Kit::ToastKind::Error);
        }
        return;
    }
    // The callback may open this editor again, which replaces the callback and the record.
    const std::function<void(const KnownCharacter&)> callback = onSave;
    Close();
    if (callback) {
        callback(*done);
    }
}

void KnownCharacterEditor::PasteList() {
    const std::vector<std::wstring> pasted = SplitPastedList(Text::ReadClipboard());
    if (pasted.empty()) {
        if (owner) {
            owner->toasts.Push(L"No hay texto en el portapapeles", Kit::ToastKind::Info);
        }
        return;
    }
    AppendPastedLines(record.personality, pasted);
}

}  // namespace Lorvex::Main

// The character form's card of the people the character knows: a row per person, edited in the
// known-character editor, removed at once.

#include <algorithm>
#include <cmath>
#include <utility>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/KitColor.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kRowHeight = 64;
constexpr float kRowStep = 72;
constexpr float kEmptyHeight = 56;
constexpr uint64_t kEditSalt = 0xED17;
constexpr uint64_t kRemoveSalt = 0x2E30;

enum class RowAction { None, Edit, Remove };

// The line under the name: relationship and description, else the first trait, on one line.
std::wstring Detail(const KnownCharacter& person) {
    std::wstring about = person.description;
    if (about.empty() && !person.personality.empty()) {
        about = person.personality.front();
    }
    std::wstring line = person.relationship;
    if (!line.empty() && !about.empty()) {
        line += L" · ";
    }
    line += about;
    if (line.empty()) {
        return L"Sin descripción";
    }
    std::replace(line.begin(), line.end(), L'\r', L' ');
    std::replace(line.begin(), line.end(), L'\n', L' ');
    return line;
}

Color ImportanceColor(const std::wstring& importance) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    if (importance == L"Principal") {
        return palette.accent;
    }
    if (importance == L"Secundario") {
        return palette.secondary;
    }
    return palette.onBackgroundMuted;
}

// One known person: avatar, name with age, importance, the detail line and the edit and remove
// buttons; a click on the row itself edits.
RowAction KnownRow(UI::Ui& ui, uint64_t id, const Rect& row, const KnownCharacter& person) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, row);
    const float hover = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;
    graphics.FillRoundRect(row, 14, Kit::Faded(palette.surfaceContainer, 0.45f + 0.35f * hover));
    graphics.StrokeRoundRect({row.x + 0.5f, row.y + 0.5f, row.w - 1, row.h - 1}, 13.5f,
                             Kit::Mix(palette.outlineSubtle, Kit::Faded(palette.accent, 0.5f), hover), 1);
    Kit::Avatar(ui, {row.x + 12, row.y + row.h / 2 - 19, 38, 38}, person.photoPath, person.name, 0, {});

    const float textX = row.x + 62;
    const float textWidth = row.w - 162;
    if (textWidth > 0) {
        const std::wstring title = person.age.empty() ? person.name : person.name + L", " + person.age;
        TextStyle titleStyle = Kit::KitStyle(14.5f, 600);
        titleStyle.valign = VerticalAlign::Center;
        titleStyle.ellipsis = true;
        const float titleWidth =
            std::max(0.0f, std::min(graphics.MeasureText(title, titleStyle, 100000).width + 2, textWidth - 90));
        graphics.DrawText(title, {textX, row.y + 11, titleWidth, 22}, palette.onBackground, titleStyle);
        const float chipWidth = Kit::ChipWidth(ui, person.importance, false);
        Kit::Chip(ui, {textX + titleWidth + 8, row.y + 13, chipWidth, 19}, person.importance,
                  ImportanceColor(person.importance), Icon::Person, false);
        TextStyle detail = Kit::KitStyle(12.5f, 400);
        detail.valign = VerticalAlign::Center;
        detail.ellipsis = true;
        graphics.DrawText(Detail(person), {textX, row.y + 34, textWidth, 18}, palette.onBackgroundMuted, detail);
    }

    const float by = row.y + row.h / 2 - 17;
    const bool edit = Kit::IconButton(ui, UI::SaltedId(id, kEditSalt), {row.x + row.w - 84, by, 34, 34},
                                      static_cast<Icon>(71), palette.onBackground, L"Editar", true, 18);
    const bool remove = Kit::IconButton(ui, UI::SaltedId(id, kRemoveSalt), {row.x + row.w - 46, by, 34, 34},
                                        static_cast<Icon>(39), palette.danger, L"Quitar", true, 18);
    if (remove) {
        return RowAction::Remove;
    }
    return edit || interaction.clicked ? RowAction::Edit : RowAction::None;
}

}  // namespace

void CharacterFormScreen::AddKnown() {
    owner->knownCharacterEditor->Open(
        std::nullopt, [this](const KnownCharacter& person) { draft.knownCharacters.push_back(person); }, L"");
}

void CharacterFormScreen::EditKnown(size_t index) {
    // The callback runs later: by then the list may have lost that row.
    owner->knownCharacterEditor->Open(
        draft.knownCharacters[index],
        [this, index](const KnownCharacter& person) {
            if (index < draft.knownCharacters.size()) {
                draft.knownCharacters[index] = person;
            }
        },
        L"");
}

float CharacterFormScreen::DrawKnown(UI::Ui& ui, float x, float y, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const size_t n = draft.knownCharacters.size();
    const float list = n == 0 ? kEmptyHeight : kRowStep * static_cast<float>(n) - 8;
    const float height = 66 + list + 22;
    const Rect c = DrawSectionCard(ui, {x, y, width, height}, L"Personajes conocidos", 3);

    const std::wstring add = L"Agregar";
    const float addWidth = Kit::ButtonWidth(ui, add, Kit::kButtonFontSize);
    if (Kit::Button(ui, ui.MakeIdFromText("cf-known-add"), {c.x + c.w - addWidth, y + 16, addWidth, 38},
                    static_cast<Icon>(6), add, palette.secondary, false, true)) {
        AddKnown();
    }

    if (n == 0) {
        ui.graphics->StrokeRoundRect({c.x + 0.5f, c.y + 0.5f, c.w - 1, kEmptyHeight - 1}, 14, palette.outlineSubtle, 1);
        TextStyle style = Kit::KitStyle(13, 400);
        style.valign = VerticalAlign::Center;
        style.ellipsis = true;
        ui.graphics->DrawText(L"Amigos, familia o rivales que el personaje recordará siempre.",
                              {c.x + 18, c.y, c.w - 36, kEmptyHeight}, palette.onBackgroundMuted, style);
        return height;
    }
    for (size_t i = 0; i < draft.knownCharacters.size(); ++i) {
        const Rect row = {c.x, c.y + kRowStep * static_cast<float>(i), c.w, kRowHeight};
        const RowAction action = KnownRow(ui, ui.MakeId("cf-known", i), row, draft.knownCharacters[i]);
        if (action == RowAction::Remove) {
            draft.knownCharacters.erase(draft.knownCharacters.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        } else if (action == RowAction::Edit) {
            EditKnown(i);
        }
    }
    return height;
}

}  // namespace Lorvex::Main

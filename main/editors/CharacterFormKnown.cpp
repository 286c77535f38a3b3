// The character form's card of the people the character knows: a row per person, edited in the
// known-character editor, removed at once.

#include <algorithm>
#include <cmath>
#include <utility>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterRow.h"
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
        const Kit::KnownRowAction action =
            Kit::KnownCharacterRow(ui, ui.MakeId("cf-known", i), row, draft.knownCharacters[i]);
        if (action == Kit::KnownRowAction::Remove) {
            draft.knownCharacters.erase(draft.knownCharacters.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        } else if (action == Kit::KnownRowAction::Edit) {
            EditKnown(i);
        }
    }
    return height;
}

}  // namespace Lorvex::Main

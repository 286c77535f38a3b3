#include "main/editors/KnownCharacterRow.h"

#include <algorithm>
#include <cmath>

#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/KitColor.h"
#include "ui/Icons.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {
namespace {

using UI::Material::Icon;

constexpr uint64_t kEditSalt = 0x4B01;
constexpr uint64_t kRemoveSalt = 0x4B02;

constexpr float kAvatarSize = 38;
constexpr float kTextLeft = 62;
constexpr float kButtonSize = 34;

Color ImportanceColor(const std::wstring& importance) {
    const UI::Material::Theme& palette = KitPalette();
    if (importance == L"Principal") {
        return palette.primary;
    }
    if (importance == L"Secundario") {
        return palette.secondary;
    }
    return palette.onBackgroundMuted;
}

}  // namespace

std::wstring KnownCharacterDetail(const KnownCharacter& person) {
    std::wstring about = person.description;
    if (about.empty() && !person.personality.empty()) {
        about = person.personality.front();
    }
    std::wstring detail = person.relationship;
    if (!detail.empty() && !about.empty()) {
        detail += L" · ";
    }
    detail += about;
    if (detail.empty()) {
        return L"Sin descripción";
    }
    std::replace(detail.begin(), detail.end(), L'\r', L' ');
    std::replace(detail.begin(), detail.end(), L'\n', L' ');
    return detail;
}

KnownRowAction KnownCharacterRow(UI::Ui& ui, uint64_t id, const Rect& rect, const KnownCharacter& person) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    const UI::Interaction row = ui.Interact(id, rect, true);
    const float hover = UI::Material::StateLayer(ui, id, row.hovered, row.held).first;

    graphics.FillRoundRect(rect, 14, Faded(palette.surfaceContainer, 0.45f + 0.35f * hover));
    graphics.StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, 13.5f,
                             Mix(palette.outlineSubtle, Faded(palette.primary, 0.5f), hover), 1);
    Avatar(ui, {rect.x + 12, rect.y + rect.h / 2 - kAvatarSize / 2, kAvatarSize, kAvatarSize}, person.photoPath,
           person.name, 0, {0, 0, 0, 0});

    const float textX = rect.x + kTextLeft;
    const float textWidth = rect.w - 162;
    std::wstring heading = person.name;
    if (!person.age.empty()) {
        heading += L", " + person.age;
    }
    TextStyle headingStyle = KitStyle(14.5f, 600);
    headingStyle.valign = VerticalAlign::Center;
    headingStyle.ellipsis = true;
    const float headingWidth =
        std::max(0.0f, std::min(graphics.MeasureText(heading, headingStyle, 100000).width + 2, textWidth - 90));
    graphics.DrawText(heading, {textX, rect.y + 11, headingWidth, 22}, palette.onBackground, headingStyle);
    Chip(ui, {textX + headingWidth + 8, rect.y + 13, ChipWidth(ui, person.importance, false), 19}, person.importance,
         ImportanceColor(person.importance), Icon::Star, false);

    TextStyle detailStyle = KitStyle(12.5f, 400);
    detailStyle.valign = VerticalAlign::Center;
    detailStyle.ellipsis = true;
    graphics.DrawText(KnownCharacterDetail(person), {textX, rect.y + 34, std::max(0.0f, textWidth), 18},
                      palette.onBackgroundMuted, detailStyle);

    const float buttonY = rect.y + rect.h / 2 - kButtonSize / 2;
    const bool edit =
        IconButton(ui, UI::SaltedId(id, kEditSalt), {rect.x + rect.w - 84, buttonY, kButtonSize, kButtonSize},
                   Icon::Pencil, palette.onBackground, L"Editar", true, 18);
    const bool remove =
        IconButton(ui, UI::SaltedId(id, kRemoveSalt), {rect.x + rect.w - 46, buttonY, kButtonSize, kButtonSize},
                   Icon::Delete, palette.danger, L"Quitar", true, 18);
    if (remove) {
        return KnownRowAction::Remove;
    }
    if (edit || row.clicked) {
        return KnownRowAction::Edit;
    }
    return KnownRowAction::None;
}

}  // namespace Lorvex::Main::Kit

// The first four cards of the character form: identity, speech style, personality and scene.

#include <algorithm>
#include <cmath>

#include "domain/Choices.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/PhotoPick.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "ui/Material.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

// Space around a card's content: the header above it, the padding below and at the sides.
constexpr float kCardTop = 66;
constexpr float kCardBottom = 22;
constexpr float kCardSide = 22;
constexpr float kFieldGap = 16;
constexpr float kAvatarSide = 104;
constexpr float kPhotoBlock = 132;  // the avatar row with its air below
constexpr float kCaptionAdvance = 28;

Icon IconAt(int32_t value) {
    return static_cast<Icon>(value);
}

// A text field bound to a draft member; a missing required one shows the error state.
void DraftField(UI::Ui& ui, const char* id, const Rect& rect, std::wstring& text, const wchar_t* label, bool multiLine,
                bool missing) {
    Kit::FieldOptions options(label, multiLine);
    options.error = missing;
    Kit::Field(ui, ui.MakeIdFromText(id), rect, text, options);
}

void Caption(UI::Ui& ui, const Rect& rect, const wchar_t* text, float size, int32_t weight, const Color& color) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    ui.graphics->DrawText(text, rect, color, style);
}

}  // namespace

std::vector<std::wstring> CharacterFormScreen::SpeechStyleNames() {
    std::vector<std::wstring> names;
    for (const SpeechStyle& style : SpeechStyles()) {
        names.push_back(style.name);
    }
    return names;
}

float CharacterFormScreen::ChipRowsHeight(UI::Ui& ui, float width, const std::vector<std::wstring>& options) {
    std::vector<float> widths;
    for (const std::wstring& option : options) {
        widths.push_back(std::ceil(ui.graphics->MeasureText(option, Kit::KitStyle(13, 500), 100000).width + 28));
    }
    const std::vector<Rect> rects = Kit::ChoiceChipsLayout(0, 0, width, widths);
    return rects.empty() ? Kit::kChoiceChipHeight : rects.back().y + Kit::kChoiceChipHeight;
}

bool CharacterFormScreen::IsMissing(const std::wstring& text) const {
    return showErrors && IsBlank(text);
}

Rect CharacterFormScreen::DrawSectionCard(UI::Ui& ui, const Rect& card, const std::wstring& title, int32_t icon) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    UI::Material::Shadow(graphics, card, 18, 1);
    graphics.FillRoundRect(card, 18, palette.surface);
    graphics.StrokeRoundRect({card.x + 0.5f, card.y + 0.5f, card.w - 1, card.h - 1}, 17.5f, palette.surfaceOverlay, 1);
    Kit::SectionHeader(ui, {card.x + kCardSide, card.y + 22, card.w - 2 * kCardSide, 26}, title, IconAt(icon));
    return {card.x + kCardSide, card.y + kCardTop, card.w - 2 * kCardSide, card.h - kCardTop - kCardBottom};
}

// ---- Identity ----

void CharacterFormScreen::ChoosePhoto() {
    if (const std::optional<std::wstring> picked = Main::PickPhoto(*owner)) {
        draft.photoPath = *picked;
    }
}

void CharacterFormScreen::DrawPhoto(UI::Ui& ui, float cx, float cy, float cw) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Rect avatar = {cx, cy, kAvatarSide, kAvatarSide};
    const std::optional<std::wstring> photo =
        draft.photoPath.empty() ? std::nullopt : std::optional<std::wstring>(draft.photoPath);
    Kit::Avatar(ui, avatar, photo, draft.name, 3, palette.accent);
    const uint64_t photoId = ui.MakeIdFromText("cf-photo");
    const UI::Interaction photoClick = ui.Interact(photoId, avatar);
    const float hover = UI::Material::StateLayer(ui, photoId, photoClick.hovered, photoClick.held).first;
    if (hover > 0) {
        const float r = kAvatarSide / 2;
        graphics.FillEllipse(cx + r, cy + r, r, r, {0, 0, 0, std::floor(hover * 120) / 255});
        UI::Material::DrawIcon(graphics, IconAt(55), {cx + r - 14, cy + r - 14, 28, 28}, {1, 1, 1, hover});
    }
    ui.Tooltip(photoId, L"Elegir foto");

    const float tx = cx + 124;
    const float tw = cw - 124;
    if (tw > 0) {
        Caption(ui, {tx, cy + 10, tw, 22}, L"Foto del personaje", 14.5f, 500, palette.onBackground);
        Caption(ui, {tx, cy + 32, tw, 20}, L"PNG, JPG, GIF o WEBP. Se copia a tu carpeta de datos.", 12.5f, 400,
                palette.onBackgroundMuted);
    }
    const std::wstring pick = L"Elegir foto";
    const float pickWidth = Kit::ButtonWidth(ui, pick, Kit::kButtonFontSize);
    const bool picked = Kit::Button(ui, ui.MakeIdFromText("cf-photo-pick"), {tx, cy + 62, pickWidth, 38}, IconAt(55),
                                    pick, palette.secondary, false, true);
    if (!draft.photoPath.empty()) {
        const std::wstring remove = L"Quitar";
        const float removeWidth = Kit::ButtonWidth(ui, remove, Kit::kButtonFontSize);
        if (Kit::Button(ui, ui.MakeIdFromText("cf-photo-rm"), {tx + pickWidth + 10, cy + 62, removeWidth, 38},
                        IconAt(39), remove, palette.danger, false, true)) {
            draft.photoPath.clear();
        }
    }
    if (photoClick.clicked || picked) {
        ChoosePhoto();
    }
}

float CharacterFormScreen::DrawIdentity(UI::Ui& ui, float x, float y, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const float cw = width - 2 * kCardSide;
    const float f1 = Kit::FieldHeight(ui, false, 1);
    const float genders = ChipRowsHeight(ui, cw, Genders());
    const float orientations = ChipRowsHeight(ui, cw, Orientations());
    const float height = kCardTop + kPhotoBlock + f1 + 18 + kCaptionAdvance + genders + 16 + kCaptionAdvance +
                         orientations + kCardBottom;
    const Rect c = DrawSectionCard(ui, {x, y, width, height}, L"Identidad", 1);

    DrawPhoto(ui, c.x, c.y, c.w);
    const float fieldWidth = (c.w - 14) / 2;
    const float fy = c.y + kPhotoBlock;
    DraftField(ui, "cf-name", {c.x, fy, fieldWidth, f1}, draft.name, L"Nombre *", false, IsMissing(draft.name));
    DraftField(ui, "cf-age", {c.x + fieldWidth + 14, fy, fieldWidth, f1}, draft.age, L"Edad *", false,
               IsMissing(draft.age));

    const float gy = fy + f1 + 18;
    Kit::FieldLabel(ui, {c.x, gy, c.w, 20}, L"Género", true);
    Kit::ChoiceChips(ui, ui.MakeIdFromText("cf-gender"), c.x, gy + kCaptionAdvance, c.w, Genders(), draft.gender,
                     palette.accent);
    const float oy = gy + kCaptionAdvance + genders + 16;
    Kit::FieldLabel(ui, {c.x, oy, c.w, 20}, L"Orientación sexual", true);
    Kit::ChoiceChips(ui, ui.MakeIdFromText("cf-orient"), c.x, oy + kCaptionAdvance, c.w, Orientations(),
                     draft.orientation, palette.accent);
    return height;
}

// ---- Speech style ----

float CharacterFormScreen::DrawSpeech(UI::Ui& ui, float x, float y, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const std::vector<std::wstring> names = SpeechStyleNames();
    const float cw = width - 2 * kCardSide;
    const float chips = ChipRowsHeight(ui, cw, names);
    const float height = kCardTop + kCaptionAdvance + chips + 12 + 44 + 14 + 1 + 14 + 52 + kCardBottom;
    const Rect c = DrawSectionCard(ui, {x, y, width, height}, L"Forma de hablar", 67);

    Caption(ui, {c.x, c.y, c.w, 20}, L"Estilo de habla", 12.5f, 500, palette.onBackgroundMuted);
    Kit::ChoiceChips(ui, ui.MakeIdFromText("cf-style"), c.x, c.y + kCaptionAdvance, c.w, names, draft.speechStyle,
                     palette.secondary);

    const float by = c.y + kCaptionAdvance + chips + 12;
    graphics.FillRoundRect({c.x, by, c.w, 44}, 12, Kit::Faded(palette.secondary, 0.1f));
    UI::Material::DrawIcon(graphics, IconAt(58), {c.x + 11.5f, by + 13.5f, 17, 17}, palette.secondary);
    for (const SpeechStyle& style : SpeechStyles()) {
        if (style.name == draft.speechStyle && c.w > 52) {
            TextStyle text = Kit::KitStyle(13, 400);
            text.valign = VerticalAlign::Center;
            text.ellipsis = true;
            graphics.DrawText(style.description, {c.x + 40, by, c.w - 52, 44}, Kit::Faded(palette.onBackground, 0.85f),
                              text);
            break;
        }
    }
    graphics.FillRect({c.x, by + 58, c.w, 1}, palette.outlineSubtle);

    const float ry = by + 73;
    UI::Material::DrawIcon(graphics, IconAt(48), {c.x + 2, ry + 16, 20, 20}, palette.danger);
    const float textWidth = c.w - 100;
    if (textWidth > 0) {
        Caption(ui, {c.x + 36, ry + 6, textWidth, 20}, L"Contenido para adultos", 14.5f, 500, palette.onBackground);
        Caption(ui, {c.x + 36, ry + 27, textWidth, 18}, L"Permite escenas intensas manteniendo la coherencia", 12.5f,
                400, palette.onBackgroundMuted);
    }
    if (UI::Material::Switch(ui, ui.MakeIdFromText("cf-nsfw"), {c.x + c.w - 52, ry, 52, 52}, draft.adult, true)) {
        draft.adult = !draft.adult;
    }
    return height;
}

// ---- Personality and scene ----

float CharacterFormScreen::DrawPersonality(UI::Ui& ui, float x, float y, float width) {
    const float f1 = Kit::FieldHeight(ui, false, 1);
    const float f4 = Kit::FieldHeight(ui, true, 4);
    const float height = kCardTop + f1 + kFieldGap + f4 + kFieldGap + f4 + kCardBottom;
    const Rect c = DrawSectionCard(ui, {x, y, width, height}, L"Personalidad", 14);
    DraftField(ui, "cf-traits", {c.x, c.y, c.w, f1}, draft.traits, L"Rasgos (separados por comas)", false, false);
    const float py = c.y + f1 + kFieldGap;
    DraftField(ui, "cf-personality", {c.x, py, c.w, f4}, draft.personality, L"Personalidad *", true,
               IsMissing(draft.personality));
    DraftField(ui, "cf-background", {c.x, py + f4 + kFieldGap, c.w, f4}, draft.background, L"Historia *", true,
               IsMissing(draft.background));
    return height;
}

float CharacterFormScreen::DrawScene(UI::Ui& ui, float x, float y, float width) {
    const float f3 = Kit::FieldHeight(ui, true, 3);
    const float height = kCardTop + f3 + kFieldGap + f3 + 26 + kCardBottom;
    const Rect c = DrawSectionCard(ui, {x, y, width, height}, L"Escena", 63);
    DraftField(ui, "cf-scenario", {c.x, c.y, c.w, f3}, draft.scenario, L"Escenario (dónde y cuándo ocurre)", true,
               false);
    const float iy = c.y + f3 + kFieldGap;
    DraftField(ui, "cf-initial", {c.x, iy, c.w, f3}, draft.initialMessage, L"Mensaje inicial", true, false);
    Caption(ui, {c.x + 4, iy + f3 + 6, c.w, 18},
            L"Con lo que empieza cada chat nuevo. Usa *asteriscos* para las acciones.", 12, 400,
            Kit::KitPalette().onBackgroundMuted);
    return height;
}

}  // namespace Lorvex::Main

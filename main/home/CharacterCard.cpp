// One card of the home grid.

#include <algorithm>
#include <string>
#include <string_view>

#include "main/MainWindow.h"
#include "main/home/HomeEntrance.h"
#include "main/home/HomeScreen.h"
#include "main/home/HomeTexts.h"
#include "main/home/HomeTones.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Ids.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

constexpr float kRadius = 18;
constexpr uint64_t kMenuSalt = 0xCA4D;
constexpr uint64_t kChatSalt = 0xC4A7;
constexpr float kPreviewLines = 2;

// "card" from the enclosing seed, continued over the record id, so the card's hover and entrance
// follow the character wherever the order puts it.
uint64_t CardId(const UI::Ui& ui, const std::wstring& characterId) {
    return UI::NonZeroId(
        UI::Fnv1a64(UI::Fnv1a64(ui.IdSeed(), std::string_view("card")), std::wstring_view(characterId)));
}

void DrawTags(UI::Ui& ui, const Character& character, float left, float top, float limit) {
    float x = left;
    for (const Home::CardTag& tag : Home::CardTags(character, Services::AppState::Instance().characters)) {
        const float width = Kit::ChipWidth(ui, tag.label, true);
        // A tag that does not fit is left out; a shorter one after it may still fit.
        if (x + width > limit) {
            continue;
        }
        Kit::Chip(ui, {x, top, width, 21}, tag.label, Home::ToneColor(tag.tone), tag.icon, true);
        x += width + 6;
    }
}

}  // namespace

void HomeScreen::DrawCard(UI::Ui& ui, const Rect& card, const std::shared_ptr<Character>& character, size_t index) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float x = card.x;
    const float y = card.y;
    const float w = card.w;
    const float h = card.h;
    const uint64_t id = CardId(ui, character->id);

    // Cards come in one after the other; from the fifteenth on, all together.
    const double delay = static_cast<double>(std::min<size_t>(index + 2, 16)) * 0.045;
    const float e = Home::EntranceStep(ui, shownAt + delay, 0.45);
    Home::EntranceScope entrance(ui, e, 22);

    const UI::Interaction interaction = ui.Interact(id, card, true, true);
    const auto [v, q] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    ui.PushTranslate(0, 1.5f * q - 4 * v);

    const Color hue = Kit::AvatarColors()[Kit::AvatarColorIndex(character->name)];
    if (v > 0) {
        graphics.GlowRound(card, kRadius, palette.accent, 22, 0.28f * v);
    }
    UI::Material::Shadow(graphics, card, kRadius, 1 + 7 * v);
    graphics.FillRoundRect(card, kRadius, palette.surface);
    // The wash takes the card's top corners by its own rounding rather than a clip layer: its lower
    // corners are rounded too, where it has faded out, and a layer per card would cost more.
    graphics.FillLinearGradient({x, y, w, 90}, kRadius,
                                {{0, Kit::Faded(hue, 0.16f + 0.08f * v)}, {1, Kit::Faded(hue, 0)}}, {0, 0}, {0, 1});
    graphics.StrokeRoundRect({x + 0.5f, y + 0.5f, w - 1, h - 1}, kRadius - 0.5f,
                             Kit::Mix(palette.surfaceOverlay, Kit::Faded(palette.accent, 0.7f), v), 1);

    ui.PushScale(1 + 0.05f * v, x + 50, y + 50);
    Kit::Avatar(ui, {x + 18, y + 18, 64, 64}, character->photoPath, character->name, 2 + v, hue);
    ui.PopTransform();

    const float tx = x + 98;
    const float tw = w - 116;
    if (tw > 0) {
        TextStyle nameStyle = Kit::KitStyle(17, 600);
        nameStyle.valign = VerticalAlign::Center;
        nameStyle.ellipsis = true;
        graphics.DrawText(character->name, {tx, y + 20, tw, 26}, palette.onBackground, nameStyle);
        TextStyle subtitleStyle = Kit::KitStyle(12.5f, 400);
        subtitleStyle.valign = VerticalAlign::Center;
        subtitleStyle.ellipsis = true;
        graphics.DrawText(Home::CardSubtitle(*character), {tx, y + 45, tw, 18}, palette.onBackgroundMuted,
                          subtitleStyle);
    }
    DrawTags(ui, *character, tx, y + 68, x + w - 14);

    const Home::CardPreview preview = Home::PreviewOf(*character);
    TextStyle previewStyle = Kit::KitStyle(13, 400);
    previewStyle.wrap = true;
    previewStyle.ellipsis = true;
    previewStyle.lineHeight = 19;
    previewStyle.italic = preview.italic;
    // Two lines: cut where the second ends too, for a text engine that draws the lines its box
    // has no room for instead of dropping them (the third would run over the divider).
    graphics.PushAxisClip({x + 18, y + 104, w - 36, kPreviewLines * previewStyle.lineHeight});
    graphics.DrawText(preview.text, {x + 18, y + 104, w - 36, 40}, Kit::Faded(palette.onBackground, 0.72f),
                      previewStyle);
    graphics.PopAxisClip();

    const float fy = y + h - 50;
    graphics.FillRect({x + 18, fy - 8, w - 36, 1}, palette.outlineSubtle);
    UI::Material::DrawIcon(graphics, UI::Material::Icon::Forum, {x + 27 - 7.5f, fy + 18 - 7.5f, 15, 15},
                           palette.onBackgroundMuted);
    TextStyle footerStyle = Kit::KitStyle(12.5f, 400);
    footerStyle.valign = VerticalAlign::Center;
    footerStyle.ellipsis = true;
    graphics.DrawText(Home::CardFooter(character->chats->size(), Character::LatestActivity(*character)),
                      {x + 40, fy, w - 200, 36}, palette.onBackgroundMuted, footerStyle);

    const Rect menuButton = {x + w - 50, fy + 1, 34, 34};
    if (Kit::IconButton(ui, UI::SaltedId(id, kMenuSalt), menuButton, UI::Material::Icon::DotsVertical,
                        palette.onBackground, L"Más opciones", true, 18)) {
        ShowCardMenu(ui.ToWindow(menuButton), character);
    }
    const std::wstring chatLabel = L"Chatear";
    const float chatWidth = Kit::ButtonWidth(ui, chatLabel, Kit::kButtonFontSize) - 6;
    const bool chat =
        Kit::Button(ui, UI::SaltedId(id, kChatSalt), {menuButton.x - 6 - chatWidth, fy + 1, chatWidth, 34},
                    UI::Material::Icon::Chat, chatLabel, palette.accent, true, true);
    ui.PopTransform();

    // The card's own click is only the card's when none of its buttons was under the pointer:
    // they are drawn after it and take the hover from it.
    if (chat || interaction.clicked) {
        owner->OpenCharacter(character);
    } else if (interaction.rightClicked && ui.input) {
        ShowCardMenu({ui.input->x, ui.input->y, ui.scale, ui.scale}, character);
    }
}

}  // namespace Lorvex::Main

#include "main/home/HomeScreen.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/home/HomeEntrance.h"
#include "main/home/HomeLayout.h"
#include "main/home/HomeList.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/EmptyState.h"
#include "main/kit/Fields.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Main {
namespace {

using Home::kMargin;

constexpr float kWheelStep = 64;
constexpr float kSortChipGap = 8;
constexpr float kSearchGap = 16;   // between the search box and the sort chips
constexpr float kSearchMin = 140;  // narrower than this, the box is left out
constexpr float kSearchMax = 300;
constexpr float kEmptyHeight = 330;
constexpr float kNoResultsHeight = 280;

float ChoiceChipWidth(UI::Ui& ui, const std::wstring& label) {
    TextStyle style = Kit::KitStyle(13, 500);
    return std::ceil(ui.graphics->MeasureText(label, style, 100000).width + 28);
}

}  // namespace

void HomeScreen::OnShow() {
    shownAt = owner->ui.time;
}

std::wstring HomeScreen::Title() {
    return L"Inicio";
}

void HomeScreen::Draw(UI::Ui& ui, const Rect& content) {
    if (shownAt < 0) {
        shownAt = ui.time;
    }
    Services::AppState& state = Services::AppState::Instance();
    const Home::CharacterList& shown =
        shownCharacters_.List(state.characters, state.revision, Home::SearchQuery(searchText), sortAlphabetical);
    cardsDrawn = 0;

    UI::ScrollArea scroll(ui, ui.MakeIdFromText("home-scroll"), content, kWheelStep);
    {
        const float e = Home::EntranceStep(ui, shownAt, 0.45);
        Home::EntranceScope entrance(ui, e, 16);
        DrawHero(ui, Home::HeroRect(content));
    }
    {
        const float e = Home::EntranceStep(ui, shownAt + 0.07, 0.4);
        Home::EntranceScope entrance(ui, e, 12);
        DrawToolbar(ui, {content.x + kMargin, Home::ToolbarTop(content), content.w - 2 * kMargin, Home::kToolbarHeight},
                    state.characters.size());
    }

    const float left = content.x + kMargin;
    const float width = content.w - 2 * kMargin;
    float y = Home::BodyTop(content);
    if (state.characters.empty()) {
        if (Kit::EmptyState(ui, ui.MakeIdFromText("home-empty"), {left, y, width, kEmptyHeight},
                            UI::Material::Icon::TheaterMasks, L"Aún no tienes personajes",
                            L"Crea tu primer personaje: dale una personalidad, una historia y empieza a chatear.",
                            L"Crear personaje", UI::Material::Icon::PersonAdd)) {
            owner->characterFormScreen->StartNew();
            owner->Navigate(kCharacterFormScreen);
        }
        y += kEmptyHeight;
    } else if (shown.empty()) {
        Kit::EmptyState(ui, ui.MakeIdFromText("home-nores"), {left, y, width, kNoResultsHeight},
                        UI::Material::Icon::Search, L"Sin resultados", L"Ningún personaje se llama así.", L"",
                        UI::Material::Icon::Search);
        y += kNoResultsHeight;
    } else {
        const Home::CardGrid grid = Home::GridFor(left, y, width);
        // Only the rows near the viewport are visited, so cards far off screen cost nothing.
        const Home::CardSpan span =
            Home::CardsShown(grid, shown.size(), content.y + scroll.offset, content.y + scroll.offset + content.h);
        for (size_t i = span.first; i < span.end; ++i) {
            const Rect card = Home::CardRect(grid, i);
            if (ui.IsVisible(card, Home::kCardVisibleMargin)) {
                DrawCard(ui, card, shown[i], i);
                ++cardsDrawn;
            }
        }
        y += Home::GridHeight(grid, shown.size());
    }
    scroll.content = y - content.y + kMargin;
}

void HomeScreen::DrawToolbar(UI::Ui& ui, const Rect& row, size_t characterCount) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float cy = row.y + row.h / 2;
    const std::wstring title = L"Tus personajes";
    Kit::SectionHeader(ui, {row.x, row.y, 260, row.h}, title, UI::Material::Icon::TheaterMasks);

    const std::wstring count = std::to_wstring(characterCount);
    const float titleWidth = graphics.MeasureText(title, Kit::KitStyle(15, 600), 100000).width;
    Kit::Chip(ui, {row.x + 36 + titleWidth + 10, cy - 11, Kit::ChipWidth(ui, count, false), 22}, count, palette.accent,
              UI::Material::Icon::TheaterMasks, false);

    const float right = row.x + row.w;
    const std::wstring az = L"A-Z";
    const std::wstring recent = L"Recientes";
    const float azWidth = ChoiceChipWidth(ui, az);
    const float recentWidth = ChoiceChipWidth(ui, recent);
    const float azLeft = right - azWidth;
    const float recentLeft = azLeft - kSortChipGap - recentWidth;
    if (Kit::ChoiceChip(ui, ui.MakeIdFromText("sort-az"), {azLeft, cy - 16, azWidth, Kit::kChoiceChipHeight}, az,
                        sortAlphabetical, palette.secondary, true)) {
        sortAlphabetical = true;
    }
    if (Kit::ChoiceChip(ui, ui.MakeIdFromText("sort-recent"),
                        {recentLeft, cy - 16, recentWidth, Kit::kChoiceChipHeight}, recent, !sortAlphabetical,
                        palette.secondary, true)) {
        sortAlphabetical = false;
    }

    const float freeRight = recentLeft - kSearchGap;
    const float searchWidth = std::min(freeRight - row.x - 320, kSearchMax);
    if (searchWidth > kSearchMin) {
        DrawSearchBox(ui, {freeRight - searchWidth, cy - 21, searchWidth, 42});
    }
}

void HomeScreen::DrawSearchBox(UI::Ui& ui, const Rect& box) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const uint64_t fieldId = ui.MakeIdFromText("home-search");
    const bool focused = ui.focus == fieldId;
    const float cy = box.y + box.h / 2;
    graphics.FillRoundRect(box, 21, Kit::Faded(palette.surfaceContainer, 0.7f));
    graphics.StrokeRoundRect({box.x + 0.5f, box.y + 0.5f, box.w - 1, box.h - 1}, 20.5f,
                             focused ? palette.accent : palette.outlineSubtle, focused ? 1.5f : 1.0f);
    UI::Material::DrawIcon(graphics, UI::Material::Icon::Search, {box.x + 22 - 9, cy - 9, 18, 18},
                           focused ? palette.accent : palette.onBackgroundMuted);

    // The label stands in the field while it is empty; no outline or floating label of its own.
    Kit::FieldOptions options(L"Buscar personaje...", false);
    options.fontSize = 14;
    options.paddingLeft = 0;
    options.paddingTop = 10;
    options.paddingRight = 0;
    options.paddingBottom = 10;
    options.outlined = false;
    options.noDecoration = true;
    Kit::Field(ui, fieldId, {box.x + 40, cy - 19, box.w - 76, 36}, searchText, options);

    if (!searchText.empty() &&
        Kit::IconButton(ui, ui.MakeIdFromText("search-clear"), {box.x + box.w - 36, cy - 15, 30, 30},
                        UI::Material::Icon::Close, palette.onBackgroundMuted, L"Limpiar", true, 15)) {
        searchText.clear();
    }
}

}  // namespace Lorvex::Main

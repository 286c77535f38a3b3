// The navigation rail.

#include "main/window/Rail.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "App/Config/Config.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Shell.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "services/state/AppState.h"
#include "ui/Motion.h"

namespace Lorvex::Main::Rail {
namespace {

using UI::Material::Icon;

constexpr float kRowsTop = 14;
constexpr float kRowHeight = 76;
constexpr float kPillInset = 10;
constexpr float kPillTop = 6;
constexpr float kPillHeight = 64;
constexpr float kPillRadius = 18;
constexpr float kFolderButton = 42;
constexpr uint64_t kSelectedSalt = 0x5E1E;

struct Entry {
    const wchar_t* label;
    Icon icon;
};

constexpr Entry kEntries[kRowCount] = {
    {L"Inicio", static_cast<Icon>(54)},
    {L"Chat", static_cast<Icon>(50)},
    {L"Crear", static_cast<Icon>(6)},
    {L"Usuarios", static_cast<Icon>(5)},
};

// What a click on a row that is not highlighted does.
void Act(MainWindow& window, int32_t row) {
    switch (row) {
    case kHomeRow:
        window.Navigate(kHomeScreen);
        break;
    case kChatRow:
        window.Navigate(kChatScreen);
        break;
    case kCreateRow:
        // A fresh form every time, even when one was left half filled.
        window.characterFormScreen->StartNew();
        window.Navigate(kCharacterFormScreen);
        break;
    default:
        window.Navigate(kPersonasScreen);
        break;
    }
}

// The pill under the highlighted row, stretched while it travels, and the bar at the rail's edge.
void DrawIndicator(UI::Ui& ui, const Rect& rail, int32_t highlighted) {
    const Color accent = Kit::KitPalette().accent;
    Graphics& graphics = *ui.graphics;
    const float target = rail.y + kRowsTop + kRowHeight * static_cast<float>(highlighted);
    const float y = ui.Smooth(ui.MakeIdFromText("rail-indicator"), target, 15);
    const float g = std::min(std::fabs(y - target) / kRowHeight, 1.0f);
    graphics.FillRoundRect({rail.x + kPillInset, y + kPillTop - 6 * g, rail.w - 2 * kPillInset, kPillHeight + 12 * g},
                           kPillRadius, Kit::Faded(accent, 0.16f));
    const Rect bar = {rail.x + 2, y + 24, 4, 28};
    graphics.GlowRound(bar, 2, accent, 10, 0.6f);
    graphics.FillRoundRect(bar, 2, accent);
}

void DrawRow(UI::Ui& ui, MainWindow& window, const Rect& rail, int32_t row, bool highlighted, bool enabled) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Entry& entry = kEntries[row];
    const float y = rail.y + kRowsTop + kRowHeight * static_cast<float>(row);
    const uint64_t id = ui.MakeId("rail", static_cast<uint64_t>(row));
    const UI::Interaction interaction = ui.Interact(id, {rail.x, y, rail.w, kRowHeight}, enabled, true);
    if (!enabled) {
        // A disabled widget hovers under its salted id, which is where its tooltip listens.
        ui.Tooltip(UI::SaltedId(id, UI::Ui::kDisabledHoverSalt), L"Abre un personaje para chatear");
    }

    const float hover =
        highlighted ? 0.0f : UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;
    if (hover > 0) {
        graphics.FillRoundRect({rail.x + kPillInset, y + kPillTop, rail.w - 2 * kPillInset, kPillHeight}, kPillRadius,
                               Kit::Faded(palette.onBackground, 0.05f * hover));
    }
    const float selected = ui.Approach(UI::SaltedId(id, kSelectedSalt), highlighted ? 1.0f : 0.0f, 0.2f);
    const Color color = enabled
                            ? Kit::Mix(Kit::Faded(palette.onBackground, 0.55f + 0.3f * hover), palette.accent, selected)
                            : Kit::Faded(palette.onBackground, 0.25f);

    const float cx = rail.x + rail.w / 2;
    const float iconY = y + 28 - 2 * hover;
    const float pulse = UI::Material::Motion::Pulse(ui, id, highlighted, 0.5f);
    const bool pulsing = pulse > 0;
    if (pulsing) {
        ui.redraw = true;
        ui.PushScale(1 + 0.22f * std::sin((1 - pulse) * 3.14159265f), cx, iconY);
    }
    UI::Material::DrawIcon(graphics, entry.icon, {cx - 12, iconY - 12, 24, 24}, color);
    if (pulsing) {
        ui.PopTransform();
    }

    TextStyle style = Kit::KitStyle(11.5f, selected > 0.5f ? 600 : 500);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    graphics.DrawText(entry.label, {rail.x, y + 44, rail.w, 18}, color, style);

    if (row == kChatRow && !Services::AppState::Instance().runningReplies.empty()) {
        Kit::Spinner(ui, cx + 15, y + 16, 5, palette.accent, 2);
    }
    if (interaction.clicked && !highlighted) {
        Act(window, row);
    }
}

void DataFolderButton(UI::Ui& ui, const Rect& rail) {
    const Rect rect = {rail.x + (rail.w - kFolderButton) / 2, rail.y + rail.h - 84, kFolderButton, kFolderButton};
    if (Kit::IconButton(ui, ui.MakeIdFromText("rail-folder"), rect, static_cast<Icon>(49),
                        Kit::KitPalette().onBackground, L"Abrir la carpeta de datos", true, 20)) {
        const std::wstring& folder = Paths::DataDir();
        Files::EnsureDir(folder);
        Shell::Open(folder);
    }
}

}  // namespace

int32_t HighlightedRow(int32_t screen) {
    switch (screen) {
    case kChatScreen:
        return kChatRow;
    case kCharacterFormScreen:
        return kCreateRow;
    case kPersonasScreen:
    case kPersonaFormScreen:
        return kUsersRow;
    default:
        return kHomeRow;
    }
}

void Draw(UI::Ui& ui, MainWindow& window, const Rect& rail) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.FillRect(rail, palette.chrome);
    graphics.FillRect({rail.x + rail.w - 1, rail.y, 1, rail.h}, palette.surfaceOverlay);
    ui.BlockHover(rail, true);

    const int32_t highlighted = HighlightedRow(window.currentScreen);
    DrawIndicator(ui, rail, highlighted);
    const bool characterOpen = Services::AppState::Instance().currentCharacter != nullptr;
    for (int32_t row = 0; row < kRowCount; ++row) {
        DrawRow(ui, window, rail, row, row == highlighted, row != kChatRow || characterOpen);
    }

    DataFolderButton(ui, rail);
    TextStyle style = Kit::KitStyle(10.5f, 400);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    graphics.DrawText(L"v" + std::wstring(Config::kVersion), {rail.x, rail.y + rail.h - 34, rail.w, 20},
                      palette.onBackgroundMuted, style);
}

}  // namespace Lorvex::Main::Rail

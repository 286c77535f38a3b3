// The update dialog's cards: the status card with its progress, the automatic-check row, the
// version cards and their badges.

#include <d2d1_1.h>

#include <algorithm>
#include <cmath>

#include "domain/Settings.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "main/updates/UpdateDialog.h"
#include "main/updates/UpdateTexts.h"
#include "services/updates/Updates.h"
#include "ui/Icons.h"
#include "ui/Material.h"

namespace Lorvex::Main {
namespace {

namespace Updates = Services::Updates;
using Kit::Faded;
using UI::Material::Icon;
using Updates::Status;

constexpr float kCardHeight = 92;
constexpr float kCardWithProgressHeight = 132;
constexpr float kDiscOffset = 46;
constexpr float kDiscRadius = 26;
constexpr float kTextLeft = 86;
constexpr float kTextRightMargin = 106 - kTextLeft;
constexpr float kProgressInset = 24;
constexpr float kProgressPerSecond = 4;
constexpr float kRowHeight = 64;
constexpr float kSwitchWidth = 52;
constexpr float kCardInset = 20;
constexpr float kVersionHeader = 54;
constexpr float kBadgeHeight = 20;
constexpr float kVisibleMargin = 200;

Color StatusColor(Status status) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    switch (status) {
    case Status::NotConfigured:
        return palette.onBackgroundMuted;
    case Status::UpToDate:
        return palette.success;
    case Status::Failed:
        return palette.warning;
    default:
        break;
    }
    return palette.primary;
}

Icon StatusIcon(Status status) {
    switch (status) {
    case Status::NotConfigured:
        return Icon::Settings;
    case Status::UpToDate:
        return Icon::CheckCircle;
    case Status::Installing:
        return Icon::Rocket;
    case Status::Failed:
        return Icon::AlertCircle;
    default:
        break;
    }
    return Icon::Download;
}

TextStyle Style(float size, int32_t weight, int32_t align = TextAlign::Leading) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.align = align;
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    return style;
}

// The icon disc of the status card, centred at (cx, cy): a spinner while checking, the status
// icon otherwise, bobbing with a ring around it while a new version waits.
void StatusDisc(UI::Ui& ui, Status status, float cx, float cy) {
    Graphics& graphics = *ui.graphics;
    const Color color = StatusColor(status);
    graphics.FillEllipse(cx, cy, kDiscRadius, kDiscRadius, Faded(color, 0.16f));
    if (status == Status::NeverChecked || status == Status::Checking) {
        Kit::Spinner(ui, cx, cy, 15, color, 2.5f);
        return;
    }
    float lift = 0;
    if (status == Status::Available) {
        lift = 3 * static_cast<float>(std::abs(std::sin(3.2 * ui.AmbientTime())));
        graphics.StrokeEllipse(cx, cy, kDiscRadius, kDiscRadius, Faded(color, 0.5f), 1.5f);
        // The icon lifts by up to 3 DIPs.
        ui.RequestAmbientFrames({cx - 13, cy - 13 - 3, 26, 26 + 3});
    }
    UI::Material::DrawIcon(graphics, StatusIcon(status), {cx - 12, cy - 12 - lift, 24, 24}, color);
}

}  // namespace

float DrawBadge(Graphics& graphics, float x, float y, const std::wstring& text, const Color& fill,
                const Color& textColor, float height) {
    const TextStyle style = Style(11, 600, TextAlign::Center);
    const float width = graphics.MeasureText(text, style, 100000.0f).width + 16;
    const Rect badge = {x, y, width, height};
    graphics.FillRoundRect(badge, height / 2, fill);
    graphics.DrawText(text, badge, textColor, style);
    return width;
}

float UpdateDialog::DrawStatusCard(UI::Ui& ui, float x, float y, float width, bool draw) {
    const Status status = Updates::EffectiveStatus();
    const float height = UpdateTexts::Running(status) ? kCardWithProgressHeight : kCardHeight;
    if (!draw) {
        return y + height;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Rect card = {x, y, width, height};
    graphics.FillRoundRect(card, 16, palette.surface);
    Color border = palette.surfaceOverlay;
    if (status == Status::Available || UpdateTexts::Running(status)) {
        graphics.FillLinearGradient(
            card, 16, {{0, Faded(palette.primary, 0.16f)}, {1, Faded(palette.secondary, 0.05f)}}, {0, 0}, {1, 0});
        border = Faded(palette.primary, 0.45f);
    }
    graphics.StrokeRoundRect({x + 0.5f, y + 0.5f, width - 1, height - 1}, 15.5f, border, 1);

    StatusDisc(ui, status, x + kDiscOffset, y + kDiscOffset);
    const UpdateTexts::Card texts =
        UpdateTexts::CardFor(status, Updates::Current(), Updates::HasNewerVersion(), UpdateTexts::NowSeconds());
    const float textWidth = width - kTextLeft - kTextRightMargin;
    graphics.DrawText(texts.title, {x + kTextLeft, y + 20, textWidth, 26}, palette.onBackground, Style(17, 600));
    graphics.DrawText(texts.subtitle, {x + kTextLeft, y + 46, textWidth, 22},
                      texts.warning ? palette.warning : palette.onBackgroundMuted, Style(12.5f, 400));
    if (UpdateTexts::Running(status)) {
        DrawProgress(ui, x, y, width);
    }
    return y + height;
}

void UpdateDialog::DrawProgress(UI::Ui& ui, float x, float y, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Status status = Updates::EffectiveStatus();
    const Updates::Progress& progress = Updates::Current().progress;
    float target = 1;
    if (status == Status::Downloading) {
        target = progress.bytesTotal > 0
                     ? static_cast<float>(static_cast<double>(progress.bytesDone) / progress.bytesTotal)
                     : 0.0f;
    }
    // Reports arrive in jumps; the bar glides between them.
    shownProgress = ui.Approach(ControlId(kProgressSalt), target, 1 / kProgressPerSecond);

    const Rect track = {x + kProgressInset, y + 90, width - 2 * kProgressInset, 8};
    graphics.FillRoundRect(track, 4, palette.surfaceContainer);
    if (shownProgress > 0) {
        const Rect fill = {track.x, track.y, std::max(track.w * std::min(shownProgress, 1.0f), 8.0f), track.h};
        graphics.FillLinearGradient(fill, 4, {{0, palette.primary}, {1, palette.secondary}}, {0, 0}, {1, 0});
    }
    const std::wstring line = status == Status::Installing ? std::wstring(L"Comprobado. Cerrando para instalar…")
                                                           : UpdateTexts::DownloadLine(progress);
    graphics.DrawText(line, {track.x, y + 104, track.w - 60, 20}, palette.onBackgroundMuted, Style(12.5f, 400));
    graphics.DrawText(UpdateTexts::PercentText(shownProgress), {track.x, y + 104, track.w, 20}, palette.onBackground,
                      Style(12.5f, 600, TextAlign::Trailing));
}

float UpdateDialog::DrawAutoCheckRow(UI::Ui& ui, float x, float y, float width, bool draw) {
    if (!draw) {
        return y + kRowHeight;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.FillRoundRect({x, y + 14, 36, 36}, 11, palette.surfaceContainer);
    UI::Material::DrawIcon(graphics, Icon::Update, {x + 8.5f, y + 22.5f, 19, 19}, palette.primary);
    const float textWidth = width - 114;
    graphics.DrawText(L"Buscar actualizaciones al abrir", {x + 50, y + 12, textWidth, 20}, palette.onBackground,
                      Style(14.5f, 500));
    graphics.DrawText(
        L"Al abrir Lorvex y cada pocas horas. Avisa de las versiones nuevas; nunca instala sin preguntar.",
        {x + 50, y + 33, textWidth, 18}, palette.onBackgroundMuted, Style(12.5f, 400));

    // The background checks read the setting when they fire.
    Settings& settings = Settings::Instance();
    if (UI::Material::Switch(ui, ControlId(kAutoCheckSalt), {x + width - kSwitchWidth, y, kSwitchWidth, kRowHeight},
                             settings.check_updates, true)) {
        settings.check_updates = !settings.check_updates;
        owner->SaveSettings();
    }
    return y + kRowHeight;
}

float UpdateDialog::DrawVersion(UI::Ui& ui, const ChangeLogEntry& entry, float x, float y, float width, bool draw) {
    Graphics& graphics = *ui.graphics;
    const float inner = width - 2 * kCardInset;
    float height = kVersionHeader;
    if (!entry.lines.empty()) {
        height += 18;
        for (const ChangeLine& line : entry.lines) {
            height += ChangeLineHeight(graphics, line, inner);
        }
    }
    const Rect card = {x, y, width, height};
    // A long list draws only the cards near what is shown; all of them count for the height.
    if (!draw || !ui.IsVisible(card, kVisibleMargin)) {
        return y + height;
    }

    const UI::Material::Theme& palette = Kit::KitPalette();
    graphics.FillRoundRect(card, 14, palette.surface);
    Color border = palette.surfaceOverlay;
    if (entry.newer) {
        graphics.FillLinearGradient(
            card, 14,
            {{0, Faded(palette.primary, 0.12f)}, {0.6f, Faded(palette.primary, 0)}, {1, Faded(palette.primary, 0)}},
            {0, 0}, {1, 1});
        border = Faded(palette.primary, 0.45f);
    } else if (entry.installed) {
        border = Faded(palette.success, 0.4f);
    }
    graphics.StrokeRoundRect({x + 0.5f, y + 0.5f, width - 1, height - 1}, 13.5f, border, 1);

    const Rect head = {x + kCardInset, y + 14, inner, 26};
    const std::wstring versionTitle = L"Versión " + entry.version;
    const TextStyle titleStyle = Style(16, 600);
    graphics.DrawText(versionTitle, head, palette.onBackground, titleStyle);
    float badgeX = head.x + graphics.MeasureText(versionTitle, titleStyle, inner).width + 10;
    if (entry.newer) {
        badgeX += DrawBadge(graphics, badgeX, y + 17, L"NUEVA", palette.primary, palette.onPrimary, kBadgeHeight) + 6;
    }
    if (entry.installed) {
        DrawBadge(graphics, badgeX, y + 17, L"INSTALADA", Faded(palette.success, 0.18f), palette.success, kBadgeHeight);
    }

    std::wstring meta = entry.dateText;
    if (entry.size > 0) {
        meta += (meta.empty() ? L"" : L"  ·  ") + Text::FormatBytes(static_cast<uint64_t>(entry.size));
    }
    graphics.DrawText(meta, head, palette.onBackgroundMuted, Style(12, 400, TextAlign::Trailing));

    if (!entry.lines.empty()) {
        graphics.FillRect({head.x, y + 48, inner, 1}, palette.outlineSubtle);
        DrawChangeLines(graphics, entry.lines, head.x, y + 58, inner);
    }
    return y + height;
}

}  // namespace Lorvex::Main

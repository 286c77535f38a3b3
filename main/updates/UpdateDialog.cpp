// The update dialog's state, layout and footer; its cards are drawn in UpdateCards.cpp.

#include "main/updates/UpdateDialog.h"

#include <windows.h>

#include <string>

#include "App/Config/Config.h"
#include "main/MainWindow.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "main/updates/UpdateTexts.h"
#include "services/updates/Updates.h"
#include "ui/Icons.h"

namespace Lorvex::Main {
namespace {

namespace Updates = Services::Updates;
using UI::Material::Icon;
using Updates::Status;

// A successful check younger than this is not repeated when the dialog opens.
constexpr int64_t kFreshCheckSeconds = 600;

constexpr float kRowGap = 12;
constexpr float kListGap = 20;
constexpr float kSectionHeight = 26;
constexpr float kListTop = 38;
constexpr float kCardGap = 10;
constexpr float kFooterTextGap = 8;

// The application quits through its normal close, so the window's size and the open chat are
// saved before the install script replaces the program.
void QuitForInstall() {
    if (MainWindow* window = MainWindow::Current(); window && window->hwnd) {
        PostMessageW(window->hwnd, WM_CLOSE, 0, 0);
    }
}

}  // namespace

void UpdateDialog::Open() {
    headerIcon = Icon::Update;
    accent = {0, 0, 0, 0};
    lastSeenChange = 0;
    Refresh();
    const Status status = Updates::EffectiveStatus();
    const bool stale = UpdateTexts::NowSeconds() - Updates::Current().lastCheck > kFreshCheckSeconds;
    if (Updates::IsConfigured() && (status == Status::NeverChecked || status == Status::Failed || stale)) {
        Updates::Check(false);
    }
    Dialog::Open();
}

void UpdateDialog::Refresh() {
    const Status status = Updates::EffectiveStatus();
    dismissable = !UpdateTexts::Running(status);
    const UpdateTexts::Header header = UpdateTexts::HeaderFor(status, Updates::Current(), Updates::HasNewerVersion());
    title = header.title;
    subtitle = header.subtitle;
    if (Updates::ChangeCounter() != lastSeenChange) {
        lastSeenChange = Updates::ChangeCounter();
        versions = BuildChangeLog(Updates::Current().releases);
    }
}

float UpdateDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    Refresh();
    const Status status = Updates::EffectiveStatus();
    // The spinner and the progress move without any input.
    if (status == Status::NeverChecked || status == Status::Checking || UpdateTexts::Running(status)) {
        ui.animating = true;
    }
    return Layout(ui, 0, 0, bodyWidth, false);
}

void UpdateDialog::Body(UI::Ui& ui, const Rect& body) {
    Layout(ui, body.x, body.y, body.w, true);
}

float UpdateDialog::Layout(UI::Ui& ui, float x, float y0, float width, bool draw) {
    const float y1 = DrawStatusCard(ui, x, y0, width, draw);
    const float y2 = DrawAutoCheckRow(ui, x, y1 + kRowGap, width, draw);
    const float y3 = y2 + kListGap;
    if (draw) {
        const Rect section = {x, y3, width, kSectionHeight};
        Kit::SectionHeader(ui, section, L"Novedades de cada versión", Icon::History);
        TextStyle style = Kit::KitStyle(12, 600);
        style.align = TextAlign::Trailing;
        style.valign = VerticalAlign::Center;
        ui.graphics->DrawText(UpdateTexts::VersionCount(versions.size()), section, Kit::KitPalette().onBackgroundMuted,
                              style);
    }
    float y = y3 + kListTop;
    for (const ChangeLogEntry& entry : versions) {
        y = DrawVersion(ui, entry, x, y, width, draw) + kCardGap;
    }
    return y - y0;
}

void UpdateDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const Status status = Updates::EffectiveStatus();
    const bool installable =
        status == Status::Available && UpdateTexts::CanInstall(Updates::Current(), Updates::HasNewerVersion());
    const float right = footer.x + footer.w;
    float x = right;
    if (installable) {
        if (FooterButton(ui, x, footer, L"Actualizar ahora", Icon::Download, palette.primary, true, true)) {
            Updates::Install(QuitForInstall);
        }
        if (FooterButton(ui, x, footer, L"Más tarde", Icon::Close, palette.onBackgroundMuted, false, true) && open) {
            Close();
        }
        // What is shown may be hours old; the download installs exactly the version named here.
        if (FooterButton(ui, x, footer, L"Buscar de nuevo", Icon::Refresh, palette.secondary, false, true)) {
            Updates::Check(false);
        }
    } else if (status == Status::Downloading) {
        if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackgroundMuted, false, true)) {
            Updates::CancelDownload();
        }
    } else if (status != Status::Installing) {
        // Also a newer release without its hash: nothing to install, but a later check may bring one.
        if (FooterButton(ui, x, footer, L"Listo", Icon::Check, palette.primary, true, true) && open) {
            Close();
        }
        const bool canCheck = status != Status::Checking && Updates::IsConfigured();
        if (FooterButton(ui, x, footer, status == Status::Failed ? L"Reintentar" : L"Buscar de nuevo", Icon::Refresh,
                         palette.secondary, false, canCheck)) {
            Updates::Check(false);
        }
    }

    // x has moved past the leftmost button and its gap.
    const float textRight = x == right ? right : x + 10 - kFooterTextGap;
    if (textRight - footer.x <= 0) {
        return;
    }
    TextStyle style = Kit::KitStyle(12.5f, 400);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    const std::wstring text = installable ? L"Se descarga, se comprueba y Lorvex se reinicia solo."
                                          : L"Lorvex " + std::wstring(Config::kVersion);
    ui.graphics->DrawText(text, {footer.x, footer.y, textRight - footer.x, footer.h}, palette.onBackgroundMuted, style);
}

}  // namespace Lorvex::Main

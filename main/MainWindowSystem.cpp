// The main window's side toward the system and the services: opening (size, place, icons, the
// compositor's frame, the services' callbacks, the first screen), its own frame's messages and hit
// test, and what closing writes.

#include <windows.h>
#include <dwmapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <utility>

#include "App/Config/Resources.h"
#include "domain/Settings.h"
#include "main/MainWindow.h"
#include "main/WindowRules.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "services/updates/Updates.h"
#include "ui/Icons.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

// Missing from the MinGW headers.
constexpr DWORD kDwmUseImmersiveDarkMode = 20;
constexpr DWORD kDwmWindowCornerPreference = 33;
constexpr DWORD kDwmCornerRound = 2;

constexpr int kIconResource = LORVEX_ICON_RESOURCE;
constexpr float kTooltipTextSize = 12;
constexpr float kTooltipLayoutWidth = 400;
constexpr float kTooltipInset = 8;
constexpr float kTooltipRadius = 2;

void PaintTooltip(Graphics& graphics, const std::wstring& text, float x, float y) {
    TextStyle style = Kit::KitStyle(kTooltipTextSize, 400);
    const Graphics::TextSize size = graphics.MeasureText(text, style, kTooltipLayoutWidth);
    const Rect box = TooltipBox(size.width, size.height, x, y, graphics.Width(), graphics.Height());
    const UI::Material::Theme& palette = Kit::KitPalette();
    graphics.FillRoundRect(box, kTooltipRadius, palette.tooltipBackground);
    graphics.DrawText(
        text, {box.x + kTooltipInset, box.y + kTooltipInset, box.w - 2 * kTooltipInset, box.h - 2 * kTooltipInset},
        palette.background, style);
}

}  // namespace

bool MainWindow::Open() {
    const Settings& settings = Settings::Instance();
    Options options;
    options.title = L"Lorvex";
    options.style = WS_OVERLAPPEDWINDOW;
    options.width = settings.window_width;
    options.height = settings.window_height;
    options.showCommand = 0;  // shown below, once it is placed and filled
    if (!Create(options)) {
        return false;
    }
    ui.tooltipDrawer = PaintTooltip;

    // One pixel of the compositor's frame inside the client area keeps the system's shadow and
    // rounded corners around a window that draws its own frame.
    const MARGINS margins = {0, 0, 1, 0};
    DwmExtendFrameIntoClientArea(hwnd, &margins);
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(hwnd, kDwmUseImmersiveDarkMode, &dark, sizeof(dark));
    const DWORD corners = kDwmCornerRound;
    DwmSetWindowAttribute(hwnd, kDwmWindowCornerPreference, &corners, sizeof(corners));

    PlaceInWorkArea();
    SetIcons();
    themeReveal.ShowTheme(UI::Material::DarkTheme);
    ConnectServices();

    const std::wstring notice = std::exchange(Services::Updates::AfterUpdateNotice(), std::wstring());
    if (!notice.empty()) {
        toasts.Push(notice, Kit::ToastKind::Success);
    }
    if (Services::Updates::IsConfigured()) {
        Services::Updates::StartBackgroundChecks();
    }

    if (Services::AppState::Instance().personas.empty()) {
        personaFormScreen->Reset(true);
        currentScreen = kPersonaFormScreen;
    }
    screens[currentScreen]->OnShow();
    transitionStart = -10.0;

    ShowWindow(hwnd, settings.maximized ? SW_MAXIMIZE : SW_SHOW);
    dirty = true;
    if (IsIconic(hwnd)) {
        ShowWindow(hwnd, SW_RESTORE);
    }
    SetForegroundWindow(hwnd);
    return true;
}

void MainWindow::PlaceInWorkArea() {
    // The client area is the whole window (WM_NCCALCSIZE below), so the window's size is the stored
    // client size; asking for the frame again here makes that true from the first frame on.
    const Settings& settings = Settings::Instance();
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int workWidth = work.right - work.left;
    const int workHeight = work.bottom - work.top;
    const float dpi = graphics.Dpi();
    const int width = std::min(workWidth, static_cast<int>(WindowPixels(settings.window_width, dpi)));
    const int height = std::min(workHeight, static_cast<int>(WindowPixels(settings.window_height, dpi)));
    SetWindowPos(hwnd, nullptr, work.left + (workWidth - width) / 2, work.top + (workHeight - height) / 2, width,
                 height, SWP_FRAMECHANGED | SWP_NOZORDER);
}

void MainWindow::SetIcons() {
    // Shared icons belong to the system, which frees them with the module.
    const HINSTANCE module = GetModuleHandleW(nullptr);
    const auto load = [module](int width, int height) {
        return static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, width, height, LR_SHARED));
    };
    const HICON large = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    HICON little = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    if (!little) {
        little = large;
    }
    if (large) {
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    }
    if (little) {
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little));
    }
}

void MainWindow::ConnectServices() {
    Services::AppState& state = Services::AppState::Instance();
    state.OnChanged = [this] { dirty = true; };
    state.OnReplyFinished = [this](const std::shared_ptr<Message>&, const std::wstring& errorText) {
        if (const std::optional<ToastNote> note = ReplyFinishedToast(errorText, currentScreen)) {
            toasts.Push(note->text, note->kind);
        }
    };
    state.OnChatSaveFailed = [this] { toasts.Push(L"No se pudo guardar el chat.", Kit::ToastKind::Error); };
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    cloud.onStatusChanged = [this] { dirty = true; };
    cloud.onNotice = [this](const std::wstring& text, bool error) {
        toasts.Push(text, error ? Kit::ToastKind::Error : Kit::ToastKind::Info);
    };
    Services::Updates::SetOnChanged([this] { dirty = true; });
    connected_ = true;
}

void MainWindow::Detach() {
    if (!connected_) {
        return;
    }
    Services::AppState& state = Services::AppState::Instance();
    state.OnChanged = nullptr;
    state.OnReplyFinished = nullptr;
    state.OnChatSaveFailed = nullptr;
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    cloud.onStatusChanged = nullptr;
    cloud.onNotice = nullptr;
    Services::Updates::SetOnChanged({});
    connected_ = false;
}

BandCover MainWindow::TopOverlayCover() const {
    BandCover cover;
    const int top = TopOpenOverlay();
    if (top >= 0) {
        cover.panel = overlays[top]->PanelRect();
        cover.takesBand = overlays[top]->ClosesOnOutsideClick();
    }
    return cover;
}

LRESULT MainWindow::HitTest(float x, float y, float width, float height, bool maximized,
                            const std::vector<Rect>& hits, const BandCover& cover,
                            const std::optional<Rect>& maximizeButton) {
    const auto inside = [x, y](const Rect& r) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; };
    if (!maximized) {
        const bool left = x < kResizeBorder;
        const bool right = x >= width - kResizeBorder;
        const bool top = y < kResizeBorder;
        const bool bottom = y >= height - kResizeBorder;
        if (top && left) {
            return HTTOPLEFT;
        }
        if (top && right) {
            return HTTOPRIGHT;
        }
        if (left) {
            return bottom ? HTBOTTOMLEFT : HTLEFT;
        }
        if (right) {
            return bottom ? HTBOTTOMRIGHT : HTRIGHT;
        }
        if (top) {
            return HTTOP;
        }
        if (bottom) {
            return HTBOTTOM;
        }
    }
    if (y >= kTitleBarHeight) {
        return HTCLIENT;
    }
    // An open overlay's panel is the overlay's, and so is the band around it when a click there
    // closes it: pressing the dialog's title, or beside it, never drags the window.
    if ((cover.panel && inside(*cover.panel)) || cover.takesBand) {
        return HTCLIENT;
    }
    if (maximizeButton && inside(*maximizeButton)) {
        return HTMAXBUTTON;
    }
    for (const Rect& hit : hits) {
        if (inside(hit)) {
            return HTCLIENT;
        }
    }
    return HTCAPTION;
}

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_SIZE:
        dirty = true;
        return false;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const float perDip = graphics.Dpi() / 96.0f;
        info->ptMinTrackSize.x = static_cast<LONG>(kMinWidth * perDip);
        info->ptMinTrackSize.y = static_cast<LONG>(kMinHeight * perDip);
        *result = 0;
        return true;
    }
    case WM_NCCALCSIZE:
        // The client area is the whole window: the window draws its own frame. Wine keeps a
        // standard frame unless both forms of the message are answered. Maximised, the system
        // places the window past the screen by its sizing frame, so that part is cut off.
        if (wParam && hwnd && IsZoomed(hwnd)) {
            auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
            const UINT dpi = GetDpiForWindow(hwnd);
            const int inset =
                GetSystemMetricsForDpi(SM_CXPADDEDBORDER, dpi) + GetSystemMetricsForDpi(SM_CXSIZEFRAME, dpi);
            RECT& rect = params->rgrc[0];
            rect.left += inset;
            rect.top += inset;
            rect.right -= inset;
            rect.bottom -= inset;
        }
        *result = 0;
        return true;
    case WM_NCHITTEST: {
        if (!hwnd) {
            return false;
        }
        // From the client area's corner, where the header's rectangles are: maximised, the window
        // reaches past the screen by the frame that WM_NCCALCSIZE cut off; otherwise the two agree.
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hwnd, &point);
        RECT client = {};
        GetClientRect(hwnd, &client);
        const float perDip = graphics.Dpi() / 96.0f;
        *result = HitTest(point.x / perDip, point.y / perDip, client.right / perDip, client.bottom / perDip,
                          IsZoomed(hwnd) != FALSE, headerHits, TopOverlayCover(), maximizeButton);
        return true;
    }
    case WM_NCACTIVATE:
        dirty = true;
        *result = TRUE;
        return true;
    default:
        return false;
    }
}

void MainWindow::OnClose(bool* cancel) {
    Services::AppState& state = Services::AppState::Instance();
    for (Services::AppState::RunningReply& reply : state.runningReplies) {
        reply.cancel.Set();
    }
    ++state.revision;
    if (state.OnChanged) {
        state.OnChanged();
    }
    const bool chatSaved = state.SaveCurrentChat();

    Settings& settings = Settings::Instance();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (hwnd && GetWindowPlacement(hwnd, &placement)) {
        // The restored size, also while maximised; the window is all client area, so its size is
        // the size Open is given back.
        const RECT& normal = placement.rcNormalPosition;
        settings.window_width = WindowDips(normal.right - normal.left, graphics.Dpi());
        settings.window_height = WindowDips(normal.bottom - normal.top, graphics.Dpi());
        settings.maximized = placement.showCmd == SW_SHOWMAXIMIZED;
    }
    settings.dark_theme = UI::Material::DarkTheme;
    const bool settingsSaved = Settings::Save();
    if ((chatSaved && settingsSaved) || closeUnsaved_ || !confirmDialog) {
        return;
    }
    // The saves waited for files held by another program and still could not write them: closing
    // now would lose what only memory holds. The user may close anyway, or wait and close again,
    // which tries the saves once more.
    *cancel = true;
    const std::wstring what = chatSaved ? L"la configuración" : settingsSaved ? L"el chat" : L"el chat ni la configuración";
    confirmDialog->Open(L"No se pudo guardar", L"No se pudo guardar " + what +
                        L": otro programa tiene el archivo abierto. Si cierras ahora, se perderán los últimos cambios. "
                        L"Puedes esperar un momento y volver a cerrar.",
                        L"Cerrar sin guardar", true,
                        [this] {
                            closeUnsaved_ = true;
                            if (hwnd) {
                                PostMessageW(hwnd, WM_CLOSE, 0, 0);
                            }
                        },
                        UI::Material::Icon::AlertCircle);
}

void MainWindow::SaveSettings() {
    if (Settings::Save()) {
        settingsSaveFailing_ = false;
    } else if (!settingsSaveFailing_) {
        // Once per run of failures: every switch and slider saves, and the record keeps each change
        // for the next save that goes through.
        settingsSaveFailing_ = true;
        toasts.Push(L"No se pudo guardar la configuración.", Kit::ToastKind::Error);
    }
}

void MainWindow::OnDestroy() {
    PostQuitMessage(0);
}

Color MainWindow::BackgroundColor() {
    return UI::Material::ReadyPalette().background;
}

}  // namespace Lorvex::Main

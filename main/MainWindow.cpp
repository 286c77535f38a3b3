#include "main/MainWindow.h"

#include <algorithm>
#include <cmath>

#include "domain/Settings.h"
#include "foundation/Async.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/editors/PersonasScreen.h"
#include "main/home/HomeScreen.h"
#include "main/updates/UpdateDialog.h"
#include "services/AppState.h"
#include "services/CloudSync.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

MainWindow* current = nullptr;

constexpr double kTransitionSeconds = 0.34;

}  // namespace

MainWindow::MainWindow() {
    homeScreen = std::make_unique<HomeScreen>(this);
    chatScreen = std::make_unique<ChatScreen>(this);
    characterFormScreen = std::make_unique<CharacterFormScreen>(this);
    personasScreen = std::make_unique<PersonasScreen>(this);
    personaFormScreen = std::make_unique<PersonaFormScreen>(this);
    screens = {homeScreen.get(), chatScreen.get(), characterFormScreen.get(), personasScreen.get(),
               personaFormScreen.get()};

    confirmDialog = std::make_unique<ConfirmDialog>(this);
    textEditDialog = std::make_unique<TextEditDialog>(this);
    chatConfigDialog = std::make_unique<ChatConfigDialog>(this);
    knownCharactersDialog = std::make_unique<KnownCharactersDialog>(this);
    knownCharacterEditor = std::make_unique<KnownCharacterEditor>(this);
    settingsDialog = std::make_unique<SettingsDialog>(this);
    accountDialog = std::make_unique<AccountDialog>(this);
    profileDialog = std::make_unique<ProfileDialog>(this);
    updateDialog = std::make_unique<UpdateDialog>(this);
    contextMenu = std::make_unique<ContextMenu>(this);
    overlays = {settingsDialog.get(),       updateDialog.get(),     accountDialog.get(),
                profileDialog.get(),        chatConfigDialog.get(), knownCharactersDialog.get(),
                knownCharacterEditor.get(), textEditDialog.get(),   confirmDialog.get(),
                contextMenu.get()};
    current = this;
}

MainWindow::~MainWindow() {
    Detach();
    if (current == this) {
        current = nullptr;
    }
    headerHits.clear();
    overlays.clear();
    // The parts go in the reverse of the order they were built in.
    contextMenu.reset();
    updateDialog.reset();
    profileDialog.reset();
    accountDialog.reset();
    settingsDialog.reset();
    knownCharacterEditor.reset();
    knownCharactersDialog.reset();
    chatConfigDialog.reset();
    textEditDialog.reset();
    confirmDialog.reset();
    screens = {};
    personaFormScreen.reset();
    personasScreen.reset();
    characterFormScreen.reset();
    chatScreen.reset();
    homeScreen.reset();
}

float MainWindow::SlideDirection(int32_t from, int32_t to) {
    if (from == kHomeScreen) {
        return 1.0f;
    }
    return to < from ? -1.0f : 1.0f;
}

void MainWindow::Navigate(int32_t screen) {
    if (screen < 0 || screen >= kScreenCount) {
        return;
    }
    if (screen == currentScreen) {
        screens[screen]->OnShow();
        return;
    }
    slideDirection = SlideDirection(currentScreen, screen);
    transitionStart = ui.time;
    currentScreen = screen;
    ui.focus = 0;
    screens[screen]->OnShow();
    dirty = true;
}

void MainWindow::OpenCharacter(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    Services::AppState::Instance().OpenCharacter(character);
    Navigate(kChatScreen);
}

void MainWindow::Draw() {
    const float w = graphics.Width();
    const float h = graphics.Height();
    windowRect = {0, 0, w, h};
    titleBarRect = {0, 0, w, kTitleBarHeight};
    railRect = {0, kTitleBarHeight, kRailWidth, h - kTitleBarHeight};
    contentRect = {kRailWidth, kTitleBarHeight, w - kRailWidth, h - kTitleBarHeight};
    headerHits.clear();
    UI::Material::ReadyPalette();

    int topOpen = -1;
    for (int i = static_cast<int>(overlays.size()) - 1; i >= 0; --i) {
        if (overlays[i]->IsOpen()) {
            topOpen = i;
            break;
        }
    }
    modal = topOpen >= 0;

    ui.hitSuspended = modal;
    DrawContent();
    for (int i = 0; i < static_cast<int>(overlays.size()); ++i) {
        if (overlays[i]->IsVisible()) {
            ui.hitSuspended = i != topOpen;
            overlays[i]->Draw(ui, windowRect);
        }
    }
    ui.hitSuspended = false;
    toasts.Draw(ui, contentRect);
}

void MainWindow::DrawContent() {
    graphics.FillRect(windowRect, UI::Material::ReadyPalette().background);
    ui.PushClip(contentRect);
    const double t = std::clamp((ui.time - transitionStart) / kTransitionSeconds, 0.0, 1.0);
    if (t < 1 || transitionStart > ui.time) {
        ui.redraw = true;
    }
    const float g = static_cast<float>(1 - std::pow(1 - t, 3));
    const bool sliding = g < 1;
    if (sliding) {
        graphics.PushLayer(g, nullptr);
        ui.PushTranslate((1 - g) * slideDirection * 26, (1 - g) * 18);
    }
    screens[currentScreen]->Draw(ui, contentRect);
    if (sliding) {
        ui.PopTransform();
        graphics.PopLayer();
    }
    ui.PopClip();
}

LRESULT MainWindow::HitTest(float x, float y, float width, float height, bool maximized,
                            const std::vector<Rect>& hits) {
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
    for (const Rect& hit : hits) {
        if (x >= hit.x && y >= hit.y && x < hit.x + hit.w && y < hit.y + hit.h) {
            return HTCLIENT;
        }
    }
    return HTCAPTION;
}

MainWindow* MainWindow::Current() {
    return current;
}

bool MainWindow::Open() {
    const Settings& settings = Settings::Instance();
    Options options;
    options.title = L"Lorvex";
    options.width = settings.window_width;
    options.height = settings.window_height;
    options.showCommand = 0;
    if (!Create(options)) {
        return false;
    }
    // The frame was computed while creation's messages still went to DefWindowProcW: asked again
    // now, the client area covers the whole window from the first frame, not only after a resize.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    // Whatever a service changes is drawn in the next frame.
    Services::AppState::Instance().OnChanged = [this] { dirty = true; };
    Services::CloudSync::Instance().onStatusChanged = [this] { dirty = true; };
    connected_ = true;

    ShowWindow(hwnd, settings.maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    if (IsIconic(hwnd)) {
        ShowWindow(hwnd, SW_RESTORE);
    }
    SetForegroundWindow(hwnd);
    continuous = false;
    continuousPaced = false;
    return true;
}

void MainWindow::Detach() {
    if (!connected_) {
        return;
    }
    Services::AppState::Instance().OnChanged = nullptr;
    Services::CloudSync::Instance().onStatusChanged = nullptr;
    connected_ = false;
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
        // The client area is the whole window: the window draws its own frame. Maximised, the
        // system places the window past the screen by its sizing frame, so that part is cut off.
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
        RECT frame = {};
        GetWindowRect(hwnd, &frame);
        const float perDip = graphics.Dpi() / 96.0f;
        const float x = (static_cast<short>(LOWORD(lParam)) - frame.left) / perDip;
        const float y = (static_cast<short>(HIWORD(lParam)) - frame.top) / perDip;
        *result = HitTest(x, y, (frame.right - frame.left) / perDip, (frame.bottom - frame.top) / perDip,
                          IsZoomed(hwnd) != FALSE, headerHits);
        return true;
    }
    case WM_NCACTIVATE:
        dirty = true;
        *result = 1;
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
    state.SaveCurrentChat();

    Settings& settings = Settings::Instance();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (hwnd && GetWindowPlacement(hwnd, &placement)) {
        // The restored size less the frame Create adds around the size it is given, so that a
        // window opened at the size saved here comes back as large as it was.
        const UINT dpi = static_cast<UINT>(graphics.Dpi());
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                                 static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), dpi);
        const float perDip = graphics.Dpi() / 96.0f;
        const RECT& normal = placement.rcNormalPosition;
        const int width = (normal.right - normal.left) - (frame.right - frame.left);
        const int height = (normal.bottom - normal.top) - (frame.bottom - frame.top);
        settings.window_width = static_cast<int32_t>(width / perDip + 0.5f);
        settings.window_height = static_cast<int32_t>(height / perDip + 0.5f);
    }
    settings.maximized = hwnd && IsZoomed(hwnd);
    settings.dark_theme = UI::Material::DarkTheme;
    Settings::Save();
}

void MainWindow::OnDestroy() {
    PostQuitMessage(0);
}

Color MainWindow::BackgroundColor() {
    return UI::Material::ReadyPalette().background;
}

}  // namespace Lorvex::Main

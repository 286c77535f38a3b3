#include "main/MainWindow.h"

#include "domain/Settings.h"
#include "foundation/Async.h"
#include "services/AppState.h"
#include "services/CloudSync.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

MainWindow* current = nullptr;

}  // namespace

MainWindow::MainWindow() {
    current = this;
}

MainWindow::~MainWindow() {
    Detach();
    if (current == this) {
        current = nullptr;
    }
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

void MainWindow::Draw() {
    // The frame was cleared with the background; the screens come later.
}

LRESULT MainWindow::HitTest(int x, int y, int width, int height, float dpi, bool maximized) {
    const float perDip = dpi / 96.0f;
    if (!maximized) {
        const int edge = static_cast<int>(kResizeBorder * perDip);
        const bool left = x < edge;
        const bool right = x >= width - edge;
        const bool top = y < edge;
        const bool bottom = y >= height - edge;
        if (top) {
            return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        }
        if (bottom) {
            return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        }
        if (left) {
            return HTLEFT;
        }
        if (right) {
            return HTRIGHT;
        }
    }
    return y < static_cast<int>(kTitleBarHeight * perDip) ? HTCAPTION : HTCLIENT;
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
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &point);
        RECT client = {};
        GetClientRect(hwnd, &client);
        *result = HitTest(point.x, point.y, client.right, client.bottom, graphics.Dpi(), IsZoomed(hwnd) != FALSE);
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

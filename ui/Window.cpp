// The Win32 side of a window: the class, creation, fitting to the work area and the message
// table that fills the input record.

#include "ui/Window.h"

#include <windowsx.h>

#include <algorithm>

#include "App/Config/Resources.h"
#include "foundation/Async.h"
#include "ui/SystemMotion.h"

namespace Lorvex::UI {
namespace {

std::vector<Window*>& LiveWindows() {
    static std::vector<Window*> windows;
    return windows;
}

void RegisterClassOnce() {
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        // No small icon of its own: the system takes the icon's small image, not the large one
        // shrunk.
        wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(LORVEX_ICON_RESOURCE));
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = Window::kClassName;
        RegisterClassExW(&wc);
        return true;
    }();
    (void)registered;
}

// The effective DPI of the monitor; 96 where the system cannot say. shcore is loaded by name
// because older systems lack it; it stays loaded.
float MonitorDpi(HMONITOR monitor) {
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const GetDpiForMonitorFn getDpi = [] {
        const HMODULE shcore = LoadLibraryW(L"shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    UINT x = 96;
    UINT y = 96;
    constexpr int kEffectiveDpi = 0;
    if (getDpi && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
        return static_cast<float>(x);
    }
    return 96;
}

// The timer that draws the frames due while the system's size/move loop runs, and its period: about
// a display refresh (the system's timers tick at best every 10 ms or so).
constexpr UINT_PTR kSizeMoveTimer = 0x4C56;
constexpr UINT kSizeMoveTimerMs = 15;

RECT OuterRect(float clientWidth, float clientHeight, DWORD style, DWORD exStyle, float dpi) {
    RECT rect = {0, 0, static_cast<int>(clientWidth), static_cast<int>(clientHeight)};
    AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
    return rect;
}

}  // namespace

Window::Window() {
    LiveWindows().push_back(this);
}

Window::~Window() {
    std::erase(LiveWindows(), this);
    if (hwnd) {
        // Detached first, so the dying object sees no message (and no OnDestroy).
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    graphics.ReleaseTargets();
}

const std::vector<Window*>& Window::All() {
    return LiveWindows();
}

bool Window::Create(const Options& options) {
    RegisterClassOnce();
    clickThrough = options.clickThrough;
    DWORD exStyle = options.exStyle;
    if (options.composition) {
        exStyle |= WS_EX_NOREDIRECTIONBITMAP;
    }
    if (options.clickThrough) {
        exStyle |= WS_EX_LAYERED | WS_EX_TRANSPARENT;
    }
    if (options.topmost) {
        exStyle |= WS_EX_TOPMOST;
    }
    if (options.noActivate) {
        exStyle |= WS_EX_NOACTIVATE;
    }

    const POINT origin = {options.x == CW_USEDEFAULT ? 0 : options.x, options.y == CW_USEDEFAULT ? 0 : options.y};
    const HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    const float dpi = MonitorDpi(monitor);
    fitToWorkArea = options.fitToWorkArea;
    fitWidth = options.width;
    fitHeight = options.height;
    const float s = FitScale(monitor, dpi);

    const RECT outer =
        OuterRect(options.width * dpi / 96 * s, options.height * dpi / 96 * s, options.style, exStyle, dpi);
    hwnd = CreateWindowExW(exStyle, kClassName, options.title.c_str(), options.style, options.x, options.y,
                           outer.right - outer.left, outer.bottom - outer.top, options.parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        return false;
    }
    // Messages sent during creation went to DefWindowProcW; from here on they reach Handle.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc));
    if (clickThrough) {
        SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
    }
    if (!graphics.Initialize(hwnd, options.composition)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        return false;
    }
    if (s < 1) {
        graphics.SetDpi(dpi * s);
    }
    FollowSystemMotion();
    if (options.showCommand != 0) {
        ShowWindow(hwnd, options.showCommand);
    }
    dirty = true;
    return true;
}

float Window::FitScale(HMONITOR monitor, float dpi) const {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!fitToWorkArea || fitWidth <= 0 || fitHeight <= 0 || !GetMonitorInfoW(monitor, &info)) {
        return 1;
    }
    const float workWidth = static_cast<float>(info.rcWork.right - info.rcWork.left);
    const float workHeight = static_cast<float>(info.rcWork.bottom - info.rcWork.top);
    const float s = std::min(workHeight / (fitHeight * dpi / 96), workWidth / (fitWidth * dpi / 96));
    return std::clamp(s, 0.4f, 1.0f);
}

void Window::Refit(HMONITOR monitor, float dpi, int x, int y) {
    const float s = FitScale(monitor, dpi);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    const RECT outer = OuterRect(fitWidth * dpi / 96 * s, fitHeight * dpi / 96 * s, style, exStyle, dpi);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info)) {
        y = std::max(static_cast<int>(info.rcWork.top), std::min(y, static_cast<int>(info.rcWork.bottom) - height));
        x = std::max(static_cast<int>(info.rcWork.left), std::min(x, static_cast<int>(info.rcWork.right) - width));
    }
    graphics.SetDpi(dpi * s);
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOACTIVATE | SWP_NOZORDER);
    dirty = true;
}

LRESULT Window::FromMaximizeButton(UINT message, LPARAM lParam) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &point);
    const LPARAM client = MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x)),
                                     static_cast<WORD>(static_cast<short>(point.y)));
    switch (message) {
    case WM_NCMOUSEMOVE:
        if (!trackingNonClientLeave) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE | TME_NONCLIENT, hwnd, 0};
            TrackMouseEvent(&track);
            trackingNonClientLeave = true;
            trackingLeave = false;
        }
        Arrive({WM_MOUSEMOVE, 0, client});
        return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        // The press captures the mouse, as a client press does: the release then comes as
        // WM_LBUTTONUP, wherever it is.
        Arrive({message == WM_NCLBUTTONDOWN ? UINT{WM_LBUTTONDOWN} : UINT{WM_LBUTTONDBLCLK}, MK_LBUTTON, client});
        Capture();
        return 0;
    default:
        Arrive({WM_LBUTTONUP, 0, client});
        Uncapture();
        return 0;
    }
}

void Window::FollowSystemMotion() {
    const SystemMotion motion = ReadSystemMotion();
    ui.animationsOff = !motion.animations;
    ui.caretBlink = motion.caretBlink;
    dirty = true;
}

void Window::FrameInSizeMove() {
    // Animations go on while the window moves; the dispatcher waits for the loop's end, as it does
    // for any other modal loop.
    if (inFrame || !hwnd || IsIconic(hwnd)) {
        return;
    }
    const double delay = NextFrameDelay();
    if (delay >= 0 && Clock() - lastFrameTime >= delay) {
        Frame();
    }
}

LRESULT CALLBACK Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, &result)) {
        return result;
    }
    if (IsButtonMessage(message)) {
        // The capture follows the buttons as they arrive, whether or not the record waits.
        const bool press = IsPressMessage(message);
        Arrive({message, wParam, lParam});
        if (press) {
            Capture();
        } else {
            Uncapture();
        }
        const bool xButton = message == WM_XBUTTONDOWN || message == WM_XBUTTONDBLCLK || message == WM_XBUTTONUP;
        return xButton ? TRUE : 0;
    }
    switch (message) {
    case WM_MOUSEMOVE:
        if (!trackingLeave) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&track);
            trackingLeave = true;
            trackingNonClientLeave = false;
        }
        Arrive({message, wParam, lParam});
        return 0;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE: {
        // A leave of the area the pointer is no longer tracked in comes after the move into the
        // other one (the client area and the maximise button): the pointer has not left.
        bool& tracking = message == WM_MOUSELEAVE ? trackingLeave : trackingNonClientLeave;
        if (message == WM_NCMOUSELEAVE && !tracking) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        const bool left = tracking || (message == WM_MOUSELEAVE && !trackingNonClientLeave);
        tracking = false;
        if (left) {
            InputMessage leave{WM_MOUSELEAVE, 0, 0};
            leave.leavesWindow = captureCount == 0;
            Arrive(leave);
        }
        return 0;
    }
    // A window that draws its own caption answers HTMAXBUTTON for its maximise button, so that
    // Windows 11 offers its snap layouts there; the pointer over that button then arrives in these
    // messages. DefWindowProc would track and draw a button of its own and maximise on release.
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCLBUTTONUP:
        if (wParam == HTMAXBUTTON) {
            return FromMaximizeButton(message, lParam);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            captureCount = 0;
            Arrive({message, wParam, lParam}, false);
        }
        return 0;
    case WM_MOUSEWHEEL:
        Arrive({message, wParam, lParam});
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        Arrive(WithModifiers({message, wParam, lParam}));
        // Alt+F4 goes on to the system, which turns it into WM_CLOSE; other Alt keys stop here so
        // they do not open the system menu.
        if (message == WM_SYSKEYDOWN && wParam != VK_F4) {
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        Arrive(WithModifiers({message, wParam, lParam}));
        return message == WM_SYSKEYUP ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CHAR:
        Arrive(WithModifiers({message, wParam, lParam}));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // The system caret belongs to the window with the keyboard: it leaves with the focus, and
        // the next frame brings it back.
        if (message == WM_KILLFOCUS) {
            DropTextInput();
        }
        dirty = true;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            const LPCWSTR cursor = ui.cursor != 0 ? MAKEINTRESOURCEW(ui.cursor) : IDC_ARROW;
            SetCursor(LoadCursorW(nullptr, cursor));
            return TRUE;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCHITTEST:
        return clickThrough ? HTTRANSPARENT : DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            if (inFrame) {
                resizePending = true;
            } else {
                graphics.Resize();
            }
        }
        dirty = true;
        // While the user drags an edge the new size is drawn at once, not the old frame stretched or
        // cut with black beside it.
        if (inSizeMove) {
            FrameInSizeMove();
        }
        return 0;
    case WM_ENTERSIZEMOVE:
        inSizeMove = true;
        SetTimer(hwnd, kSizeMoveTimer, kSizeMoveTimerMs, nullptr);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_EXITSIZEMOVE:
        inSizeMove = false;
        KillTimer(hwnd, kSizeMoveTimer);
        dirty = true;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_TIMER:
        if (wParam == kSizeMoveTimer) {
            FrameInSizeMove();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        const float dpi = static_cast<float>(HIWORD(wParam));
        if (fitToWorkArea) {
            Refit(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST), dpi, suggested->left, suggested->top);
        } else {
            // The new DPI first: the move asks for the minimum size (WM_GETMINMAXINFO), which must be
            // counted at the DPI the window is going to, or a move to a lower DPI grows the window to
            // the old DPI's minimum.
            graphics.SetDpi(dpi);
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOACTIVATE | SWP_NOZORDER);
            dirty = true;
        }
        return 0;
    }
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
        if (message == WM_SETTINGCHANGE) {
            // Whichever setting it names: the caret's blink rate has none of its own to name.
            FollowSystemMotion();
        }
        if (fitToWorkArea && (message == WM_DISPLAYCHANGE || wParam == SPI_SETWORKAREA)) {
            RECT rect = {};
            GetWindowRect(hwnd, &rect);
            Refit(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), static_cast<float>(GetDpiForWindow(hwnd)),
                  rect.left, rect.top);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ACTIVATE:
        dirty = true;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_PAINT: {
        // Validate only: frames draw when the main loop finds them due.
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        dirty = true;
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE: {
        bool cancel = false;
        OnClose(&cancel);
        if (!cancel) {
            DestroyWindow(hwnd);
        }
        return 0;
    }
    case WM_DESTROY: {
        OnDestroy();
        graphics.ReleaseTargets();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd = nullptr;
        if (onDestroyed) {
            // Run later from the dispatcher, never inside the window procedure.
            Async::Post(onDestroyed);
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace Lorvex::UI

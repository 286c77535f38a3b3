// The window's message table, driven through SendMessage on a real window (an X display under
// Wine), and its frames timed by an injected clock: frames that only ambient loops ask for redraw
// and present just their region, and what they show is what a whole frame of the same moment
// shows; anything else makes the frame whole again.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/Async.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"
#include "ui/Icons.h"
#include "ui/SystemMotion.h"
#include "ui/Window.h"

namespace Lorvex::UI {
namespace {

class TestWindow : public Window {
public:
    void Draw() override {
        ++draws;
        lastDt = ui.dt;
        if (onDraw) {
            onDraw();
        }
    }
    void OnClose(bool* cancel) override {
        ++closes;
        *cancel = keepOpen;
    }
    void OnDestroy() override { ++destroyed; }
    // The smallest size in DIPs, counted at the surface's DPI as the main window counts it.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != WM_GETMINMAXINFO || minWidth <= 0) {
            return false;
        }
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        const float perDip = graphics.Dpi() / 96;
        info->ptMinTrackSize = {static_cast<LONG>(minWidth * perDip), static_cast<LONG>(minHeight * perDip)};
        *result = 0;
        return true;
    }

    std::function<void()> onDraw;
    float minWidth = 0;
    float minHeight = 0;
    int draws = 0;
    float lastDt = 0;
    bool keepOpen = false;
    int closes = 0;
    int destroyed = 0;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Testing::GraphicsReady());
        ASSERT_TRUE(Async::Startup());
        Window::SetPacingSeamsForTesting({[this] { return now; }, [] { return 1.0 / 60; }, [] { return true; }});
        Window::Options options;
        options.title = L"test";
        options.width = 400;
        options.height = 300;
        ASSERT_TRUE(window.Create(options));
        hwnd = window.hwnd;
    }
    void TearDown() override {
        Window::SetPacingSeamsForTesting({});
        Async::Shutdown();
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(hwnd, message, wParam, lParam);
    }

    // The main loop's drawing step over the given time, with the clock moving in 1 ms steps.
    int FramesOver(double seconds) {
        const int before = window.draws;
        for (double end = now + seconds; now < end; now += 0.001) {
            const double delay = window.NextFrameDelay();
            if (delay >= 0 && now - window.lastFrameTime >= delay) {
                window.Frame();
            }
        }
        return window.draws - before;
    }

    double now = 100;
    TestWindow window;
    HWND hwnd = nullptr;
};

TEST_F(WindowTest, ButtonsCountTheCaptureAndReportWhereTheyHappened) {
    // A frame decides the hover at the point first, so the presses there are recorded at once.
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    window.Frame();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    EXPECT_EQ(window.captureCount, 1);
    EXPECT_EQ(GetCapture(), hwnd);
    EXPECT_TRUE(window.input.pressed[Button::Left]);
    EXPECT_TRUE(window.input.down[Button::Left]);
    EXPECT_FLOAT_EQ(window.input.x, 10);
    EXPECT_FLOAT_EQ(window.input.y, 20);
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 20));
    EXPECT_EQ(window.captureCount, 2);

    // Released outside the window, once a frame has judged the presses: still delivered while
    // the capture holds.
    window.Frame();
    Send(WM_LBUTTONUP, 0, MAKELPARAM(-50, 500));
    EXPECT_EQ(window.captureCount, 1);
    EXPECT_EQ(GetCapture(), hwnd);
    EXPECT_TRUE(window.input.released[Button::Left]);
    EXPECT_FALSE(window.input.down[Button::Left]);
    EXPECT_FLOAT_EQ(window.input.x, -50);
    Send(WM_RBUTTONUP, 0, MAKELPARAM(-50, 500));
    EXPECT_EQ(window.captureCount, 0);
    EXPECT_NE(GetCapture(), hwnd);
    EXPECT_TRUE(window.input.released[Button::Right]);

    // Another window takes the capture while the left button is down: it counts as released.
    window.input.ClearFrame();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    window.input.ClearFrame();
    Send(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(GetDesktopWindow()));
    EXPECT_EQ(window.captureCount, 0);
    EXPECT_TRUE(window.input.released[Button::Left]);
    EXPECT_FALSE(window.input.down[Button::Left]);

    // A double-click yields press, down and the double-click flag in one frame; X buttons answer TRUE.
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 20));
    EXPECT_TRUE(window.input.pressed[Button::Left] && window.input.down[Button::Left] && window.input.doubleClicked);
    EXPECT_EQ(Send(WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), MAKELPARAM(10, 20)), TRUE);
    EXPECT_TRUE(window.input.pressed[Button::X2]);
    EXPECT_EQ(Send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), MAKELPARAM(10, 20)), TRUE);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
    EXPECT_EQ(window.captureCount, 0);
    EXPECT_TRUE(window.heldInput.empty());
}

TEST_F(WindowTest, APressWhereNoFrameDecidedTheHoverWaitsForTheFrameThatDoes) {
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    window.Frame();
    window.input.ClearFrame();

    // A tap somewhere else: the pointer goes there at once, the press and all that follows wait,
    // while the capture answers the system as the messages arrive.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
    EXPECT_EQ(window.captureCount, 1);
    Send(WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
    EXPECT_EQ(window.captureCount, 0);
    Send(WM_CHAR, L'a', 1);
    EXPECT_FLOAT_EQ(window.input.x, 200);
    EXPECT_FLOAT_EQ(window.input.y, 150);
    EXPECT_TRUE(window.input.moved);
    EXPECT_FALSE(window.input.pressed[Button::Left]);
    EXPECT_TRUE(window.input.text.empty());
    EXPECT_TRUE(window.dirty);

    // This frame decides the hover there; the next one gets the tap, and what came after it.
    std::vector<bool> pressedSeen;
    std::vector<std::wstring> typedSeen;
    window.onDraw = [&] {
        pressedSeen.push_back(window.input.pressed[Button::Left] && window.input.released[Button::Left]);
        typedSeen.push_back(window.input.text);
    };
    window.Frame();
    EXPECT_TRUE(window.dirty);
    window.Frame();
    EXPECT_EQ(pressedSeen, (std::vector<bool>{false, true}));
    EXPECT_EQ(typedSeen, (std::vector<std::wstring>{L"", L"a"}));
    EXPECT_TRUE(window.heldInput.empty());

    // Two taps at two places between frames: each waits for a frame at its own place.
    pressedSeen.clear();
    typedSeen.clear();
    for (const LPARAM at : {MAKELPARAM(30, 40), MAKELPARAM(60, 70)}) {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
        Send(WM_LBUTTONUP, 0, at);
    }
    std::vector<float> xs;
    window.onDraw = [&] {
        pressedSeen.push_back(window.input.pressed[Button::Left]);
        xs.push_back(window.input.x);
    };
    for (int i = 0; i < 4; ++i) {
        window.Frame();
    }
    EXPECT_EQ(pressedSeen, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(xs, (std::vector<float>{30, 30, 60, 60}));
}

TEST_F(WindowTest, KeysAndTypedUnitsCarryTheModifiersOfTheirOwnMessage) {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    Window::SetKeyStateForTesting([&](int vk) { return vk == VK_CONTROL ? ctrl : vk == VK_SHIFT ? shift : vk == VK_MENU && alt; });
    // Shift+Enter and Ctrl+V, both let go before the frame that reads them; then AltGr+2 (@).
    shift = true;
    Send(WM_KEYDOWN, VK_RETURN, 1);
    Send(WM_CHAR, L'\r', 1);
    shift = false;
    ctrl = true;
    Send(WM_KEYDOWN, 'V', 1);
    Send(WM_CHAR, 127, 1);
    alt = true;
    Send(WM_CHAR, L'@', 1);
    ctrl = alt = false;
    Send(WM_KEYUP, 'V', 1);
    Window::SetKeyStateForTesting(nullptr);

    ASSERT_EQ(window.input.keys.size(), 3u);
    const KeyEvent& enter = window.input.keys[0];
    EXPECT_TRUE(enter.shift && !enter.ctrl && !enter.alt);
    const KeyEvent& paste = window.input.keys[1];
    EXPECT_TRUE(paste.ctrl && !paste.shift);
    EXPECT_FALSE(window.input.keys[2].ctrl);
    EXPECT_EQ(window.input.text, std::wstring(L"\r\x7f@"));
    EXPECT_FALSE(window.input.TypedUnderCtrl(0));
    EXPECT_TRUE(window.input.TypedUnderCtrl(1));
    EXPECT_FALSE(window.input.TypedUnderCtrl(2));
}

TEST_F(WindowTest, WheelAndKeysAreRecorded) {
    window.dirty = false;
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
    EXPECT_FLOAT_EQ(window.input.wheel, -120);
    EXPECT_TRUE(window.dirty);

    Send(WM_KEYDOWN, 'A', 1 | (1 << 30));
    EXPECT_EQ(Send(WM_SYSKEYDOWN, 'X', 1), 0);
    Send(WM_KEYUP, 'A', 1);
    ASSERT_EQ(window.input.keys.size(), 3u);
    EXPECT_EQ(window.input.keys[0].vk, 'A');
    EXPECT_TRUE(window.input.keys[0].down && window.input.keys[0].repeat && !window.input.keys[0].system);
    EXPECT_TRUE(window.input.keys[1].down && window.input.keys[1].system && !window.input.keys[1].repeat);
    EXPECT_TRUE(!window.input.keys[2].down && !window.input.keys[2].repeat);
}

TEST_F(WindowTest, TypedTextDropsControlCharactersAndKeepsSurrogatePairs) {
    // Ctrl+A, Ctrl+C, Ctrl+V, Esc and Ctrl+Enter's line feed are commands; Backspace, Tab, Enter
    // and Ctrl+Backspace (127) are typed.
    const wchar_t units[] = {1, 3, 0x16, 27, 10, 8, 9, 13, 127, L'a', 0xD83D, 0xDE00, L'ñ'};
    for (wchar_t unit : units) {
        Send(WM_CHAR, unit, 1);
    }
    EXPECT_EQ(window.input.text, std::wstring(L"\b\t\r\x7f"
                                              L"a\xD83D\xDE00ñ"));
}

TEST_F(WindowTest, AResizeDuringAFrameIsAppliedAfterItAndDrawsAgain) {
    bool pendingInFrame = false;
    window.onDraw = [&] {
        window.onDraw = nullptr;
        SetWindowPos(hwnd, nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        pendingInFrame = window.resizePending;
    };
    window.Frame();
    EXPECT_TRUE(pendingInFrame);
    EXPECT_FALSE(window.resizePending);
    RECT client = {};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(window.graphics.PixelWidth(), client.right);
    EXPECT_EQ(window.graphics.PixelHeight(), client.bottom);
    EXPECT_TRUE(window.dirty);
    EXPECT_EQ(FramesOver(0.1), 1);
}

TEST_F(WindowTest, ADpiChangeEitherWayTakesTheSuggestedRectAndScalesPositions) {
    // A minimum of 300 x 200 DIPs: 600 x 400 pixels at 192 DPI, more than the rect suggested on
    // the way back to 96 DPI, which a minimum still counted at the old DPI would grow.
    window.minWidth = 300;
    window.minHeight = 200;
    struct Move {
        WORD dpi;
        RECT suggested;
    };
    const Move moves[] = {{192, {50, 60, 850, 660}}, {96, {70, 80, 470, 380}}, {144, {10, 20, 610, 470}}};
    for (const Move& move : moves) {
        SCOPED_TRACE(move.dpi);
        window.dirty = false;
        RECT suggested = move.suggested;
        Send(WM_DPICHANGED, MAKEWPARAM(move.dpi, move.dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_FLOAT_EQ(window.graphics.Dpi(), move.dpi);
        EXPECT_TRUE(window.dirty);
        RECT rect = {};
        GetWindowRect(hwnd, &rect);
        EXPECT_EQ(rect.left, move.suggested.left);
        EXPECT_EQ(rect.top, move.suggested.top);
        EXPECT_EQ(rect.right - rect.left, move.suggested.right - move.suggested.left);
        EXPECT_EQ(rect.bottom - rect.top, move.suggested.bottom - move.suggested.top);
        RECT client = {};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(window.graphics.PixelWidth(), client.right);
        EXPECT_EQ(window.graphics.PixelHeight(), client.bottom);
    }
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(150, 300));
    EXPECT_FLOAT_EQ(window.input.x, 100);
    EXPECT_FLOAT_EQ(window.input.y, 200);
    EXPECT_TRUE(window.input.inside && window.input.moved);
}

// The system's modal loop that moves or sizes the window (from WM_ENTERSIZEMOVE to WM_EXITSIZEMOVE)
// keeps the main loop waiting: each size it sets is drawn at once, whole, and frames that fall due
// meanwhile come from a timer whose messages the loop dispatches.
TEST_F(WindowTest, InsideTheSizeMoveLoopEachSizeIsDrawnAtOnceAndDueFramesComeFromATimer) {
    const Color fill = {0.2f, 0.4f, 0.8f, 1};
    bool moving = false;
    window.onDraw = [&] {
        window.graphics.FillRect({0, 0, window.graphics.Width(), window.graphics.Height()}, fill);
        window.ui.redraw = moving;  // something still moves: the next frame is due at once
    };
    std::vector<uint32_t> pixels;
    window.onDrawn = [&] { pixels = window.graphics.ReadPixels(); };
    window.Frame();
    const int framesBefore = window.draws;

    Send(WM_ENTERSIZEMOVE);
    EXPECT_TRUE(window.inSizeMove);
    int width = 400;
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        width += 37;
        pixels.clear();
        SetWindowPos(hwnd, nullptr, 0, 0, width, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(window.draws, framesBefore + i);
        RECT client = {};
        GetClientRect(hwnd, &client);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(client.right) * client.bottom);
        EXPECT_EQ(pixels.back(), fill.ToArgb());  // the new bottom-right corner
    }

    // The loop dispatches the timer's messages; each one draws the frame that is due by then.
    moving = true;
    window.dirty = true;
    const int timerFramesFrom = window.draws;
    const DWORD deadline = GetTickCount() + 10000;
    while (window.draws < timerFramesFrom + 3 && GetTickCount() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }
    EXPECT_GE(window.draws, timerFramesFrom + 3);

    // Once the loop ends, the main loop draws again: a size is no longer drawn from the message.
    moving = false;
    Send(WM_EXITSIZEMOVE);
    EXPECT_FALSE(window.inSizeMove);
    const int framesAtExit = window.draws;
    SetWindowPos(hwnd, nullptr, 0, 0, 420, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window.draws, framesAtExit);
    EXPECT_TRUE(window.dirty);
}

// The system's animation and caret settings reach the Ui when the window is made and on every
// setting change: with animation effects off the ambient loops stand still and ask for no frames.
TEST_F(WindowTest, TheSystemsMotionSettingsReachTheUiAtEverySettingChange) {
    if (Testing::RunningUnderWine()) {
        // What the system answers itself: Wine's defaults (its caret blinks at 0.5 s, Windows' at
        // 0.53 s).
        const SystemMotion system = ReadSystemMotion();
        EXPECT_TRUE(system.animations);
        EXPECT_DOUBLE_EQ(system.caretBlink, 0.5);
    }
    EXPECT_FALSE(window.ui.animationsOff);
    EXPECT_DOUBLE_EQ(window.ui.caretBlink, ReadSystemMotion().caretBlink);
    for (const auto& [milliseconds, seconds] : {std::pair{530u, 0.53}, std::pair{250u, 0.25},
                                                std::pair{static_cast<UINT>(INFINITE), 0.0}, std::pair{0u, 0.53}}) {
        EXPECT_DOUBLE_EQ(CaretBlinkSeconds(milliseconds), seconds) << milliseconds;
    }

    std::vector<double> loopTimes;
    window.onDraw = [&] {
        window.ui.RequestAmbientFrames({10, 10, 40, 40});
        loopTimes.push_back(window.ui.AmbientTime());
    };
    EXPECT_GT(FramesOver(0.2), 5);
    EXPECT_GT(loopTimes.back(), 0);

    SetSystemMotionForTesting([] { return SystemMotion{false, 0}; });
    Send(WM_SETTINGCHANGE, SPI_SETCLIENTAREAANIMATION);
    SetSystemMotionForTesting({});
    EXPECT_TRUE(window.ui.animationsOff);
    EXPECT_DOUBLE_EQ(window.ui.caretBlink, 0);
    loopTimes.clear();
    EXPECT_EQ(FramesOver(1.0), 1);  // the change's own frame, then rest
    EXPECT_EQ(loopTimes, std::vector<double>{0.0});

    Send(WM_SETTINGCHANGE, SPI_SETCLIENTAREAANIMATION);
    EXPECT_FALSE(window.ui.animationsOff);
    EXPECT_GT(FramesOver(0.2), 5);
}

TEST_F(WindowTest, ACancelledCloseKeepsTheWindow) {
    bool destroyedCallback = false;
    window.onDestroyed = [&] { destroyedCallback = true; };
    window.keepOpen = true;
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(window.hwnd, hwnd);
    EXPECT_EQ(window.destroyed, 0);

    // Alt+F4 goes on to the system, which asks the window to close; other Alt keys do not.
    constexpr LPARAM kAltDown = 1 << 29;
    Send(WM_SYSKEYDOWN, 'X', 1 | kAltDown);
    Send(WM_SYSKEYDOWN, VK_F4, 1 | kAltDown);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(window.closes, 2);
    EXPECT_TRUE(IsWindow(hwnd));

    window.keepOpen = false;
    Send(WM_CLOSE);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.hwnd, nullptr);
    EXPECT_EQ(window.destroyed, 1);
    // The callback runs from the dispatcher, not inside the window procedure.
    EXPECT_FALSE(destroyedCallback);
    Async::Pump();
    EXPECT_TRUE(destroyedCallback);
}

TEST_F(WindowTest, AWindowClosedWhileItDrawsEndsThatFrameQuietly) {
    // A modal loop inside a frame (a file dialog) may deliver a close: the surface is gone when
    // the drawing returns.
    window.onDraw = [&] { SendMessageW(hwnd, WM_CLOSE, 0, 0); };
    window.Frame();
    EXPECT_EQ(window.hwnd, nullptr);
    EXPECT_EQ(window.destroyed, 1);
    EXPECT_FALSE(window.inFrame);
}

TEST_F(WindowTest, AfterTheDeviceIsRebuiltTheWindowDrawsAndKeepsItsGeometries) {
    EXPECT_EQ(FramesOver(0.1), 1);
    // Icon geometries are made once for the whole process; Direct2D draws a geometry only with a
    // context of the factory that made it.
    ID2D1PathGeometry* icon = Material::IconGeometry(static_cast<Material::Icon>(0));
    ASSERT_NE(icon, nullptr);

    ASSERT_TRUE(RebuildDevice());
    ComPtr<ID2D1Factory> factory;
    icon->GetFactory(factory.Put());
    EXPECT_EQ(factory.Get(), static_cast<ID2D1Factory*>(Graphics::Device::Instance().d2dFactory.Get()));
    ASSERT_NE(window.graphics.Context(), nullptr);
    EXPECT_EQ(FramesOver(0.1), 1);
}

// A removed device shows first in whichever call uses it next: a frame's EndDraw or Present, or a
// resize's buffers or new targets. Wherever it shows, the device is rebuilt and the very next frame
// draws again, its picture too (pictures live on the device: a new one must decode them anew).
TEST_F(WindowTest, ARemovedDeviceIsRebuiltWhereverItShowsAndTheNextFrameDrawsItsPicture) {
    using Call = Graphics::Device::Call;
    const std::wstring path = Files::JoinPath(Testing::MakeTempFolder(L"window-removed"), L"green.png");
    ASSERT_TRUE(Testing::SavePng(path, 8, 8, std::vector<uint32_t>(64, 0xFF00C000u)));
    window.onDraw = [&] { window.graphics.DrawImage(Images::LoadImage(path), {20, 30, 40, 40}, 0, 1); };
    std::vector<uint32_t> drawn;
    window.onDrawn = [&] { drawn = window.graphics.ReadPixels(); };
    // The picture's middle, on the black background.
    const auto showsPicture = [&] {
        const size_t at = static_cast<size_t>(50) * window.graphics.PixelWidth() + 40;
        return at < drawn.size() && Testing::Red(drawn[at]) <= 1 && std::abs(Testing::Green(drawn[at]) - 0xC0) <= 1 &&
               Testing::Blue(drawn[at]) <= 1;
    };

    struct Case {
        const char* name;
        Call at;
        bool inResize;  // shown by a resize between frames, else by the frame itself
    };
    const Case cases[] = {{"EndDraw", Call::EndDraw, false},
                          {"Present", Call::Present, false},
                          {"ResizeBuffers", Call::ResizeBuffers, true},
                          {"back buffer and target", Call::Targets, true}};
    int width = 400;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.Frame();
        ASSERT_TRUE(showsPicture());
        Graphics::Device::RemoveForTesting(c.at);
        if (c.inResize) {
            width += 20;
            SetWindowPos(hwnd, nullptr, 0, 0, width, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            EXPECT_EQ(window.graphics.TargetBitmap(), nullptr);
        } else {
            window.Frame();
        }
        EXPECT_EQ(Graphics::Device::RemovedReason(), c.inResize ? DXGI_ERROR_DEVICE_REMOVED : S_OK);
        drawn.clear();
        window.Frame();
        EXPECT_TRUE(showsPicture());
        EXPECT_EQ(Graphics::Device::RemovedReason(), S_OK);
        RECT client = {};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(window.graphics.PixelWidth(), client.right);
    }
}

TEST_F(WindowTest, InputGetsExactlyOneFollowUpFrameAndAnIdleWindowDrawsNothing) {
    EXPECT_EQ(FramesOver(0.1), 1);  // the first frame
    EXPECT_FLOAT_EQ(window.lastDt, 1.0f / 60);
    EXPECT_EQ(FramesOver(1.0), 0);

    std::vector<float> steps;
    window.onDraw = [&] { steps.push_back(window.ui.dt); };
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
    EXPECT_EQ(FramesOver(1.0), 2);
    // The move's frame comes after a long pause: its step is capped.
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_FLOAT_EQ(steps[0], 0.05f);

    // Something moved under the still pointer: the hover owner changes without input, and one
    // more frame shows it.
    window.onDraw = [&] { window.ui.nextHover = 42; };
    window.dirty = true;
    EXPECT_EQ(FramesOver(1.0), 2);

    // Something that animates for ten frames gets ten frames, then the window is idle again.
    int left = 10;
    window.onDraw = [&] { window.ui.animating = --left > 0; };
    window.dirty = true;
    EXPECT_EQ(FramesOver(1.0), 10);
}

TEST_F(WindowTest, MinimisingKeepsTheSurfaceSize) {
    const int width = window.graphics.PixelWidth();
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(window.graphics.PixelWidth(), width);
}

// ---- Frames that only ambient loops ask for ----

// A drifting disc clipped to a rounded panel (and its bounds, as a mask has no effect under
// Wine), as the backdrop draws it, with a label across the panel's edge and an unwrapped one
// whose box ends before the panel but whose text runs into it; and a square elsewhere whose
// colour the test changes without asking for a frame.
class AmbientFrameTest : public WindowTest {
protected:
    static constexpr Rect kPanel = {50, 40, 160, 100};
    static constexpr Rect kSquare = {260, 170, 60, 60};

    void SetUp() override {
        WindowTest::SetUp();
        window.onDraw = [this] {
            Graphics& g = *window.ui.graphics;
            g.FillRect({0, 0, 400, 300}, {0.1f, 0.12f, 0.2f, 1});
            window.ui.RequestAmbientFrames(kPanel);
            g.PushAxisClip(kPanel);
            g.PushRoundClip(kPanel, 12);
            const float t = static_cast<float>(window.ui.AmbientTime());
            g.FillEllipseRadial(kPanel.x + 40 + 30 * std::sin(t * 3), kPanel.y + 40, 70, 70,
                                {{0, {1, 0.3f, 0.5f, 0.9f}}, {1, {1, 0.3f, 0.5f, 0}}}, 1);
            g.PopLayer();
            g.PopAxisClip();
            TextStyle style;
            style.size = 14;
            g.DrawText(L"Hola, ¿qué tal?", {kPanel.x + kPanel.w - 40, kPanel.y + 20, 120, 24}, {1, 1, 1, 1}, style);
            TextStyle runOn = style;
            runOn.wrap = false;
            g.DrawText(L"sigue y sigue", {kPanel.x - 40, kPanel.y + 60, 10, 24}, {1, 0.9f, 0.2f, 1}, runOn);
            g.FillRect(kSquare, square);
            now += drawCost;
        };
        window.onDrawn = [this] { pixels = window.graphics.ReadPixels(); };
    }
    void TearDown() override {
        Window::SetRegionFrames(true);
        WindowTest::TearDown();
    }

    void Frame(double dt = 1.0 / 60) {
        now += dt;
        window.Frame();
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            Frame();
        }
    }
    uint32_t At(const std::vector<uint32_t>& frame, float x, float y) const {
        return frame.at(static_cast<size_t>(y) * window.graphics.PixelWidth() + static_cast<size_t>(x));
    }
    PixelRect Whole() const { return {0, 0, window.graphics.PixelWidth(), window.graphics.PixelHeight()}; }
    PixelRect PanelPixels() const {
        return PixelRect::Covering(kPanel, window.graphics.Dpi(), window.graphics.PixelWidth(),
                                   window.graphics.PixelHeight());
    }
    static bool Same(const PixelRect& a, const PixelRect& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }

    Color square = {0, 0.8f, 0, 1};
    std::vector<uint32_t> pixels;
    // Seconds each frame's drawing takes on the test's clock.
    double drawCost = 0;
};

TEST_F(AmbientFrameTest, AnAmbientFramePresentsOnlyItsRegionAndMatchesAWholeFrame) {
    const uint32_t green = 0xFF00CC00;
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, Whole()));
    ASSERT_GE(window.NextFrameDelay(), 0.0) << "an ambient loop asks for the animation rate";
    // The first frame after a whole one redraws the whole buffer (the swap chain's other buffer
    // holds nothing of it); from then on only the panel.
    Frame();
    for (int i = 0; i < 4; ++i) {
        Frame();
        ASSERT_TRUE(Same(window.lastPresented, PanelPixels())) << "frame " << i;
    }
    const PixelRect region = PanelPixels();
    EXPECT_LT(region.Area(), Whole().Area() / 4);

    // Two whole frames that change the square: the buffer the next frame gets back may still
    // hold the older one, so that frame is whole again.
    square = {0, 0, 1, 1};
    window.dirty = true;
    Frame();
    square = {0, 0.8f, 0, 1};
    window.dirty = true;
    Frame();
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    EXPECT_EQ(At(pixels, 290, 200), green);
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, region));
    EXPECT_EQ(At(pixels, 290, 200), green);

    // Nothing outside the region is drawn: the square keeps the colour of the last whole frame,
    // in this frame's buffer too.
    square = {0, 0, 1, 1};
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, region));
    const std::vector<uint32_t> regionFrame = pixels;
    ASSERT_EQ(regionFrame.size(), static_cast<size_t>(Whole().Area()));
    EXPECT_EQ(At(regionFrame, 290, 200), green);

    // The same moment drawn whole, with the square as the whole frames drew it: every pixel is
    // the same, inside the region and out.
    square = {0, 0.8f, 0, 1};
    window.dirty = true;
    Frame(0);
    ASSERT_TRUE(Same(window.lastPresented, Whole()));
    ASSERT_EQ(pixels.size(), regionFrame.size());
    size_t differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        differ += pixels[i] != regionFrame[i] ? 1 : 0;
    }
    EXPECT_EQ(differ, 0u);
}

TEST_F(AmbientFrameTest, AnyInputOrOtherRequestMakesTheNextFrameWhole) {
    Frames(4);
    ASSERT_TRUE(Same(window.lastPresented, PanelPixels()));

    // A pointer move over nothing: the move's frame and its follow-up are whole, then the panel
    // alone again.
    SendMessageW(window.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    EXPECT_TRUE(Same(window.lastPresented, PanelPixels()));

    // A key, a redraw request, another animation: each frame after one is whole.
    SendMessageW(window.hwnd, WM_KEYDOWN, 'A', 0);
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    window.ui.redraw = true;
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    window.ui.animating = true;
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));

    // Switched off, every frame is whole.
    Frames(3);
    Window::SetRegionFrames(false);
    Frames(2);
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
}

TEST_F(AmbientFrameTest, SlowRegionFramesWaitForTheirShareOfTheTime) {
    Frames(3);
    ASSERT_TRUE(Same(window.lastPresented, PanelPixels()));
    EXPECT_NEAR(window.NextFrameDelay(), 0.5 / 60, 1e-9) << "cheap region frames keep the animation rate";

    // Region frames of 50 ms: the first is paid from the allowance, the second waits close to
    // half a second (a tenth of the time).
    drawCost = 0.05;
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, PanelPixels()));
    EXPECT_NEAR(window.NextFrameDelay(), 0.5 / 60, 1e-9);
    Frame();
    const double waited = window.NextFrameDelay();
    EXPECT_GT(waited, 0.4);
    EXPECT_LT(waited, 0.5);

    // A slow whole frame (input) is not what the loops' frames cost: it and its follow-up come at
    // once, and then the loops wait what is left of their wait.
    drawCost = 0.3;
    SendMessageW(window.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, Whole()));
    EXPECT_EQ(window.NextFrameDelay(), 0.0);
    drawCost = 0;
    Frame();
    const double left = window.NextFrameDelay();
    EXPECT_GT(left, 0.0);
    EXPECT_LT(left, waited);

    // After a second of rest the allowance is full again: the animation rate again. Switched off,
    // the loops draw at the animation rate whatever their frames cost.
    Frame(1.0);
    Frame();
    EXPECT_NEAR(window.NextFrameDelay(), 0.5 / 60, 1e-9);
    drawCost = 0.3;
    Frames(2);
    EXPECT_GT(window.NextFrameDelay(), 0.5);
    Window::SetRegionFrames(false);
    EXPECT_NEAR(window.NextFrameDelay(), 0.5 / 60, 1e-9);
}

TEST_F(AmbientFrameTest, WithTheLoopsHeldTheWindowRests) {
    window.ui.ambientHeld = true;
    Frames(2);
    EXPECT_LT(window.NextFrameDelay(), 0.0);
}

}  // namespace
}  // namespace Lorvex::UI

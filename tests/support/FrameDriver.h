#pragma once
// Drives the real main window the way a user does, for UI tests and the screens program. It
// starts from a fresh data folder (with the fixture records and settings written first), fresh
// services and the real MainWindow opened on the display at the settings' size (small, for a test
// of one screen or dialog), or a plain window that calls a draw function. It owns the clock the
// frames read, feeds input through the window's own message handling (hover is decided one frame
// late, so a click is a move, a press and a release frame), runs frames one at a time or until
// the window is idle, and answers what tests assert on: the screen shown, the open overlays, the
// toasts, the records, the data folder, the settings. The modal file dialog, the shell, the
// clipboard and the local time are fakes the test reads and sets. Frames make every draw call but
// change no pixel, except the ones whose pixels are asked for (Pixels, SavePng), which are drawn
// whole: any frame can be saved as a PNG.
//
// Test thread only (it is the window's UI thread); one driver at a time in a process. Failures
// (a window that cannot be opened, a frame whose layers and clips do not balance) go to onFault,
// which fails the running test unless replaced.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "foundation/Time.h"
#include "ui/Input.h"
#include "ui/Ui.h"
#include "ui/Window.h"

namespace Lorvex::Services {
class AppState;
}  // namespace Lorvex::Services

namespace Lorvex::Main {
class MainWindow;
class Overlay;
}  // namespace Lorvex::Main

namespace Lorvex::Testing {

class FrameDriver {
public:
    struct Options {
        // Written to the data folder before start; its window size and theme apply.
        Settings settings;
        // Saved, with their chats, before the services load the data folder.
        std::vector<std::shared_ptr<Character>> characters;
        std::vector<std::shared_ptr<Persona>> personas;
        // Whether the main window shows its start-up splash; without it the window starts as if
        // the splash were long over.
        bool splash = false;
        // Whether ambient loops (drifting backdrops, bobbing icons, a caret's blink) move. Held
        // still by default, so that a screen with one comes to rest and its pictures do not depend
        // on the moment.
        bool ambient = false;
        // When set, a plain window of the settings' size that calls draw every frame takes the
        // main window's place.
        std::function<void(UI::Ui& ui)> draw;
    };

    // Held keys of Key; they combine with |.
    enum Modifier : uint32_t { kNone = 0, kCtrl = 1, kShift = 2, kAlt = 4 };

    static constexpr double kFrameDt = 1.0 / 60;

    FrameDriver() : FrameDriver(Options{}) {}
    explicit FrameDriver(Options options);
    ~FrameDriver();
    FrameDriver(const FrameDriver&) = delete;
    FrameDriver& operator=(const FrameDriver&) = delete;

    // ---- Frames ----

    // The clock moves on by dt, the window's messages and the dispatcher run, then one frame.
    void Frame(double dt = kFrameDt);
    void Frames(int count);
    // Frames step apart until seconds have passed; a longer step crosses a long wait in fewer
    // frames (each frame's dt stays capped at 0.05 s by the window).
    void RunFor(double seconds, double step = kFrameDt);
    // Frames step apart until the window wants no next one; false when it still does after
    // maxSeconds of the driver's clock (a spinner, or an ambient loop that the options let move,
    // never rests). A step of the window's longest frame (0.05 s) comes to rest in the fewest
    // frames.
    bool Settle(double maxSeconds = 10, double step = kFrameDt);
    // Frames step apart until done holds, waiting between frames for what a worker posts (a
    // reply's text, a request's result); false when it still does not hold after maxSeconds of
    // real time, a bound that only a broken test reaches. What a test observes this way is a
    // condition, never a moment: a state that a worker may end between two frames (a reply still
    // typing) must be held by the fake server until the test has seen it.
    bool RunUntil(const std::function<bool()>& done, double maxSeconds = 20, double step = kFrameDt);
    // RunUntil every job started by Async::Run has delivered its result: the way to see that a
    // late result changed nothing.
    bool RunUntilJobsDone(double maxSeconds = 20, double step = kFrameDt);
    bool Idle() const;
    double Now() const { return now_; }

    // ---- Input, one frame per step, in DIPs from the window's top-left corner ----

    void Move(float x, float y);
    void Press(size_t button = UI::Button::Left);
    void Release(size_t button = UI::Button::Left);
    // Move, press and release frames.
    void Click(float x, float y, size_t button = UI::Button::Left);
    // A move frame, then a frame with the wheel turned by notches (positive away from the user).
    void Scroll(float x, float y, int notches);
    // A frame with the key (and the modifiers) going down and the character it types, if any,
    // then a frame with them going up: Key(VK_RETURN, kCtrl), Key('A', kCtrl), Key(VK_ESCAPE).
    void Key(int vk, uint32_t modifiers = kNone);
    // A quick chord, all before one frame: the modifiers go down, the key goes down (typing its
    // character, if any) and up, the modifiers go up again; then that one frame. So an injected
    // key, a slow frame or a remote desktop delivers it: no frame sees the modifier held.
    void QuickKey(int vk, uint32_t modifiers = kNone);
    // One frame with the text typed.
    void Type(const std::wstring& text);
    // The pointer jumps and the button goes down before one frame, as a pen or a touch screen
    // (or a loaded machine) delivers it; then that one frame.
    void MoveAndPress(float x, float y, size_t button = UI::Button::Left);
    // A tap: the pointer jumps, the button goes down and up, all before one frame; then that one
    // frame.
    void Tap(float x, float y, size_t button = UI::Button::Left);
    // Clicks the middle of the widget with this id where the last frame placed it; a fault when
    // the last frame had no such widget.
    void ClickWidget(uint64_t id);
    void ClickWidget(const char* name);
    // Where the last frame placed the widget with this id, in the window's DIPs.
    std::optional<Rect> WidgetRect(uint64_t id) const;
    std::optional<Rect> WidgetRect(const char* name) const;
    // The pointer leaves the window (one frame).
    void Leave();
    // The window is asked to close, as its close button or Alt+F4 would.
    void Close();

    // ---- State ----

    bool Opened() const { return window_ != nullptr && window_->hwnd != nullptr; }
    // The main window; only when Options::draw was not given.
    Main::MainWindow& Window() const { return *main_; }
    // The window driven, either kind.
    UI::Window& Surface() const { return *window_; }
    UI::Ui& Ui() const { return window_->ui; }
    int32_t CurrentScreen() const;
    // The top-most open overlay, null when none is open.
    Main::Overlay* TopOverlay() const;
    // The texts of the toasts shown or queued, oldest first.
    std::vector<std::wstring> Toasts() const;
    static Services::AppState& State();
    // A path inside the data folder; the folder itself for an empty relative path.
    std::wstring DataPath(const std::wstring& relative = L"") const;
    // The settings as the data folder's file holds them now.
    Settings StoredSettings() const;

    // ---- Pictures ----

    // Draws the current moment once more (the clock does not move) and returns its pixels as
    // 0xAARRGGBB, row by row; empty when the frame could not be read.
    std::vector<uint32_t> Pixels();
    // The same frame as a PNG file; false when it could not be drawn or written.
    bool SavePng(const std::wstring& path);

    // ---- Fakes of the system ----

    std::wstring clipboard;                 // what the clipboard holds
    bool clipboardFails = false;            // copies are refused and leave the clipboard as it was
    std::vector<std::wstring> shellOpened;  // every folder, file or address handed to the shell
    std::wstring pickedFile;                // the file dialog's answer; empty: cancelled
    int filePicks = 0;                      // how often the file dialog was shown
    Time::LocalNow localTime;               // the local clock, at first StartTime()

    // The local time every driver starts at: Friday 2025-03-07 18:04:09, UTC+1.
    static Time::LocalNow StartTime();

    // Receives every failure; by default each one fails the running test.
    std::function<void(const std::string& fault)> onFault;

private:
    void Fault(const std::string& text);
    void Send(UINT message, WPARAM wParam, LPARAM lParam);
    // The messages of a key (and its modifiers) going down, with the character it types, and of
    // them going up again.
    void SendKeyDown(int vk, uint32_t modifiers);
    void SendKeyUp(int vk, uint32_t modifiers);
    // The pointer's jump and the button going down, with no frame.
    void SendMoveAndPress(float x, float y, size_t button);
    LPARAM PointerParam() const;
    void PumpMessages();

    Options options_;
    std::wstring data_;
    bool savedDark_ = true;
    std::unique_ptr<UI::Window> window_;
    Main::MainWindow* main_ = nullptr;
    double now_ = 100.0;
    float x_ = -1;
    float y_ = -1;
    uint32_t held_ = kNone;
    bool capture_ = false;
    std::vector<uint32_t> captured_;
    struct Seen {
        Rect rect;
        uint64_t frame = 0;
    };
    std::map<uint64_t, Seen> seen_;  // every widget's latest place
};

// While one lives, the local clock reads the drivers' start time: a fixture made under it, before
// its driver, has its records (Chat::Create and Message::Create stamp them) as new on the window's
// clock as on the real one. Not while a driver lives, which owns the clock then, nor nested.
class AtDriverStartTime {
public:
    AtDriverStartTime() { Time::SetLocalTimeForTesting(&FrameDriver::StartTime); }
    ~AtDriverStartTime() { Time::SetLocalTimeForTesting(nullptr); }
    AtDriverStartTime(const AtDriverStartTime&) = delete;
    AtDriverStartTime& operator=(const AtDriverStartTime&) = delete;
};

}  // namespace Lorvex::Testing

#pragma once
// The base of every top-level window: the Win32 window, its drawing surface and its widget
// context. The window procedure turns mouse, keyboard and text messages into the input record
// the Ui reads in the next frame, keeps the surface in step with size and DPI, and marks the
// window dirty; the main loop asks NextFrameDelay when a frame is due and calls Frame to draw it.
// UI thread only (the thread that created the window). Create reports failure by false; a frame
// whose surface cannot be made is skipped and retried later, backing off while it keeps failing.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "ui/FramePacing.h"
#include "ui/Input.h"
#include "ui/Ui.h"

namespace Lorvex::UI {

class Window {
public:
    struct Options {
        std::wstring title;
        DWORD style = WS_OVERLAPPEDWINDOW;
        DWORD exStyle = 0;  // the flags below add their bits
        int x = CW_USEDEFAULT;
        int y = CW_USEDEFAULT;
        int width = 800;  // client size in DIPs
        int height = 600;
        HWND parent = nullptr;
        bool composition = false;   // present through DirectComposition
        bool clickThrough = false;  // opaque, layered, transparent to the mouse
        bool topmost = false;
        bool noActivate = false;
        int showCommand = SW_SHOW;   // 0: not shown by Create
        bool fitToWorkArea = false;  // scaled down to fit the monitor's work area
    };

    // Test seams of frame pacing: the clock, the display's refresh period and whether this
    // process owns the foreground window. An empty function restores the system's.
    struct PacingSeams {
        std::function<double()> now;
        std::function<double()> refreshPeriod;
        std::function<bool()> foreground;
    };

    static constexpr const wchar_t* kClassName = L"Lorvex.Window";

    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Makes the window and its surface; false when either cannot be made (the window is then
    // destroyed again).
    bool Create(const Options& options);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Messages of a mouse button going down (double clicks too), and going down or up.
    static bool IsPressMessage(UINT message);
    static bool IsButtonMessage(UINT message);

    // ---- Frames (ui/WindowFrame.cpp) ----

    // Seconds after lastFrameTime at which the next frame is due; 0 at once, negative when idle.
    double NextFrameDelay() const;
    // Draws one frame: surface, Ui frame start, Draw, Ui frame end, present, input cleared.
    void Frame();
    // Seconds of one display refresh, asked of the compositor at most every two seconds.
    static double RefreshPeriod();
    // The clock frames are timed with: Async::Now unless a test replaced it.
    static double Clock();
    static void SetPacingSeamsForTesting(PacingSeams seams);
    // Test seam of the modifier keys (Ctrl, Shift, Alt) read with each key message and when a
    // frame starts: whether the virtual key is held. An empty function restores the system's
    // keyboard state.
    static void SetKeyStateForTesting(std::function<bool(int vk)> held);
    // Frames drawn by every window of the process since it started (benchmarks read it).
    static uint64_t FramesDrawn();
    // Pixels those frames presented: the whole target, or the region of a frame that only
    // ambient loops asked for.
    static uint64_t PixelsPresented();
    // Whether a frame that only ambient loops asked for redraws just their region and keeps to
    // their share of the time (the default); off, every frame is whole and ambient loops draw at
    // the animation rate whatever they cost (the idle benchmark compares the two).
    static void SetRegionFrames(bool on);

    // The live windows in order of construction.
    static const std::vector<Window*>& All();

    // The work-area fitting rule: the scale at which the remembered client size fits the
    // monitor (1 without fitting), and moving and sizing the window by it.
    float FitScale(HMONITOR monitor, float dpi) const;
    void Refit(HMONITOR monitor, float dpi, int x, int y);

    // ---- Hooks ----

    virtual void Draw() = 0;
    // Sees every message first; true makes Handle return *result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) { return false; }
    // Setting *cancel keeps the window open.
    virtual void OnClose(bool* cancel) {}
    virtual void OnDestroy() {}
    virtual Color BackgroundColor() { return {0, 0, 0, 1}; }

    // ---- State ----

    // One input message's share of the input record (ui/WindowInput.cpp), kept while it waits
    // for a later frame.
    struct InputMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        // The modifier keys as the message arrived (keys and typed characters).
        bool ctrl = false;
        bool shift = false;
        bool alt = false;
        bool leavesWindow = false;  // WM_MOUSELEAVE while no button holds the capture
    };

    std::function<void()> onDestroyed;  // posted to the dispatcher when the window is destroyed
    // Tests: called when a frame's drawing has ended well and before it is presented, while the
    // surface's target still holds exactly what the frame drew.
    std::function<void()> onDrawn;
    Graphics graphics;
    Ui ui{graphics};
    Input input;
    HWND hwnd = nullptr;
    bool fitToWorkArea = false;
    int fitWidth = 0;
    int fitHeight = 0;
    bool dirty = true;  // the next frame is due at once
    bool inFrame = false;
    bool resizePending = false;  // a size change that arrived while drawing
    // Inside the system's modal loop that moves or sizes the window (WM_ENTERSIZEMOVE to
    // WM_EXITSIZEMOVE): the main loop waits for it to end, so the window draws its own frames.
    bool inSizeMove = false;
    bool continuous = false;
    bool continuousPaced = false;
    double continuousPeriod = 0;
    bool trackingLeave = false;
    // The pointer is over a caption button the window draws itself (its hit test answers
    // HTMAXBUTTON), tracked for WM_NCMOUSELEAVE; the system tracks one of the two areas at a time.
    bool trackingNonClientLeave = false;
    bool clickThrough = false;
    double lastFrameTime = 0;
    int captureCount = 0;
    // While the surface cannot be made: seconds to wait before the next attempt (0 when it can).
    double surfaceRetryDelay = 0;
    // Input messages waiting for a later frame, oldest first (see Arrive).
    std::vector<InputMessage> heldInput;
    // Where the pointer was (DIPs) when the last drawn frame decided the hover, and whether it
    // was over the window then.
    float hoverDecidedX = -1;
    float hoverDecidedY = -1;
    bool hoverDecidedInside = false;
    // The pixels the latest frame presented (the whole target for a whole frame).
    PixelRect lastPresented;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the virtual key is held now (the test seam's answer when one is set). Inside the
    // window procedure that is the state as of the message being handled.
    static bool KeyHeld(int vk);
    static InputMessage WithModifiers(InputMessage message);
    void SetPosition(LPARAM lParam);
    // A pointer message over a maximise button the window draws itself, in screen coordinates:
    // into the record as the client message it stands for.
    LRESULT FromMaximizeButton(UINT message, LPARAM lParam);
    void Capture();
    void Uncapture();
    // Records the message, or holds it back (MustWait); everything that arrives after a held
    // message waits behind it, in order. Marks the window dirty unless told not to.
    void Arrive(const InputMessage& message, bool markDirty = true);
    void Record(const InputMessage& message);
    // Whether the last drawn frame decided the hover with the pointer where lParam puts it.
    bool HoverDecidedAt(LPARAM lParam) const;
    // Whether the message may not go into this frame's record: a press where no frame decided the
    // hover, or a pointer move after a press or release the frame has yet to judge.
    bool MustWait(const InputMessage& message) const;
    // The pointer goes to a waiting press when this frame has no press or release to judge.
    void MoveToWaitingPress(const InputMessage& message);
    // At frame start: records the held messages in order, up to a press that must wait again.
    void ReplayHeldInput();
    // Takes the system's animation and caret settings (ui/SystemMotion.h) into the Ui.
    void FollowSystemMotion();
    // Inside the size/move loop: the frame the main loop would draw now, if one is due.
    void FrameInSizeMove();
    // Makes the surface ready, rebuilding it (and the device) when it was lost; false backs off.
    bool ReadySurface();
    void SurfaceFailed();
    // The pixels this frame redraws: the whole target unless only ambient loops asked for it.
    PixelRect FrameRegion(bool ambientOnly, const Rect& ambientRegion, PixelRect& changed) const;
    // After a frame (ui/WindowTextInput.cpp): the system's text input windows go to the caret the
    // focused editor drew, or the system caret goes when no editor has the keyboard.
    void PlaceTextInput();
    void DropTextInput();

    // What the latest presented frame changed, and the target it was drawn on: a region frame
    // draws into a buffer that last held the frame before that one, so it redraws the region that
    // frame changed too.
    PixelRect previousChange_;
    uint64_t previousTarget_ = 0;
    // What region frames that only ambient loops asked for may still spend.
    Pacing::AmbientBudget ambientBudget_;
    // The hidden system caret that stands where the editor's caret is drawn, in client pixels.
    struct SystemCaret {
        bool made = false;
        int x = 0;
        int y = 0;
        int height = 0;
    };
    SystemCaret systemCaret_;
};

// After the device reported itself removed or reset: makes a new device, drops the pictures made
// on the old one and rebuilds every window's surface. False when the new device or a surface
// cannot be made yet; those windows retry on their next due frame. UI thread only.
bool RebuildDevice();

}  // namespace Lorvex::UI

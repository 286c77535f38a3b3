#pragma once
// The immediate-mode widget context of one window. Widgets are functions called once per frame
// with the Ui, an id and a rect; the Ui answers hover, press, click and wheel ownership (decided
// one frame late: whatever claims the pointer last in frame N is the hover owner in frame N+1),
// keeps per-id state that outlives a frame, carries the transform and clip stacks that widgets
// push while drawing, and runs work deferred to the end of the frame (tooltips, layers on top).
// Time is fed in by whoever starts the frame, so the Ui never reads a clock itself.
// UI thread only. Nothing fails: without input, with an empty stack or an empty text an
// operation does nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/Graphics.h"
#include "ui/Ids.h"
#include "ui/Input.h"

namespace Lorvex::UI {

namespace Material {
struct TextFieldStyle;  // ui/TextFieldStyle.h
}  // namespace Material

// What happened to a widget in this frame.
struct Interaction {
    bool hovered = false;        // the hover owner, with the pointer over its rect
    bool held = false;           // the left button went down on it and is still down
    bool clicked = false;        // pressed and released on it, the pointer still over it
    bool rightClicked = false;   // hovered and the right button went up
    bool entered = false;        // hovered now and not in the previous frame
    bool middleClicked = false;  // hovered and the middle button went up
};

// System cursor resource ids (IDC_*) the window shows over the client area.
inline constexpr int32_t kArrowCursor = 0;  // 0 stands for IDC_ARROW
inline constexpr int32_t kHandCursor = 32649;
inline constexpr int32_t kIBeamCursor = 32513;

class Ui {
public:
    struct HolderBase {
        virtual ~HolderBase() = default;
    };
    template <class T>
    struct Holder : HolderBase {
        T value{};
    };

    using TooltipDrawer = std::function<void(Graphics&, const std::wstring& text, float x, float y)>;

    // Pops what a widget pushed, in reverse order: its transform (as PopTransform), then its
    // surface layer. Set the flags as the pushes happen.
    struct ClipScope {
        explicit ClipScope(Ui& ui, bool layerPushed = false, bool transformPushed = false)
            : ui(ui), layerPushed(layerPushed), transformPushed(transformPushed) {}
        ~ClipScope();
        ClipScope(const ClipScope&) = delete;
        ClipScope& operator=(const ClipScope&) = delete;

        Ui& ui;
        bool layerPushed;
        bool transformPushed;
    };

    // Widgets made inside hash their literal ids from seed instead of the offset basis.
    class IdScope {
    public:
        IdScope(Ui& ui, uint64_t seed) : ui_(ui) { ui_.PushId(seed); }
        ~IdScope() { ui_.PopId(); }
        IdScope(const IdScope&) = delete;
        IdScope& operator=(const IdScope&) = delete;

    private:
        Ui& ui_;
    };

    // Salts of the Ui's own sub-ids.
    static constexpr uint64_t kDisabledHoverSalt = 0x51ED;
    static constexpr uint64_t kEnteredSalt = 0x401E;
    static constexpr uint64_t kBlockHoverSalt = 0xB10C;

    // The tooltip follows the pointer until kTooltipDelay seconds of rest, then shows until
    // kTooltipEnd seconds after that start.
    static constexpr double kTooltipDelay = 0.4;
    static constexpr double kTooltipEnd = 5.4;

    // Passed as initial to Smooth and Approach (any value at or below -1e29): a value seen for the
    // first time starts at its target.
    static constexpr float kStartAtTarget = -1e30f;

    explicit Ui(Graphics& graphics) : graphics(&graphics) {}
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // ---- Frames (called by the window around its draw routine) ----

    // Starts a frame at time (seconds on the caller's clock), dt seconds after the previous one:
    // clears this frame's requests and claims, the stacks and the deferred list, and drops the
    // focus when the left button went down on empty space.
    void BeginFrame(Input& frameInput, double frameTime, float frameDt);
    // Runs the deferred work, then promotes this frame's claims: hover, wheel owner, cursor; ends
    // the press once the left button is up.
    void EndFrame();

    // ---- Ids ----

    // Ids of literals, hashed from the innermost id scope (the plain hash without one).
    uint64_t MakeIdFromText(std::string_view text) const { return UI::MakeIdFromText(text, IdSeed()); }
    uint64_t MakeId(std::string_view text, uint64_t n) const { return UI::MakeId(text, n, IdSeed()); }
    // The seed of the innermost scope, kFnvOffsetBasis when none is open.
    uint64_t IdSeed() const { return idScopes_.empty() ? kFnvOffsetBasis : idScopes_.back(); }
    void PushId(uint64_t seed) { idScopes_.push_back(seed); }
    void PopId();

    // ---- Hit testing and interaction ----

    // Whether the pointer is over rect (local coordinates) and inside every clip, hit testing not
    // being suspended.
    bool Hit(const Rect& rect) const;
    // Claims the hover for id when the pointer is over rect and reports this frame's interaction.
    // A disabled widget covers what lies beneath it but reports nothing. With notify the
    // pointer-entered and clicked hooks are called.
    Interaction Interact(uint64_t id, const Rect& rect, bool enabled = true, bool notify = false);
    // Keeps everything drawn before it beneath rect from being hovered (and, with blockWheel,
    // from scrolling).
    void BlockHover(const Rect& rect, bool blockWheel);
    // Whether rect (local coordinates), grown by margin, overlaps the visible clip.
    bool IsVisible(const Rect& rect, float margin) const;
    // A local rectangle in window coordinates under the current transform (menus and overlays
    // open there).
    Rect ToWindow(const Rect& local) const {
        return {local.x * scale + offsetX, local.y * scale + offsetY, local.w * scale, local.h * scale};
    }

    // ---- Transforms and clips (drawing and hit testing follow them) ----

    // Scale by s about (cx, cy), local coordinates.
    void PushScale(float s, float cx, float cy);
    void PushTranslate(float dx, float dy);
    void PopTransform();
    size_t TransformDepth() const { return transforms_.size(); }
    // Clips drawing and hit testing to rect (local coordinates), aliased.
    void PushClip(const Rect& rect);
    void PopClip();
    // The clip rects in window coordinates, outermost first.
    const std::vector<Rect>& Clips() const { return clips_; }

    // ---- Per-id values (kept for the life of the Ui) ----

    // Exponential approach: value = target + (value - target) * exp(-rate * dt), snapping to the
    // target within 0.002; asks for the next frame while it moves.
    float Smooth(uint64_t id, float target, float rate, float initial = kStartAtTarget);
    // Linear approach by dt / duration per frame without overshoot (duration 0 or less: at once);
    // asks for the next frame while it still differs from the target.
    float Approach(uint64_t id, float target, float duration, float initial = kStartAtTarget);
    // A float the widget changes itself, created with initial.
    float& FloatState(uint64_t id, float initial);
    // The id's T, value-initialised on first use. An id keeps one T: asked for another type, the
    // id starts over with a fresh value of that type.
    template <class T>
    T& State(uint64_t id);

    // ---- Text editing (ui/TextEdit.cpp) ----

    // The one text editor: applies this frame's mouse, keys and typed text to text (edited in
    // place) when id has the focus, draws the field and returns whether the text was edited. Keys
    // it acts on are marked handled and the typed text it takes is emptied; Enter in a multi-line
    // editor stays unhandled for the caller.
    bool TextEdit(uint64_t id, const Rect& rect, std::wstring& text, const Material::TextFieldStyle& style);

    // ---- Keyboard focus order ----

    // Text editors that take input this frame (hit testing not suspended) join the order as they
    // are drawn, which is reading order. At the frame's end every Tab no widget took moves the
    // focus to the next editor of the order, Shift+Tab to the one before, round the ends; with no
    // editor of the order focused, to the first (Shift+Tab: the last). The editor it reaches
    // selects its whole text, and the scroll area it lies in scrolls it into view.
    void JoinFocusOrder(uint64_t id);
    // Reported by the editor that Tab focused, where it was drawn this frame (window
    // coordinates), for the scroll area around it; taken by that area, dropped at the frame's end.
    void ReportRevealed(uint64_t id, const Rect& windowRect);
    std::optional<Rect> TakeRevealed();
    bool HasRevealed() const { return revealed_.has_value(); }
    // Whether id was focused by Tab and has not yet taken its text's selection (the editor asks
    // once, then it is done).
    bool TakeTabbedInto(uint64_t id);

    // ---- Deferred work and tooltips ----

    // Runs callback at the end of the frame, with hit testing suspended when it is suspended now.
    void Defer(std::function<void()> callback);
    size_t DeferredCount() const { return deferred_.size(); }
    // Shows text beside the pointer once it has rested kTooltipDelay seconds on the hovered
    // widget id, until kTooltipEnd; a button press hides it until the pointer leaves and returns.
    void Tooltip(uint64_t id, std::wstring_view text);
    // The built-in tooltip: a white box below (or above) the anchor, in window coordinates.
    void DrawTooltip(const std::wstring& text, float x, float y);
    // Where the built-in tooltip box goes for a text of the given size: below the anchor, above
    // it when it would pass the bottom, kept inside the surface's width, on whole pixels.
    static Rect TooltipBox(Graphics::TextSize text, float anchorX, float anchorY, float surfaceWidth,
                           float surfaceHeight, float pixelsPerDip);

    // ---- Ambient animations ----

    // Loops that never end (a drifting backdrop, a bobbing icon, a breathing glow) stand still
    // while a test holds them or the system's animation effects are off.
    bool AmbientStill() const { return ambientHeld || animationsOff; }
    // The clock those loops read: the frame time, or a fixed moment while they stand still.
    double AmbientTime() const { return AmbientStill() ? 0.0 : time; }
    // Asks for the animation rate on behalf of such a loop, which changes nothing outside rect
    // (local coordinates); nothing while they stand still. A frame that only these loops asked for
    // redraws just the union of their rects (ui/WindowFrame.cpp).
    void RequestAmbientFrames(const Rect& rect);
    // The same for a blinking caret, which follows its own setting (caretBlink), not the
    // animation effects; nothing while a test holds the loops.
    void RequestCaretFrames(const Rect& rect);

    // ---- State read and written by windows, widgets and screens ----

    Graphics* graphics;                      // the window's surface (not owned)
    std::function<void()> onPointerEntered;  // called by Interact with notify
    std::function<void()> onClicked;         // called by Interact with notify
    // Tests only: every widget that took part this frame, with its rect in the window's DIPs.
    std::function<void(uint64_t id, const Rect& windowRect)> onInteract;
    TooltipDrawer tooltipDrawer;  // replaces the built-in tooltip when set
    Input* input = nullptr;       // the window's record; null before the first frame
    float dt = 0;                 // seconds since the previous frame
    double time = 0;              // seconds at frame start
    uint64_t frame = 0;           // incremented by every BeginFrame
    bool redraw = false;          // something still moves: draw the next frame at once
    bool animating = false;       // something animates by the clock: animation rate
    bool ambient = false;         // an ambient loop does too, changing only ambientRegion
    Rect ambientRegion;           // the union of those loops' rects, in window coordinates
    uint64_t hover = 0;           // hover owner of this frame (claimed in the previous)
    uint64_t nextHover = 0;       // topmost claim so far in this frame
    uint64_t active = 0;          // widget the left button went down on
    uint64_t wheelOwner = 0;      // scroll area that takes the wheel this frame
    uint64_t nextWheelOwner = 0;
    uint64_t focus = 0;    // widget that has the keyboard
    double caretTime = 0;  // origin of the caret blink
    // Where the focused editor drew its caret in this frame (window coordinates), for the system's
    // text input windows; none when no editor has the keyboard.
    std::optional<Rect> textCaret;
    // The system's settings (ui/SystemMotion.h), kept up to date by the window: animation effects
    // off, and the seconds the caret is shown, then hidden (0: it does not blink).
    bool animationsOff = false;
    double caretBlink = 0.53;
    int32_t cursor = kArrowCursor;
    int32_t nextCursor = kArrowCursor;
    // Current transform: a local point p is at p * scale + offset in the window.
    float scale = 1;
    float offsetX = 0;
    float offsetY = 0;
    bool hitSuspended = false;  // while set, Hit is false everywhere
    // Tests and pictures: ambient loops stand still and ask for no frames, so a screen that has
    // one comes to rest and looks the same at every moment.
    bool ambientHeld = false;
    uint64_t tooltipId = 0;
    double tooltipStart = 0;
    bool tooltipHidden = false;
    float tooltipAnchorX = 0;
    float tooltipAnchorY = 0;

private:
    struct SavedTransform {
        float scale = 1;
        float offsetX = 0;
        float offsetY = 0;
    };
    struct Deferred {
        std::function<void()> callback;
        bool blocked = false;
    };

    std::vector<uint64_t> idScopes_;
    std::vector<Rect> clips_;
    std::vector<SavedTransform> transforms_;
    std::unordered_map<uint64_t, float> animations_;
    std::unordered_map<uint64_t, float> floats_;
    std::unordered_map<uint64_t, std::shared_ptr<HolderBase>> holders_;
    std::vector<Deferred> deferred_;
    std::vector<uint64_t> focusOrder_;
    uint64_t tabbedInto_ = 0;   // focused by Tab, its text not yet selected
    uint64_t revealFocus_ = 0;  // focused by Tab, not yet scrolled into view
    std::optional<Rect> revealed_;

    // The frame's unhandled Tabs, applied to the focus order.
    void FollowTabs();
};

template <class T>
T& Ui::State(uint64_t id) {
    std::shared_ptr<HolderBase>& slot = holders_[id];
    auto* holder = dynamic_cast<Holder<T>*>(slot.get());
    if (!holder) {
        auto fresh = std::make_shared<Holder<T>>();
        holder = fresh.get();
        slot = std::move(fresh);
    }
    return holder->value;
}

}  // namespace Lorvex::UI

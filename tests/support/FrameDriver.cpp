#include "tests/support/FrameDriver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/FileDialog.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Shell.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/overlays/Overlay.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "services/updates/Updates.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"
#include "ui/Theme.h"

namespace Lorvex::Testing {
namespace {

// A plain window that draws what the test gives it on the palette's background.
class DrawWindow : public UI::Window {
public:
    explicit DrawWindow(std::function<void(UI::Ui&)> draw) : draw_(std::move(draw)) {}
    void Draw() override { draw_(ui); }
    Color BackgroundColor() override { return UI::Material::ReadyPalette().background; }

private:
    std::function<void(UI::Ui&)> draw_;
};

// Messages only a user makes. The driver is the only user: what the display sends on its own (the
// pointer resting over the new window, leaving it) never reaches the input record.
bool IsUserInput(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           message == WM_MOUSELEAVE || message == WM_NCMOUSELEAVE ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// The character a key types as the system would translate it (a US layout), if any: Enter,
// Backspace, Tab, Escape, space, letters and digits, and the control characters of Ctrl+letter.
std::optional<wchar_t> TypedCharacter(int vk, uint32_t modifiers) {
    const bool ctrl = (modifiers & FrameDriver::kCtrl) != 0;
    const bool shift = (modifiers & FrameDriver::kShift) != 0;
    if ((modifiers & FrameDriver::kAlt) != 0) {
        return std::nullopt;
    }
    switch (vk) {
    case VK_RETURN:
        return ctrl ? L'\n' : L'\r';
    case VK_BACK:
        return ctrl ? wchar_t{0x7F} : L'\b';
    case VK_TAB:
        return ctrl ? std::nullopt : std::optional<wchar_t>(L'\t');
    case VK_ESCAPE:
        return wchar_t{0x1B};
    case VK_SPACE:
        return L' ';
    default:
        break;
    }
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) {
            return static_cast<wchar_t>(vk - 'A' + 1);
        }
        return static_cast<wchar_t>(shift ? vk : vk - 'A' + 'a');
    }
    if (vk >= '0' && vk <= '9' && !ctrl) {
        return static_cast<wchar_t>(vk);
    }
    return std::nullopt;
}

constexpr std::pair<uint32_t, int> kModifierKeys[] = {
    {FrameDriver::kCtrl, VK_CONTROL}, {FrameDriver::kShift, VK_SHIFT}, {FrameDriver::kAlt, VK_MENU}};

}  // namespace

Time::LocalNow FrameDriver::StartTime() {
    Time::LocalNow now;
    now.time.wYear = 2025;
    now.time.wMonth = 3;
    now.time.wDayOfWeek = 5;
    now.time.wDay = 7;
    now.time.wHour = 18;
    now.time.wMinute = 4;
    now.time.wSecond = 9;
    now.utcOffsetMinutes = 60;
    return now;
}

FrameDriver::FrameDriver(Options options) : localTime(StartTime()), options_(std::move(options)) {
    onFault = [](const std::string& fault) { ADD_FAILURE() << fault; };
    if (!GraphicsReady()) {
        Fault("the Direct3D device could not be made (is there a display?)");
    }
    Async::Startup();

    // A fresh data folder and fresh services, as start-up would meet them.
    data_ = MakeTempFolder(L"lorvex-driver");
    Paths::SetDataDirForTesting(data_);
    Settings::Instance() = options_.settings;
    EXPECT_TRUE(Settings::Save());
    savedDark_ = UI::Material::DarkTheme;
    UI::Material::DarkTheme = options_.settings.dark_theme;
    UI::Material::ApplyTheme();
    Services::CloudSync::ResetForTesting();
    Services::AppState::ResetForTesting();
    Services::Updates::AfterUpdateNotice().clear();
    Services::Updates::NewVersionNotice().clear();
    for (const std::shared_ptr<Character>& character : options_.characters) {
        Storage::SaveCharacter(*character);
    }
    for (const std::shared_ptr<Persona>& persona : options_.personas) {
        Storage::SavePersona(*persona);
    }
    Services::AppState::Instance().Initialize();

    // The system's dialogs, shell, clipboard and clock are the driver's fakes.
    Files::SetOpenFilePickerForTesting([this](HWND, const std::wstring&, const auto&, const std::wstring&) {
        ++filePicks;
        return pickedFile;
    });
    Shell::SetOpenForTesting([this](const std::wstring& target) {
        shellOpened.push_back(target);
        return true;
    });
    Text::SetClipboardForTesting({[this](const std::wstring& text) {
                                      if (clipboardFails) {
                                          return false;
                                      }
                                      clipboard = text;
                                      return true;
                                  },
                                  [this] { return clipboard; }});
    Time::SetLocalTimeForTesting([this] { return localTime; });

    // Frames read the driver's clock and modifiers, and every frame's layers must balance.
    UI::Window::PacingSeams seams;
    seams.now = [this] { return now_; };
    seams.refreshPeriod = [] { return kFrameDt; };
    seams.foreground = [] { return true; };
    UI::Window::SetPacingSeamsForTesting(std::move(seams));
    UI::Window::SetKeyStateForTesting([this](int vk) {
        for (const auto& [modifier, key] : kModifierKeys) {
            if (key == vk) {
                return (held_ & modifier) != 0;
            }
        }
        return false;
    });
    Graphics::SetStrictLayersForTesting(
        [this](const std::string& fault) { Fault("frame " + std::to_string(Ui().frame) + ": " + fault); });

    bool open = false;
    if (options_.draw) {
        window_ = std::make_unique<DrawWindow>(options_.draw);
        UI::Window::Options windowOptions;
        windowOptions.title = L"Lorvex test";
        windowOptions.width = options_.settings.window_width;
        windowOptions.height = options_.settings.window_height;
        window_->ui.ambientHeld = !options_.ambient;
        open = window_->Create(windowOptions);
    } else {
        auto window = std::make_unique<Main::MainWindow>();
        main_ = window.get();
        window_ = std::move(window);
        window_->ui.ambientHeld = !options_.ambient;
        open = main_->Open();
        if (!options_.splash) {
            main_->splashStart = now_ - 60;
        }
    }
    if (!open) {
        Fault("the window could not be opened");
        return;
    }
    window_->ui.onInteract = [this](uint64_t id, const Rect& rect) { seen_[id] = {rect, window_->ui.frame}; };
    // Only the frames whose pixels a test reads are rasterised: the software renderer spends
    // nearly all of a frame's time on pixels, and tests look at the widgets' places and the state.
    window_->graphics.SetUndrawnForTesting(true);
    window_->onDrawn = [this] {
        if (capture_) {
            captured_ = window_->graphics.ReadPixels();
        }
    };
    PumpMessages();
}

FrameDriver::~FrameDriver() {
    // A reply still running would end in the next driver's state.
    Services::AppState& state = State();
    for (auto& running : state.runningReplies) {
        running.cancel.Set();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!state.runningReplies.empty() && std::chrono::steady_clock::now() < deadline) {
        WaitForSingleObject(Async::WakeEvent(), 20);
        Async::Pump();
    }

    window_.reset();
    main_ = nullptr;
    PumpMessages();

    Graphics::SetStrictLayersForTesting(nullptr);
    UI::Window::SetKeyStateForTesting(nullptr);
    UI::Window::SetPacingSeamsForTesting({});
    Time::SetLocalTimeForTesting(nullptr);
    Text::SetClipboardForTesting({});
    Shell::SetOpenForTesting(nullptr);
    Files::SetOpenFilePickerForTesting(nullptr);

    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    Settings::Instance() = Settings{};
    UI::Material::DarkTheme = savedDark_;
    UI::Material::ApplyTheme();
    Files::RemoveTree(data_);
}

void FrameDriver::Fault(const std::string& text) {
    if (onFault) {
        onFault(text);
    }
}

// ---- Frames ----

void FrameDriver::PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // The quit that a destroyed main window posts ends no loop here.
        if (msg.message == WM_QUIT || IsUserInput(msg.message)) {
            continue;
        }
        DispatchMessageW(&msg);
    }
    Async::Pump();
}

void FrameDriver::Frame(double dt) {
    now_ += dt;
    Async::AdvanceClockForTesting(dt);
    PumpMessages();
    if (Opened()) {
        window_->Frame();
    }
}

std::optional<Rect> FrameDriver::WidgetRect(uint64_t id) const {
    const auto found = seen_.find(id);
    if (!Opened() || found == seen_.end() || found->second.frame != window_->ui.frame) {
        return std::nullopt;
    }
    return found->second.rect;
}

std::optional<Rect> FrameDriver::WidgetRect(const char* name) const {
    return WidgetRect(UI::MakeIdFromText(name));
}

void FrameDriver::ClickWidget(uint64_t id) {
    const std::optional<Rect> rect = WidgetRect(id);
    if (!rect) {
        Fault("no widget with that id was drawn in the last frame");
        return;
    }
    Click(rect->x + rect->w / 2, rect->y + rect->h / 2);
}

void FrameDriver::ClickWidget(const char* name) {
    const std::optional<Rect> rect = WidgetRect(name);
    if (!rect) {
        Fault(std::string("no widget \"") + name + "\" was drawn in the last frame");
        return;
    }
    Click(rect->x + rect->w / 2, rect->y + rect->h / 2);
}

void FrameDriver::Frames(int count) {
    for (int i = 0; i < count; ++i) {
        Frame();
    }
}

void FrameDriver::RunFor(double seconds, double step) {
    const double end = now_ + seconds;
    while (now_ < end) {
        Frame(std::min(step, end - now_));
    }
}

bool FrameDriver::RunUntil(const std::function<bool()>& done, double maxSeconds, double step) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(maxSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline || !Opened()) {
            return done();
        }
        WaitForSingleObject(Async::WakeEvent(), 20);
        Frame(step);
    }
    return true;
}

bool FrameDriver::RunUntilJobsDone(double maxSeconds, double step) {
    return RunUntil([] { return Async::UnfinishedJobs() == 0; }, maxSeconds, step);
}

bool FrameDriver::Idle() const {
    return !Opened() || window_->NextFrameDelay() < 0;
}

bool FrameDriver::Settle(double maxSeconds, double step) {
    const double end = now_ + maxSeconds;
    do {
        Frame(step);
    } while (!Idle() && now_ < end);
    return Idle();
}

// ---- Input ----

void FrameDriver::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    if (Opened()) {
        window_->Handle(message, wParam, lParam);
    }
}

LPARAM FrameDriver::PointerParam() const {
    const float perDip = window_ ? window_->graphics.Dpi() / 96.0f : 1.0f;
    const int x = static_cast<int>(std::lround(x_ * perDip));
    const int y = static_cast<int>(std::lround(y_ * perDip));
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

void FrameDriver::Move(float x, float y) {
    x_ = x;
    y_ = y;
    Send(WM_MOUSEMOVE, 0, PointerParam());
    Frame();
}

namespace {

struct ButtonMessages {
    UINT down;
    UINT up;
    WPARAM extra;  // the X button's number in the high word
};

ButtonMessages MessagesOf(size_t button) {
    switch (button) {
    case UI::Button::Right:
        return {WM_RBUTTONDOWN, WM_RBUTTONUP, 0};
    case UI::Button::Middle:
        return {WM_MBUTTONDOWN, WM_MBUTTONUP, 0};
    case UI::Button::X1:
        return {WM_XBUTTONDOWN, WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1)};
    case UI::Button::X2:
        return {WM_XBUTTONDOWN, WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2)};
    default:
        return {WM_LBUTTONDOWN, WM_LBUTTONUP, 0};
    }
}

}  // namespace

void FrameDriver::Press(size_t button) {
    const ButtonMessages messages = MessagesOf(button);
    Send(messages.down, messages.extra, PointerParam());
    Frame();
}

void FrameDriver::Release(size_t button) {
    const ButtonMessages messages = MessagesOf(button);
    Send(messages.up, messages.extra, PointerParam());
    Frame();
}

void FrameDriver::Click(float x, float y, size_t button) {
    Move(x, y);
    Press(button);
    Release(button);
}

void FrameDriver::Scroll(float x, float y, int notches) {
    Move(x, y);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))), PointerParam());
    Frame();
}

namespace {

// Alt turns every key into a system key, as Windows sends it.
UINT DownMessage(uint32_t modifiers) {
    return (modifiers & FrameDriver::kAlt) != 0 ? WM_SYSKEYDOWN : WM_KEYDOWN;
}
UINT UpMessage(uint32_t modifiers) {
    return (modifiers & FrameDriver::kAlt) != 0 ? WM_SYSKEYUP : WM_KEYUP;
}
constexpr LPARAM kFirstDown = 1;
constexpr LPARAM kRelease = 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31);

}  // namespace

void FrameDriver::SendKeyDown(int vk, uint32_t modifiers) {
    for (const auto& [modifier, key] : kModifierKeys) {
        if ((modifiers & modifier) != 0) {
            held_ |= modifier;
            Send(key == VK_MENU ? WM_SYSKEYDOWN : DownMessage(modifiers), static_cast<WPARAM>(key), kFirstDown);
        }
    }
    Send(DownMessage(modifiers), static_cast<WPARAM>(vk), kFirstDown);
    if (const std::optional<wchar_t> typed = TypedCharacter(vk, modifiers)) {
        Send(WM_CHAR, *typed, kFirstDown);
    }
}

void FrameDriver::SendKeyUp(int vk, uint32_t modifiers) {
    Send(UpMessage(modifiers), static_cast<WPARAM>(vk), kRelease);
    for (const auto& [modifier, key] : kModifierKeys) {
        if ((modifiers & modifier) != 0) {
            held_ &= ~modifier;
            Send(UpMessage(modifiers), static_cast<WPARAM>(key), kRelease);
        }
    }
}

void FrameDriver::Key(int vk, uint32_t modifiers) {
    SendKeyDown(vk, modifiers);
    Frame();
    SendKeyUp(vk, modifiers);
    Frame();
}

void FrameDriver::QuickKey(int vk, uint32_t modifiers) {
    SendKeyDown(vk, modifiers);
    SendKeyUp(vk, modifiers);
    Frame();
}

void FrameDriver::SendMoveAndPress(float x, float y, size_t button) {
    x_ = x;
    y_ = y;
    Send(WM_MOUSEMOVE, 0, PointerParam());
    const ButtonMessages messages = MessagesOf(button);
    Send(messages.down, messages.extra, PointerParam());
}

void FrameDriver::MoveAndPress(float x, float y, size_t button) {
    SendMoveAndPress(x, y, button);
    Frame();
}

void FrameDriver::Tap(float x, float y, size_t button) {
    SendMoveAndPress(x, y, button);
    const ButtonMessages messages = MessagesOf(button);
    Send(messages.up, messages.extra, PointerParam());
    Frame();
}

void FrameDriver::Type(const std::wstring& text) {
    for (const wchar_t unit : text) {
        Send(WM_CHAR, unit, 1);
    }
    Frame();
}

void FrameDriver::Leave() {
    Send(WM_MOUSELEAVE, 0, 0);
    Frame();
}

void FrameDriver::Close() {
    Send(WM_CLOSE, 0, 0);
    PumpMessages();
}

// ---- State ----

int32_t FrameDriver::CurrentScreen() const {
    return main_ ? main_->currentScreen : -1;
}

Main::Overlay* FrameDriver::TopOverlay() const {
    if (!main_) {
        return nullptr;
    }
    for (auto it = main_->overlays.rbegin(); it != main_->overlays.rend(); ++it) {
        if ((*it)->IsOpen()) {
            return *it;
        }
    }
    return nullptr;
}

std::vector<std::wstring> FrameDriver::Toasts() const {
    std::vector<std::wstring> texts;
    if (main_) {
        for (const Main::Kit::Toast& toast : main_->toasts.Items()) {
            texts.push_back(toast.text);
        }
    }
    return texts;
}

Services::AppState& FrameDriver::State() {
    return Services::AppState::Instance();
}

std::wstring FrameDriver::DataPath(const std::wstring& relative) const {
    return relative.empty() ? data_ : Files::JoinPath(data_, relative);
}

Settings FrameDriver::StoredSettings() const {
    const Settings live = Settings::Instance();
    Settings::Instance() = Settings{};
    Settings::Load();
    Settings stored = Settings::Instance();
    Settings::Instance() = live;
    return stored;
}

// ---- Pictures ----

std::vector<uint32_t> FrameDriver::Pixels() {
    captured_.clear();
    if (!Opened()) {
        return captured_;
    }
    capture_ = true;
    window_->graphics.SetUndrawnForTesting(false);
    // Whole, never a region over buffers that undrawn frames left as they were.
    window_->dirty = true;
    Frame(0);
    if (Opened()) {
        window_->graphics.SetUndrawnForTesting(true);
    }
    capture_ = false;
    return std::move(captured_);
}

bool FrameDriver::SavePng(const std::wstring& path) {
    const std::vector<uint32_t> pixels = Pixels();
    const int width = window_ ? window_->graphics.PixelWidth() : 0;
    const int height = window_ ? window_->graphics.PixelHeight() : 0;
    return !pixels.empty() && pixels.size() == static_cast<size_t>(width) * height &&
           Testing::SavePng(path, width, height, pixels);
}

}  // namespace Lorvex::Testing

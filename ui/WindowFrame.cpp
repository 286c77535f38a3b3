// Frame production: when a window wants its next frame, drawing one (whole, or only the region
// of the ambient loops when nothing else asked for it), the display's refresh period, and
// rebuilding the surfaces after the device was lost.

#include <windows.h>

#include <dwmapi.h>

#include <algorithm>
#include <utility>

#include "foundation/Async.h"
#include "graphics/Device.h"
#include "graphics/Images.h"
#include "ui/FramePacing.h"
#include "ui/Window.h"

namespace Lorvex::UI {
namespace {

Window::PacingSeams& Seams() {
    static Window::PacingSeams seams;
    return seams;
}

uint64_t framesDrawn = 0;
uint64_t pixelsPresented = 0;
bool regionFrames = true;

// While a surface cannot be made the wait doubles from the first to the last value.
constexpr double kFirstRetryDelay = 0.05;
constexpr double kLastRetryDelay = 1.0;

std::function<bool(int)>& KeyStateSeam() {
    static std::function<bool(int)> held;
    return held;
}

bool ProcessInForeground() {
    if (Seams().foreground) {
        return Seams().foreground();
    }
    const HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground) {
        GetWindowThreadProcessId(foreground, &process);
    }
    return foreground && process == GetCurrentProcessId();
}

// The processor time of the whole process, in seconds: a renderer may draw on threads of its own.
// 0 under a test's clock, whose frames must not depend on the machine.
double ProcessSeconds() {
    if (Seams().now) {
        return 0;
    }
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    const auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

bool DeviceLost(HRESULT hr) {
    return hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET) ||
           hr == static_cast<HRESULT>(DXGI_ERROR_DEVICE_REMOVED) || hr == static_cast<HRESULT>(DXGI_ERROR_DEVICE_RESET);
}

}  // namespace

double Window::Clock() {
    return Seams().now ? Seams().now() : Async::Now();
}

void Window::SetPacingSeamsForTesting(PacingSeams seams) {
    Seams() = std::move(seams);
}

void Window::SetKeyStateForTesting(std::function<bool(int vk)> held) {
    KeyStateSeam() = std::move(held);
}

bool Window::KeyHeld(int vk) {
    return KeyStateSeam() ? KeyStateSeam()(vk) : GetKeyState(vk) < 0;
}

uint64_t Window::FramesDrawn() {
    return framesDrawn;
}

uint64_t Window::PixelsPresented() {
    return pixelsPresented;
}

void Window::SetRegionFrames(bool on) {
    regionFrames = on;
}

double Window::RefreshPeriod() {
    if (Seams().refreshPeriod) {
        return Seams().refreshPeriod();
    }
    static double cachedPeriod = Pacing::kDefaultPeriod;
    static double lastPeriodRead = -1e9;
    const double now = Clock();
    if (now - lastPeriodRead < 2) {
        return cachedPeriod;
    }
    // Also after a failed query, so a failure is retried only two seconds later.
    lastPeriodRead = now;
    DWM_TIMING_INFO timing = {};
    timing.cbSize = sizeof(timing);
    if (SUCCEEDED(DwmGetCompositionTimingInfo(nullptr, &timing))) {
        cachedPeriod =
            Pacing::PeriodFromRate(timing.rateRefresh.uiNumerator, timing.rateRefresh.uiDenominator, cachedPeriod);
    }
    return cachedPeriod;
}

double Window::NextFrameDelay() const {
    if (surfaceRetryDelay > 0) {
        return surfaceRetryDelay;
    }
    Pacing::Demand demand;
    demand.dirty = dirty || ui.redraw;
    demand.animating = ui.animating || ui.ambient;
    demand.continuous = continuous;
    demand.continuousPaced = continuousPaced;
    demand.continuousPeriod = continuousPeriod;
    if (regionFrames) {
        demand.ambientOnly = ui.ambient && !ui.animating && !ui.redraw && !dirty && !continuous;
        demand.ambientWait = ambientBudget_.Wait(lastFrameTime);
    }
    return Pacing::FrameDelay(demand, RefreshPeriod(), ProcessInForeground());
}

void Window::SurfaceFailed() {
    // Retried when the loop finds the window due again, later each time, so a surface that
    // cannot be made costs no busy loop.
    surfaceRetryDelay = surfaceRetryDelay > 0 ? std::min(surfaceRetryDelay * 2, kLastRetryDelay) : kFirstRetryDelay;
}

bool Window::ReadySurface() {
    const auto ready = [this] {
        if (!graphics.Context() &&
            !(Graphics::Device::Initialize() && graphics.Initialize(hwnd, graphics.Composition()))) {
            return false;
        }
        return graphics.EnsureTargets();
    };
    if (ready()) {
        return true;
    }
    // A removal may show first where targets are made (a resize's buffers, the back buffer) rather
    // than in a frame's EndDraw or Present; nothing made on that device works again.
    if (FAILED(Graphics::Device::RemovedReason())) {
        return RebuildDevice() || ready();
    }
    return false;
}

PixelRect Window::FrameRegion(bool ambientOnly, const Rect& ambientRegion, PixelRect& changed) const {
    const PixelRect whole = {0, 0, graphics.PixelWidth(), graphics.PixelHeight()};
    if (!ambientOnly || !regionFrames || !graphics.SwapChain()) {
        changed = whole;
        return whole;
    }
    changed = PixelRect::Covering(ambientRegion, graphics.Dpi(), whole.right, whole.bottom);
    // A flip-model swap chain of two buffers hands back the one presented before the latest: it
    // lacks what the latest frame changed. A target made anew holds nothing known.
    if (graphics.TargetGeneration() != previousTarget_) {
        return whole;
    }
    return changed.United(previousChange_);
}

void Window::Frame() {
    if (!hwnd) {
        return;
    }
    // Decided on the requests of the frame before: nothing but ambient loops asked for this one.
    const bool ambientOnly = !dirty && !ui.redraw && !ui.animating && ui.ambient && !continuous;
    const Rect ambientRegion = ui.ambientRegion;
    const double now = Clock();
    const double processAtStart = ProcessSeconds();
    float dt = lastFrameTime > 0 ? static_cast<float>(now - lastFrameTime) : 1.0f / 60;
    dt = std::clamp(dt, 0.0f, 0.05f);
    lastFrameTime = now;
    dirty = false;

    if (!ReadySurface()) {
        SurfaceFailed();
        return;
    }
    surfaceRetryDelay = 0;

    PixelRect changed;
    const PixelRect region = FrameRegion(ambientOnly, ambientRegion, changed);
    const PixelRect whole = {0, 0, graphics.PixelWidth(), graphics.PixelHeight()};
    graphics.SetFrameRegion(region.Contains(whole) ? PixelRect{} : region);
    graphics.BeginFrame();
    ReplayHeldInput();
    const bool sawInput = input.SawInput();
    const uint64_t hoverBefore = ui.hover;
    const Color background = BackgroundColor();
    graphics.Context()->Clear(D2D1::ColorF(background.r, background.g, background.b, background.a));
    input.ctrl = KeyHeld(VK_CONTROL);
    input.shift = KeyHeld(VK_SHIFT);
    input.alt = KeyHeld(VK_MENU);
    ui.BeginFrame(input, now, dt);
    const float pointerX = input.x;
    const float pointerY = input.y;
    const bool pointerInside = input.inside;

    inFrame = true;
    Draw();
    ui.EndFrame();
    PlaceTextInput();
    hoverDecidedX = pointerX;
    hoverDecidedY = pointerY;
    hoverDecidedInside = pointerInside;
    if (!graphics.Context()) {
        // Destroyed while drawing (a modal loop inside the frame delivered its close): the surface
        // is gone and there is nothing to present.
        inFrame = false;
        graphics.SetFrameRegion({});
        input.ClearFrame();
        return;
    }

    bool lost = DeviceLost(graphics.EndDraw());
    // The drawing's time ends here: a present that waits for the display or the compositor is
    // not work, and would hold the loops back on a graphics processor that drew them at once.
    const double drawn = Clock();
    if (!lost && onDrawn) {
        onDrawn();
    }
    const PixelRect presented = graphics.FrameRegion().Empty() ? whole : graphics.FrameRegion();
    if (!lost) {
        lost = DeviceLost(graphics.Present());
    }
    graphics.SetFrameRegion({});
    if (!lost) {
        graphics.EndFrame();
        lastPresented = presented;
        pixelsPresented += static_cast<uint64_t>(presented.Area());
        previousChange_ = changed;
        previousTarget_ = graphics.TargetGeneration();
        // A whole frame costs what the loops' frames after it will not: only region frames count.
        // The processor time covers the present too, where a software renderer does its work.
        if (ambientOnly && !region.Contains(whole)) {
            ambientBudget_.Spend(now, std::max(drawn - now, ProcessSeconds() - processAtStart));
        }
        // An ambient loop that drew outside the region (something moved it) is drawn whole next.
        if (!region.Contains(whole) && ui.ambient &&
            !region.Contains(PixelRect::Covering(ui.ambientRegion, graphics.Dpi(), whole.right, whole.bottom))) {
            dirty = true;
        }
    } else {
        previousTarget_ = 0;
    }
    inFrame = false;
    ++framesDrawn;

    input.ClearFrame();
    if (resizePending) {
        resizePending = false;
        graphics.Resize();
        dirty = true;
    }
    // A held press goes into the next frame, now that this one decided the hover where it landed.
    if (sawInput || ui.hover != hoverBefore || !heldInput.empty()) {
        dirty = true;
    }
    if (lost) {
        RebuildDevice();
    }
}

bool RebuildDevice() {
    // Pictures and glows live on the old device: none of them may be drawn on the new one.
    Images::ForgetAllImages();
    for (Window* window : Window::All()) {
        window->graphics.ReleaseTargets();
    }
    Graphics::Device::ReleaseDevice();
    bool ready = Graphics::Device::Initialize();
    for (Window* window : Window::All()) {
        if (!window->hwnd) {
            continue;
        }
        const float dpi = window->graphics.Dpi();
        const bool made = ready && window->graphics.Initialize(window->hwnd, window->graphics.Composition());
        if (made && window->graphics.Dpi() != dpi) {
            window->graphics.SetDpi(dpi);
        }
        window->dirty = true;
        ready = ready && made;
    }
    return ready;
}

}  // namespace Lorvex::UI

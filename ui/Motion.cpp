// Easing, pulses, state layers, ripples and shadows.

#include "ui/Motion.h"

#include <algorithm>
#include <cmath>

namespace Lorvex::UI::Material {
namespace {

constexpr float kHoverDuration = 0.12f;
constexpr float kPressDuration = 0.08f;

constexpr double kRippleGrow = 0.45;
// A quick click still shows this much growth before the fade starts.
constexpr double kRippleMinGrow = 0.12;
constexpr double kRippleFade = 0.3;
constexpr float kRippleAlpha = 0.26f;

constexpr float kShadowMinLevel = 0.01f;
constexpr float kShadowOpacity = 0.45f;

float Clamp01(double v) {
    return static_cast<float>(std::clamp(v, 0.0, 1.0));
}

// 1 - (1 - t)^3 for t in 0..1: fast start, gentle stop.
float EaseOutCubic(float t) {
    const float rest = 1 - t;
    return 1 - rest * rest * rest;
}

}  // namespace

namespace Motion {

float EaseInOutCubic(float x) {
    if (x < 0) {
        return 0;
    }
    x = std::min(x, 1.0f);
    if (x < 0.5f) {
        return 4 * x * x * x;
    }
    const float rest = 2 - 2 * x;
    return 1 - rest * rest * rest / 2;
}

float Pulse(Ui& ui, uint64_t id, bool on, float duration) {
    PulseState& state = ui.State<PulseState>(SaltedId(id, kPulseSalt));
    if (on && !state.last) {
        state.changed = ui.time;
    }
    state.last = on;
    if (!on || duration <= 0) {
        return 0;
    }
    const double t = (ui.time - state.changed) / duration;
    if (t >= 1) {
        return 0;
    }
    ui.redraw = true;
    const float rest = 1 - Clamp01(t);
    return rest * rest * rest;
}

}  // namespace Motion

std::pair<float, float> StateLayer(Ui& ui, uint64_t id, bool hovered, bool pressed) {
    const float h = ui.Approach(SaltedId(id, kHoverLayerSalt), hovered ? 1.0f : 0.0f, kHoverDuration, 0);
    const float p = ui.Approach(SaltedId(id, kPressLayerSalt), pressed ? 1.0f : 0.0f, kPressDuration, 0);
    return {EaseOutCubic(Clamp01(h)), p};
}

std::optional<RippleLook> RippleAt(const RippleState& state, const Rect& rect, double time) {
    if (state.start < 0) {
        return std::nullopt;
    }
    float alpha = kRippleAlpha;
    if (state.release >= 0) {
        const float fade = Clamp01((time - std::max(state.start + kRippleMinGrow, state.release)) / kRippleFade);
        if (fade >= 1) {
            return std::nullopt;
        }
        alpha *= 1 - fade;
    }
    // Far enough to cover the farthest corner from the press point.
    const float dx = std::max(std::fabs(state.x - rect.x), std::fabs(rect.x + rect.w - state.x));
    const float dy = std::max(std::fabs(state.y - rect.y), std::fabs(rect.y + rect.h - state.y));
    const float reach = std::sqrt(dx * dx + dy * dy);
    const float grow = Clamp01((time - state.start) / kRippleGrow);
    return RippleLook{EaseOutCubic(grow) * reach, alpha};
}

void Ripple(Ui& ui, uint64_t id, const Interaction& interaction, const Rect& rect, float radius, const Color& color) {
    RippleState& state = ui.State<RippleState>(SaltedId(id, kRippleSalt));
    if (interaction.hovered && ui.input && ui.input->pressed[Button::Left]) {
        state.x = (ui.input->x - ui.offsetX) / ui.scale;
        state.y = (ui.input->y - ui.offsetY) / ui.scale;
        state.release = -1;
        state.start = ui.time;
    }
    if (state.start < 0) {
        return;
    }
    // Losing the press for any reason (release, or the pointer dragged off) fades like a release.
    if (!interaction.held && state.release < 0) {
        state.release = ui.time;
    }
    const std::optional<RippleLook> look = RippleAt(state, rect, ui.time);
    if (!look) {
        state.start = -1;
        return;
    }
    ui.redraw = true;
    Color fill = color;
    fill.a *= look->alpha;
    ui.graphics->PushRoundClip(rect, radius);
    ui.graphics->FillEllipse(state.x, state.y, look->radius, look->radius, fill);
    ui.graphics->PopLayer();
}

std::optional<ShadowLook> ShadowAt(float b) {
    if (b <= kShadowMinLevel) {
        return std::nullopt;
    }
    ShadowLook look;
    if (b <= 8) {
        look.offset = 0.5f * b + 0.5f;
        look.blur = 2 * b + 1;
    } else if (b <= 12) {
        const float e = (b - 8) * 0.25f;
        look.offset = 4.5f + 2 * e;
        look.blur = 17 + 8 * e;
    } else if (b <= 16) {
        const float e = (b - 12) * 0.25f;
        look.offset = 6.5f + 2 * e;
        look.blur = 25 + 8 * e;
    } else {
        const float e = std::min((b - 16) * 0.125f, 1.0f);
        look.offset = 8.5f + 4 * e;
        look.blur = 33 + 16 * e;
    }
    look.opacity = std::min(b, 1.0f) * kShadowOpacity;
    return look;
}

void Shadow(Graphics& graphics, const Rect& rect, float radius, float level) {
    const std::optional<ShadowLook> look = ShadowAt(level);
    if (!look) {
        return;
    }
    const Rect dropped = {rect.x, rect.y + look->offset, rect.w, rect.h};
    graphics.GlowRound(dropped, radius, Color{0, 0, 0, 1}, look->blur, look->opacity);
}

}  // namespace Lorvex::UI::Material

#pragma once
// Shared movement and touch feedback of the material widgets: an easing curve, a one-shot pulse,
// the hover and press amounts of a state layer, the press ripple and the elevation shadow. Time
// is the Ui's frame time; state lives in the Ui under ids salted from the widget's id; whatever
// still moves asks the Ui for the next frame. The shapes of the ripple and the shadow are pure
// functions, so their timelines can be checked without drawing.
// UI thread only; nothing fails (without a device the drawing calls draw nothing).

#include <cstdint>
#include <optional>
#include <utility>

#include "graphics/Graphics.h"
#include "ui/Ui.h"

namespace Lorvex::UI::Material {

// The press ripple of one widget, kept under its kRippleSalt id.
struct RippleState {
    float x = 0;  // press point, widget-local
    float y = 0;
    double start = -1;    // time of the press; below 0: no ripple
    double release = -1;  // time the press ended; below 0: still pressed, or no ripple
};

namespace Motion {

// Kept under the pulse's kPulseSalt id.
struct PulseState {
    bool last = false;      // on, as of the previous call
    double changed = -100;  // time of the last rising edge of on
};

inline constexpr uint64_t kPulseSalt = 0x9015;

// 0 below 0, 1 from 1 on; slow at both ends, 0.5 at 0.5.
float EaseInOutCubic(float x);

// 1 at the frame on turns true, decaying to 0 over duration seconds, then 0 until on goes false
// and true again. A widget first drawn with on true pulses at once.
float Pulse(Ui& ui, uint64_t id, bool on, float duration);

}  // namespace Motion

inline constexpr uint64_t kHoverLayerSalt = 0x40E1;
inline constexpr uint64_t kPressLayerSalt = 0x40E2;
inline constexpr uint64_t kRippleSalt = 0x819E;

// (hover amount, press amount), each 0..1: the hover eases in over 0.12 s, the press follows
// linearly over 0.08 s.
std::pair<float, float> StateLayer(Ui& ui, uint64_t id, bool hovered, bool pressed);

// The ripple as drawn at one moment: a circle about the press point.
struct RippleLook {
    float radius = 0;
    float alpha = 0;  // multiplies the colour's alpha
};

// What a ripple looks like at time within rect (widget-local); nothing once it has faded out or
// when none was started.
std::optional<RippleLook> RippleAt(const RippleState& state, const Rect& rect, double time);

// Starts a ripple on a press of the hovered widget, ends it when the widget stops being held, and
// draws it clipped to rect rounded by radius.
void Ripple(Ui& ui, uint64_t id, const Interaction& interaction, const Rect& rect, float radius, const Color& color);

// The drop shadow of one elevation level: how far down it falls, how soft it is, how dark.
struct ShadowLook {
    float offset = 0;
    float blur = 0;
    float opacity = 0;
};

// Nothing at level 0.01 or below; grows continuously up to level 24 and no further.
std::optional<ShadowLook> ShadowAt(float level);

// The elevation shadow of a rounded rect.
void Shadow(Graphics& graphics, const Rect& rect, float radius, float level);

}  // namespace Lorvex::UI::Material

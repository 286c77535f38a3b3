// Per-id values that outlive a frame: eased animation values and plain floats.

#include <cmath>

#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

constexpr float kSmoothSnap = 0.002f;

float StartValue(float target, float initial) {
    return initial <= -1e29f ? target : initial;
}

}  // namespace

float Ui::Smooth(uint64_t id, float target, float rate, float initial) {
    float& value = animations_.try_emplace(id, StartValue(target, initial)).first->second;
    value = target + (value - target) * std::exp(-rate * dt);
    if (std::fabs(value - target) < kSmoothSnap) {
        value = target;
    } else {
        redraw = true;
    }
    return value;
}

float Ui::Approach(uint64_t id, float target, float duration, float initial) {
    float& value = animations_.try_emplace(id, StartValue(target, initial)).first->second;
    if (duration <= 0) {
        // At once, also in a frame whose dt is 0.
        value = target;
        return value;
    }
    const float step = dt / duration;
    value = value < target ? std::fmin(value + step, target) : std::fmax(value - step, target);
    if (value != target) {
        redraw = true;
    }
    return value;
}

float& Ui::FloatState(uint64_t id, float initial) {
    return floats_.try_emplace(id, initial).first->second;
}

}  // namespace Lorvex::UI

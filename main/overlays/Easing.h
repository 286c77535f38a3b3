#pragma once
// The curves the overlays animate with: the ease-out every entrance uses, and the progress of an
// entrance that starts some time after the overlay opened. Pure functions; any thread.

#include <algorithm>
#include <cmath>

namespace Lorvex::Main {

// 1 - (1 - p)^3 for p in 0..1: fast at first, settling at 1.
inline float EaseOut(float p) {
    return 1 - std::pow(1 - p, 3.0f);
}

// How far an entrance of the given length that starts at start has come at now, 0..1, eased out.
inline float Entrance(double now, double start, double seconds) {
    return EaseOut(static_cast<float>(std::clamp((now - start) / seconds, 0.0, 1.0)));
}

}  // namespace Lorvex::Main

#include "ui/FramePacing.h"

#include <algorithm>
#include <cmath>

namespace Lorvex::UI::Pacing {
namespace {

// Whole refresh periods nearest to the interval, at least one, less half a period.
double IntervalDelay(double interval, double period) {
    const double periods = std::max(std::round(interval / period), 1.0);
    return periods * period - 0.5 * period;
}

}  // namespace

double FrameDelay(const Demand& demand, double period, bool foreground) {
    double base = 0;
    if (!demand.dirty && !(demand.continuous && !demand.continuousPaced)) {
        double target = 0;
        if (demand.animating) {
            target = kAnimationInterval;
            if (demand.ambientOnly) {
                target = std::max(target, demand.ambientWait);
            }
        } else if (demand.continuous && demand.continuousPaced) {
            target = demand.continuousPeriod > 0 ? demand.continuousPeriod : kAnimationInterval;
        } else {
            return -1;
        }
        base = IntervalDelay(target, period);
    }
    if (foreground) {
        return base;
    }
    return std::max(IntervalDelay(kBackgroundInterval, period), base);
}

void AmbientBudget::Spend(double start, double cost) {
    allowance = std::min(kAmbientAllowance, allowance + kAmbientShare * std::max(0.0, start - at)) - cost;
    at = start;
}

double AmbientBudget::Wait(double start) const {
    return allowance >= 0 ? 0 : std::max(0.0, at + -allowance / kAmbientShare - start);
}

double PeriodFromRate(uint32_t numerator, uint32_t denominator, double previous) {
    if (numerator == 0 || denominator == 0) {
        return previous;
    }
    return std::clamp(static_cast<double>(denominator) / numerator, kMinPeriod, kMaxPeriod);
}

}  // namespace Lorvex::UI::Pacing

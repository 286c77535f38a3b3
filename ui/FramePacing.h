#pragma once
// The arithmetic of frame pacing, kept apart from the window so that it can be checked against
// tables: how long after its last frame a window wants the next one, and the display's refresh
// period from the compositor's refresh rate. Pure functions, any thread, nothing fails.

#include <cstdint>

namespace Lorvex::UI::Pacing {

// The period assumed until the compositor has been asked, and whenever it cannot answer.
inline constexpr double kDefaultPeriod = 1.0 / 60;
inline constexpr double kMinPeriod = 0.002;
inline constexpr double kMaxPeriod = 1.0 / 24;
// The frame interval of an animation, and the most a background window is drawn.
inline constexpr double kAnimationInterval = 1.0 / 60;
inline constexpr double kBackgroundInterval = 1.0 / 30;
// Ambient loops are decoration at rest: their frames may take at most this share of the time,
// drawn from an allowance that fills at this many seconds a second up to kAmbientAllowance (so a
// processor clock that counts in ticks, or one slow frame, costs no stutter). Where such frames
// cost a fraction of a millisecond (a graphics processor) the loops keep the animation rate; a
// slower renderer draws them less often, each frame still showing them at its own moment.
inline constexpr double kAmbientShare = 0.1;
inline constexpr double kAmbientAllowance = 0.05;

// What the frames that only ambient loops ask for may still spend.
struct AmbientBudget {
    double allowance = kAmbientAllowance;  // seconds; below 0 once frames overspent
    double at = 0;                         // the clock time the allowance was counted at
    // A frame of the loops that started at `start` and cost `cost` seconds.
    void Spend(double start, double cost);
    // Seconds after `start` (the latest frame's start) until the allowance is back to 0; 0 while
    // it is not below.
    double Wait(double start) const;
};

// What a window asks of the next frame.
struct Demand {
    bool dirty = false;      // the window or its Ui wants a frame at once
    bool animating = false;  // something animates by the clock
    bool continuous = false;
    bool continuousPaced = false;
    double continuousPeriod = 0;
    // Only ambient loops ask for the frame, and how long after the last frame's start their
    // budget lets it come (AmbientBudget::Wait).
    bool ambientOnly = false;
    double ambientWait = 0;
};

// Seconds after the last frame's start at which the next frame is due: 0 at once, negative when
// no frame is wanted. A wanted interval is rounded to whole refresh periods (at least one) less
// half a period, so the frame falls due just before the refresh it aims at; a window whose
// process is not in the foreground is held to about 30 frames a second; frames only ambient loops
// ask for wait for their budget.
double FrameDelay(const Demand& demand, double period, bool foreground);

// The refresh period for a compositor rate of numerator / denominator frames a second, clamped
// to kMinPeriod ... kMaxPeriod; previous when either part is 0.
double PeriodFromRate(uint32_t numerator, uint32_t denominator, double previous);

}  // namespace Lorvex::UI::Pacing

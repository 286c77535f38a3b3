#pragma once
// Indeterminate progress: the spinner's breathing arc, shown while something loads or a job
// runs, and the three bouncing dots of a character that is writing. Both are pure functions of
// the Ui's frame time (the shapes are exposed for tests) and ask for the next frame at once while
// drawn. UI thread only; nothing fails (a spinner whose arc cannot be made draws its track only).

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Kit {

// The spinner's arc at a moment, in degrees, clockwise from the positive x axis.
struct SpinnerArcLook {
    double start = 0;
    double sweep = 0;  // breathes between 70 and 270
};
SpinnerArcLook SpinnerArc(double time);

// One typing dot at a moment.
struct TypingDotLook {
    float rise = 0;   // DIPs above its resting place, 0..5
    float alpha = 0;  // multiplies the colour's alpha, 0.45..1
};
// Dot index 0, 1 or 2; each lags the one before by 0.18 of a 0.625 s cycle.
TypingDotLook TypingDot(double time, int index);

// A track circle and a rotating arc about (cx, cy), stroked at thickness.
void Spinner(UI::Ui& ui, float cx, float cy, float radius, const Color& color, float thickness);

// Three discs of diameter dotSize in a row from x, resting with their centres on y.
void TypingDots(UI::Ui& ui, float x, float y, const Color& color, float dotSize);

}  // namespace Lorvex::Main::Kit

// The spinner and the typing dots.

#include "main/kit/Progress.h"

#include <d2d1.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Device.h"
#include "graphics/Geometry.h"
#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

SpinnerArcLook SpinnerArc(double time) {
    SpinnerArcLook look;
    look.start = 330 * time;
    look.sweep = 70 + 200 * (0.5 + 0.5 * std::sin(3.2 * time));
    return look;
}

TypingDotLook TypingDot(double time, int index) {
    const double u = 1.6 * time;
    // A dot whose lag has not run out yet rests: without the clamp fmod goes negative and the
    // sine would push the dot down and its alpha below zero.
    const double p = std::max(std::fmod(u - 0.18 * index, 1.0), 0.0);
    const double bounce = p < 0.5 ? std::sin(2 * std::numbers::pi * p) : 0.0;
    return {static_cast<float>(5 * bounce), static_cast<float>(0.45 + 0.55 * bounce)};
}

void Spinner(UI::Ui& ui, float cx, float cy, float radius, const Color& color, float thickness) {
    ui.redraw = true;
    Graphics& graphics = *ui.graphics;
    graphics.StrokeEllipse(cx, cy, radius, radius, Faded(color, 0.15f), thickness);

    const SpinnerArcLook arc = SpinnerArc(ui.time);
    const double a0 = arc.start * std::numbers::pi / 180;
    const double a1 = (arc.start + arc.sweep) * std::numbers::pi / 180;
    const D2D1_POINT_2F from = {cx + radius * static_cast<float>(std::cos(a0)),
                                cy + radius * static_cast<float>(std::sin(a0))};
    const D2D1_POINT_2F to = {cx + radius * static_cast<float>(std::cos(a1)),
                              cy + radius * static_cast<float>(std::sin(a1))};
    const bool large = arc.sweep > 180;
    const ComPtr<ID2D1PathGeometry> geometry = Graphics::Device::MakePathGeometry(
        [&](ID2D1GeometrySink* sink) {
            sink->BeginFigure(from, D2D1_FIGURE_BEGIN_HOLLOW);
            Geometry::AddArc(sink, from,
                             D2D1::ArcSegment(to, D2D1::SizeF(radius, radius), 0, D2D1_SWEEP_DIRECTION_CLOCKWISE,
                                              large ? D2D1_ARC_SIZE_LARGE : D2D1_ARC_SIZE_SMALL));
            sink->EndFigure(D2D1_FIGURE_END_OPEN);
        },
        D2D1_FILL_MODE_ALTERNATE);
    if (geometry) {
        graphics.StrokeGeometry(geometry.Get(), color, thickness, true);
    }
}

void TypingDots(UI::Ui& ui, float x, float y, const Color& color, float dotSize) {
    ui.redraw = true;
    for (int i = 0; i < 3; ++i) {
        const TypingDotLook dot = TypingDot(ui.time, i);
        ui.graphics->FillEllipse(x + (dotSize + 5) * i + dotSize / 2, y - dot.rise, dotSize / 2, dotSize / 2,
                                 Faded(color, dot.alpha));
    }
}

}  // namespace Lorvex::Main::Kit

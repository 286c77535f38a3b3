// The animated backdrop.

#include "main/kit/Backdrop.h"

#include <d2d1.h>

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

namespace {

struct Disc {
    float cx;  // centre, as fractions of the rect
    float cy;
    float size;   // diameter, as a fraction of the rect's longer side
    float speed;  // radians per second of the drift
    float phase;
    bool second;  // backdropB, else backdropA
};

constexpr Disc kDiscs[] = {
    {0.15f, 0.2f, 0.55f, 0.21f, 0, false},
    {0.85f, 0.75f, 0.6f, 0.17f, 2, true},
    {0.55f, 0.1f, 0.35f, 0.27f, 4, true},
};

}  // namespace

void Backdrop(UI::Ui& ui, const Rect& rect, float cornerRadius, float strength) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    // Every disc is drawn inside the rect (below), which is all that a frame of this loop redraws.
    ui.RequestAmbientFrames(rect);
    const float k = strength * (palette.dark ? 0.22f : 0.16f);
    const double t = ui.AmbientTime();
    const float longer = std::max(rect.w, rect.h);
    for (const Disc& disc : kDiscs) {
        const float x = rect.x + rect.w * (disc.cx + 0.08f * static_cast<float>(std::sin(t * disc.speed + disc.phase)));
        const float y =
            rect.y + rect.h * (disc.cy + 0.12f * static_cast<float>(std::cos(1.3 * t * disc.speed + disc.phase)));
        const float r = 0.5f * disc.size * longer;
        const Color color = disc.second ? palette.backdropB : palette.backdropA;
        // The rounded rect itself is filled with the disc's gradient, which is transparent beyond
        // the disc: the rect's corners cut the disc without a clip layer. The axis clip only
        // spares the pixels outside the disc's square.
        graphics.PushAxisClip({x - r, y - r, 2 * r, 2 * r});
        graphics.FillRadialGradient(rect, cornerRadius, {{0, Faded(color, k)}, {1, Faded(color, 0)}},
                                    D2D1::Point2F(x, y), r, r);
        graphics.PopAxisClip();
    }
}

}  // namespace Lorvex::Main::Kit

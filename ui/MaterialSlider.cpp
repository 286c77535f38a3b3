// The slider: a track filled up to a round thumb that follows the pointer while held.

#include <algorithm>

#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

// The thumb's radius is also the track's inset at both ends.
constexpr float kInset = 10;

}  // namespace

float SliderValueAt(const Ui& ui, const Rect& rect, float pointerX, float min, float max) {
    if (max <= min) {
        return min;
    }
    const float local = (pointerX - ui.offsetX) / ui.scale;
    const float t = std::clamp((local - rect.x - kInset) / std::max(rect.w - 2 * kInset, 1.0f), 0.0f, 1.0f);
    return min + (max - min) * t;
}

bool Slider(Ui& ui, uint64_t id, const Rect& rect, float& value, float min, float max, const Color& colour,
            bool* dragging) {
    ReadyPalette();
    const Interaction interaction = ui.Interact(id, rect, true, false);
    const float range = std::max(max - min, 1e-6f);
    bool changed = false;
    if (max <= min) {
        // An empty range has one value; pinning it there is not a change the caller should act on.
        value = min;
    } else if (interaction.held && ui.input) {
        const float v = SliderValueAt(ui, rect, ui.input->x, min, max);
        if (v != value) {
            value = v;
            changed = true;
        }
    }
    if (dragging) {
        *dragging = interaction.held;
    }

    Graphics& graphics = *ui.graphics;
    const float f = std::clamp((value - min) / range, 0.0f, 1.0f);
    const float trackWidth = rect.w - 2 * kInset;
    const float centreY = rect.y + rect.h / 2;
    const float thumbX = rect.x + kInset + trackWidth * f;
    graphics.FillRoundRect({rect.x + kInset, centreY - 2, trackWidth, 4}, 2, ScaleAlpha(colour, 0.38f));
    graphics.FillRoundRect({rect.x + kInset, centreY - 2, thumbX - (rect.x + kInset), 4}, 2, colour);
    if (interaction.hovered || interaction.held) {
        graphics.FillEllipse(thumbX, centreY, 20, 20, ScaleAlpha(colour, interaction.held ? 0.18f : 0.12f));
    }
    graphics.FillEllipse(thumbX, centreY, kInset, kInset, colour);
    return changed;
}

}  // namespace Lorvex::UI::Material

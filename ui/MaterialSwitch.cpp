// The switch: a pill track with a thumb that slides across with a small overshoot and grows when on.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/Icons.h"
#include "ui/Ids.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

constexpr float kWidth = 52;
constexpr float kHeight = 32;

// Dips below 0 before rising to 1, which gives the thumb its overshoot.
float Overshoot(float s) {
    return s * s * s - 0.35f * s * std::sin(std::numbers::pi_v<float> * s);
}

}  // namespace

float SwitchTravel(float amount, bool on) {
    const float o = std::clamp(amount, 0.0f, 1.0f);
    return on ? 1 - Overshoot(1 - o) : Overshoot(o);
}

bool Switch(Ui& ui, uint64_t id, const Rect& rect, bool on, bool enabled) {
    ReadyPalette();
    Graphics& graphics = *ui.graphics;
    const float x = rect.x + rect.w / 2 - kWidth / 2;
    const float y = rect.y + rect.h / 2 - kHeight / 2;
    const Rect track = {x, y, kWidth, kHeight};
    const Interaction interaction = ui.Interact(id, track, enabled, true);

    const float o = ui.Approach(SaltedId(id, kSwitchSalt), on ? 1.0f : 0.0f, 0.2f);
    const float p = SwitchTravel(o, on);
    const float trackAlpha = enabled ? 1.0f : 0.12f;
    graphics.FillRoundRect(track, 16, ScaleAlpha(MixColor(Palette.trackOff, Palette.primary, o), trackAlpha));
    graphics.StrokeRoundRect(track, 16, ScaleAlpha(MixColor(Palette.onBackgroundMuted, Palette.primary, o), trackAlpha),
                             2);

    const float cx = x + 16 + 20 * p;
    const float cy = y + 16;
    const bool pressed = interaction.held && interaction.hovered;
    const float diameter = pressed ? 28 : 16 + 8 * o;
    if (enabled && interaction.hovered) {
        const Color halo = on ? Palette.primary : Palette.onBackground;
        graphics.FillEllipse(cx, cy, 20, 20, ScaleAlpha(halo, interaction.held ? 0.12f : 0.08f));
    }
    Color thumb;
    if (on) {
        thumb = Palette.background;
    } else if (o > 0) {
        thumb = MixColor(Palette.onBackgroundMuted, Palette.background, o);
    } else {
        thumb = interaction.hovered ? Palette.onBackground : Palette.onBackgroundMuted;
    }
    const float disabledAlpha = enabled ? 1.0f : 0.38f;
    graphics.FillEllipse(cx, cy, diameter / 2, diameter / 2, ScaleAlpha(thumb, disabledAlpha));
    if (o > 0.5f) {
        DrawIcon(graphics, Icon::Check, {cx - 8, cy - 8, 16, 16},
                 ScaleAlpha(Palette.primary, (o - 0.5f) * 2 * disabledAlpha));
    }
    return interaction.clicked;
}

}  // namespace Lorvex::UI::Material

#pragma once
// The entrance the home screen's parts play when the screen is shown: each fades in while it
// slides up into place, some time after the screen appeared. UI thread only; nothing fails.

#include "main/overlays/Easing.h"
#include "ui/Ui.h"

namespace Lorvex::Main::Home {

// How far an entrance that starts at start and lasts seconds has come in this frame, eased out;
// asks for the next frame until it has ended.
inline float EntranceStep(UI::Ui& ui, double start, double seconds) {
    if (ui.time < start + seconds) {
        ui.redraw = true;
    }
    return Entrance(ui.time, start, seconds);
}

// While amount is below 1, what is drawn in the scope is faded to it and lowered by rise times
// what is left of it.
class EntranceScope {
public:
    EntranceScope(UI::Ui& ui, float amount, float rise) : ui_(ui), active_(amount < 1) {
        if (active_) {
            ui_.graphics->PushLayer(amount, nullptr);
            ui_.PushTranslate(0, (1 - amount) * rise);
        }
    }
    ~EntranceScope() {
        if (active_) {
            ui_.PopTransform();
            ui_.graphics->PopLayer();
        }
    }
    EntranceScope(const EntranceScope&) = delete;
    EntranceScope& operator=(const EntranceScope&) = delete;

private:
    UI::Ui& ui_;
    bool active_;
};

}  // namespace Lorvex::Main::Home

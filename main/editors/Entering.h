#pragma once
// The entrance the editing screens give their blocks: for as long as it lasts, what is drawn in
// the scope fades in while rising into place, and the window is asked for the next frame. A scope
// on the stack around the block's drawing. UI thread only; nothing fails.

#include "main/overlays/Easing.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class Entering {
public:
    // The entrance starts at start (Ui clock) and takes seconds; the block begins rise DIPs low.
    Entering(UI::Ui& ui, double start, double seconds, float rise) : scope_(ui) {
        const float e = Entrance(ui.time, start, seconds);
        if (e < 1) {
            ui.redraw = true;
            ui.graphics->PushLayer(e, nullptr);
            scope_.layerPushed = true;
            ui.PushTranslate(0, (1 - e) * rise);
            scope_.transformPushed = true;
        }
    }

private:
    UI::Ui::ClipScope scope_;
};

}  // namespace Lorvex::Main

#include "main/overlays/OverlayInput.h"

namespace Lorvex::Main {

bool ClickedOutside(UI::Ui& ui, uint64_t id, const Rect& window, const Rect& panel, bool rightToo) {
    const UI::Interaction interaction = ui.Interact(id, window);
    if (!ui.input || !(interaction.clicked || (rightToo && interaction.rightClicked))) {
        return false;
    }
    const float x = (ui.input->x - ui.offsetX) / ui.scale;
    const float y = (ui.input->y - ui.offsetY) / ui.scale;
    return x < panel.x || y < panel.y || x >= panel.x + panel.w || y >= panel.y + panel.h;
}

bool TakeKey(UI::Ui& ui, int32_t vk, bool withCtrl) {
    if (!ui.input || ui.hitSuspended) {
        return false;
    }
    for (UI::KeyEvent& key : ui.input->keys) {
        if (key.vk == vk && key.down && !key.handled && (key.CtrlShortcut() || !withCtrl)) {
            key.handled = true;
            return true;
        }
    }
    return false;
}

}  // namespace Lorvex::Main

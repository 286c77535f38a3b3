#include "ui/Input.h"

#include <algorithm>

namespace Lorvex::UI {

bool Input::SawInput() const {
    const auto any = [](const std::array<bool, Button::Count>& buttons) {
        return std::any_of(buttons.begin(), buttons.end(), [](bool b) { return b; });
    };
    return moved || wheel != 0 || !keys.empty() || !text.empty() || any(pressed) || any(released);
}

void Input::ClearFrame() {
    pressed.fill(false);
    released.fill(false);
    doubleClicked = false;
    moved = false;
    wheel = 0;
    keys.clear();
    text.clear();
}

}  // namespace Lorvex::UI

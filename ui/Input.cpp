#include "ui/Input.h"

#include <algorithm>

namespace Lorvex::UI {

bool Input::SawInput() const {
    const auto any = [](const std::array<bool, Button::Count>& buttons) {
        return std::any_of(buttons.begin(), buttons.end(), [](bool b) { return b; });
    };
    return moved || wheel != 0 || !keys.empty() || !text.empty() || any(pressed) || any(released);
}

void Input::AddTyped(wchar_t unit, bool underCtrl) {
    // Text written directly (without states) is padded with the frame's view first.
    while (textUnderCtrl.size() < text.size()) {
        textUnderCtrl.push_back(ctrl && !alt);
    }
    text.push_back(unit);
    textUnderCtrl.push_back(underCtrl);
}

bool Input::TypedUnderCtrl(size_t index) const {
    return index < textUnderCtrl.size() ? textUnderCtrl[index] : ctrl && !alt;
}

void Input::EraseTyped(wchar_t unit) {
    const size_t recorded = textUnderCtrl.size();
    size_t kept = 0;
    size_t keptStates = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == unit) {
            continue;
        }
        if (i < recorded) {
            textUnderCtrl[keptStates++] = textUnderCtrl[i];
        }
        text[kept++] = text[i];
    }
    text.resize(kept);
    textUnderCtrl.resize(keptStates);
}

void Input::ClearTyped() {
    text.clear();
    textUnderCtrl.clear();
}

void Input::ClearFrame() {
    pressed.fill(false);
    released.fill(false);
    doubleClicked = false;
    moved = false;
    wheel = 0;
    keys.clear();
    ClearTyped();
}

}  // namespace Lorvex::UI

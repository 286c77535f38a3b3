#pragma once
// The title bar the window draws in place of the system's: the brand, the current screen's title
// sliding in when it changes, the account, settings and theme buttons and the three window
// buttons. Every button it draws is added to the window's header hit rectangles, so the hit test
// leaves those to the client (the maximise button, kept apart, answers as the system's own) and
// lets the rest of the band drag the window.
// UI thread only; nothing fails (without a device nothing is drawn, the buttons still answer).

#include <cstdint>
#include <string>

#include "graphics/Types.h"
#include "ui/Icons.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class MainWindow;

namespace Header {

// Draws the title bar in bar (window coordinates) and acts on its buttons.
void Draw(UI::Ui& ui, MainWindow& window, const Rect& bar);

// One of the window buttons (close in the danger style); true when clicked.
bool WindowButton(UI::Ui& ui, MainWindow& window, uint64_t id, const Rect& rect, UI::Material::Icon icon, bool danger,
                  const std::wstring& tooltip);

// The maximise button's icon and tooltip: it offers to restore a maximised window.
struct MaximizeLook {
    UI::Material::Icon icon;
    const wchar_t* tooltip;
};
MaximizeLook MaximizeButtonLook(bool maximized);

// The colour of the dot on the account's avatar: a round running wins over being offline, which
// wins over a failed last round; otherwise all is well.
Color SyncDotColor(bool syncing, bool offline, bool lastFailed, const UI::Material::Theme& palette);

}  // namespace Header
}  // namespace Lorvex::Main

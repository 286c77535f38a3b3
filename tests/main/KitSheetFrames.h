#pragma once
// Draws a sheet of kit widgets off-screen, the light theme in the left half and the dark theme in
// the right, over two frames half a second apart so that whatever eases in has arrived, and saves
// the picture as a PNG in the test's working folder. Test thread only; a failed frame gives no
// pixels, a failed save false. The theme in use before the call is restored.

#include <functional>
#include <string>
#include <vector>

#include "tests/support/GfxOffscreen.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace Lorvex::Testing {

// Draws one half: its Ui, whether it is the dark one, and its left edge.
using SheetHalf = std::function<void(UI::Ui& ui, bool dark, float left)>;

inline std::vector<uint32_t> DrawThemeHalves(Offscreen& surface, float halfWidth, const SheetHalf& draw) {
    UI::Ui light(surface.graphics);
    UI::Ui dark(surface.graphics);
    UI::Input input;
    const bool savedDark = UI::Material::DarkTheme;
    double time = 20;
    bool drawn = true;
    for (int frame = 0; frame < 2 && drawn; ++frame) {
        surface.Begin();
        for (UI::Ui* ui : {&light, &dark}) {
            ui->BeginFrame(input, time, 0.5f);
            UI::Material::DarkTheme = ui == &dark;
            UI::Material::ApplyTheme();
            draw(*ui, ui == &dark, ui == &light ? 0.0f : halfWidth);
            ui->EndFrame();
        }
        drawn = surface.End();
        time += 0.5;
    }
    UI::Material::DarkTheme = savedDark;
    UI::Material::ApplyTheme();
    return drawn ? surface.Pixels() : std::vector<uint32_t>();
}

}  // namespace Lorvex::Testing

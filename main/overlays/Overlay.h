#pragma once
// Anything drawn above the screens: the dialogs and the context menu. The main window keeps all
// of them in one fixed stack, draws every visible one each frame, bottom first, and lets only the
// top-most open one take input. UI thread only; nothing here fails.

#include <optional>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class Overlay {
public:
    Overlay() = default;
    virtual ~Overlay() = default;
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    // Open, or still fading out.
    virtual bool IsVisible() const = 0;
    virtual bool IsOpen() const = 0;
    // Draws the overlay over the whole window and handles its input (none while the Ui's input
    // is blocked).
    virtual void Draw(UI::Ui& ui, const Rect& window) = 0;
    // Where its panel was drawn in the last frame, in window DIPs; nothing while it is not shown.
    // The window's own hit test leaves those points to the overlay: they never drag the window.
    virtual std::optional<Rect> PanelRect() const { return std::nullopt; }
    // Whether a click outside the panel closes the overlay (then the title band around the panel
    // takes the click too, instead of dragging the window).
    virtual bool ClosesOnOutsideClick() const { return false; }
};

}  // namespace Lorvex::Main

#pragma once
// The modal dialog every dialog of the window is: scrim, glow, a panel that pops in with its
// header (icon tile, title, subtitle, close button), a body that enters in stages and scrolls
// when it is taller than the window allows, and a footer of buttons laid out from the right.
// Escape, the close button and a click outside the panel close it while it is dismissable;
// Ctrl+Enter runs its submit action. A concrete dialog supplies its panel width, body height,
// body, footer and submit action, and its own open operation ends with Open.
// UI thread only; nothing here fails.

#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Types.h"
#include "main/overlays/Overlay.h"
#include "ui/Icons.h"
#include "ui/Ids.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class MainWindow;

class Dialog : public Overlay {
public:
    // Where the parts of a dialog go in a window, from the panel width (Width) and the height
    // the body needs (ContentHeight): the body takes what the window leaves, at least 80.
    struct Geometry {
        Rect panel;
        Rect body;         // the area the body is shown in (scrolled or clipped)
        Rect bodyContent;  // where the body draws: inset by 24, its whole height
        Rect footer;
        bool scrolls = false;  // the body is taller than its area
    };
    static Geometry Layout(const Rect& window, float panelWidth, float contentHeight, bool scrollable);

    Dialog(MainWindow* owner, float panelWidth) : owner(owner), panelWidth_(panelWidth) {}

    bool IsVisible() const override { return open || visible > 0; }
    bool IsOpen() const override { return open; }
    void Draw(UI::Ui& ui, const Rect& window) override;
    std::optional<Rect> PanelRect() const override { return shownPanel_; }
    // While it is dismissable.
    bool ClosesOnOutsideClick() const override { return dismissable; }

    // min(window width - 48, the class's panel width).
    virtual float Width(const Rect& window) const;
    // The height the body needs at the given width.
    virtual float ContentHeight(UI::Ui& ui, float bodyWidth) = 0;
    virtual void Body(UI::Ui& ui, const Rect& body) = 0;
    virtual void Footer(UI::Ui& ui, const Rect& footer) = 0;
    // Called right after the open flag is cleared.
    virtual void OnClosed() {}
    // The primary action, also run by Ctrl+Enter.
    virtual void OnSubmit() {}

    // The base open step, called last by each dialog's own open operation: gives the dialog its
    // widget-id seed on the first open, sets the open flag and lets the next draw stamp the time.
    void Open();
    // Clears the open flag and calls OnClosed; the dialog then fades out.
    void Close();

    // A footer button laid out from the right: x starts at the footer's right edge and moves left
    // past each button. Its id comes from the label, so it is stable across frames.
    bool FooterButton(UI::Ui& ui, float& x, const Rect& footer, const std::wstring& label, UI::Material::Icon icon,
                      const Color& color, bool filled, bool enabled);
    // The id FooterButton gives a button with this label.
    uint64_t LabelId(const std::wstring& label) const;
    // The id of a control inside the dialog that has no label of its own: the seed continued
    // over the control's fixed salt.
    uint64_t ControlId(uint64_t salt) const;
    // The other way round, for the account dialogs' fields: the seed's eight bytes hashed from
    // the control's salt.
    uint64_t WidgetId(uint64_t salt) const { return UI::SaltedId(seed, salt); }

    // The seed the next dialog opened for the first time takes (a process-wide counter).
    static uint64_t SeedFor(uint32_t counter);

    MainWindow* owner;  // not owned
    std::wstring title;
    std::wstring subtitle;
    UI::Material::Icon headerIcon = static_cast<UI::Material::Icon>(56);
    Color accent{0, 0, 0, 0};  // transparent: the palette's accent
    bool dismissable = true;
    bool scrollable = true;
    double openTime = -10.0;
    uint64_t seed = 0;
    bool open = false;
    float visible = 0;

private:
    // The panel with its glow and outline, the icon tile, the titles and the close button.
    void DrawHeader(UI::Ui& ui, const Rect& panel, const Color& tint);
    // The body in its clip or scroll area, entering in stages.
    void DrawBody(UI::Ui& ui, const Geometry& g);

    float panelWidth_;
    std::optional<Rect> shownPanel_;  // where the last frame put the panel, window DIPs
};

}  // namespace Lorvex::Main

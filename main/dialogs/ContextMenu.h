#pragma once
// The window's one pop-up menu, above every dialog. A screen or dialog opens it with its items
// at an anchor (usually the button that was pressed); it places itself beside the anchor inside
// the window, animates in, and closes itself before it runs the chosen item's action, so the
// action may open the menu again. Escape or a click outside closes it. UI thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Types.h"
#include "main/overlays/Overlay.h"
#include "ui/Icons.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class MainWindow;

class ContextMenu : public Overlay {
public:
    struct Item {
        std::wstring label;
        UI::Material::Icon icon = UI::Material::Icon::Person;
        std::function<void()> action;
        bool danger = false;
        bool enabled = true;
        bool separator = false;  // a divider above the item
        bool selected = false;   // a check replaces the icon
        std::wstring hint;       // a second line under the label; empty for none
    };

    static constexpr float kWidth = 260;

    explicit ContextMenu(MainWindow* owner) : owner(owner) {}

    // Replaces the items (the caller's vector is left empty) and opens at the anchor, in window
    // coordinates; opening while open replaces the content at once.
    void Open(const Rect& anchor, std::vector<Item>&& newItems, bool alignRight, bool preferAbove);
    void Close() { open = false; }

    bool IsVisible() const override { return open || visible > 0; }
    bool IsOpen() const override { return open; }
    void Draw(UI::Ui& ui, const Rect& window) override;
    std::optional<Rect> PanelRect() const override { return shownMenu_; }
    bool ClosesOnOutsideClick() const override { return true; }

    // The menu's rectangle for the current items, anchor and options inside the window; above,
    // when given, tells whether it opens above the anchor.
    Rect Placement(const Rect& window, bool* above = nullptr) const;

    MainWindow* owner;  // not owned
    std::vector<Item> items;
    Rect anchor;
    bool alignRight = false;
    bool preferAbove = false;
    bool open = false;
    float visible = 0;
    double openTime = -10.0;
    uint64_t generation = 0;

private:
    // One row, entering in its turn; true when it was chosen.
    bool DrawItem(UI::Ui& ui, const Item& item, size_t index, const Rect& row);

    std::optional<Rect> shownMenu_;  // where the last frame put the menu, window DIPs
};

}  // namespace Lorvex::Main

#include "main/dialogs/ContextMenu.h"

#include <utility>

namespace Lorvex::Main {

void ContextMenu::Open(const Rect& anchorRect, std::vector<Item>&& newItems, bool right, bool above) {
    anchor = anchorRect;
    items = std::move(newItems);
    newItems.clear();
    ++generation;
    alignRight = right;
    preferAbove = above;
    openTime = -1.0;
    open = true;
}

// Stand-ins until the menu's drawing lands.
Rect ContextMenu::Placement(const Rect& window) const {
    return {anchor.x, anchor.y + anchor.h + 6, kWidth, 12};
}

void ContextMenu::Draw(UI::Ui& ui, const Rect& window) {
}

}  // namespace Lorvex::Main

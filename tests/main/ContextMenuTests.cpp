// The context menu: where it opens beside its anchor, and how it closes (a choice, Escape, a
// click outside) with the chosen action run after it has closed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/dialogs/ContextMenu.h"
#include "main/kit/Buttons.h"
#include "main/overlays/Dialog.h"
#include "tests/main/OverlayDriver.h"

namespace Lorvex::Main {
namespace {

using Testing::OverlayDriver;
using Item = ContextMenu::Item;

std::vector<Item> Plain(int count) {
    std::vector<Item> items(count);
    for (int i = 0; i < count; ++i) {
        items[i].label = L"Opción " + std::to_wstring(i);
    }
    return items;
}

TEST(ContextMenuPlacement, BesideTheAnchorInsideTheWindow) {
    struct Case {
        const char* name;
        Rect window;
        Rect anchor;
        int items;
        bool alignRight;
        bool preferAbove;
        float left;
        float top;
        bool above;
    };
    // Three plain items make a menu 12 + 3 x 40 = 132 high.
    const Case cases[] = {
        {"below", {0, 0, 1000, 700}, {100, 100, 40, 40}, 3, false, false, 100, 146, false},
        {"no room below: above", {0, 0, 1000, 700}, {100, 640, 40, 40}, 3, false, false, 100, 502, true},
        {"just fits below", {0, 0, 1000, 700}, {100, 514, 40, 40}, 3, false, false, 100, 560, false},
        {"prefer above with room", {0, 0, 1000, 700}, {100, 300, 40, 40}, 3, false, true, 100, 162, true},
        {"prefer above without room", {0, 0, 1000, 700}, {100, 50, 40, 40}, 3, false, true, 100, 96, false},
        {"right edge keeps 8 inside", {0, 0, 1000, 700}, {950, 100, 40, 40}, 3, false, false, 732, 146, false},
        {"aligned right", {0, 0, 1000, 700}, {500, 100, 40, 40}, 3, true, false, 280, 146, false},
        {"aligned right at the left edge", {0, 0, 1000, 700}, {100, 100, 40, 40}, 3, true, false, 8, 146, false},
        {"room neither way: clamped", {0, 0, 1000, 200}, {100, 90, 40, 20}, 3, false, false, 100, 60, false},
        {"taller than the window", {0, 0, 1000, 100}, {100, 40, 40, 20}, 3, false, false, 100, 8, false},
        {"window offset", {200, 100, 600, 500}, {150, 20, 40, 40}, 3, false, false, 208, 108, false},
        {"whole DIPs", {0, 0, 1000, 700}, {100.4f, 100.3f, 40, 40}, 3, false, false, 100, 146, false},
        {"empty", {0, 0, 1000, 700}, {100, 100, 40, 40}, 0, false, false, 100, 146, false},
    };
    for (const Case& c : cases) {
        ContextMenu menu(nullptr);
        menu.Open(c.anchor, Plain(c.items), c.alignRight, c.preferAbove);
        bool above = !c.above;
        const Rect r = menu.Placement(c.window, &above);
        EXPECT_EQ(r.x, c.left) << c.name;
        EXPECT_EQ(r.y, c.top) << c.name;
        EXPECT_EQ(r.w, 260) << c.name;
        EXPECT_EQ(r.h, 12 + 40 * c.items) << c.name;
        EXPECT_EQ(above, c.above) << c.name;
    }
}

TEST(ContextMenuPlacement, HintsAndSeparatorsAddToTheHeight) {
    std::vector<Item> items = Plain(3);
    items[1].hint = L"Una segunda línea";
    items[2].separator = true;
    ContextMenu menu(nullptr);
    menu.Open({100, 100, 40, 40}, std::move(items), false, false);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(menu.Placement({0, 0, 1000, 700}).h, 12 + 40 + 52 + 9 + 40);
}

// A settled menu at a fixed anchor, with three items that count their runs.
struct OpenMenu {
    OpenMenu() {
        std::vector<Item> items = Plain(3);
        for (int i = 0; i < 3; ++i) {
            items[i].action = [this, i] {
                ++runs[i];
                openWhenRun = menu.open;
            };
        }
        items[1].enabled = false;
        menu.Open(kAnchor, std::move(items), false, false);
        driver.Settle();
    }
    Rect Row(int i) const {
        const Rect m = menu.Placement(OverlayDriver::kWindow);
        return {m.x + 6, m.y + 6 + 40 * i, 248, 40};
    }

    static constexpr Rect kAnchor = {100, 100, 40, 40};
    ContextMenu menu{nullptr};
    OverlayDriver driver{{&menu}};
    int runs[3] = {};
    bool openWhenRun = true;
};

TEST(ContextMenuInput, AChoiceClosesTheMenuThenRunsItsAction) {
    OpenMenu o;
    o.driver.ClickIn(o.Row(2));
    EXPECT_EQ(o.runs[2], 1);
    EXPECT_EQ(o.runs[0], 0);
    EXPECT_FALSE(o.openWhenRun);
    EXPECT_FALSE(o.menu.open);
    o.driver.Settle();
    EXPECT_FALSE(o.menu.IsVisible());
}

TEST(ContextMenuInput, ADisabledItemDoesNothing) {
    OpenMenu o;
    o.driver.ClickIn(o.Row(1));
    EXPECT_EQ(o.runs[1], 0);
    EXPECT_TRUE(o.menu.open);
}

TEST(ContextMenuInput, AnActionMayOpenTheMenuAgain) {
    OpenMenu o;
    int nested = 0;
    const uint64_t generation = o.menu.generation;
    o.menu.items[0].action = [&] {
        std::vector<Item> more = Plain(5);
        more[4].action = [&] { ++nested; };
        o.menu.Open({600, 200, 30, 30}, std::move(more), true, false);
    };
    o.driver.ClickIn(o.Row(0));
    EXPECT_TRUE(o.menu.open);
    EXPECT_EQ(o.menu.items.size(), 5u);
    EXPECT_EQ(o.menu.generation, generation + 1);

    o.driver.Settle();
    const Rect m = o.menu.Placement(OverlayDriver::kWindow);
    EXPECT_EQ(m.x, 630 - 260);
    o.driver.ClickIn({m.x + 6, m.y + 6 + 4 * 40, 248, 40});
    EXPECT_EQ(nested, 1);
    EXPECT_FALSE(o.menu.open);
}

TEST(ContextMenuInput, EscapeAndOutsideClicksCloseWithoutAnAction) {
    for (const size_t button : {UI::Button::Left, UI::Button::Right}) {
        OpenMenu o;
        o.driver.Click(900, 600, button);
        EXPECT_FALSE(o.menu.open) << button;
    }
    {
        // Pressed on the menu and released outside: not a click outside.
        OpenMenu o;
        o.driver.MoveTo(120, 170);
        o.driver.Press();
        o.driver.MoveTo(900, 600);
        o.driver.Release();
        EXPECT_TRUE(o.menu.open);
    }
    OpenMenu o;
    o.driver.Key(27);
    EXPECT_FALSE(o.menu.open);
    EXPECT_TRUE(o.driver.keys[0].handled);
    EXPECT_EQ(o.runs[0] + o.runs[1] + o.runs[2], 0);
}

TEST(ContextMenuInput, TheClickThatOpenedTheMenuDoesNotCloseIt) {
    ContextMenu menu(nullptr);
    OverlayDriver driver({&menu});
    const Rect button = {700, 600, 120, 40};
    driver.beneath = [&](UI::Ui& ui) {
        Kit::Button(ui, 77, button, UI::Material::Icon::DotsVertical, L"Más", {1, 0, 0, 1}, true, true);
    };
    // Opened while the button is held, the menu is the top-most open overlay at the release.
    driver.MoveTo(760, 620);
    driver.Press();
    menu.Open(button, Plain(3), false, false);
    driver.Release();
    driver.Settle();
    EXPECT_TRUE(menu.open);
}

TEST(ContextMenuInput, EscapeClosesTheMenuAndNotTheDialogBelow) {
    class Quiet final : public Dialog {
    public:
        Quiet() : Dialog(nullptr, 400) {}
        float ContentHeight(UI::Ui&, float) override { return 50; }
        void Body(UI::Ui&, const Rect&) override {}
        void Footer(UI::Ui&, const Rect&) override {}
    } dialog;
    ContextMenu menu(nullptr);
    OverlayDriver driver({&dialog, &menu});
    dialog.Open();
    menu.Open({100, 100, 40, 40}, Plain(2), false, false);
    driver.Settle();

    driver.Key(27);
    EXPECT_FALSE(menu.open);
    EXPECT_TRUE(dialog.open);
    // A click outside the menu lands outside the dialog too, but only the menu closes.
    menu.Open({100, 100, 40, 40}, Plain(2), false, false);
    driver.Settle();
    driver.Click(5, 690);
    EXPECT_FALSE(menu.open);
    EXPECT_TRUE(dialog.open);
}

}  // namespace
}  // namespace Lorvex::Main

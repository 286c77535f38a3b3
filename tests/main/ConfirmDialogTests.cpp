// The confirmation: its action runs only on confirming, after the dialog has closed, and may open
// the confirmation again; every other way out runs nothing.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "main/dialogs/ConfirmDialog.h"
#include "main/kit/Buttons.h"
#include "tests/main/OverlayDriver.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using Testing::OverlayDriver;

const std::wstring kLong =
    L"Se borrarán el personaje, sus chats, sus recuerdos y todas las imágenes que guardaste con él. Esta acción "
    L"no se puede deshacer y no hay copia en la nube de lo que aún no se ha sincronizado. ";

struct Confirm {
    Confirm() {
        Open(L"Borrar", [this] { ++runs; });
    }

    void Open(const std::wstring& label, std::function<void()> action) {
        dialog.Open(L"¿Borrar a Lía?", L"Se borrarán también sus chats.", label, true, std::move(action),
                    UI::Material::Icon::Delete);
        driver.Settle();
    }
    Dialog::Geometry Placed() {
        const float width = dialog.Width(OverlayDriver::kWindow);
        return Dialog::Layout(OverlayDriver::kWindow, width, dialog.ContentHeight(driver.h.ui, width - 48), true);
    }
    // The footer's buttons from the right: the confirm button, then "Cancelar".
    Rect FooterButton(int index) {
        const Rect footer = Placed().footer;
        float right = footer.x + footer.w;
        Rect rect;
        for (const std::wstring& label : {dialog.confirmLabel, std::wstring(L"Cancelar")}) {
            const float width = Kit::ButtonWidth(driver.h.ui, label, 14);
            rect = {right - width, footer.y + footer.h / 2 - 21, width, 42};
            right -= width + 10;
            if (index-- == 0) {
                break;
            }
        }
        return rect;
    }

    ConfirmDialog dialog{nullptr};
    OverlayDriver driver{{&dialog}};
    int runs = 0;
};

TEST(ConfirmDialog, ConfirmingRunsTheActionOnceAfterClosing) {
    for (const bool byKeys : {false, true}) {
        Confirm c;
        bool openWhenRun = true;
        int closedBeforeRun = 0;
        c.Open(L"Borrar", [&] {
            openWhenRun = c.dialog.open;
            ++closedBeforeRun;
        });
        if (byKeys) {
            c.driver.Key(13, true);
        } else {
            c.driver.ClickIn(c.FooterButton(0));
        }
        EXPECT_EQ(closedBeforeRun, 1) << byKeys;
        EXPECT_FALSE(openWhenRun) << byKeys;
        EXPECT_FALSE(c.dialog.open) << byKeys;
    }
}

TEST(ConfirmDialog, EveryOtherWayOutRunsNothing) {
    const std::function<void(Confirm&)> ways[] = {
        [](Confirm& c) { c.driver.ClickIn(c.FooterButton(1)); },
        [](Confirm& c) { c.driver.Key(27); },
        [](Confirm& c) { c.driver.Key(13); },  // Enter alone does not confirm
        [](Confirm& c) { c.driver.Click(3, 3); },
        [](Confirm& c) {
            const Rect p = c.Placed().panel;
            c.driver.Click(p.x + p.w - 58 + 17, p.y + 23 + 17);  // the close button
        },
    };
    int way = 0;
    for (const auto& leave : ways) {
        Confirm c;
        leave(c);
        c.driver.Settle();
        EXPECT_EQ(c.runs, 0) << way;
        EXPECT_EQ(c.dialog.open, way == 2) << way;
        ++way;
    }
}

TEST(ConfirmDialog, AnActionThatAsksAgainLeavesTheNewQuestionOpen) {
    Confirm c;
    int second = 0;
    bool firstFinished = false;
    c.Open(L"Borrar", [&] {
        c.dialog.Open(
            L"¿Seguro?", L"Última oportunidad.", L"Sí, borrar", false, [&] { ++second; }, UI::Material::Icon::Warning);
        firstFinished = true;
    });
    c.driver.ClickIn(c.FooterButton(0));
    EXPECT_TRUE(firstFinished);
    EXPECT_TRUE(c.dialog.open);
    EXPECT_EQ(c.dialog.title, L"¿Seguro?");
    EXPECT_EQ(c.dialog.message, L"Última oportunidad.");
    EXPECT_EQ(c.dialog.confirmLabel, L"Sí, borrar");
    EXPECT_EQ(second, 0);

    c.driver.Settle();
    c.driver.ClickIn(c.FooterButton(0));
    EXPECT_EQ(second, 1);
    EXPECT_FALSE(c.dialog.open);
}

TEST(ConfirmDialog, DangerTakesTheDangerAccent) {
    Confirm c;
    const Color danger = UI::Material::ReadyPalette().danger;
    EXPECT_EQ(c.dialog.accent.ToArgb(), danger.ToArgb());
    c.dialog.Open(L"¿Salir?", L"", L"Salir", false, {}, UI::Material::Icon::Check);
    EXPECT_EQ(c.dialog.accent.a, 0);
}

TEST(ConfirmDialog, ALongMessageGrowsThePanelThenScrolls) {
    Confirm c;
    const float shortHeight = c.dialog.ContentHeight(c.driver.h.ui, 412);
    ASSERT_GT(shortHeight, 16);
    c.dialog.message = kLong + kLong + kLong;
    const float longHeight = c.dialog.ContentHeight(c.driver.h.ui, 412);
    EXPECT_GT(longHeight, 3 * (shortHeight - 16));
    EXPECT_FALSE(Dialog::Layout({0, 0, 1000, 700}, 460, longHeight, true).scrolls);
    EXPECT_TRUE(Dialog::Layout({0, 0, 1000, 300}, 460, longHeight, true).scrolls);
}

}  // namespace
}  // namespace Lorvex::Main

// The dialog frame: where its parts go in a window, the ids its widgets take, and how it closes
// and submits (keys, outside clicks, the close button), driven by hand without drawing; and the
// header's tinted band, read back from an off-screen surface.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "main/dialogs/ConfirmDialog.h"
#include "main/overlays/Dialog.h"
#include "tests/main/OverlayDriver.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/ui/UiHarness.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using Testing::OverlayDriver;

constexpr int32_t kEscape = 27;
constexpr int32_t kEnter = 13;

// A dialog that counts what happens to it and remembers where its body went.
class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(float panelWidth = 500) : Dialog(nullptr, panelWidth) { title = L"Prueba"; }

    float ContentHeight(UI::Ui&, float) override { return content; }
    void Body(UI::Ui& ui, const Rect& body) override {
        bodyRect = body;
        if (onBody) {
            onBody(ui);
        }
    }
    void Footer(UI::Ui&, const Rect& footer) override { footerRect = footer; }
    void OnSubmit() override { ++submits; }
    void OnClosed() override { ++closes; }

    Geometry Placed() const { return Layout(OverlayDriver::kWindow, Width(OverlayDriver::kWindow), content, true); }

    float content = 120;
    int submits = 0;
    int closes = 0;
    Rect bodyRect;
    Rect footerRect;
    std::function<void(UI::Ui&)> onBody;
};

void ExpectRect(const Rect& actual, const Rect& expected, const char* what) {
    EXPECT_FLOAT_EQ(actual.x, expected.x) << what;
    EXPECT_FLOAT_EQ(actual.y, expected.y) << what;
    EXPECT_FLOAT_EQ(actual.w, expected.w) << what;
    EXPECT_FLOAT_EQ(actual.h, expected.h) << what;
}

TEST(DialogGeometry, PanelBodyAndFooterInTheWindow) {
    struct Case {
        const char* name;
        Rect window;
        float width;
        float content;
        bool scrollable;
        Rect panel;
        float body;
        bool scrolls;
    };
    const Case cases[] = {
        {"fits", {0, 0, 1000, 700}, 460, 100, true, {270, 222, 460, 256}, 108, false},
        {"odd centre rounds", {0, 0, 1001, 701}, 460, 100.5f, true, {271, 222, 460, 256.5f}, 108.5f, false},
        {"window offset", {100, 50, 800, 600}, 600, 40, true, {200, 252, 600, 196}, 48, false},
        {"taller than the window", {0, 0, 1000, 500}, 460, 1000, true, {270, 32, 460, 436}, 288, true},
        {"tiny window keeps 80", {0, 0, 1000, 200}, 460, 1000, true, {270, -14, 460, 228}, 80, true},
        {"half a DIP over still fits", {0, 0, 1000, 400}, 460, 180.5f, true, {270, 32, 460, 336}, 188, false},
        {"more than half a DIP scrolls", {0, 0, 1000, 400}, 460, 180.6f, true, {270, 32, 460, 336}, 188, true},
        {"not scrollable: clipped", {0, 0, 1000, 500}, 460, 1000, false, {270, 32, 460, 436}, 288, false},
    };
    for (const Case& c : cases) {
        const Dialog::Geometry g = Dialog::Layout(c.window, c.width, c.content, c.scrollable);
        ExpectRect(g.panel, c.panel, c.name);
        ExpectRect(g.body, {c.panel.x, c.panel.y + 76, c.width, c.body}, c.name);
        ExpectRect(g.bodyContent, {c.panel.x + 24, c.panel.y + 80, c.width - 48, c.content + 8}, c.name);
        ExpectRect(g.footer, {c.panel.x + 24, c.panel.y + c.panel.h - 72, c.width - 48, 72}, c.name);
        EXPECT_EQ(g.scrolls, c.scrolls) << c.name;
    }
}

TEST(DialogGeometry, PanelNeverWiderThanTheWindowLess48) {
    ConfirmDialog confirm(nullptr);
    EXPECT_EQ(confirm.Width({0, 0, 1000, 700}), 460);
    EXPECT_EQ(confirm.Width({0, 0, 508, 700}), 460);
    EXPECT_EQ(confirm.Width({0, 0, 400, 700}), 352);
}

TEST(DialogGeometry, DrawPutsTheBodyWhereTheLayoutSays) {
    ProbeDialog dialog;
    dialog.content = 2000;  // scrolls in the 700 high window
    OverlayDriver driver({&dialog});
    dialog.Open();
    driver.Settle();
    const Dialog::Geometry g = dialog.Placed();
    EXPECT_TRUE(g.scrolls);
    EXPECT_EQ(g.body.h, 700 - 212);
    ExpectRect(dialog.bodyRect, g.bodyContent, "body");
    ExpectRect(dialog.footerRect, g.footer, "footer");
}

// The sum of the channels' distances.
int Distance(uint32_t a, uint32_t b) {
    return std::abs(Testing::Red(a) - Testing::Red(b)) + std::abs(Testing::Green(a) - Testing::Green(b)) +
           std::abs(Testing::Blue(a) - Testing::Blue(b));
}

TEST(DialogLooks, HeaderBandLeavesThePanelsRoundedCornersUntouched) {
    Testing::Offscreen surface(1000, 700);
    ASSERT_TRUE(surface.Ready());
    const bool savedDark = UI::Material::DarkTheme;
    for (const bool dark : {false, true}) {
        UI::Material::DarkTheme = dark;
        UI::Material::ApplyTheme();
        Testing::UiHarness h(surface.graphics);
        ProbeDialog dialog;
        dialog.accent = {1, 0, 0, 1};  // a band of strong red
        dialog.Open();
        for (int frame = 0; frame < 40; ++frame) {
            surface.Begin();
            h.Frame([&] { dialog.Draw(h.ui, Testing::OverlayDriver::kWindow); });
            ASSERT_TRUE(surface.End());
        }
        const std::vector<uint32_t> pixels = surface.Pixels();
        ASSERT_FALSE(pixels.empty());
        const Rect panel = dialog.Placed().panel;
        const int left = static_cast<int>(panel.x);
        const int right = static_cast<int>(panel.x + panel.w);
        const int top = static_cast<int>(panel.y);
        // Just inside the panel's box but outside its rounded corners, against just outside the
        // box: the scrim and the shadow are all but the same there, and the band adds nothing.
        for (const auto& [inside, outside] : {std::pair{left + 2, left - 2}, std::pair{right - 3, right + 1}}) {
            const uint32_t corner = surface.At(pixels, inside, top + 2);
            const uint32_t beside = surface.At(pixels, outside, top + 2);
            EXPECT_LE(Distance(corner, beside), 8) << (dark ? "dark " : "light ") << std::hex << corner << " " << beside;
        }
        // Below the corner's curve the band tints the panel, which past the band keeps its colour.
        const uint32_t tinted = surface.At(pixels, left + 4, top + 40);
        const uint32_t plain = surface.At(pixels, left + 4, top + 130);
        const int redder = (Testing::Red(tinted) - Testing::Green(tinted)) - (Testing::Red(plain) - Testing::Green(plain));
        EXPECT_GT(redder, 8) << (dark ? "dark " : "light ") << std::hex << tinted << " " << plain;
    }
    UI::Material::DarkTheme = savedDark;
    UI::Material::ApplyTheme();
}

TEST(DialogIds, SeedsFromTheProcessCounter) {
    EXPECT_EQ(Dialog::SeedFor(0), 0x38358e9d3c028fc1ull);
    EXPECT_EQ(Dialog::SeedFor(1), 0x193ac794311345a0ull);

    ProbeDialog first;
    ProbeDialog second;
    first.Open();
    second.Open();
    EXPECT_NE(first.seed, 0u);
    EXPECT_NE(first.seed, second.seed);
    // Consecutive counter values, whatever other dialogs this process opened before.
    bool consecutive = false;
    for (uint32_t n = 0; n < 1000 && !consecutive; ++n) {
        consecutive = Dialog::SeedFor(n) == first.seed && Dialog::SeedFor(n + 1) == second.seed;
    }
    EXPECT_TRUE(consecutive);

    const uint64_t kept = first.seed;
    first.Close();
    first.Open();
    EXPECT_EQ(first.seed, kept);
}

TEST(DialogIds, LabelIdsHashUtf16UnitsFromTheSeed) {
    ProbeDialog dialog;
    dialog.seed = Dialog::SeedFor(0);
    EXPECT_EQ(dialog.LabelId(L"Ok"), 0x4f20266a00cfa213ull);
    // A unit above 0xFF is one step, not two bytes.
    EXPECT_EQ(dialog.LabelId(L"S\u00ed \u20ac"), 0xbecd8f7807c8cf0dull);
    EXPECT_EQ(dialog.LabelId(L""), dialog.seed);

    ProbeDialog other;
    other.seed = Dialog::SeedFor(1);
    EXPECT_NE(other.LabelId(L"Ok"), dialog.LabelId(L"Ok"));
    EXPECT_NE(other.ControlId(1), dialog.ControlId(1));
}

// An open, settled dialog in the driver.
struct OpenDialog {
    OpenDialog() {
        dialog.Open();
        driver.Settle();
    }
    Rect Panel() const { return dialog.Placed().panel; }
    Rect CloseButton() const {
        const Rect p = Panel();
        return {p.x + p.w - 58, p.y + 23, 34, 34};
    }

    ProbeDialog dialog;
    OverlayDriver driver{{&dialog}};
};

TEST(DialogInput, EscapeClosesAndTakesTheKey) {
    OpenDialog o;
    o.driver.Key(kEscape);
    EXPECT_FALSE(o.dialog.open);
    EXPECT_EQ(o.dialog.closes, 1);
    ASSERT_EQ(o.driver.keys.size(), 1u);
    EXPECT_TRUE(o.driver.keys[0].handled);

    // It fades out and then stops being drawn.
    EXPECT_TRUE(o.dialog.IsVisible());
    o.driver.Settle();
    EXPECT_FALSE(o.dialog.IsVisible());
    EXPECT_EQ(o.dialog.closes, 1);
}

TEST(DialogInput, CtrlEnterSubmitsAndEnterAloneIsLeftToTheBody) {
    OpenDialog o;
    bool enterSeenByBody = false;
    o.dialog.onBody = [&](UI::Ui& ui) {
        for (const UI::KeyEvent& key : ui.input->keys) {
            enterSeenByBody |= key.vk == kEnter && !key.handled;
        }
    };
    o.driver.Key(kEnter);
    EXPECT_EQ(o.dialog.submits, 0);
    EXPECT_TRUE(enterSeenByBody);
    EXPECT_TRUE(o.dialog.open);

    enterSeenByBody = false;
    o.driver.Key(kEnter, true);
    EXPECT_EQ(o.dialog.submits, 1);
    EXPECT_FALSE(enterSeenByBody);
    EXPECT_TRUE(o.driver.keys[0].handled);
    EXPECT_TRUE(o.dialog.open);  // submitting is the dialog's own business
}

TEST(DialogInput, ClicksOutsideInsideAndOnTheCloseButton) {
    {
        OpenDialog o;
        const Rect p = o.Panel();
        o.driver.Click(p.x + p.w / 2, p.y + p.h / 2);
        o.driver.Click(p.x + 30, p.y + p.h - 10);  // the footer's corner
        EXPECT_TRUE(o.dialog.open);
        o.driver.Click(p.x - 1, p.y + p.h / 2);
        EXPECT_FALSE(o.dialog.open);
        EXPECT_EQ(o.dialog.closes, 1);
    }
    {
        OpenDialog o;
        o.driver.ClickIn(o.CloseButton());
        EXPECT_FALSE(o.dialog.open);
        EXPECT_EQ(o.dialog.closes, 1);
    }
    {
        // A right click outside is not a dismissal.
        OpenDialog o;
        o.driver.Click(5, 5, UI::Button::Right);
        EXPECT_TRUE(o.dialog.open);
    }
}

TEST(DialogInput, OnlyAPressThatStartsOutsideCloses) {
    {
        // Pressed on the panel, released beside it: a drag out of a field, not a dismissal.
        OpenDialog o;
        const Rect p = o.Panel();
        o.driver.MoveTo(p.x + 40, p.y + p.h / 2);
        o.driver.Press();
        o.driver.MoveTo(p.x - 40, p.y + p.h / 2);
        o.driver.Release();
        EXPECT_TRUE(o.dialog.open);
    }
    {
        // The press that opened the dialog went to something beneath; its release does nothing.
        ProbeDialog dialog;
        OverlayDriver driver({&dialog});
        driver.MoveTo(5, 5);
        driver.Press();
        dialog.Open();
        driver.Release();
        driver.Settle();
        EXPECT_TRUE(dialog.open);
    }
}

TEST(DialogInput, NotDismissableKeepsOnlyItsOwnButtons) {
    OpenDialog o;
    o.dialog.dismissable = false;
    o.driver.Key(kEscape);
    EXPECT_FALSE(o.driver.keys[0].handled);
    o.driver.Click(5, 5);
    o.driver.ClickIn(o.CloseButton());
    EXPECT_TRUE(o.dialog.open);
    EXPECT_EQ(o.dialog.closes, 0);
    o.driver.Key(kEnter, true);
    EXPECT_EQ(o.dialog.submits, 1);
}

TEST(DialogInput, BlockedDialogIgnoresKeysAndClicks) {
    OpenDialog o;
    o.driver.blocked = true;
    o.driver.Key(kEscape);
    o.driver.Key(kEnter, true);
    o.driver.Click(5, 5);
    EXPECT_TRUE(o.dialog.open);
    EXPECT_EQ(o.dialog.submits, 0);
    EXPECT_FALSE(o.driver.keys[0].handled);
}

TEST(DialogInput, OnlyTheTopMostOpenDialogReacts) {
    ProbeDialog below;
    ProbeDialog above(300);
    OverlayDriver driver({&below, &above});
    below.Open();
    above.Open();
    driver.Settle();

    driver.Key(kEscape);
    EXPECT_FALSE(above.open);
    EXPECT_TRUE(below.open);

    // Outside the top one but on the one beneath: only the top one closes.
    above.Open();
    driver.Settle();
    const Rect belowPanel = below.Placed().panel;
    driver.Click(belowPanel.x + 10, belowPanel.y + belowPanel.h / 2);
    EXPECT_FALSE(above.open);
    EXPECT_TRUE(below.open);
    EXPECT_EQ(below.closes, 0);

    driver.Key(kEscape);
    EXPECT_FALSE(below.open);
}

}  // namespace
}  // namespace Lorvex::Main

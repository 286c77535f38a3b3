// The theme switch on the real window: a request starts in the next frame, which still shows the
// old theme, flips the theme once and saves it; the title bar's icon changes at 0.3 s and the
// reveal ends at 0.8 s; requests meanwhile are ignored; without a snapshot the theme still
// switches, at once. Also the surface's off-screen drawing the switch relies on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/window/ThemeReveal.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"
#include "ui/Theme.h"

namespace Lorvex::Testing {
namespace {

using Main::ThemeReveal;

FrameDriver::Options Window(bool dark) {
    return WindowWithPersona(dark, 1000, 700);
}

// Bitmaps for the snapshot fail while one of these lives.
struct NoTargetBitmaps {
    NoTargetBitmaps() { Graphics::SetTargetBitmapsFailForTesting(true); }
    ~NoTargetBitmaps() { Graphics::SetTargetBitmapsFailForTesting(false); }
};

TEST(ThemeSwitch, PlaysOnceFromRequestToTheEndOfTheReveal) {
    for (const bool dark : {true, false}) {
        SCOPED_TRACE(dark ? "from dark" : "from light");
        FrameDriver driver(Window(dark));
        ThemeReveal& reveal = driver.Window().themeReveal;
        ASSERT_TRUE(driver.Settle());
        EXPECT_EQ(reveal.displayedIcon, ThemeReveal::IconFor(dark));
        EXPECT_EQ(reveal.targetIcon, ThemeReveal::IconFor(dark));
        const std::vector<uint32_t> before = driver.Pixels();

        reveal.Request(120, 30);
        reveal.Request(600, 400);  // pending: ignored
        EXPECT_TRUE(reveal.pending);
        EXPECT_EQ(reveal.centerX, 120);
        EXPECT_EQ(reveal.centerY, 30);
        EXPECT_EQ(UI::Material::DarkTheme, dark);

        // The next frame starts it (here the one drawn for its pixels), and still shows the old
        // theme: the picture of it, drawn whole.
        EXPECT_EQ(driver.Pixels(), before);
        const double start = driver.Now();
        EXPECT_FALSE(reveal.pending);
        EXPECT_TRUE(reveal.running);
        EXPECT_TRUE(reveal.snapshot);
        EXPECT_EQ(reveal.start, start);
        EXPECT_EQ(UI::Material::DarkTheme, !dark);
        EXPECT_EQ(UI::Material::Palette.dark, !dark);
        EXPECT_EQ(reveal.targetIcon, ThemeReveal::IconFor(!dark));
        EXPECT_EQ(reveal.displayedIcon, ThemeReveal::IconFor(dark));
        // Saved at once, as if the program were killed now.
        EXPECT_EQ(driver.StoredSettings().dark_theme, !dark);
        EXPECT_EQ(Settings::Instance().dark_theme, !dark);

        reveal.Request(600, 400);  // running: ignored
        EXPECT_FALSE(reveal.pending);
        EXPECT_EQ(reveal.centerX, 120);

        driver.Frame(0.29);
        EXPECT_EQ(reveal.displayedIcon, ThemeReveal::IconFor(dark));
        EXPECT_FALSE(driver.Idle());
        driver.Frame(0.02);
        EXPECT_EQ(reveal.displayedIcon, ThemeReveal::IconFor(!dark));
        driver.Frame(0.48);
        EXPECT_TRUE(reveal.running);
        EXPECT_TRUE(reveal.snapshot);
        driver.Frame(0.02);
        EXPECT_NEAR(driver.Now() - start, 0.81, 1e-9);
        EXPECT_FALSE(reveal.running);
        EXPECT_FALSE(reveal.snapshot);

        // The theme turned exactly once, and the window rests in it.
        ASSERT_TRUE(driver.Settle());
        EXPECT_EQ(UI::Material::DarkTheme, !dark);
        EXPECT_EQ(reveal.displayedIcon, reveal.targetIcon);
        EXPECT_NE(driver.Pixels(), before);

        // Switching back gives the first picture again.
        reveal.Request(120, 30);
        driver.RunFor(1.0, 0.1);
        ASSERT_TRUE(driver.Settle());
        EXPECT_EQ(UI::Material::DarkTheme, dark);
        EXPECT_EQ(driver.StoredSettings().dark_theme, dark);
        EXPECT_EQ(driver.Pixels(), before);
    }
}

TEST(ThemeSwitch, WithoutASnapshotTheThemeStillSwitchesAtOnce) {
    FrameDriver driver(Window(true));
    ThemeReveal& reveal = driver.Window().themeReveal;
    ASSERT_TRUE(driver.Settle());
    NoTargetBitmaps noBitmaps;

    reveal.Request(500, 350);
    driver.Frame();
    EXPECT_FALSE(reveal.snapshot);
    EXPECT_FALSE(UI::Material::DarkTheme);
    EXPECT_FALSE(driver.StoredSettings().dark_theme);

    // The next frame ends it: no reveal to play, the icon follows at once.
    driver.Frame();
    EXPECT_FALSE(reveal.running);
    EXPECT_EQ(reveal.displayedIcon, ThemeReveal::kMoonIcon);
    // The title bar's theme icon still turns for its 0.6 s; then the window rests.
    EXPECT_TRUE(driver.Settle(1));
    EXPECT_FALSE(UI::Material::DarkTheme);

    // A new request is taken again.
    reveal.Request(500, 350);
    driver.Frame();
    EXPECT_TRUE(UI::Material::DarkTheme);
}

TEST(ThemeSwitch, TheFrameMidRevealCanBeSaved) {
    FrameDriver driver(Window(true));
    ASSERT_TRUE(driver.Settle());
    driver.Window().themeReveal.Request(960, 30);
    driver.Frame();
    driver.Frame(0.4);
    const std::wstring folder = MakeTempFolder(L"theme-reveal");
    const std::wstring path = Files::JoinPath(folder, L"reveal.png");
    EXPECT_TRUE(driver.SavePng(path));
    EXPECT_TRUE(driver.Window().themeReveal.running);
    Files::RemoveTree(folder);
}

// The surface's side: a frame drawn into a bitmap and back is the frame drawn directly, and the
// layer bookkeeping sees a target switched with something open.
TEST(OffscreenTarget, AFrameDrawnIntoABitmapAndBackIsTheSameFrame) {
    const Color red = {1, 0, 0, 1};
    const auto scene = [red](Graphics& graphics) {
        graphics.FillRect({0, 0, 200, 120}, {0.2f, 0.3f, 0.4f, 1});
        graphics.PushRoundClip({10, 10, 120, 80}, 12);
        graphics.FillRect({0, 0, 100, 100}, red);
        graphics.PopLayer();
    };
    std::vector<uint32_t> direct;
    {
        FrameDriver::Options options;
        options.settings.window_width = 200;
        options.settings.window_height = 120;
        options.draw = [&scene](UI::Ui& ui) { scene(*ui.graphics); };
        FrameDriver driver(options);
        direct = driver.Pixels();
    }
    FrameDriver::Options options;
    options.settings.window_width = 200;
    options.settings.window_height = 120;
    bool redirected = false;
    options.draw = [&](UI::Ui& ui) {
        Graphics& graphics = *ui.graphics;
        ComPtr<ID2D1Bitmap1> bitmap = graphics.CreateTargetBitmap();
        redirected = bitmap && graphics.RedirectTarget(bitmap.Get());
        if (!redirected) {
            return;
        }
        graphics.Clear({0, 0, 0, 0});
        scene(graphics);
        graphics.RestoreTarget();
        graphics.DrawBitmap(bitmap.Get(), {0, 0, graphics.Width(), graphics.Height()}, 1);
    };
    FrameDriver driver(options);
    const std::vector<uint32_t> viaBitmap = driver.Pixels();
    EXPECT_TRUE(redirected);
    EXPECT_EQ(viaBitmap, direct);
}

TEST(OffscreenTarget, SwitchingTargetsWithSomethingOpenIsRefusedOrReported) {
    struct Case {
        const char* name;
        std::function<void(Graphics&, ID2D1Bitmap1*)> draw;
        const char* fault;
    };
    const Case cases[] = {
        {"a clip open when switching: refused, nothing to report",
         [](Graphics& g, ID2D1Bitmap1* bitmap) {
             g.PushAxisClip({0, 0, 50, 50});
             EXPECT_FALSE(g.RedirectTarget(bitmap));
             g.PopAxisClip();
         },
         ""},
        {"a layer left open in the bitmap",
         [](Graphics& g, ID2D1Bitmap1* bitmap) {
             ASSERT_TRUE(g.RedirectTarget(bitmap));
             g.PushLayer(0.5f, nullptr);
             g.RestoreTarget();
             g.PopLayer();
         },
         "still open when drawing went back"},
        {"never switched back", [](Graphics& g, ID2D1Bitmap1* bitmap) { ASSERT_TRUE(g.RedirectTarget(bitmap)); },
         "ended drawing into an off-screen bitmap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameDriver::Options options;
        options.settings.window_width = 200;
        options.settings.window_height = 120;
        options.draw = [&c](UI::Ui& ui) {
            ComPtr<ID2D1Bitmap1> bitmap = ui.graphics->CreateTargetBitmap();
            ASSERT_TRUE(bitmap);
            c.draw(*ui.graphics, bitmap.Get());
        };
        FrameDriver driver(options);
        std::vector<std::string> faults;
        driver.onFault = [&faults](const std::string& fault) { faults.push_back(fault); };
        driver.Frames(2);
        if (*c.fault == '\0') {
            EXPECT_TRUE(faults.empty()) << faults.front();
        } else {
            ASSERT_FALSE(faults.empty());
            EXPECT_NE(faults[0].find(c.fault), std::string::npos) << faults[0];
        }
    }
}

}  // namespace
}  // namespace Lorvex::Testing

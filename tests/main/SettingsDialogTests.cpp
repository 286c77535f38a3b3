// The settings dialog on the real window: sliders write the file once per drag with the value
// they came to rest on, switches write at once, the theme switch starts the reveal from its own
// centre and cannot start a second one, and the data folder and update rows act.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "domain/Records.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/updates/UpdateDialog.h"
#include "services/updates/Updates.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"
#include "ui/Theme.h"

namespace Lorvex::Testing {
namespace {

using Main::Dialog;
using Main::SettingsDialog;

// Tops of the rows in the dialog's body.
constexpr float kThemeRow = 36;
constexpr float kCreativityRow = 162;
constexpr float kMaxTokensRow = 246;
constexpr float kStreamRow = 330;
constexpr float kEnterRow = 456;
constexpr float kTimeRow = 520;
constexpr float kDataRow = 646;
constexpr float kUpdateRow = 772;

// The newest release of the update state (none for an empty version), forgotten again at the end
// of a test.
struct NewestRelease {
    explicit NewestRelease(const std::wstring& version) { Set(version); }
    ~NewestRelease() { Services::Updates::ResetForTesting(); }
    static void Set(const std::wstring& version) {
        std::vector<Services::Updates::Release> releases;
        if (!version.empty()) {
            Services::Updates::Release release;
            release.version = version;
            release.parts.push_back({L"Lorvex.exe", L"http://127.0.0.1/Lorvex.exe", 1024});
            releases.push_back(release);
        }
        Services::Updates::SetReleasesForTesting(std::move(releases));
    }
};

class SettingsWindow {
public:
    explicit SettingsWindow(bool dark = true) : driver(WindowWithPersona(dark, 1000, 800)) {
        driver.Settle();
        Open();
    }

    // Opens the dialog and lets it come to rest, in steps as long as the animations allow.
    void Open() {
        dialog.Open();
        Rest();
    }
    void Rest() {
        driver.RunFor(0.6, 0.05);
        driver.Settle();
    }

    Dialog::Geometry Placed() const {
        const Rect& window = driver.Window().windowRect;
        return Dialog::Layout(window, dialog.Width(window), SettingsDialog::kContentHeight, true);
    }
    // Rows in window coordinates, the body scrolled by scrolled DIPs.
    float Top(float row) const { return Placed().bodyContent.y + row - scrolled; }
    float Left() const { return Placed().bodyContent.x; }
    float Right() const { return Placed().bodyContent.x + Placed().bodyContent.w; }

    // The centre of a row's switch, and a point on its button (buttons end at the right edge).
    void ClickSwitch(float row) { driver.Click(Right() - 26, Top(row) + 32); }
    void ClickButton(float row) { driver.Click(Right() - 20, Top(row) + 32); }

    // Scrolls the body to its end, where the last rows show.
    void ScrollToEnd() {
        const Dialog::Geometry g = Placed();
        driver.Scroll(g.body.x + g.body.w / 2, g.body.y + g.body.h / 2, -10);
        Rest();
        scrolled = g.bodyContent.h - g.body.h;
    }

    // The pixels of rect (window DIPs at 96 DPI) in the frame shown now.
    std::vector<uint32_t> Area(const Rect& rect) {
        const std::vector<uint32_t> pixels = driver.Pixels();
        const int width = driver.Window().graphics.PixelWidth();
        std::vector<uint32_t> area;
        for (int y = static_cast<int>(rect.y); y < static_cast<int>(rect.y + rect.h); ++y) {
            for (int x = static_cast<int>(rect.x); x < static_cast<int>(rect.x + rect.w); ++x) {
                area.push_back(pixels[static_cast<size_t>(y) * width + x]);
            }
        }
        return area;
    }
    // Where a row's description is drawn beside a control of the given width.
    Rect Description(float row, float controlWidth) const {
        return {Left() + 50, Top(row) + 33, Right() - Left() - 50 - controlWidth - 12, 18};
    }

    FrameDriver driver;
    SettingsDialog& dialog = *driver.Window().settingsDialog;
    float scrolled = 0;
};

struct SliderCase {
    const char* name;
    float row;
    float min;
    float max;
    // The value under the pointer when it is pressed, then after each move; what the dialog
    // then holds; what the file holds once the pointer is let go.
    std::vector<float> pointer;
    std::vector<float> shown;
    std::function<float(const SettingsDialog&)> copy;
    std::function<double(const Settings&)> setting;
    double stored;
};

TEST(SettingsDialog, ASliderDragWritesTheFileOnceWithTheValueItCameToRestOn) {
    const SliderCase cases[] = {
        {"creativity",
         kCreativityRow,
         0,
         1.5f,
         {0.7f, 0.76f, 0.81f, 0.86f},
         {0.7f, 0.75f, 0.8f, 0.85f},
         [](const SettingsDialog& d) { return d.temperature; },
         [](const Settings& s) { return s.temperature; },
         0.85},
        {"maximum length",
         kMaxTokensRow,
         200,
         4000,
         {1000, 1640, 2345},
         {1000, 1600, 2300},
         [](const SettingsDialog& d) { return d.maxTokens; },
         [](const Settings& s) { return s.max_tokens; },
         2300},
        {"maximum length past both ends",
         kMaxTokensRow,
         200,
         4000,
         {1000, 5000, -300},
         {1000, 4000, 200},
         [](const SettingsDialog& d) { return d.maxTokens; },
         [](const Settings& s) { return s.max_tokens; },
         200},
    };
    SettingsWindow w;
    for (const SliderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring file = Paths::SettingsPath();
        const Rect track = {w.Left() + 50 + 10, w.Top(c.row) + 62, w.Right() - w.Left() - 50 - 20, 0};
        const auto at = [&](float value) { return track.x + track.w * (value - c.min) / (c.max - c.min); };

        ASSERT_TRUE(Files::RemoveFile(file));
        w.driver.Move(at(c.pointer[0]), track.y);
        w.driver.Press();
        for (size_t i = 0; i < c.pointer.size(); ++i) {
            if (i > 0) {
                w.driver.Move(at(c.pointer[i]), track.y);
            }
            EXPECT_NEAR(c.copy(w.dialog), c.shown[i], 1e-4) << i;
            EXPECT_FALSE(Files::IsFile(file)) << i;
        }
        w.driver.Release();
        ASSERT_TRUE(Files::IsFile(file));
        // The rounded number itself, not a float copy of it widened (0.85f is 0.8500000238).
        EXPECT_EQ(c.setting(w.driver.StoredSettings()), c.stored);
        EXPECT_EQ(c.setting(Settings::Instance()), c.stored);

        ASSERT_TRUE(Files::RemoveFile(file));
        w.driver.Frames(3);
        EXPECT_FALSE(Files::IsFile(file));
    }
}

TEST(SettingsDialog, OpeningTakesFreshCopiesOfTheSliderSettings) {
    SettingsWindow w;
    w.dialog.Close();
    w.Rest();
    Settings::Instance().temperature = 1.2;
    Settings::Instance().max_tokens = 3100;
    ASSERT_TRUE(Files::RemoveFile(Paths::SettingsPath()));
    w.Open();
    EXPECT_FLOAT_EQ(w.dialog.temperature, 1.2f);
    EXPECT_EQ(w.dialog.maxTokens, 3100);
    // Copies that equal the settings write nothing.
    EXPECT_FALSE(Files::IsFile(Paths::SettingsPath()));
}

TEST(SettingsDialog, EachSwitchInvertsItsSettingAndWritesItAtOnce) {
    struct Case {
        const char* name;
        float row;
        bool Settings::*setting;
    };
    const Case cases[] = {
        {"live replies", kStreamRow, &Settings::stream_replies},
        {"Enter to send", kEnterRow, &Settings::enter_to_send},
        {"time beside messages", kTimeRow, &Settings::show_timestamps},
    };
    SettingsWindow w;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool before = Settings::Instance().*c.setting;
        w.ClickSwitch(c.row);
        EXPECT_EQ(Settings::Instance().*c.setting, !before);
        EXPECT_EQ(w.driver.StoredSettings().*c.setting, !before);
        w.ClickSwitch(c.row);
        EXPECT_EQ(w.driver.StoredSettings().*c.setting, before);
    }
}

// The settings file held by another program through the save's wait: the switch still takes
// effect, the user reads once that it was not saved, and the next save that goes through writes
// every change.
TEST(SettingsDialog, ASwitchWhoseFileStaysHeldSaysSoOnceAndIsWrittenLater) {
    const std::wstring kNotSaved = L"No se pudo guardar la configuración.";
    SettingsWindow w;
    const bool before = Settings::Instance().stream_replies;
    {
        HeldFile held(Paths::SettingsPath(), GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(held.IsOpen());
        w.ClickSwitch(kStreamRow);
        w.ClickSwitch(kTimeRow);
    }
    EXPECT_EQ(Settings::Instance().stream_replies, !before);
    EXPECT_EQ(w.driver.StoredSettings().stream_replies, before);
    const std::vector<std::wstring> toasts = w.driver.Toasts();
    EXPECT_EQ(std::count(toasts.begin(), toasts.end(), kNotSaved), 1);

    w.ClickSwitch(kEnterRow);
    EXPECT_EQ(w.driver.StoredSettings().stream_replies, !before);
    EXPECT_EQ(w.driver.StoredSettings().enter_to_send, Settings::Instance().enter_to_send);
}

TEST(SettingsDialog, EnterToSendDescribesWhatEnterDoesNow) {
    SettingsWindow w;
    const Rect enter = w.Description(kEnterRow, 52);
    const Rect time = w.Description(kTimeRow, 52);
    const std::vector<uint32_t> enterBefore = w.Area(enter);
    const std::vector<uint32_t> timeBefore = w.Area(time);

    w.ClickSwitch(kEnterRow);
    w.ClickSwitch(kTimeRow);
    w.Rest();
    EXPECT_NE(w.Area(enter), enterBefore);
    EXPECT_EQ(w.Area(time), timeBefore);  // a description that says the same either way

    w.ClickSwitch(kEnterRow);
    w.Rest();
    EXPECT_EQ(w.Area(enter), enterBefore);
}

TEST(SettingsDialog, TheThemeSwitchRevealsFromItselfAndWaitsForTheRevealToEnd) {
    SettingsWindow w;
    Main::ThemeReveal& reveal = w.driver.Window().themeReveal;
    const float x = w.Right() - 26;
    const float y = w.Top(kThemeRow) + 32;

    w.ClickSwitch(kThemeRow);
    EXPECT_TRUE(reveal.pending);
    EXPECT_NEAR(reveal.centerX, x, 0.5);
    EXPECT_NEAR(reveal.centerY, y, 0.5);
    w.driver.Frame();
    EXPECT_TRUE(reveal.running);
    EXPECT_FALSE(UI::Material::DarkTheme);
    EXPECT_FALSE(w.driver.StoredSettings().dark_theme);

    // Disabled while the reveal plays: drawn faded, and a click starts nothing.
    const Rect switchRect = {x - 26, y - 16, 52, 32};
    w.driver.Leave();
    w.driver.RunFor(0.4, 0.05);
    ASSERT_TRUE(reveal.running);
    const std::vector<uint32_t> during = w.Area(switchRect);
    w.ClickSwitch(kThemeRow);
    EXPECT_FALSE(reveal.pending);
    w.driver.Leave();
    w.Rest();
    EXPECT_FALSE(reveal.running);
    EXPECT_FALSE(UI::Material::DarkTheme);
    EXPECT_TRUE(w.dialog.IsOpen());
    EXPECT_NE(w.Area(switchRect), during);

    // Afterwards it switches back.
    w.ClickSwitch(kThemeRow);
    w.driver.Frame();
    EXPECT_TRUE(UI::Material::DarkTheme);
    EXPECT_TRUE(w.driver.StoredSettings().dark_theme);
}

TEST(SettingsDialog, TheDataFolderOpensEvenWhenItWasGone) {
    SettingsWindow w;
    w.ScrollToEnd();
    const std::wstring folder = Paths::DataDir();
    ASSERT_TRUE(Files::RemoveTree(folder));
    w.ClickButton(kDataRow);
    EXPECT_EQ(w.driver.shellOpened, std::vector<std::wstring>{folder});
    EXPECT_TRUE(IsFolder(folder));
}

TEST(SettingsDialog, TheUpdateRowOffersTheNewerReleaseAndLeadsToTheUpdateDialog) {
    NewestRelease release(L"");
    SettingsWindow w;
    w.ScrollToEnd();
    w.driver.Leave();
    w.Rest();
    const Rect row = {w.Left(), w.Top(kUpdateRow), w.Right() - w.Left(), 64};
    const std::vector<uint32_t> nothingNewer = w.Area(row);
    for (const wchar_t* newest : {L"", L"3.0.1", L"3.1.0"}) {
        SCOPED_TRACE(std::string(newest, newest + std::wcslen(newest)));
        NewestRelease::Set(newest);
        w.driver.Leave();  // no hover left on the button from the last click
        w.Open();
        // Only a newer release changes the row.
        EXPECT_EQ(w.Area(row) == nothingNewer, std::wstring(newest) != L"3.1.0");

        w.ClickButton(kUpdateRow);
        EXPECT_FALSE(w.dialog.IsOpen());
        EXPECT_EQ(w.driver.TopOverlay(), w.driver.Window().updateDialog.get());
        w.driver.Window().updateDialog->Close();
    }
}

TEST(SettingsDialog, ListoCloses) {
    SettingsWindow w;
    const Rect footer = w.Placed().footer;
    w.driver.Click(footer.x + footer.w - 20, footer.y + footer.h / 2);
    EXPECT_FALSE(w.dialog.IsOpen());
    EXPECT_EQ(w.driver.TopOverlay(), nullptr);
}

}  // namespace
}  // namespace Lorvex::Testing

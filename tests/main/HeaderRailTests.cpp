// The title bar, the navigation rail and the splash on the real main window, driven as a user
// drives them: which rail row lights up, what its rows do and refuse, the account, settings, theme
// and window buttons, the title band's hit test, the data-folder button and the splash.

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "main/MainWindow.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/home/HomeScreen.h"
#include "main/window/Header.h"
#include "main/window/Rail.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"
#include "ui/Theme.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

// The window's longest frame: animations come to rest in the fewest frames.
constexpr double kLongestFrame = 0.05;

// Rail rows: 76 DIPs high from 14 below the title bar.
constexpr float kRailX = 43;
float RowCentreY(int row) {
    return MainWindow::kTitleBarHeight + 14 + 76 * static_cast<float>(row) + 38;
}

// The smallest window the user can make: fewer pixels to draw per frame.
FrameDriver::Options WithPersonaAndCharacter() {
    FrameDriver::Options options;
    options.settings.window_width = MainWindow::kMinWidth;
    options.settings.window_height = MainWindow::kMinHeight;
    auto persona = std::make_shared<Persona>();
    persona->id = L"persona-1";
    persona->name = L"Lucía";
    options.personas.push_back(persona);
    auto character = Character::Create();
    character->name = L"Ana";
    options.characters.push_back(character);
    return options;
}

std::shared_ptr<Character> FirstCharacter() {
    return FrameDriver::State().characters.front();
}

uint32_t PixelAt(const std::vector<uint32_t>& pixels, int width, float x, float y) {
    return pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
}

// Records the texts the window's tooltip painter is asked to draw.
struct TooltipRecorder {
    explicit TooltipRecorder(FrameDriver& driver) {
        driver.Window().ui.tooltipDrawer = [this](Graphics&, const std::wstring& text, float, float) { last = text; };
    }
    std::wstring last;
};

// Rests the pointer at (x, y) until a tooltip has had time to show. The pointer comes from empty
// space, since a press hides a tooltip until the pointer leaves its widget.
std::wstring TooltipAt(FrameDriver& driver, TooltipRecorder& recorder, float x, float y) {
    driver.Move(600, 400);
    recorder.last.clear();
    driver.Move(x, y);
    driver.RunFor(0.5, 0.1);
    return recorder.last;
}

// The centre of a header hit rectangle; the title bar registers, right to left: close, maximise,
// minimise, account, settings, theme.
enum HeaderButton { kClose = 0, kMaximize, kMinimize, kAccount, kSettings, kTheme, kHeaderButtons };

struct Point {
    float x;
    float y;
};

Point ButtonCentre(FrameDriver& driver, HeaderButton button) {
    const std::vector<Rect>& hits = driver.Window().headerHits;
    EXPECT_EQ(hits.size(), static_cast<size_t>(kHeaderButtons));
    if (hits.size() != kHeaderButtons) {
        return {-1, -1};
    }
    const Rect& rect = hits[button];
    return {rect.x + rect.w / 2, rect.y + rect.h / 2};
}

TEST(RailTest, TheIndicatorStandsOnTheRowOfTheScreenShown) {
    struct Case {
        int32_t screen;
        int row;
    };
    const Case cases[] = {
        {Main::kHomeScreen, 0},     {Main::kChatScreen, 1},        {Main::kCharacterFormScreen, 2},
        {Main::kPersonasScreen, 3}, {Main::kPersonaFormScreen, 3},
    };
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    const UI::Material::Theme& palette = UI::Material::ReadyPalette();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        if (c.screen == Main::kChatScreen) {
            window.OpenCharacter(FirstCharacter());
        } else {
            window.Navigate(c.screen);
        }
        if (c.screen == Main::kPersonaFormScreen) {
            // The form never rests (its header's backdrop and badge keep moving): past its slide.
            driver.RunFor(1, kLongestFrame);
        } else {
            ASSERT_TRUE(driver.Settle(10, kLongestFrame));
        }
        ASSERT_EQ(driver.CurrentScreen(), c.screen);
        EXPECT_EQ(Main::Rail::HighlightedRow(c.screen), c.row);
        // The indicator's bar at the rail's edge, on the highlighted row only.
        const std::vector<uint32_t> pixels = driver.Pixels();
        const int width = window.graphics.PixelWidth();
        for (int row = 0; row < Main::Rail::kRowCount; ++row) {
            const uint32_t pixel = PixelAt(pixels, width, 4, RowCentreY(row));
            EXPECT_EQ(SameColor(pixel, palette.accent), row == c.row) << "row " << row;
            if (row != c.row) {
                EXPECT_TRUE(SameColor(pixel, palette.chrome)) << "row " << row;
            }
        }
    }
}

TEST(RailTest, RowsNavigateButTheHighlightedRowDoesNothing) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    // Home on home: not even shown again.
    const double shownAt = window.homeScreen->shownAt;
    driver.Click(kRailX, RowCentreY(0));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(window.homeScreen->shownAt, shownAt);

    driver.Click(kRailX, RowCentreY(3));
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);

    // The persona form lights Usuarios, and Usuarios does not leave it.
    window.Navigate(Main::kPersonaFormScreen);
    driver.RunFor(1, kLongestFrame);  // the form never rests: past its slide
    driver.Click(kRailX, RowCentreY(3));
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);

    // Crear on the form leaves the form as it is.
    window.characterFormScreen->StartEdit(FirstCharacter());
    window.Navigate(Main::kCharacterFormScreen);
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    driver.Click(kRailX, RowCentreY(2));
    EXPECT_EQ(window.characterFormScreen->step, Main::CharacterFormScreen::EditCharacter);
    EXPECT_EQ(window.characterFormScreen->edited, FirstCharacter());

    driver.Click(kRailX, RowCentreY(0));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
}

TEST(RailTest, CrearStartsAFreshFormEvenAfterOneWasLeftHalfDone) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    window.characterFormScreen->StartEdit(FirstCharacter());
    window.characterFormScreen->returnScreen = Main::kPersonasScreen;

    driver.Click(kRailX, RowCentreY(2));
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->step, Main::CharacterFormScreen::NewCharacter);
    EXPECT_EQ(window.characterFormScreen->edited, nullptr);
    EXPECT_EQ(window.characterFormScreen->returnScreen, Main::kHomeScreen);
}

TEST(RailTest, TheChatRowIsDisabledWithTheReasonUntilACharacterIsOpen) {
    FrameDriver driver(WithPersonaAndCharacter());
    TooltipRecorder tooltips(driver);
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    EXPECT_EQ(TooltipAt(driver, tooltips, kRailX, RowCentreY(1)), L"Abre un personaje para chatear");
    driver.Click(kRailX, RowCentreY(1));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);

    FrameDriver::State().OpenCharacter(FirstCharacter());
    EXPECT_EQ(TooltipAt(driver, tooltips, kRailX, RowCentreY(1)), L"");
    driver.Click(kRailX, RowCentreY(1));
    EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen);
}

TEST(RailTest, TheChatRowSpinsWhileARepliesRunAndTheRailRestsAfter) {
    FrameDriver driver(WithPersonaAndCharacter());
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    const std::vector<uint32_t> before = driver.Pixels();

    Services::AppState& state = FrameDriver::State();
    state.runningReplies.emplace_back();
    EXPECT_FALSE(driver.Settle(1, kLongestFrame));
    EXPECT_NE(driver.Pixels(), before);

    state.runningReplies.clear();
    EXPECT_TRUE(driver.Settle(10, kLongestFrame));
    EXPECT_EQ(driver.Pixels(), before);
}

TEST(RailTest, TheFolderButtonMakesTheMissingDataFolderAndHandsItToTheShell) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    TooltipRecorder tooltips(driver);
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    ASSERT_TRUE(Files::RemoveTree(driver.DataPath()));
    ASSERT_FALSE(Exists(driver.DataPath()));

    const float x = window.railRect.w / 2;
    const float y = window.railRect.y + window.railRect.h - 84 + 21;
    EXPECT_EQ(TooltipAt(driver, tooltips, x, y), L"Abrir la carpeta de datos");
    driver.Press();
    driver.Release();
    EXPECT_TRUE(Exists(driver.DataPath()));
    EXPECT_EQ(driver.shellOpened, std::vector<std::wstring>{driver.DataPath()});
}

// The maximise button answers as the system's own (Windows 11 offers its snap layouts over it);
// every other button belongs to the client.
LRESULT ButtonHitCode(int button) {
    return button == kMaximize ? HTMAXBUTTON : HTCLIENT;
}

TEST(HeaderTest, EveryButtonIsLeftToTheClientAndTheBandBetweenDragsTheWindow) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    driver.Frames(3);
    // Refilled every frame, never added to.
    ASSERT_EQ(window.headerHits.size(), static_cast<size_t>(kHeaderButtons));

    RECT frame = {};
    ASSERT_TRUE(GetWindowRect(window.hwnd, &frame));
    const auto hitTest = [&](float x, float y) {
        return window.Handle(WM_NCHITTEST, 0,
                             MAKELPARAM(static_cast<WORD>(static_cast<short>(frame.left + std::lround(x))),
                                        static_cast<WORD>(static_cast<short>(frame.top + std::lround(y)))));
    };
    for (int button = 0; button < kHeaderButtons; ++button) {
        SCOPED_TRACE(button);
        const Point centre = ButtonCentre(driver, static_cast<HeaderButton>(button));
        EXPECT_EQ(hitTest(centre.x, centre.y), ButtonHitCode(button));
    }
    // Between the screen's title and the theme button, and between the theme and settings buttons.
    const Point theme = ButtonCentre(driver, kTheme);
    const Point settings = ButtonCentre(driver, kSettings);
    EXPECT_EQ(hitTest(theme.x - 60, theme.y), HTCAPTION);
    EXPECT_EQ(hitTest((theme.x + settings.x) / 2, theme.y), HTCAPTION);
    EXPECT_EQ(hitTest(30, 30), HTCAPTION);
}

// The window's answer to WM_NCHITTEST for a point in client DIPs, handed over in screen pixels as
// the system does.
LRESULT HitTestAt(MainWindow& window, float x, float y) {
    const float perDip = window.graphics.Dpi() / 96.0f;
    POINT point = {static_cast<LONG>(std::floor(x * perDip)), static_cast<LONG>(std::floor(y * perDip))};
    ClientToScreen(window.hwnd, &point);
    return window.Handle(WM_NCHITTEST, 0,
                         MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x)),
                                    static_cast<WORD>(static_cast<short>(point.y))));
}

TEST(HeaderTest, MaximisedEveryButtonAnswersToItsWholeRectangle) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    ShowWindow(window.hwnd, SW_MAXIMIZE);
    driver.Frames(3);
    ASSERT_TRUE(IsZoomed(window.hwnd));
    ASSERT_EQ(window.headerHits.size(), static_cast<size_t>(kHeaderButtons));
    // Maximised, the window reaches past the client area by the frame cut off round it.
    RECT frame = {};
    GetWindowRect(window.hwnd, &frame);
    POINT origin = {0, 0};
    ClientToScreen(window.hwnd, &origin);
    EXPECT_GT(origin.x - frame.left, 0) << "no inset";
    for (int button = 0; button < kHeaderButtons; ++button) {
        SCOPED_TRACE(button);
        const Rect hit = window.headerHits[static_cast<size_t>(button)];
        // The last pixel inside, right and bottom: where a flung pointer ends up on the close button.
        EXPECT_EQ(HitTestAt(window, hit.x + hit.w - 0.5f, hit.y + hit.h - 0.5f), ButtonHitCode(button));
        EXPECT_EQ(HitTestAt(window, hit.x, hit.y), ButtonHitCode(button));
    }
}

// Over a button whose hit test answers HTMAXBUTTON the system sends non-client messages in screen
// coordinates: WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, then (the press having captured the mouse)
// WM_LBUTTONUP, or WM_NCLBUTTONUP where nothing holds the capture. The button still lights up,
// maximises and restores, and the pointer leaving it ends its hover.
TEST(HeaderTest, TheMaximiseButtonTakesTheSystemsNonClientMessagesAndStillWorks) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    TooltipRecorder tooltips(driver);
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    const auto pointAt = [&](bool onScreen) {
        const Point centre = ButtonCentre(driver, kMaximize);
        const float perDip = window.graphics.Dpi() / 96.0f;
        POINT point = {std::lround(centre.x * perDip), std::lround(centre.y * perDip)};
        if (onScreen) {
            ClientToScreen(window.hwnd, &point);
        }
        return MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x)), static_cast<WORD>(static_cast<short>(point.y)));
    };

    struct Click {
        const char* name;
        UINT release;  // what the system sends when the button goes up
        bool maximizedAfter;
        const wchar_t* tooltipBefore;
    };
    const Click clicks[] = {{"maximise, released captured", WM_LBUTTONUP, true, L"Maximizar"},
                            {"restore, released uncaptured", WM_NCLBUTTONUP, false, L"Restaurar"}};
    for (const Click& click : clicks) {
        SCOPED_TRACE(click.name);
        ASSERT_EQ(window.Handle(WM_NCHITTEST, 0, pointAt(true)), HTMAXBUTTON);
        tooltips.last.clear();
        window.Handle(WM_NCMOUSEMOVE, HTMAXBUTTON, pointAt(true));
        // A frame decides the hover where it moved, the next one owns it: then the tooltip's delay.
        driver.RunFor(0.6, 0.1);
        EXPECT_EQ(tooltips.last, click.tooltipBefore);

        window.Handle(WM_NCLBUTTONDOWN, HTMAXBUTTON, pointAt(true));
        driver.Frame();
        if (click.release == WM_LBUTTONUP) {
            EXPECT_EQ(GetCapture(), window.hwnd);
            window.Handle(WM_LBUTTONUP, 0, pointAt(false));
        } else {
            ReleaseCapture();
            window.Handle(WM_NCLBUTTONUP, HTMAXBUTTON, pointAt(true));
        }
        driver.Frame();
        EXPECT_EQ(IsZoomed(window.hwnd) != FALSE, click.maximizedAfter);
        EXPECT_EQ(window.captureCount, 0);
        ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    }

    // The system tracks the pointer's leaving of one area at a time, and posts the leave of the
    // area it left after the move into the other: from the client area onto the button and back,
    // the pointer never leaves the window. From the button onto the screen it does.
    const Point minimize = ButtonCentre(driver, kMinimize);
    driver.Move(minimize.x, minimize.y);
    window.Handle(WM_NCMOUSEMOVE, HTMAXBUTTON, pointAt(true));
    window.Handle(WM_MOUSELEAVE, 0, 0);
    driver.Frame();
    EXPECT_TRUE(window.input.inside);
    driver.Move(minimize.x, minimize.y);
    window.Handle(WM_NCMOUSELEAVE, 0, 0);
    driver.Frame();
    EXPECT_TRUE(window.input.inside);
    window.Handle(WM_NCMOUSEMOVE, HTMAXBUTTON, pointAt(true));
    driver.Frame();
    window.Handle(WM_NCMOUSELEAVE, 0, 0);
    driver.Frame();
    EXPECT_FALSE(window.input.inside);
}

TEST(HeaderTest, UnderAnOpenDialogItsPanelAndTheBandAroundItAreTheDialogs) {
    FrameDriver::Options options = WithPersonaAndCharacter();
    options.settings.window_width = 1320;
    options.settings.window_height = 860;  // the default: a tall dialog's top lies under the band
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));
    Main::SettingsDialog& dialog = *window.settingsDialog;
    dialog.Open();
    driver.RunFor(0.6, kLongestFrame);
    const std::optional<Rect> panel = dialog.PanelRect();
    ASSERT_TRUE(panel.has_value());
    ASSERT_LT(panel->y + 23, MainWindow::kTitleBarHeight);
    const float bandY = 30;
    const float beside = panel->x - 40;

    // The dialog's title and the top of its close button take the press; so does the band beside
    // the panel, where a click closes the dialog; nothing of it drags the window.
    EXPECT_EQ(HitTestAt(window, panel->x + 120, panel->y + 20), HTCLIENT);
    const Rect close = {panel->x + panel->w - 24 - 34, panel->y + 23, 34, 34};
    EXPECT_EQ(HitTestAt(window, close.x + close.w / 2, close.y + 1), HTCLIENT);
    EXPECT_EQ(HitTestAt(window, beside, bandY), HTCLIENT);
    driver.Click(close.x + close.w / 2, close.y + 1);
    EXPECT_FALSE(dialog.IsOpen());
    driver.RunFor(0.5, kLongestFrame);
    EXPECT_EQ(HitTestAt(window, beside, bandY), HTCAPTION);

    dialog.Open();
    driver.RunFor(0.6, kLongestFrame);
    driver.Click(beside, bandY);
    EXPECT_FALSE(dialog.IsOpen());

    // A dialog that cannot be dismissed (the update dialog while it downloads) leaves the band
    // beside it to drag the window; its panel still never does.
    dialog.Open();
    driver.RunFor(0.6, kLongestFrame);
    dialog.dismissable = false;
    EXPECT_EQ(HitTestAt(window, beside, bandY), HTCAPTION);
    EXPECT_EQ(HitTestAt(window, panel->x + 120, panel->y + 20), HTCLIENT);
}

TEST(HeaderTest, MaximiseOffersRestoreWhileTheWindowIsMaximised) {
    EXPECT_EQ(Main::Header::MaximizeButtonLook(false).icon, static_cast<UI::Material::Icon>(91));
    EXPECT_EQ(Main::Header::MaximizeButtonLook(true).icon, static_cast<UI::Material::Icon>(93));

    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    TooltipRecorder tooltips(driver);
    driver.Frame();
    const Point maximize = ButtonCentre(driver, kMaximize);

    EXPECT_EQ(TooltipAt(driver, tooltips, maximize.x, maximize.y), L"Maximizar");
    driver.Press();
    driver.Release();
    ASSERT_TRUE(IsZoomed(window.hwnd));
    // Maximised, the window is wider: the button has moved with the right edge.
    driver.Frame();
    const Point restore = ButtonCentre(driver, kMaximize);
    EXPECT_EQ(TooltipAt(driver, tooltips, restore.x, restore.y), L"Restaurar");
    driver.Press();
    driver.Release();
    EXPECT_FALSE(IsZoomed(window.hwnd));
}

TEST(HeaderTest, TheCloseButtonClosesTheWindowAndTheMinimiseButtonMinimisesIt) {
    FrameDriver driver(WithPersonaAndCharacter());
    driver.Frame();
    const Point minimize = ButtonCentre(driver, kMinimize);
    driver.Click(minimize.x, minimize.y);
    EXPECT_TRUE(IsIconic(driver.Window().hwnd));
    ShowWindow(driver.Window().hwnd, SW_RESTORE);
    driver.Frames(2);

    const Point close = ButtonCentre(driver, kClose);
    driver.Click(close.x, close.y);
    driver.Frame();
    EXPECT_FALSE(driver.Opened());
}

TEST(HeaderTest, TheSyncDotShowsTheMostPressingState) {
    const UI::Material::Theme& palette = UI::Material::ReadyPalette();
    struct Case {
        bool syncing;
        bool offline;
        bool failed;
        Color expected;
    };
    const Case cases[] = {
        {true, true, true, palette.accent},   {true, false, false, palette.accent},
        {false, true, true, palette.warning}, {false, true, false, palette.warning},
        {false, false, true, palette.danger}, {false, false, false, palette.success},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.syncing << c.offline << c.failed);
        const Color got = Main::Header::SyncDotColor(c.syncing, c.offline, c.failed, palette);
        EXPECT_EQ(got.ToArgb(), c.expected.ToArgb());
    }
}

TEST(HeaderTest, TheSignedInAccountShowsItsDotAndStatusAndOpensTheProfile) {
    FrameDriver driver(WithPersonaAndCharacter());
    MainWindow& window = driver.Window();
    TooltipRecorder tooltips(driver);
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    cloud.account.refreshToken = "refresh";
    cloud.account.email = L"ana@example.com";
    cloud.offline = true;
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    const Point account = ButtonCentre(driver, kAccount);
    const std::vector<uint32_t> pixels = driver.Pixels();
    EXPECT_TRUE(SameColor(PixelAt(pixels, window.graphics.PixelWidth(), account.x + 10.5f, account.y + 10.5f),
                          UI::Material::ReadyPalette().warning));

    EXPECT_EQ(TooltipAt(driver, tooltips, account.x, account.y),
              L"ana@example.com\nSin conexión · los cambios se subirán más tarde");
    // Without a display name the profile opens to create one.
    driver.Press();
    driver.Release();
    EXPECT_EQ(driver.TopOverlay(), window.profileDialog.get());
    EXPECT_TRUE(window.profileDialog->createMode);
    window.profileDialog->Close();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    cloud.account.displayName = L"Ana";
    EXPECT_EQ(TooltipAt(driver, tooltips, account.x, account.y),
              L"Ana\nSin conexión · los cambios se subirán más tarde");
    driver.Press();
    driver.Release();
    EXPECT_EQ(driver.TopOverlay(), window.profileDialog.get());
    EXPECT_FALSE(window.profileDialog->createMode);
}

TEST(HeaderTest, TheAccountSettingsAndThemeButtonsOpenTheirDialogsAndAskForTheSwitch) {
    FrameDriver::Options options = WithPersonaAndCharacter();
    options.settings.temperature = 1.2;
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    TooltipRecorder tooltips(driver);
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    const Point account = ButtonCentre(driver, kAccount);
    EXPECT_EQ(TooltipAt(driver, tooltips, account.x, account.y), L"Iniciar sesión · copia en la nube");
    driver.Press();
    driver.Release();
    EXPECT_EQ(driver.TopOverlay(), window.accountDialog.get());
    window.accountDialog->Close();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    const Point settings = ButtonCentre(driver, kSettings);
    driver.Click(settings.x, settings.y);
    EXPECT_EQ(driver.TopOverlay(), window.settingsDialog.get());
    EXPECT_FLOAT_EQ(window.settingsDialog->temperature, 1.2f);
    window.settingsDialog->Close();
    ASSERT_TRUE(driver.Settle(10, kLongestFrame));

    // The dark theme offers the light one; a click asks for the switch from the button's centre.
    const Point theme = ButtonCentre(driver, kTheme);
    EXPECT_EQ(TooltipAt(driver, tooltips, theme.x, theme.y), L"Tema claro");
    driver.Press();
    driver.Release();
    EXPECT_TRUE(window.themeReveal.pending);
    EXPECT_EQ(window.themeReveal.centerX, theme.x);
    EXPECT_EQ(window.themeReveal.centerY, theme.y);
}

TEST(SplashTest, CoversTheWindowWithoutInputForItsTimeThenRests) {
    FrameDriver::Options options = WithPersonaAndCharacter();
    options.splash = true;
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    driver.Frame();
    const double start = window.splashStart;
    ASSERT_GE(start, 0);

    // A click on Usuarios while the splash shows reaches nothing.
    driver.Click(kRailX, RowCentreY(3));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    driver.RunFor(1.1 - (driver.Now() - start), kLongestFrame);
    driver.Click(kRailX, RowCentreY(3));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_FALSE(driver.Idle());

    // Over at 1.25 s: the window rests, and the rail answers.
    ASSERT_LT(driver.Now() - start, MainWindow::kSplashSeconds);
    EXPECT_TRUE(driver.Settle(0.5));
    EXPECT_LT(driver.Now() - start, MainWindow::kSplashSeconds + 0.2);
    driver.Click(kRailX, RowCentreY(3));
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
}

}  // namespace
}  // namespace Lorvex::Testing

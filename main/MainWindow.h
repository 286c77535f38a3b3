#pragma once
// The application's one window and the spine of the interface: it keeps its own frame (the
// client area covers the whole window: the title band moves it, its edges size it), owns the
// five screens and the ten overlays, switches screens with a slide-and-fade, draws the overlays
// above them with only the top-most open one taking input, shows the toasts the services ask
// for, and writes its size, maximised state and theme to the settings when it closes.
// UI thread only; Open reports by false that the window could not be made.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "domain/Records.h"
#include "main/Screen.h"
#include "main/kit/Toasts.h"
#include "main/overlays/Overlay.h"
#include "main/window/ThemeReveal.h"
#include "ui/Window.h"

namespace Lorvex::Main {

class HomeScreen;
class ChatScreen;
class CharacterFormScreen;
class PersonasScreen;
class PersonaFormScreen;
class ConfirmDialog;
class TextEditDialog;
class ChatConfigDialog;
class KnownCharactersDialog;
class KnownCharacterEditor;
class SettingsDialog;
class AccountDialog;
class ProfileDialog;
class UpdateDialog;
class ContextMenu;

// What the top-most open overlay makes of the title band, for the window's hit test.
struct BandCover {
    std::optional<Rect> panel;  // its panel (window DIPs): client area, never a drag
    bool takesBand = false;     // a click on the rest of the band is its outside click
};

class MainWindow : public UI::Window {
public:
    MainWindow();
    ~MainWindow() override;

    // Creates the window at the settings' size (at most the work area's, centred in it), connects
    // it to the services, shows the notice left by an update, starts the update checks of a build
    // that has a release channel, picks the first screen (the welcome form while there is no
    // persona, else home), shows the window (maximised when the settings say so) and brings it to
    // the front. False only when the window cannot be created; nothing else has been done then.
    bool Open();

    // The open main window, or null.
    static MainWindow* Current();

    // Makes a screen current, sliding it in unless it already is.
    void Navigate(int32_t screen);
    // Opens the character's chat and shows the chat screen; a null character does nothing.
    void OpenCharacter(const std::shared_ptr<Character>& character);

    // One frame: the screen layer, the overlays above it (only the top-most open one takes input),
    // the toasts. A new version found in the background opens the update dialog once the splash is
    // over and no overlay is open.
    void Draw() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // Stops the running replies, saves the open chat, and writes the restored size in DIPs, the
    // maximised state and the theme to the settings file. When either save fails (a file another
    // program kept held through the save's wait), the close is cancelled and a confirmation
    // offers to close without saving; closing again tries the saves again.
    void OnClose(bool* cancel) override;
    // Writes the settings file; a failure shows an error toast once per run of failures.
    void SaveSettings();
    void OnDestroy() override;
    Color BackgroundColor() override;

    // The screen layer: background, the current screen (sliding in), the rail and the title bar.
    void DrawContent();
    // The start-up splash over the window during its first kSplashSeconds; nothing beneath it
    // takes the pointer meanwhile.
    void DrawSplash(const Rect& window);
    static constexpr double kSplashSeconds = 1.25;

    // Height of the band at the top that moves the window, and the width of the sizing edges,
    // in DIPs.
    static constexpr float kTitleBarHeight = 58;
    static constexpr float kRailWidth = 86;
    static constexpr float kResizeBorder = 6;
    // The smallest client size the user can drag the window to, in DIPs.
    static constexpr int kMinWidth = 980;
    static constexpr int kMinHeight = 640;

    // The hit code for a point in DIPs from the client area's top-left corner, in a client area
    // of the given size in DIPs; points in a header rectangle belong to the client, and so do
    // those the cover of an open overlay takes. The maximise button answers HTMAXBUTTON, so that
    // Windows 11 offers its snap layouts over it (its clicks then arrive as non-client messages,
    // which UI::Window hands to the button).
    static LRESULT HitTest(float x, float y, float width, float height, bool maximized,
                           const std::vector<Rect>& headerHits, const BandCover& cover = {},
                           const std::optional<Rect>& maximizeButton = {});
    // The cover of the top-most open overlay; empty while none is open.
    BandCover TopOverlayCover() const;
    // The slide direction of a switch from one screen to another: +1 from the right, -1 from the left.
    static float SlideDirection(int32_t from, int32_t to);
    // Seconds after the splash began before a new version's notice may open the update dialog.
    static constexpr double kNewVersionDelay = 1.3;

    // The index in `overlays` of the top-most open overlay, -1 when none is open.
    int TopOpenOverlay() const;

    // ---- State other parts of the interface use ----

    Rect windowRect, titleBarRect, railRect, contentRect;  // DIPs, recomputed every frame
    int32_t currentScreen = kHomeScreen;
    double transitionStart = -10.0;
    float slideDirection = 1.0f;

    std::unique_ptr<HomeScreen> homeScreen;
    std::unique_ptr<ChatScreen> chatScreen;
    std::unique_ptr<CharacterFormScreen> characterFormScreen;
    std::unique_ptr<PersonasScreen> personasScreen;
    std::unique_ptr<PersonaFormScreen> personaFormScreen;
    std::array<Screen*, kScreenCount> screens{};  // the same objects by index

    std::unique_ptr<ConfirmDialog> confirmDialog;
    std::unique_ptr<TextEditDialog> textEditDialog;
    std::unique_ptr<ChatConfigDialog> chatConfigDialog;
    std::unique_ptr<KnownCharactersDialog> knownCharactersDialog;
    std::unique_ptr<KnownCharacterEditor> knownCharacterEditor;
    std::unique_ptr<SettingsDialog> settingsDialog;
    std::unique_ptr<AccountDialog> accountDialog;
    std::unique_ptr<ProfileDialog> profileDialog;
    std::unique_ptr<UpdateDialog> updateDialog;
    std::unique_ptr<ContextMenu> contextMenu;
    // Drawing order, bottom first: settings, update, account, profile, chat configuration, known
    // characters, known-character editor, text edit, confirmation, context menu.
    std::vector<Overlay*> overlays;
    bool modal = false;  // some overlay was open at the start of the frame

    ThemeReveal themeReveal;
    Kit::Toasts toasts;
    std::vector<Rect> headerHits;  // the title bar's buttons, refilled every frame
    std::optional<Rect> maximizeButton;  // the one of them that maximises and restores
    double splashStart = -1.0;

private:
    void ConnectServices();
    void Detach();
    void PlaceInWorkArea();
    void SetIcons();
    // Clears the keyboard focus when the top-most open overlay is another than last seen, so typed
    // text and Escape go to the top dialog and never to a field beneath it.
    void FollowTopOverlay(int top);

    bool connected_ = false;
    int seenTopOverlay_ = -1;
    bool closeUnsaved_ = false;         // the user chose to close without the saves that failed
    bool settingsSaveFailing_ = false;  // the last settings save failed and was reported
};

}  // namespace Lorvex::Main

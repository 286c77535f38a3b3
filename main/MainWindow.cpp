#include "main/MainWindow.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/editors/PersonasScreen.h"
#include "main/home/HomeScreen.h"
#include "main/updates/UpdateDialog.h"
#include "main/window/Header.h"
#include "main/window/Rail.h"
#include "services/state/AppState.h"
#include "services/updates/Updates.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

MainWindow* current = nullptr;

constexpr double kTransitionSeconds = 0.34;

}  // namespace

MainWindow::MainWindow() {
    homeScreen = std::make_unique<HomeScreen>(this);
    chatScreen = std::make_unique<ChatScreen>(this);
    characterFormScreen = std::make_unique<CharacterFormScreen>(this);
    personasScreen = std::make_unique<PersonasScreen>(this);
    personaFormScreen = std::make_unique<PersonaFormScreen>(this);
    screens = {homeScreen.get(), chatScreen.get(), characterFormScreen.get(), personasScreen.get(),
               personaFormScreen.get()};

    confirmDialog = std::make_unique<ConfirmDialog>(this);
    textEditDialog = std::make_unique<TextEditDialog>(this);
    chatConfigDialog = std::make_unique<ChatConfigDialog>(this);
    knownCharactersDialog = std::make_unique<KnownCharactersDialog>(this);
    knownCharacterEditor = std::make_unique<KnownCharacterEditor>(this);
    settingsDialog = std::make_unique<SettingsDialog>(this);
    accountDialog = std::make_unique<AccountDialog>(this);
    profileDialog = std::make_unique<ProfileDialog>(this);
    updateDialog = std::make_unique<UpdateDialog>(this);
    contextMenu = std::make_unique<ContextMenu>(this);
    overlays = {settingsDialog.get(),       updateDialog.get(),     accountDialog.get(),
                profileDialog.get(),        chatConfigDialog.get(), knownCharactersDialog.get(),
                knownCharacterEditor.get(), textEditDialog.get(),   confirmDialog.get(),
                contextMenu.get()};
    current = this;
}

MainWindow::~MainWindow() {
    Detach();
    if (current == this) {
        current = nullptr;
    }
    headerHits.clear();
    overlays.clear();
    // The parts go in the reverse of the order they were built in.
    contextMenu.reset();
    updateDialog.reset();
    profileDialog.reset();
    accountDialog.reset();
    settingsDialog.reset();
    knownCharacterEditor.reset();
    knownCharactersDialog.reset();
    chatConfigDialog.reset();
    textEditDialog.reset();
    confirmDialog.reset();
    screens = {};
    personaFormScreen.reset();
    personasScreen.reset();
    characterFormScreen.reset();
    chatScreen.reset();
    homeScreen.reset();
}

float MainWindow::SlideDirection(int32_t from, int32_t to) {
    if (from == kHomeScreen) {
        return 1.0f;
    }
    return to < from ? -1.0f : 1.0f;
}

void MainWindow::Navigate(int32_t screen) {
    if (screen < 0 || screen >= kScreenCount) {
        return;
    }
    if (screen == currentScreen) {
        screens[screen]->OnShow();
        return;
    }
    slideDirection = SlideDirection(currentScreen, screen);
    transitionStart = ui.time;
    currentScreen = screen;
    ui.focus = 0;
    screens[screen]->OnShow();
    dirty = true;
}

void MainWindow::OpenCharacter(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    Services::AppState::Instance().OpenCharacter(character);
    chatScreen->ResetForChat();
    Navigate(kChatScreen);
}

int MainWindow::TopOpenOverlay() const {
    for (int i = static_cast<int>(overlays.size()) - 1; i >= 0; --i) {
        if (overlays[i]->IsOpen()) {
            return i;
        }
    }
    return -1;
}

void MainWindow::FollowTopOverlay(int top) {
    if (top != seenTopOverlay_) {
        seenTopOverlay_ = top;
        ui.focus = 0;
    }
}

void MainWindow::Draw() {
    const float w = graphics.Width();
    const float h = graphics.Height();
    windowRect = {0, 0, w, h};
    titleBarRect = {0, 0, w, kTitleBarHeight};
    railRect = {0, kTitleBarHeight, kRailWidth, h - kTitleBarHeight};
    contentRect = {kRailWidth, kTitleBarHeight, w - kRailWidth, h - kTitleBarHeight};
    headerHits.clear();
    maximizeButton.reset();
    // Scroll bars read their colours from the palette themselves, so they follow the theme.
    UI::Material::ReadyPalette();
    if (splashStart < 0) {
        splashStart = ui.time;
    }

    int topOpen = TopOpenOverlay();
    if (topOpen < 0 && ui.time - splashStart > kNewVersionDelay) {
        const std::wstring note = std::exchange(Services::Updates::NewVersionNotice(), std::wstring());
        if (!note.empty()) {
            updateDialog->Open();
            topOpen = TopOpenOverlay();
        }
    }
    FollowTopOverlay(topOpen);
    modal = topOpen >= 0;

    ui.hitSuspended = modal;
    if (themeReveal.pending) {
        themeReveal.Start(graphics, windowRect, ui.time, hwnd, [this] { DrawContent(); });
        SaveSettings();
    } else {
        DrawContent();
        themeReveal.Draw(graphics, windowRect, ui.time);
    }
    if (themeReveal.Busy()) {
        ui.redraw = true;
    }
    // An overlay opened while the screens drew gets a clear focus before it draws; so does one
    // that comes to the top while the overlays draw.
    FollowTopOverlay(TopOpenOverlay());
    for (int i = 0; i < static_cast<int>(overlays.size()); ++i) {
        if (overlays[i]->IsVisible()) {
            ui.hitSuspended = i != topOpen;
            overlays[i]->Draw(ui, windowRect);
            FollowTopOverlay(TopOpenOverlay());
        }
    }
    ui.hitSuspended = false;
    toasts.Draw(ui, contentRect);
    DrawSplash(windowRect);
}

MainWindow* MainWindow::Current() {
    return current;
}

void MainWindow::DrawContent() {
    graphics.FillRect(windowRect, UI::Material::ReadyPalette().background);
    ui.PushClip(contentRect);
    const double t = std::clamp((ui.time - transitionStart) / kTransitionSeconds, 0.0, 1.0);
    if (t < 1 || transitionStart > ui.time) {
        ui.redraw = true;
    }
    const float g = static_cast<float>(1 - std::pow(1 - t, 3));
    const bool sliding = g < 1;
    if (sliding) {
        graphics.PushLayer(g, nullptr);
        ui.PushTranslate((1 - g) * slideDirection * 26, (1 - g) * 18);
    }
    screens[currentScreen]->Draw(ui, contentRect);
    if (sliding) {
        ui.PopTransform();
        graphics.PopLayer();
    }
    ui.PopClip();
    Rail::Draw(ui, *this, railRect);
    Header::Draw(ui, *this, titleBarRect);
}

}  // namespace Lorvex::Main

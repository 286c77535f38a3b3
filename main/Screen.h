#pragma once
// One of the five screens the content area of the main window shows, one at a time. A screen
// draws itself and handles its input in Draw; it changes screen only by asking its owner to
// navigate. UI thread only; nothing here fails.

#include <string>

#include "graphics/Types.h"
#include "ui/Ui.h"

namespace Lorvex::Main {

class MainWindow;

class Screen {
public:
    explicit Screen(MainWindow* owner) : owner(owner) {}
    virtual ~Screen() = default;
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // Draws the screen in the content rectangle and handles its input for this frame.
    virtual void Draw(UI::Ui& ui, const Rect& content) = 0;
    // The screen was made current, or asked to become current while it already was.
    virtual void OnShow() = 0;
    // The subtitle the title bar shows beside the application's name.
    virtual std::wstring Title() = 0;

    MainWindow* owner;  // not owned: the window owns the screen
    // Ui clock of the moment the screen was last shown; -1 makes the next Draw stamp it.
    double shownAt = -10.0;
};

// The screens by index: the index is what Navigate takes and decides the slide direction.
enum ScreenIndex : int32_t {
    kHomeScreen = 0,
    kChatScreen = 1,
    kCharacterFormScreen = 2,
    kPersonasScreen = 3,
    kPersonaFormScreen = 4,
    kScreenCount = 5,
};

}  // namespace Lorvex::Main

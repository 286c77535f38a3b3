#pragma once
// The application's one window. So far it draws the palette's background, keeps its own frame
// (the client area covers the whole window: its top band moves it, its edges size it), remembers
// its size, maximised state and theme in the settings when it closes, and ends the main loop
// when it is destroyed. UI thread only; Open reports by false that the window could not be made.

#include "ui/Window.h"

namespace Lorvex::Main {

class MainWindow : public UI::Window {
public:
    MainWindow();
    ~MainWindow() override;

    // Creates the window at the settings' size, connects it to the services, shows it (maximised
    // when the settings say so) and brings it to the front. False only when the window cannot
    // be created; nothing else has been done then.
    bool Open();

    // The open main window, or null.
    static MainWindow* Current();

    void Draw() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnClose(bool* cancel) override;
    void OnDestroy() override;
    Color BackgroundColor() override;

    // Height of the band at the top that moves the window, and the width of the sizing edges,
    // in DIPs.
    static constexpr float kTitleBarHeight = 40;
    static constexpr float kResizeBorder = 6;
    // The smallest client size the user can drag the window to, in DIPs.
    static constexpr int kMinWidth = 980;
    static constexpr int kMinHeight = 640;

    // The hit code for a point in client pixels of a window of the given pixel size.
    static LRESULT HitTest(int x, int y, int width, int height, float dpi, bool maximized);

private:
    void Detach();
    bool connected_ = false;
};

}  // namespace Lorvex::Main

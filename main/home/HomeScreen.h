#pragma once
// The home screen: the character cards, search and sort. For now a stand-in that shows its title. UI thread only.

#include "main/Screen.h"

namespace Lorvex::Main {

class HomeScreen : public Screen {
public:
    explicit HomeScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;
};

}  // namespace Lorvex::Main

#pragma once
// The list of the user's personas. For now a stand-in that shows its title. UI thread only.

#include "main/Screen.h"

namespace Lorvex::Main {

class PersonasScreen : public Screen {
public:
    explicit PersonasScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;
};

}  // namespace Lorvex::Main

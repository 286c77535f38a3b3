#pragma once
// The persona form, also the first-run welcome. For now a stand-in that shows its title. UI thread only.

#include "main/Screen.h"

namespace Lorvex::Main {

class PersonaFormScreen : public Screen {
public:
    explicit PersonaFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;
};

}  // namespace Lorvex::Main

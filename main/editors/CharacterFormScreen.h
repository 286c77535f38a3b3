#pragma once
// The character form: a new character, an edit, or the second character of a duo. For now a stand-in that shows its title. UI thread only.

#include "main/Screen.h"

namespace Lorvex::Main {

class CharacterFormScreen : public Screen {
public:
    explicit CharacterFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;
};

}  // namespace Lorvex::Main

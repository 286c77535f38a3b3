#pragma once
// The character form: a new character, an edit of one, or the two characters of a new duo. For
// now a stand-in that shows its title; it keeps the step, the edited character and the screen to
// go back to. Callers start it, then navigate to it. UI thread only; nothing fails.

#include <cstdint>
#include <memory>

#include "domain/Records.h"
#include "main/Screen.h"

namespace Lorvex::Main {

class CharacterFormScreen : public Screen {
public:
    enum Step : int32_t { NewCharacter = 0, EditCharacter = 1, DuoSecond = 2 };

    explicit CharacterFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;

    // Prepares a new single character.
    void StartNew();
    // Prepares an edit of the character; a null character does nothing.
    void StartEdit(const std::shared_ptr<Character>& character);

    int32_t step = NewCharacter;
    std::shared_ptr<Character> edited;   // null unless a character is edited
    int32_t returnScreen = kHomeScreen;  // where cancelling and a saved edit go
    double stepShownAt = -10.0;

private:
    // The screen shown now, or home when that is this form.
    int32_t ScreenToReturnTo() const;
};

}  // namespace Lorvex::Main

#pragma once
// The character form: a new character, an edit of one, or the two characters of a new duo entered
// one after the other. It edits a draft in five cards (identity, speech style, personality, scene,
// known characters), checks the required fields and saves each step through AppState, saying with
// a toast whether the files were written. Callers start it, then navigate to it.
// UI thread only. A failed save shows an error toast and leaves the form as it was; an edited
// character that is no longer in AppState (removed by a pull meanwhile) is not written at all.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "main/Screen.h"
#include "main/editors/CharacterDraft.h"

namespace Lorvex::Main {

class CharacterFormScreen : public Screen {
public:
    enum Step : int32_t { NewCharacter = 0, EditCharacter = 1, DuoSecond = 2 };

    // Inner widths from this one on lay the cards out in two columns.
    static constexpr float kTwoColumnWidth = 940;

    explicit CharacterFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;

    // Prepares a new single character.
    void StartNew();
    // Prepares an edit of the character; a null character does nothing.
    void StartEdit(const std::shared_ptr<Character>& character);

    // Turns the error marks on; false, with an error toast, when a required field is blank.
    bool Validate();
    // On the duo's second step, back to the first character; else back to the screen it came from.
    void Back();
    // The first character is done: keeps it and starts the second one of the duo.
    void StartDuo();
    // The save of the current step, for a draft that passed Validate.
    void Save();
    // The known-character editor for a new person, or for a copy of row index; what it hands back
    // goes into the draft (an edit only while that row still exists).
    void AddKnown();
    void EditKnown(size_t index);

    // The style names of the speech-style table, in its order.
    static std::vector<std::wstring> SpeechStyleNames();
    // The height a wrapping row of choice chips for the options needs in width.
    static float ChipRowsHeight(UI::Ui& ui, float width, const std::vector<std::wstring>& options);

    int32_t step = NewCharacter;
    CharacterDraft draft;                // the one every card edits
    CharacterDraft duoFirst;             // the duo's first character while on DuoSecond
    std::shared_ptr<Character> edited;   // null unless a character is edited
    int32_t returnScreen = kHomeScreen;  // where cancelling and a saved edit go
    bool showErrors = false;
    bool resetScroll = false;
    double stepShownAt = -10.0;

private:
    // The screen shown now, or home when that is this form.
    int32_t ScreenToReturnTo() const;
    // Moves to another step: no error marks, the scroll at the top, the content sliding in.
    void ChangeStep(int32_t next, double now);

    void SaveEdit();
    void SaveNew();
    void SaveDuo();
    // BuildCharacter, announcing a photo that could not be copied.
    std::shared_ptr<Character> Build(const CharacterDraft& from, const std::shared_ptr<Character>& base);
    void Saved(bool written, const std::wstring& success, int32_t next);
    // A new record whose files could not all be written leaves AppState, the disk and "images" again.
    void TakeBack(const std::shared_ptr<Character>& record, const CharacterDraft& from);

    void DrawHeader(UI::Ui& ui, const Rect& content);
    void DrawStepIndicator(UI::Ui& ui, const Rect& content);
    void DrawCards(UI::Ui& ui, const Rect& content);
    void DrawFooter(UI::Ui& ui, const Rect& footer);

    // ---- The cards (CharacterFormSections.cpp, CharacterFormKnown.cpp) ----

    using Painter = float (CharacterFormScreen::*)(UI::Ui& ui, float x, float y, float width);
    // Draws one card entering by its index and returns its height.
    float DrawStaggered(UI::Ui& ui, int index, Painter painter, float x, float y, float width);
    // The frame of a card of height h; the rect its content goes in.
    static Rect DrawSectionCard(UI::Ui& ui, const Rect& card, const std::wstring& title, int32_t icon);
    // Whether the error marks are on and the text is blank.
    bool IsMissing(const std::wstring& text) const;

    float DrawIdentity(UI::Ui& ui, float x, float y, float width);
    float DrawSpeech(UI::Ui& ui, float x, float y, float width);
    float DrawPersonality(UI::Ui& ui, float x, float y, float width);
    float DrawScene(UI::Ui& ui, float x, float y, float width);
    float DrawKnown(UI::Ui& ui, float x, float y, float width);
    void DrawPhoto(UI::Ui& ui, float x, float y, float width);
    void ChoosePhoto();
};

}  // namespace Lorvex::Main

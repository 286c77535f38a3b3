#pragma once
// The list of the user's personas ("usuarios"): a card per persona with its avatar, name, age and
// gender, a badge on the one in use, and buttons to edit it in the persona form or delete it
// after a confirmation; a button (or the empty state) starts a new one. It keeps no records of
// its own and reads the application state every frame. The placement of the cards and the texts
// they show are pure functions, for the screen and its tests. UI thread only; nothing fails.

#include <memory>
#include <string>

#include "domain/Records.h"
#include "main/Screen.h"

namespace Lorvex::Main {

class PersonasScreen : public Screen {
public:
    // Where the header and the cards go in a content rectangle, unscrolled.
    struct Grid {
        float left = 0;
        float width = 0;
        float top = 0;  // of the header; the cards start kListOffset below
        int columns = 1;
        float cardWidth = 0;

        Rect Card(size_t index) const;
        // The height the cards of count personas take.
        float ListHeight(size_t count) const;
    };
    static constexpr float kMinCardWidth = 280;
    static constexpr float kGap = 18;
    static constexpr float kCardHeight = 196;
    static constexpr float kRowStep = 214;
    static constexpr float kListOffset = 92;

    explicit PersonasScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    void OnShow() override;
    std::wstring Title() override;

    // As many columns of at least kMinCardWidth, kGap apart, as the width holds; at least one.
    static int Columns(float width);
    static Grid GridFor(const Rect& content);
    // The card's two buttons along its bottom.
    static Rect EditButton(const Rect& card);
    static Rect DeleteButton(const Rect& card);
    // The persona in use: the current one when set, else the first of the list, else none.
    static std::shared_ptr<Persona> InUse();
    // "<age> años · <gender>", or the gender alone when the age is empty.
    static std::wstring Details(const Persona& persona);

private:
    void DrawCard(UI::Ui& ui, const Rect& card, const std::shared_ptr<Persona>& persona, size_t index, bool inUse);
    void StartNew();
    void Edit(const std::shared_ptr<Persona>& persona);
    void AskDelete(const std::shared_ptr<Persona>& persona);
};

}  // namespace Lorvex::Main

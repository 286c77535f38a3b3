#pragma once
// The home screen: a greeting panel with the user's counters and the two ways to start, then every
// character as a card in a grid that can be searched by name and ordered by recent activity or
// alphabetically. Each card opens its chat and has a menu to edit the character or the people it
// knows and to delete its chats or the character itself (after a confirmation). Everything shown is
// read from the application state in every frame, except the filtered and sorted list and the
// counters, which are kept until the records, the search text or the order change. Cards far from
// the visible part of the grid are not drawn at all, so a long list costs neither its drawing nor,
// at rest, its filter and sort. UI thread only; nothing fails (a record that vanished before a
// menu action acts is reported by a toast and left alone).

#include <cstddef>
#include <memory>
#include <string>

#include "domain/Records.h"
#include "main/home/HomeList.h"
#include "main/Screen.h"

namespace Lorvex::Main {

class HomeScreen : public Screen {
public:
    explicit HomeScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    // Restarts the entrance of the panel, the toolbar and the cards.
    void OnShow() override;
    std::wstring Title() override;

    // The greeting panel.
    void DrawHero(UI::Ui& ui, const Rect& panel);
    // One card; index is its place in the display order, which staggers its entrance.
    void DrawCard(UI::Ui& ui, const Rect& card, const std::shared_ptr<Character>& character, size_t index);
    // Opens the card menu below the anchor (window coordinates), its right edge on the anchor's.
    void ShowCardMenu(const Rect& anchor, const std::shared_ptr<Character>& character);

    std::wstring searchText;
    bool sortAlphabetical = false;  // else "Recientes"
    // How many cards the latest frame drew.
    size_t cardsDrawn = 0;

private:
    Home::ShownCharacters shownCharacters_;

    void DrawToolbar(UI::Ui& ui, const Rect& row, size_t characterCount);
    void DrawSearchBox(UI::Ui& ui, const Rect& box);

    // Whether the character is still one of the application state's; a toast says it is not.
    bool StillThere(const std::shared_ptr<Character>& character);
    void EditKnownPeople(const std::shared_ptr<Character>& character);
    void AskToDeleteChats(const std::shared_ptr<Character>& character);
    void AskToDeleteCharacter(const std::shared_ptr<Character>& character);
};

}  // namespace Lorvex::Main

// The home screen on the real main window, driven as a user drives it: a new user's invitation,
// cards that open their chat, the card menu and its confirmations with the files they remove from
// the data folder, the search and the two orders as the grid shows them, and a long list of
// which only the cards near the viewport are drawn.

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/home/HomeLayout.h"
#include "main/home/HomeScreen.h"
#include "main/kit/EmptyState.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "tests/support/AgreedWithCloud.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;
using UI::Material::Icon;

// Frames this far apart where only where things come to rest matters: each frame of the whole
// home screen costs much under the test machine's software renderer.
constexpr double kLongStep = 0.05;

bool Rest(FrameDriver& driver) {
    return driver.Settle(10, kLongStep);
}

// Home again from wherever the test went, at rest.
bool BackHome(FrameDriver& driver) {
    driver.Window().Navigate(Main::kHomeScreen);
    return Rest(driver);
}

std::shared_ptr<Character> MakeCharacter(const std::wstring& name, int chats, const std::wstring& stamp) {
    auto character = Character::Create();
    character->name = name;
    for (int i = 0; i < chats; ++i) {
        auto chat = Chat::Create();
        chat->timestamp = stamp;
        auto message = Message::Create(L"assistant", L"Hola, soy " + name);
        message->timestamp = stamp;
        chat->messages.push_back(message);
        character->chats->push_back(chat);
    }
    return character;
}

FrameDriver::Options WithPersona(std::vector<std::shared_ptr<Character>> characters = {}) {
    FrameDriver::Options options;
    auto persona = std::make_shared<Persona>();
    persona->id = L"persona-1";
    persona->name = L"Lucía";
    options.personas.push_back(persona);
    options.characters = std::move(characters);
    return options;
}

// Ana has no chats, Bruno an old one, Carla two recent ones: "Recientes" shows Carla, Bruno, Ana.
FrameDriver::Options ThreeCharacters() {
    return WithPersona({MakeCharacter(L"Ana", 0, L""), MakeCharacter(L"Bruno", 1, L"2025-01-10T10:00:00"),
                        MakeCharacter(L"Carla", 2, L"2025-03-05T10:00:00")});
}

std::shared_ptr<Character> Find(const std::wstring& name) {
    for (const auto& character : FrameDriver::State().characters) {
        if (character->name == name) {
            return character;
        }
    }
    return nullptr;
}

// Where things are on the home screen of the driven window, at rest and unscrolled.
struct HomeGeometry {
    explicit HomeGeometry(FrameDriver& driver) : driver(driver), content(driver.Window().contentRect) {}

    Rect Card(size_t index) const { return Main::Home::CardRect(Main::Home::GridFor(content), index); }
    void ClickCard(size_t index) {
        const Rect card = Card(index);
        driver.Click(card.x + 60, card.y + 130);
    }
    void ClickMenuButton(size_t index) {
        const Rect card = Card(index);
        driver.Click(card.x + card.w - 33, card.y + card.h - 32);
    }
    void ClickChatButton(size_t index) {
        const Rect card = Card(index);
        driver.Click(card.x + card.w - 76, card.y + card.h - 32);
    }
    float ChoiceChipWidth(const std::wstring& label) const {
        return std::ceil(driver.Window().graphics.MeasureText(label, Main::Kit::KitStyle(13, 500), 100000).width + 28);
    }
    float ToolbarCentre() const { return Main::Home::ToolbarTop(content) + 22; }
    float ToolbarRight() const { return content.x + content.w - Main::Home::kMargin; }
    void ClickAlphabetical() { driver.Click(ToolbarRight() - 10, ToolbarCentre()); }
    void ClickRecent() { driver.Click(ToolbarRight() - ChoiceChipWidth(L"A-Z") - 8 - 10, ToolbarCentre()); }
    // The search box ends 16 DIPs left of "Recientes" and is 300 wide when there is room.
    void ClickSearch() {
        const float end = ToolbarRight() - ChoiceChipWidth(L"A-Z") - 8 - ChoiceChipWidth(L"Recientes") - 16;
        driver.Click(end - 150, ToolbarCentre());
    }
    void ClickClearSearch() {
        const float end = ToolbarRight() - ChoiceChipWidth(L"A-Z") - 8 - ChoiceChipWidth(L"Recientes") - 16;
        driver.Click(end - 21, ToolbarCentre());
    }

    // Chooses a menu item by its index once the items have come in.
    void ChooseMenuItem(size_t index) {
        MainWindow& window = driver.Window();
        driver.RunFor(0.5, kLongStep);
        const Rect menu = window.contextMenu->Placement(window.windowRect);
        float y = menu.y + 6;
        for (size_t i = 0; i < index; ++i) {
            y += 40 + (window.contextMenu->items[i + 1].separator ? 9 : 0);
        }
        if (index == 0 && window.contextMenu->items[0].separator) {
            y += 9;
        }
        driver.Click(menu.x + 60, y + 20);
    }

    FrameDriver& driver;
    Rect content;
};

TEST(HomeScreen, ANewUserIsInvitedToCreateTheFirstCharacter) {
    FrameDriver driver(WithPersona());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 0u);

    // The empty state's button lies 206 below the top of its content, centred in the body.
    const Rect content = window.contentRect;
    const Rect body = {content.x + 28, Main::Home::BodyTop(content), content.w - 56, 330};
    window.characterFormScreen->step = Main::CharacterFormScreen::EditCharacter;
    driver.Click(body.x + body.w / 2, Main::Kit::EmptyStateTop(body, true) + 206 + 21);
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->step, Main::CharacterFormScreen::NewCharacter);

    // The panel's two buttons, right-aligned 30 DIPs inside it.
    ASSERT_TRUE(BackHome(driver));
    const Rect hero = Main::Home::HeroRect(content);
    driver.Click(hero.x + hero.w - 50, hero.y + 92 + 20);
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    ASSERT_TRUE(BackHome(driver));
    window.characterFormScreen->step = Main::CharacterFormScreen::EditCharacter;
    driver.Click(hero.x + hero.w - 50, hero.y + 36 + 22);
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->step, Main::CharacterFormScreen::NewCharacter);
}

TEST(HomeScreen, ACardOpensItsChatFromItsBodyOrItsButtonAndItsMenuFromTheOtherButton) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 3u);

    home.ClickCard(0);
    EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen);
    EXPECT_EQ(driver.State().currentCharacter, Find(L"Carla"));

    ASSERT_TRUE(BackHome(driver));
    home.ClickChatButton(1);
    EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen);
    EXPECT_EQ(driver.State().currentCharacter, Find(L"Bruno"));

    // The menu button is the card's own too, but it opens only the menu.
    ASSERT_TRUE(BackHome(driver));
    home.ClickMenuButton(2);
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(driver.TopOverlay(), window.contextMenu.get());
    EXPECT_EQ(driver.State().currentCharacter, Find(L"Bruno"));
}

TEST(HomeScreen, ACardsPreviewDrawsTwoLinesAtMostWhateverTheTextEngineDoes) {
    auto ana = MakeCharacter(L"Ana", 1, L"2025-03-05T10:00:00");
    std::wstring line;
    for (int i = 0; i < 40; ++i) {
        line += L"Una frase larga que no cabe en dos líneas. ";
    }
    ana->chats->front()->messages.front()->content = line;
    FrameDriver driver(WithPersona({ana}));
    ASSERT_TRUE(Rest(driver));
    const Rect card = HomeGeometry(driver).Card(0);
    const std::vector<uint32_t> pixels = driver.Pixels();
    const int width = driver.Surface().graphics.PixelWidth();
    ASSERT_EQ(driver.Surface().graphics.Dpi(), 96.0f);

    // From the second line's end down to the divider, the preview's column is the card's plain
    // surface, as in its left margin.
    const int previewBottom = static_cast<int>(card.y + 104 + 2 * 19);
    const int divider = static_cast<int>(card.y + card.h - 58);
    ASSERT_LT(previewBottom + 2, divider);
    int inked = 0;
    for (int y = previewBottom + 1; y < divider; ++y) {
        const uint32_t surface = pixels[static_cast<size_t>(y) * width + static_cast<size_t>(card.x + 10)];
        for (int x = static_cast<int>(card.x + 18); x < static_cast<int>(card.x + card.w - 18); ++x) {
            inked += pixels[static_cast<size_t>(y) * width + x] != surface ? 1 : 0;
        }
    }
    EXPECT_EQ(inked, 0);
    // The two lines themselves are there.
    int text = 0;
    for (int y = static_cast<int>(card.y + 106); y < previewBottom; ++y) {
        const uint32_t surface = pixels[static_cast<size_t>(y) * width + static_cast<size_t>(card.x + 10)];
        for (int x = static_cast<int>(card.x + 18); x < static_cast<int>(card.x + card.w - 18); ++x) {
            text += pixels[static_cast<size_t>(y) * width + x] != surface ? 1 : 0;
        }
    }
    EXPECT_GT(text, 100);
}

TEST(HomeScreen, TheCardMenuOffersItsEntriesBelowTheButtonOrAtTheRightClick) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);

    home.ClickMenuButton(0);
    const Main::ContextMenu& menu = *window.contextMenu;
    ASSERT_TRUE(menu.IsOpen());
    const struct {
        const wchar_t* label;
        Icon icon;
        bool danger;
        bool separator;
    } expected[] = {
        {L"Abrir chat", Icon::Chat, false, false},
        {L"Editar personaje", Icon::Pencil, false, false},
        {L"Personajes conocidos", Icon::PersonGroup, false, false},
        {L"Borrar todos los chats", Icon::DeleteSweep, true, true},
        {L"Borrar personaje", Icon::Delete, true, false},
    };
    ASSERT_EQ(menu.items.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(menu.items[i].label, expected[i].label);
        EXPECT_EQ(menu.items[i].icon, expected[i].icon) << i;
        EXPECT_EQ(menu.items[i].danger, expected[i].danger) << i;
        EXPECT_EQ(menu.items[i].separator, expected[i].separator) << i;
        EXPECT_TRUE(menu.items[i].enabled);
    }
    // Below the button, its right edge on the button's.
    const Rect card = home.Card(0);
    EXPECT_TRUE(menu.alignRight);
    EXPECT_FALSE(menu.preferAbove);
    EXPECT_FLOAT_EQ(menu.anchor.x + menu.anchor.w, card.x + card.w - 16);
    EXPECT_FLOAT_EQ(menu.anchor.y, card.y + card.h - 49);

    // "Editar personaje" edits this card's character on the form.
    home.ChooseMenuItem(1);
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(window.characterFormScreen->edited, Find(L"Carla"));

    // A right click on the card opens the same menu at the pointer.
    ASSERT_TRUE(BackHome(driver));
    driver.Click(card.x + 60, card.y + 130, UI::Button::Right);
    ASSERT_TRUE(menu.IsOpen());
    EXPECT_EQ(menu.items.size(), 5u);
    EXPECT_FLOAT_EQ(menu.anchor.x, card.x + 60);
    EXPECT_FLOAT_EQ(menu.anchor.y, card.y + 130);
    home.ChooseMenuItem(0);
    EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen);
    EXPECT_EQ(driver.State().currentCharacter, Find(L"Carla"));
}

TEST(HomeScreen, DeletingAllChatsAsksFirstThenRemovesTheChatFiles) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);
    const std::shared_ptr<Character> carla = Find(L"Carla");
    const std::wstring chats = Files::JoinPath(carla->folder, L"chats");
    ASSERT_EQ(Files::ListFiles(chats, L"*.json", false).size(), 2u);

    // Cancelled, nothing happens.
    home.ClickMenuButton(0);
    home.ChooseMenuItem(3);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->title, L"Borrar chats");
    EXPECT_EQ(window.confirmDialog->message, L"Se borrarán los 2 chats de Carla. Esta acción no se puede deshacer.");
    EXPECT_EQ(window.confirmDialog->confirmLabel, L"Borrar chats");
    EXPECT_TRUE(window.confirmDialog->danger);
    driver.RunFor(0.5, kLongStep);
    driver.Key(VK_ESCAPE);
    EXPECT_EQ(driver.TopOverlay(), nullptr);
    EXPECT_EQ(Files::ListFiles(chats, L"*.json", false).size(), 2u);

    // Confirmed, the chat files go and the character stays.
    ASSERT_TRUE(Rest(driver));
    home.ClickMenuButton(0);
    home.ChooseMenuItem(3);
    driver.RunFor(0.5, kLongStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_TRUE(Files::ListFiles(chats, L"*.json", false).empty());
    EXPECT_TRUE(carla->chats->empty());
    EXPECT_TRUE(Exists(Files::JoinPath(carla->folder, L"character.json")));
    EXPECT_EQ(driver.Toasts().back(), L"Chats borrados");

    // A character without chats asks nothing. (The toast may stay while the dialog fades.)
    driver.RunFor(0.5, kLongStep);
    home.ClickMenuButton(2);  // Ana, whose card is last
    home.ChooseMenuItem(3);
    EXPECT_EQ(driver.TopOverlay(), nullptr);
    EXPECT_EQ(driver.Toasts().back(), L"Ana no tiene chats.");
}

TEST(HomeScreen, DeletingACharacterAsksFirstThenRemovesItsFolder) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);
    const std::shared_ptr<Character> bruno = Find(L"Bruno");
    ASSERT_TRUE(IsFolder(bruno->folder));

    home.ClickMenuButton(1);
    home.ChooseMenuItem(4);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->title, L"Borrar personaje");
    EXPECT_EQ(window.confirmDialog->message,
              L"Se borrará a Bruno con todos sus chats. Esta acción no se puede deshacer.");
    EXPECT_EQ(window.confirmDialog->confirmLabel, L"Borrar");
    driver.RunFor(0.5, kLongStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);

    EXPECT_FALSE(Exists(bruno->folder));
    EXPECT_EQ(Find(L"Bruno"), nullptr);
    EXPECT_EQ(driver.Toasts().back(), L"Bruno se ha borrado");
    driver.RunFor(0.5, kLongStep);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 2u);
}

TEST(HomeScreen, AMenuActionOnACharacterThatLeftTheListWritesNothing) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);
    const std::shared_ptr<Character> carla = Find(L"Carla");
    const std::wstring characterFile = Files::JoinPath(carla->folder, L"character.json");

    // The known people's dialog saves its edited copy into the character and its file.
    home.ClickMenuButton(0);
    home.ChooseMenuItem(2);
    ASSERT_EQ(driver.TopOverlay(), window.knownCharactersDialog.get());
    ASSERT_EQ(window.knownCharactersDialog->groups.size(), 1u);
    EXPECT_EQ(window.knownCharactersDialog->groups[0].ownerLabel, L"Carla");
    std::vector<KnownCharacter> edited(1);
    edited[0].name = L"Marta";
    window.knownCharactersDialog->groups[0].onSave(edited);
    ASSERT_EQ(carla->known_characters.size(), 1u);
    EXPECT_NE(Content(characterFile).find("Marta"), std::string::npos);

    // A list that cannot be written says so: the dialog has closed before its callback runs.
    ASSERT_TRUE(Files::RemoveFile(characterFile));
    ASSERT_TRUE(Files::EnsureDir(characterFile));
    window.knownCharactersDialog->groups[0].onSave(edited);
    ASSERT_FALSE(driver.Toasts().empty());
    EXPECT_EQ(driver.Toasts().back(), L"No se pudieron guardar los cambios.");
    ASSERT_TRUE(Files::RemoveTree(characterFile));

    // A pull removes Carla while a confirmation and the dialog's callback still hold her.
    window.knownCharactersDialog->Close();
    ASSERT_TRUE(Rest(driver));
    home.ClickMenuButton(0);
    home.ChooseMenuItem(4);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    Services::CloudSync::RemoteItem removal;
    removal.kind = L"character";
    removal.id = carla->id;
    removal.deleted = true;
    AgreeWithCloudOnEverything();
    driver.State().ApplyRemoteItems({removal});
    ASSERT_FALSE(Exists(carla->folder));

    driver.RunFor(0.5, kLongStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_EQ(driver.Toasts().back(), L"Este personaje ya no existe.");
    window.knownCharactersDialog->groups[0].onSave(edited);
    EXPECT_FALSE(Exists(carla->folder));
    EXPECT_EQ(Find(L"Carla"), nullptr);
}

TEST(HomeScreen, SearchAndOrderDecideWhichCardsShowAndInWhatOrder) {
    FrameDriver driver(ThreeCharacters());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(Rest(driver));
    HomeGeometry home(driver);

    // "Recientes" puts Ana, who has never chatted, last; opening her starts her first chat, the
    // newest activity of all. "A-Z" puts Bruno second.
    const struct {
        const char* name;
        std::function<void()> choose;
        bool alphabetical;
        size_t card;
        const wchar_t* opens;
    } steps[] = {
        {"first order", [] {}, false, 2, L"Ana"},
        {"A-Z", [&] { home.ClickAlphabetical(); }, true, 1, L"Bruno"},
        {"Recientes", [&] { home.ClickRecent(); }, false, 0, L"Ana"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.choose();
        EXPECT_EQ(window.homeScreen->sortAlphabetical, step.alphabetical);
        ASSERT_TRUE(Rest(driver));
        home.ClickCard(step.card);
        EXPECT_EQ(driver.State().currentCharacter, Find(step.opens));
        ASSERT_TRUE(BackHome(driver));
    }

    // Typed into the search box, a part of a name leaves that character's card alone.
    home.ClickSearch();
    driver.Type(L"RUN");
    EXPECT_EQ(window.homeScreen->searchText, L"RUN");
    driver.Frames(2);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 1u);
    home.ClickCard(0);
    EXPECT_EQ(driver.State().currentCharacter, Find(L"Bruno"));
    EXPECT_EQ(driver.CurrentScreen(), Main::kChatScreen);

    // The search is kept across screens; nothing matches, then the clear button shows them all.
    ASSERT_TRUE(BackHome(driver));
    window.homeScreen->searchText = L"zz";
    driver.Frames(2);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 0u);
    home.ClickClearSearch();
    EXPECT_EQ(window.homeScreen->searchText, L"");
    driver.Frames(2);
    EXPECT_EQ(window.homeScreen->cardsDrawn, 3u);
}

TEST(HomeScreen, OnlyTheCardsNearTheViewportAreDrawnHoweverLongTheList) {
    struct Size {
        int width;
        int height;
        size_t drawn;  // at the top of the list
    };
    // 3 columns, rows at 356, 588 and 820 reach into the 860-high window; 2 columns and 2 rows
    // in the smallest window.
    for (const Size size : {Size{1320, 860, 9}, Size{980, 640, 4}}) {
        SCOPED_TRACE(size.width);
        std::vector<std::shared_ptr<Character>> many;
        for (int i = 0; i < 60; ++i) {
            many.push_back(MakeCharacter(L"Personaje " + std::to_wstring(i), 0, L""));
        }
        FrameDriver::Options options = WithPersona(many);
        options.settings.window_width = size.width;
        options.settings.window_height = size.height;
        FrameDriver driver(options);
        MainWindow& window = driver.Window();
        ASSERT_TRUE(Rest(driver));
        EXPECT_EQ(window.homeScreen->cardsDrawn, size.drawn);

        // Scrolled far down the list, no more rows are drawn than can reach into the viewport.
        driver.Scroll(size.width / 2.0f, size.height / 2.0f, -30);
        ASSERT_TRUE(Rest(driver));
        const float reach = window.contentRect.h + 2 * Main::Home::kCardVisibleMargin + Main::Home::kCardHeight;
        const size_t rows = static_cast<size_t>(std::ceil(reach / Main::Home::kRowPitch));
        EXPECT_GT(window.homeScreen->cardsDrawn, size.drawn);
        EXPECT_LE(window.homeScreen->cardsDrawn, rows * Main::Home::GridFor(window.contentRect).columns);
    }
}

}  // namespace
}  // namespace Lorvex::Testing

// The known people of a character: the pasted-list splitter, the editor's finished record, the
// row's detail line, the dialog's copies changed only by callbacks whose indices still hold, and
// a person made from a pasted list on the real window and saved into the character's file.

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "graphics/Graphics.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharacterRow.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/editors/PastedList.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "tests/main/MainWindowTestSupport.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/main/FieldMarks.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::KnownCharactersDialog;
using Main::MainWindow;
using Lines = std::vector<std::wstring>;

KnownCharacter Person(const std::wstring& name) {
    KnownCharacter person;
    person.name = name;
    return person;
}

std::vector<std::wstring> Names(const std::vector<KnownCharacter>& list) {
    std::vector<std::wstring> names;
    for (const KnownCharacter& person : list) {
        names.push_back(person.name);
    }
    return names;
}

TEST(PastedList, SplitsTraitsOutOfMarkersBlanksAndHeadings) {
    struct Case {
        const char* what;
        std::wstring text;
        Lines traits;
    };
    const std::vector<Case> cases = {
        {"heading, markers, an empty line",
         L"Rasgos:\n- Leal\n\u2022 Curiosa\n\n\u2014 Testaruda",
         {L"Leal", L"Curiosa", L"Testaruda"}},
        {"a long line ending in a colon is a trait",
         L"Rasgos:\nTiene una opinión sobre todo, incluso sobre esto:",
         {L"Tiene una opinión sobre todo, incluso sobre esto:"}},
        {"a heading after the first trait stays",
         L"Rasgos:\nValiente\nManías:\n* Ordenada",
         {L"Valiente", L"Manías:", L"Ordenada"}},
        {"only blanks, markers and a heading", L" - \n*\n \u2022 \n\u00A0\n\uFEFF\nRasgos:\n", {}},
        {"CR LF line ends", L"uno\r\ndos\r\n", {L"uno", L"dos"}},
        {"markers repeated and mixed with blanks", L"- * Risueña\n--  \u2013 Seria", {L"Risueña", L"Seria"}},
        {"a hyphen inside a trait stays", L"bien-humorada", {L"bien-humorada"}},
        {"the text after the last line feed", L"uno\n\tdos ", {L"uno", L"dos"}},
        {"nothing", L"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Main::SplitPastedList(c.text), c.traits) << c.what;
    }
}

TEST(PastedList, PastedTraitsFollowTheLinesThatAreNotBlank) {
    Lines lines = {L"", L"Leal", L" \u00A0\t", L"Tímida"};
    Main::AppendPastedLines(lines, {L"Curiosa", L"Testaruda"});
    EXPECT_EQ(lines, (Lines{L"Leal", L"Tímida", L"Curiosa", L"Testaruda"}));
}

TEST(KnownCharacterEditor, FinishedRecordIsTrimmedAndANameOfBlanksIsRefused) {
    for (const std::wstring blank : {L"", L"   ", L"\u00A0\uFEFF\t\r\n"}) {
        KnownCharacter person = Person(blank);
        person.age = L"30";
        EXPECT_FALSE(Main::KnownCharacterEditor::Finished(person).has_value());
    }

    KnownCharacter person = Person(L"  Marta\u00A0");
    person.age = L" 30 ";
    person.relationship = L"\tamiga ";
    person.description = L"\nLa vecina de arriba.\n";
    person.bubble_name = L" Marti ";
    person.importance = L"Principal";
    person.photoPath = L"C:\\fotos\\marta.png";
    person.personality = {L" Leal ", L"", L" \uFEFF ", L"Curiosa"};
    const std::optional<KnownCharacter> done = Main::KnownCharacterEditor::Finished(person);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(done->name, L"Marta");
    EXPECT_EQ(done->age, L"30");
    EXPECT_EQ(done->relationship, L"amiga");
    EXPECT_EQ(done->description, L"La vecina de arriba.");
    EXPECT_EQ(done->bubble_name, L"Marti");
    EXPECT_EQ(done->personality, (Lines{L"Leal", L"Curiosa"}));
    EXPECT_EQ(done->importance, L"Principal");
    EXPECT_EQ(done->photoPath, person.photoPath);
}

TEST(KnownCharacterRow, DetailLineJoinsWhatThereIsOnOneLine) {
    struct Case {
        std::wstring relationship;
        std::wstring description;
        Lines traits;
        std::wstring detail;
    };
    const std::vector<Case> cases = {
        {L"", L"", {}, L"Sin descripción"},
        {L"amiga", L"", {}, L"amiga"},
        {L"amiga", L"La vecina\nde arriba", {L"Leal"}, L"amiga · La vecina de arriba"},
        {L"", L"", {L"Leal", L"Curiosa"}, L"Leal"},
        {L"jefe", L"", {L"Serio"}, L"jefe · Serio"},
        {L"", L"Dos\r\nlíneas", {}, L"Dos  líneas"},
    };
    for (const Case& c : cases) {
        KnownCharacter person = Person(L"Marta");
        person.relationship = c.relationship;
        person.description = c.description;
        person.personality = c.traits;
        EXPECT_EQ(Main::Kit::KnownCharacterDetail(person), c.detail);
    }
}

// The dialog on a window that is never shown: its copies, the sub-dialogs' callbacks and the
// openers' callbacks, without drawing.
class KnownCharactersCopies : public MainWindowTest {
protected:
    std::vector<KnownCharacter> characterList = {Person(L"Bruno"), Person(L"Clara")};
    std::vector<KnownCharacter> userList = {Person(L"Dani")};
    std::vector<std::vector<std::wstring>> saved;  // each callback's names, in call order
    std::vector<bool> openDuringSave;

    void OpenBoth(MainWindow& window) {
        KnownCharactersDialog* dialog = window.knownCharactersDialog.get();
        dialog->Open(
            L"Ana", characterList,
            [this, dialog](const std::vector<KnownCharacter>& list) {
                saved.push_back(Names(list));
                openDuringSave.push_back(dialog->IsOpen());
            },
            L"Lucía", userList,
            [this, dialog](const std::vector<KnownCharacter>& list) {
                saved.push_back(Names(list));
                openDuringSave.push_back(dialog->IsOpen());
            });
    }
};

TEST_F(KnownCharactersCopies, EditsReachTheListsOnlyThroughSaveAfterTheDialogClosed) {
    MainWindow window;
    KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    Main::KnownCharacterEditor& editor = *window.knownCharacterEditor;
    OpenBoth(window);
    EXPECT_EQ(dialog.GroupTabs(), (Lines{L"De Ana", L"Tuyos (Lucía)"}));

    // Edit Clara, add Eva to the user's list, remove Bruno: the editor works on its own copy.
    dialog.EditRow(0, 1);
    ASSERT_TRUE(editor.IsOpen());
    EXPECT_TRUE(editor.editing);
    editor.record.name = L"  Clara Ruiz ";
    EXPECT_EQ(dialog.groups[0].list[1].name, L"Clara");
    editor.OnSubmit();
    EXPECT_FALSE(editor.IsOpen());
    dialog.AddTo(1);
    EXPECT_FALSE(editor.editing);
    EXPECT_EQ(editor.record.importance, L"De fondo");
    editor.record.name = L"Eva";
    editor.OnSubmit();
    dialog.AskRemove(0, 0);
    ASSERT_TRUE(window.confirmDialog->IsOpen());
    EXPECT_EQ(window.confirmDialog->message, L"¿Quitar a Bruno de la lista?");
    window.confirmDialog->OnSubmit();

    EXPECT_EQ(Names(dialog.groups[0].list), (Lines{L"Clara Ruiz"}));
    EXPECT_EQ(Names(dialog.groups[1].list), (Lines{L"Dani", L"Eva"}));
    EXPECT_EQ(Names(characterList), (Lines{L"Bruno", L"Clara"}));
    EXPECT_TRUE(saved.empty());

    dialog.OnSubmit();
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(saved, (std::vector<Lines>{{L"Clara Ruiz"}, {L"Dani", L"Eva"}}));
    EXPECT_EQ(openDuringSave, (std::vector<bool>{false, false}));

    // Cancelling drops every change; saving untouched lists still hands both on.
    saved.clear();
    OpenBoth(window);
    dialog.AskRemove(0, 1);
    window.confirmDialog->OnSubmit();
    dialog.Close();
    EXPECT_TRUE(saved.empty());
    OpenBoth(window);
    dialog.OnSubmit();
    EXPECT_EQ(saved, (std::vector<Lines>{{L"Bruno", L"Clara"}, {L"Dani"}}));
}

TEST_F(KnownCharactersCopies, ACallbackWhoseRowOrGroupIsGoneWritesNothing) {
    MainWindow window;
    KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    Main::KnownCharacterEditor& editor = *window.knownCharacterEditor;
    OpenBoth(window);

    // The editor holds row 1 while the row goes away beneath it.
    dialog.EditRow(0, 1);
    EXPECT_TRUE(dialog.Erase(0, 1));
    editor.record.name = L"Clara Ruiz";
    editor.OnSubmit();
    EXPECT_EQ(Names(dialog.groups[0].list), (Lines{L"Bruno"}));

    // A confirmation asked for a row that another change removed first.
    dialog.AskRemove(0, 0);
    EXPECT_TRUE(dialog.Erase(0, 0));
    window.confirmDialog->OnSubmit();
    EXPECT_TRUE(dialog.groups[0].list.empty());

    // The user's tab is gone after a reopening with one list: a new person for it is dropped.
    dialog.AddTo(1);
    dialog.OpenOne(L"Ana", characterList, nullptr);
    editor.record.name = L"Eva";
    editor.OnSubmit();
    ASSERT_EQ(dialog.groups.size(), 1u);
    EXPECT_EQ(Names(dialog.groups[0].list), (Lines{L"Bruno", L"Clara"}));
    EXPECT_FALSE(dialog.Replace(0, 2, Person(L"Eva")));
    EXPECT_FALSE(dialog.Erase(1, 0));
    EXPECT_FALSE(dialog.Append(1, Person(L"Eva")));
}

TEST_F(KnownCharactersCopies, TabsAndHeightFollowTheShownGroupClampedToTheLast) {
    MainWindow window;
    KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    OpenBoth(window);
    EXPECT_FLOAT_EQ(dialog.ContentHeight(window.ui, 572), 2 * 72 + 48 + 4);
    dialog.currentGroup = 1;
    EXPECT_FLOAT_EQ(dialog.ContentHeight(window.ui, 572), 72 + 48 + 4);

    // Reopened with one list and no people: the former tab index means the only group, no tabs.
    dialog.OpenOne(L"Ana", {}, nullptr);
    dialog.currentGroup = 1;
    EXPECT_EQ(dialog.ShownGroup(), 0u);
    EXPECT_EQ(dialog.GroupTabs(), (Lines{L"De Ana"}));
    EXPECT_FLOAT_EQ(dialog.ContentHeight(window.ui, 572), 268);
}

TEST_F(KnownCharactersCopies, EditorRefusesABlankNameAndKeepsWhatWasTyped) {
    MainWindow window;
    Main::KnownCharacterEditor& editor = *window.knownCharacterEditor;
    int handed = 0;
    editor.Open(
        std::nullopt, [&](const KnownCharacter&) { ++handed; }, L"");
    EXPECT_EQ(editor.subtitle, L"Alguien que el personaje conoce");
    editor.record.name = L" \u00A0 ";
    editor.record.personality = {L" Leal "};
    editor.OnSubmit();
    EXPECT_TRUE(editor.IsOpen());
    EXPECT_TRUE(editor.nameError);
    EXPECT_EQ(handed, 0);
    EXPECT_EQ(editor.record.personality, (Lines{L" Leal "}));
    ASSERT_FALSE(window.toasts.Items().empty());
    EXPECT_EQ(window.toasts.Items().back().text, L"El nombre es obligatorio.");
}

// ---- On the real window ----

// Only where the animations end matters: time moves in the window's longest frame.
constexpr double kStep = 0.05;

void ClickIn(FrameDriver& driver, const Rect& r) {
    driver.Click(r.x + r.w / 2, r.y + r.h / 2);
}

// Where a dialog's parts lie in the window now.
Main::Dialog::Geometry Placed(FrameDriver& driver, Main::Dialog& dialog) {
    const Rect window = driver.Window().windowRect;
    const float width = dialog.Width(window);
    return Main::Dialog::Layout(window, width, dialog.ContentHeight(driver.Ui(), width - 48), true);
}

TEST(KnownCharactersWindow, EachTabShowsItsOwnListAndItsRowsActOnThatList) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    MainWindow& window = driver.Window();
    KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    Main::KnownCharacterEditor& editor = *window.knownCharacterEditor;
    ASSERT_TRUE(driver.Settle(10, kStep));
    std::vector<Lines> saved;
    dialog.Open(
        L"Ana", {Person(L"Bruno"), Person(L"Clara")},
        [&](const std::vector<KnownCharacter>& list) { saved.push_back(Names(list)); }, L"Lucía", {Person(L"Dani")},
        [&](const std::vector<KnownCharacter>& list) { saved.push_back(Names(list)); });
    driver.RunFor(0.5, kStep);
    // A row's parts where the window shows them now: the panel stays centred on its content.
    const auto rowTop = [&](size_t row) {
        return Placed(driver, dialog).bodyContent.y + KnownCharactersDialog::kTabsHeight +
               static_cast<float>(row) * KnownCharactersDialog::kRowStep;
    };
    const auto clickRemove = [&](size_t row) {
        const Rect body = Placed(driver, dialog).bodyContent;
        driver.Click(body.x + body.w - 29, rowTop(row) + 32);
    };
    const auto clickRow = [&](size_t row) {
        driver.Click(Placed(driver, dialog).bodyContent.x + 100, rowTop(row) + 32);
    };

    // The second tab, just right of the first chip.
    Rect body = Placed(driver, dialog).bodyContent;
    const TextStyle chipLabel = Main::Kit::KitStyle(13, 500);
    const float firstTab = std::ceil(driver.Ui().graphics->MeasureText(L"De Ana", chipLabel, 100000).width + 28);
    driver.Click(body.x + firstTab + Main::Kit::kChoiceChipGap + 20, body.y + Main::Kit::kChoiceChipHeight / 2);
    EXPECT_EQ(dialog.currentGroup, 1u);
    driver.RunFor(0.3, kStep);
    EXPECT_EQ(dialog.subtitle, L"Gente de tu vida: Ana sabrá quiénes son cuando los menciones");

    // Removing the one row shown asks about the user's person and takes it from the user's list.
    clickRemove(0);
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->message, L"¿Quitar a Dani de la lista?");
    driver.RunFor(0.5, kStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_TRUE(dialog.groups[1].list.empty());
    EXPECT_EQ(Names(dialog.groups[0].list), (Lines{L"Bruno", L"Clara"}));

    // Back on the first tab, a click on the second row edits a copy of Clara.
    driver.RunFor(0.3, kStep);
    body = Placed(driver, dialog).bodyContent;
    driver.Click(body.x + firstTab / 2, body.y + Main::Kit::kChoiceChipHeight / 2);
    EXPECT_EQ(dialog.currentGroup, 0u);
    driver.RunFor(0.3, kStep);
    EXPECT_EQ(dialog.subtitle, L"La gente que Ana conoce y tiene presente");
    clickRow(1);
    ASSERT_EQ(driver.TopOverlay(), &editor);
    EXPECT_TRUE(editor.editing);
    EXPECT_EQ(editor.record.name, L"Clara");
    driver.RunFor(0.5, kStep);
    driver.Key(VK_ESCAPE);
    EXPECT_EQ(driver.TopOverlay(), &dialog);

    driver.RunFor(0.3, kStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(saved, (std::vector<Lines>{{L"Bruno", L"Clara"}, {}}));
}

TEST(KnownCharactersWindow, TheEditorMarksABlankNameAfterARefusedSave) {
    FrameDriver driver(WindowWithPersona(false, 980, 900));
    Main::KnownCharacterEditor& editor = *driver.Window().knownCharacterEditor;
    ASSERT_TRUE(driver.Settle(10, kStep));
    int handed = 0;
    editor.Open(
        std::nullopt, [&](const KnownCharacter&) { ++handed; }, L"Ana");
    driver.RunFor(0.6, kStep);
    const std::optional<Rect> name = driver.WidgetRect(editor.NameFieldId());
    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(ShowsErrorOutline(driver, *name));

    driver.ClickWidget(editor.LabelId(L"Agregar"));
    EXPECT_TRUE(editor.IsOpen());
    EXPECT_EQ(handed, 0);
    EXPECT_EQ(driver.Toasts().back(), L"El nombre es obligatorio.");
    EXPECT_TRUE(ShowsErrorOutline(driver, *name));

    // Typed into, the name loses the mark and the person is added.
    ClickIn(driver, *name);
    driver.Type(L"Marta");
    driver.QuickKey(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(editor.IsOpen());
    EXPECT_EQ(handed, 1);
}

TEST(KnownCharactersWindow, APersonFromAPastedListIsSavedIntoTheCharactersFileByItsOpener) {
    // Tall enough that the new person's form shows whole.
    FrameDriver::Options options = WindowWithPersona(false, 980, 900);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->known_characters = {Person(L"Bruno")};
    options.characters.push_back(ana);
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    KnownCharactersDialog& dialog = *window.knownCharactersDialog;
    Main::KnownCharacterEditor& editor = *window.knownCharacterEditor;
    ASSERT_TRUE(driver.Settle(10, kStep));
    const std::shared_ptr<Character> held = driver.State().characters.front();
    const std::wstring file = Files::JoinPath(held->folder, L"character.json");
    const auto storedNames = [&file] {
        Json::Value json;
        EXPECT_TRUE(Storage::ReadJsonFile(file, json));
        return Names(Character::FromJson(json)->known_characters);
    };

    // As the home card's menu opens it: the list saved into the character that holds it.
    bool written = false;
    dialog.OpenOne(held->name, held->known_characters, [&](const std::vector<KnownCharacter>& list) {
        held->known_characters = list;
        written = driver.State().SaveCharacter(held);
    });
    driver.RunFor(0.5, kStep);
    Main::Dialog::Geometry g = Placed(driver, dialog);
    const float addWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Agregar", Main::Kit::kButtonFontSize);
    ClickIn(driver, {g.footer.x, g.footer.y + g.footer.h / 2 - 21, addWidth, 42});
    ASSERT_EQ(driver.TopOverlay(), &editor);
    driver.RunFor(0.5, kStep);

    g = Placed(driver, editor);
    ASSERT_FALSE(g.scrolls);
    const Rect body = g.bodyContent;
    const float a = Main::Kit::FieldHeight(driver.Ui(), false, 1);
    const float m = Main::Kit::FieldHeight(driver.Ui(), true, 3);

    const std::wstring picture = driver.DataPath(L"marta.png");
    ASSERT_TRUE(Files::WriteBytes(picture, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
    driver.pickedFile = picture;
    const float chooseWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Elegir foto", Main::Kit::kButtonFontSize);
    ClickIn(driver, {body.x + 96, body.y + 8 + 46, chooseWidth, 32});
    EXPECT_EQ(editor.record.photoPath, picture);

    ClickIn(driver, {body.x, body.y + 106, (body.w - 14) / 2, a});
    driver.Type(L"  Marta ");
    EXPECT_EQ(editor.record.name, L"  Marta ");

    driver.clipboard = L"Rasgos:\r\n- Leal\r\n\u2022 Curiosa\r\n\r\n\u2014 Testaruda\r\n";
    const float traitsTop = body.y + 106 + 2 * (a + 14) + m + 18 + 28 + Main::Kit::kChoiceChipHeight + 18 + 28;
    const float lineWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Agregar línea", Main::Kit::kButtonFontSize);
    const float pasteWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Pegar lista", Main::Kit::kButtonFontSize);
    const Rect paste = {body.x + lineWidth + 8, traitsTop, pasteWidth, 34};
    ClickIn(driver, paste);
    EXPECT_EQ(editor.record.personality, (Lines{L"Leal", L"Curiosa", L"Testaruda"}));

    // An empty clipboard says so and leaves the traits. The button has moved down past them.
    driver.clipboard = L" \r\n - ";
    // The panel has grown about its centre as well.
    g = Placed(driver, editor);
    const Rect pasteBelow = {paste.x, paste.y - body.y + g.bodyContent.y + 3 * (a + 8), paste.w, paste.h};
    ASSERT_LE(pasteBelow.y + pasteBelow.h, g.body.y + g.body.h);
    ClickIn(driver, pasteBelow);
    EXPECT_EQ(editor.record.personality.size(), 3u);
    ASSERT_FALSE(driver.Toasts().empty());
    EXPECT_EQ(driver.Toasts().back(), L"No hay texto en el portapapeles");

    // Ctrl+Enter hands the person to the dialog's copy; the file still holds the old list.
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(editor.IsOpen());
    EXPECT_EQ(driver.TopOverlay(), &dialog);
    EXPECT_EQ(Names(dialog.groups[0].list), (Lines{L"Bruno", L"Marta"}));
    EXPECT_EQ(storedNames(), (Lines{L"Bruno"}));
    EXPECT_FALSE(written);

    driver.RunFor(0.5, kStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_TRUE(written);
    Json::Value json;
    ASSERT_TRUE(Storage::ReadJsonFile(file, json));
    const std::shared_ptr<Character> stored = Character::FromJson(json);
    ASSERT_EQ(stored->known_characters.size(), 2u);
    const KnownCharacter& marta = stored->known_characters[1];
    EXPECT_EQ(marta.name, L"Marta");
    EXPECT_EQ(marta.importance, L"De fondo");
    EXPECT_EQ(marta.personality, (Lines{L"Leal", L"Curiosa", L"Testaruda"}));
    // The picked picture was copied into the pictures folder by the character's save.
    ASSERT_TRUE(marta.photoPath.has_value());
    EXPECT_TRUE(Storage::IsInImagesDir(*marta.photoPath));
    EXPECT_EQ(Files::FileName(*marta.photoPath).rfind(L"known_", 0), 0u);
    EXPECT_TRUE(Files::IsFile(*marta.photoPath));
}

}  // namespace
}  // namespace Lorvex::Testing

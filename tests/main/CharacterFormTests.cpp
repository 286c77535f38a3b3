// The character form on the real main window: a character created from typed text and a picked
// photo, the duo's two steps, and the saves that must not write (a character removed meanwhile)
// or that fail (the form stays, and a retry adds no copy).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/kit/Buttons.h"
#include "main/kit/Fields.h"
#include "services/state/AppState.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

using Main::CharacterFormScreen;

constexpr double kStep = 0.05;
// The slide of the screen and the cards' staggered entrance are over by then.
constexpr double kEntrance = 0.8;

// The 980 x 640 window: content from (86, 58), 894 x 582; the footer's buttons centred on y 602,
// the last one's right edge at 952; one column of cards whose identity content starts at (136, 202).
constexpr float kFooterY = 602;
constexpr float kFooterRight = 952;
constexpr float kCardContentX = 136;
constexpr float kCardContentY = 202;

float ButtonWidth(FrameDriver& driver, const std::wstring& label) {
    return Main::Kit::ButtonWidth(driver.Ui(), label, Main::Kit::kButtonFontSize);
}

// The footer's buttons from the right: the primary one, then the ones beside it, 12 apart. A
// notice still shown goes first: in a window 980 DIPs wide a toast may lie over the buttons.
void ClickFooter(FrameDriver& driver, const std::vector<std::wstring>& labels) {
    for (int i = 0; i < 100 && !driver.Toasts().empty(); ++i) {
        driver.RunFor(0.25, 0.25);
    }
    ASSERT_TRUE(driver.Toasts().empty());
    float right = kFooterRight;
    for (size_t i = 0; i + 1 < labels.size(); ++i) {
        right -= ButtonWidth(driver, labels[i]) + 12;
    }
    driver.Click(right - ButtonWidth(driver, labels.back()) / 2, kFooterY);
}

void Type(FrameDriver& driver, const char* field, const std::wstring& text) {
    driver.Ui().focus = UI::MakeIdFromText(field);
    driver.Type(text);
}

CharacterFormScreen& Form(FrameDriver& driver) {
    return *driver.Window().characterFormScreen;
}

void ShowNew(FrameDriver& driver) {
    Form(driver).StartNew();
    driver.Window().Navigate(Main::kCharacterFormScreen);
    driver.RunFor(kEntrance, kStep);
}

void Fill(Main::CharacterDraft& draft, const std::wstring& name) {
    draft.name = name;
    draft.age = L"30";
    draft.personality = L"Tranquila";
    draft.background = L"Vive en el faro";
}

Json::Value StoredJson(const Character& character) {
    return Json::Value::Parse(Content(Files::JoinPath(character.folder, L"character.json")));
}

std::wstring LastToast(FrameDriver& driver) {
    const std::vector<std::wstring> toasts = driver.Toasts();
    return toasts.empty() ? L"" : toasts.back();
}

TEST(CharacterForm, CreatesACharacterFromWhatWasTypedWithThePickedPhoto) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    const std::wstring picture = driver.DataPath(L"picked.png");
    ASSERT_TRUE(Files::WriteBytes(picture, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
    ShowNew(driver);
    const std::vector<std::wstring> footer = {L"Crear personaje"};

    // Nothing typed yet: the required fields are asked for and nothing is saved.
    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"Completa los campos obligatorios (marcados con *)");
    EXPECT_TRUE(Form(driver).showErrors);
    EXPECT_TRUE(driver.State().characters.empty());

    driver.pickedFile = picture;
    driver.Click(kCardContentX + 124 + 20, kCardContentY + 62 + 19);  // "Elegir foto"
    EXPECT_EQ(driver.filePicks, 1);
    EXPECT_EQ(Form(driver).draft.photoPath, picture);

    const float nameY = kCardContentY + 132 + Main::Kit::FieldHeight(driver.Ui(), false, 1) / 2;
    driver.Click(kCardContentX + 40, nameY);
    driver.Type(L" Ana García\u00A0");
    driver.Click(kCardContentX + 420, nameY);
    driver.Type(L"27");
    Type(driver, "cf-personality", L"Curiosa y terca");
    Type(driver, "cf-background", L"Creció en Vigo");
    driver.Frame();
    ClickFooter(driver, footer);

    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"Ana García está lista para chatear");
    ASSERT_EQ(driver.State().characters.size(), 1u);
    const Character& ana = *driver.State().characters.front();
    const Json::Value stored = StoredJson(ana);
    EXPECT_EQ(stored.Find("name").AsWString(), L"Ana García");
    EXPECT_EQ(stored.Find("age").AsWString(), L"27");
    EXPECT_EQ(stored.Find("gender").AsWString(), L"Mujer");
    EXPECT_EQ(stored.Find("orientation").AsWString(), L"Heterosexual");
    EXPECT_EQ(stored.Find("personality").AsWString(), L"Curiosa y terca");
    EXPECT_EQ(stored.Find("background").AsWString(), L"Creció en Vigo");
    EXPECT_EQ(stored.Find("speech_style").AsWString(), L"Normal");
    // The picture was copied into "images"; the picked file stays where it was.
    const std::wstring photo = stored.Find("photoPath").AsWString();
    EXPECT_EQ(Files::ParentPath(photo), driver.DataPath(L"images"));
    EXPECT_TRUE(Files::IsFile(photo));
    EXPECT_TRUE(Files::IsFile(picture));
}

TEST(CharacterForm, DuoTakesTwoStepsAndBackRestoresTheFirstCharacter) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    ShowNew(driver);
    CharacterFormScreen& form = Form(driver);
    Fill(form.draft, L"Ana");
    form.draft.speechStyle = L"Poetico";
    const Main::CharacterDraft first = form.draft;

    ClickFooter(driver, {L"Crear personaje", L"Crear dúo"});
    EXPECT_EQ(form.step, CharacterFormScreen::DuoSecond);
    EXPECT_EQ(form.Title(), L"Nuevo dúo · paso 2 de 2");
    EXPECT_EQ(form.duoFirst.name, L"Ana");
    EXPECT_TRUE(form.draft.name.empty());
    EXPECT_EQ(form.draft.speechStyle, L"Normal");
    EXPECT_EQ(LastToast(driver), L"Ahora crea al segundo personaje del dúo");

    // "Atrás" drops the second character and brings the first one back as it was.
    form.draft.name = L"Bruno";
    ClickFooter(driver, {L"Crear dúo", L"Atrás"});
    EXPECT_EQ(form.step, CharacterFormScreen::NewCharacter);
    EXPECT_EQ(form.draft.name, first.name);
    EXPECT_EQ(form.draft.speechStyle, L"Poetico");
    EXPECT_TRUE(form.duoFirst.name.empty());
    EXPECT_TRUE(driver.State().characters.empty());

    ClickFooter(driver, {L"Crear personaje", L"Crear dúo"});
    ASSERT_EQ(form.step, CharacterFormScreen::DuoSecond);
    Fill(form.draft, L"Bruno");
    ClickFooter(driver, {L"Crear dúo"});

    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"Dúo creado: Ana y Bruno");
    const auto& characters = driver.State().characters;
    ASSERT_EQ(characters.size(), 2u);
    EXPECT_EQ(characters[0]->name, L"Ana");
    EXPECT_EQ(characters[1]->name, L"Bruno");
    EXPECT_EQ(characters[0]->chats, characters[1]->chats);
    EXPECT_EQ(characters[0]->dual_partner_id, characters[1]->id);
    EXPECT_EQ(StoredJson(*characters[0]).Find("speech_style").AsWString(), L"Poetico");
    EXPECT_EQ(StoredJson(*characters[1]).Find("name").AsWString(), L"Bruno");
}

FrameDriver::Options WithAna() {
    FrameDriver::Options options = WindowWithPersona(false, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->age = L"27";
    ana->personality = L"Curiosa";
    ana->background = L"Creció en Vigo";
    options.characters.push_back(ana);
    return options;
}

void ShowEdit(FrameDriver& driver, const std::shared_ptr<Character>& character) {
    Form(driver).StartEdit(character);
    driver.Window().Navigate(Main::kCharacterFormScreen);
    driver.RunFor(kEntrance, kStep);
}

TEST(CharacterForm, AFailedWriteKeepsTheFormAndARemovedCharacterIsNotWritten) {
    FrameDriver driver(WithAna());
    ASSERT_EQ(driver.State().characters.size(), 1u);
    const std::shared_ptr<Character> ana = driver.State().characters.front();
    const std::wstring file = Files::JoinPath(ana->folder, L"character.json");
    const std::vector<std::wstring> footer = {L"Guardar cambios"};

    ShowEdit(driver, ana);
    Form(driver).draft.name = L"Ana María";
    {
        HeldFile held(file, GENERIC_READ | GENERIC_WRITE, 0);
        ClickFooter(driver, footer);
    }
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(Form(driver).draft.name, L"Ana María");
    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"Cambios guardados");
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(StoredJson(*ana).Find("name").AsWString(), L"Ana María");

    // A pull removed the character while its form was open: saving would bring it back.
    ShowEdit(driver, ana);
    driver.State().DeleteCharacter(ana);
    ASSERT_FALSE(IsFolder(ana->folder));
    Form(driver).draft.name = L"Ana Otra";
    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"Este personaje ya no existe.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_FALSE(Exists(ana->folder));
    EXPECT_TRUE(driver.State().characters.empty());
    EXPECT_EQ(ana->name, L"Ana María");
}

TEST(CharacterForm, TabWalksTheTextFieldsInReadingOrderShowingEachAndShiftTabWalksBack) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    ShowNew(driver);
    UI::Ui& ui = driver.Ui();
    const char* const order[] = {"cf-name",       "cf-age",      "cf-traits", "cf-personality",
                                 "cf-background", "cf-scenario", "cf-initial"};
    const Rect content = driver.Window().contentRect;
    // The form scrolls between its header and its footer.
    const float viewTop = content.y + 70;
    const float viewBottom = content.y + content.h - 76;
    const auto focusedIs = [&](const char* name) {
        if (ui.focus != UI::MakeIdFromText(name)) {
            return false;
        }
        driver.RunFor(0.6, kStep);
        const std::optional<Rect> shown = driver.WidgetRect(name);
        EXPECT_TRUE(shown.has_value()) << name;
        // The scroll area brought it into view.
        return shown && shown->y >= viewTop && shown->y + std::min(shown->h, viewBottom - viewTop) <= viewBottom + 0.5f;
    };

    // With nothing focused, Tab starts at the first field; it ends round at the first again.
    for (const char* name : order) {
        driver.Key(VK_TAB);
        EXPECT_TRUE(focusedIs(name)) << name;
    }
    driver.Key(VK_TAB);
    EXPECT_TRUE(focusedIs("cf-name"));
    // Shift+Tab goes back round the start, also a quick one.
    driver.QuickKey(VK_TAB, FrameDriver::kShift);
    driver.Frame();
    EXPECT_TRUE(focusedIs("cf-initial"));
    driver.Key(VK_TAB, FrameDriver::kShift);
    EXPECT_TRUE(focusedIs("cf-scenario"));

    // A field reached by Tab has its text selected: typing replaces it. No tab is typed anywhere.
    Form(driver).draft.age = L"27";
    driver.Key(VK_TAB);
    driver.Key(VK_TAB);
    ASSERT_TRUE(focusedIs("cf-name"));
    driver.Key(VK_TAB);
    driver.Type(L"31");
    EXPECT_EQ(Form(driver).draft.age, L"31");
    EXPECT_EQ(Form(driver).draft.name, L"");
    // Ctrl+Tab is not the form's.
    driver.Key(VK_TAB, FrameDriver::kCtrl);
    EXPECT_TRUE(focusedIs("cf-age"));
}

TEST(CharacterForm, ANewCharacterWhoseWriteFailedIsSavedOnceOnTheNextTry) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    ShowNew(driver);
    Fill(Form(driver).draft, L"Ana");
    // A file where the characters' folder belongs keeps any character from being written.
    const std::wstring folder = driver.DataPath(L"characters");
    ASSERT_TRUE(Files::RemoveTree(folder));
    ASSERT_TRUE(Files::WriteBytes(folder, "in the way"));
    const std::vector<std::wstring> footer = {L"Crear personaje"};

    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);

    ASSERT_TRUE(DeleteFileW(folder.c_str()));
    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"Ana está lista para chatear");
    ASSERT_EQ(driver.State().characters.size(), 1u);
    EXPECT_EQ(Files::ListDirs(folder).size(), 1u);
}

TEST(CharacterForm, AFailedEditLeavesTheCharacterAndItsPhotoAsItsFileHoldsThem) {
    FrameDriver driver(WithAna());
    const std::shared_ptr<Character> ana = driver.State().characters.front();
    const std::wstring images = driver.DataPath(L"images");
    const auto picture = [&](const wchar_t* name, uint32_t colour) {
        const std::wstring path = driver.DataPath(name);
        EXPECT_TRUE(Files::WriteBytes(path, Images::Encode(2, 2, std::vector<uint32_t>(4, colour), true, 0.9f)));
        return path;
    };
    const std::vector<std::wstring> footer = {L"Guardar cambios"};

    ShowEdit(driver, ana);
    Form(driver).draft.photoPath = picture(L"first.png", 0xFF3366CC);
    ClickFooter(driver, footer);
    ASSERT_EQ(LastToast(driver), L"Cambios guardados");
    ASSERT_TRUE(ana->photoPath.has_value());
    const std::wstring stored = *ana->photoPath;
    const size_t pictures = Files::ListFiles(images, L"*", false).size();

    // Edited from the personas screen, with a new photo, while another program holds the file.
    driver.Window().Navigate(Main::kPersonasScreen);
    ShowEdit(driver, ana);
    Form(driver).draft.name = L"Ana María";
    Form(driver).draft.photoPath = picture(L"second.png", 0xFF22AA44);
    {
        HeldFile held(Files::JoinPath(ana->folder, L"character.json"), GENERIC_READ | GENERIC_WRITE, 0);
        ClickFooter(driver, footer);
    }
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(Form(driver).draft.name, L"Ana María");
    EXPECT_EQ(ana->name, L"Ana");
    EXPECT_EQ(ana->photoPath, stored);
    EXPECT_TRUE(Files::IsFile(stored));
    EXPECT_EQ(Files::ListFiles(images, L"*", false).size(), pictures);

    ClickFooter(driver, footer);
    EXPECT_EQ(LastToast(driver), L"Cambios guardados");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    EXPECT_EQ(StoredJson(*ana).Find("name").AsWString(), L"Ana María");
    ASSERT_TRUE(ana->photoPath.has_value());
    EXPECT_NE(*ana->photoPath, stored);
    EXPECT_FALSE(Files::IsFile(stored));
    EXPECT_EQ(Files::ListFiles(images, L"*", false).size(), pictures);
}

TEST(CharacterForm, NewCharactersWhoseWriteFailedLeaveNothingBehindWhateverStepComesNext) {
    FrameDriver driver(WithAna());
    const std::wstring picture = driver.DataPath(L"picked.png");
    ASSERT_TRUE(Files::WriteBytes(picture, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
    ShowNew(driver);
    CharacterFormScreen& form = Form(driver);
    Fill(form.draft, L"Carla");
    form.draft.photoPath = picture;
    // Ana stays in memory; a file where the characters' folder belongs keeps anything from being written.
    const std::wstring folder = driver.DataPath(L"characters");
    ASSERT_TRUE(Files::RemoveTree(folder));
    ASSERT_TRUE(Files::WriteBytes(folder, "in the way"));
    const std::wstring images = driver.DataPath(L"images");
    const size_t pictures = Files::ListFiles(images, L"*", false).size();

    ClickFooter(driver, {L"Crear personaje"});
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.State().characters.size(), 1u);
    EXPECT_EQ(Files::ListFiles(images, L"*", false).size(), pictures);

    // The user turns the unsaved character into the first half of a duo, whose write fails too.
    ClickFooter(driver, {L"Crear personaje", L"Crear dúo"});
    ASSERT_EQ(form.step, CharacterFormScreen::DuoSecond);
    Fill(form.draft, L"Bruno");
    ClickFooter(driver, {L"Crear dúo"});
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    EXPECT_EQ(driver.State().characters.size(), 1u);

    // Back to one character, and this time the disk takes it: one record, at the front, one copy of the photo.
    ClickFooter(driver, {L"Crear dúo", L"Atrás"});
    ASSERT_EQ(form.step, CharacterFormScreen::NewCharacter);
    ASSERT_TRUE(DeleteFileW(folder.c_str()));
    ClickFooter(driver, {L"Crear personaje"});
    EXPECT_EQ(LastToast(driver), L"Carla está lista para chatear");
    const auto& characters = driver.State().characters;
    ASSERT_EQ(characters.size(), 2u);
    EXPECT_EQ(characters[0]->name, L"Carla");
    EXPECT_EQ(characters[1]->name, L"Ana");
    EXPECT_FALSE(characters[0]->is_dual_mode);
    EXPECT_EQ(Files::ListDirs(folder).size(), 1u);
    EXPECT_EQ(Files::ListFiles(images, L"*", false).size(), pictures + 1);
    ASSERT_TRUE(characters[0]->photoPath.has_value());
    EXPECT_TRUE(Files::IsFile(*characters[0]->photoPath));
}

TEST(CharacterForm, AKnownCharacterEditArrivesOnlyWhileItsRowExists) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    ShowNew(driver);
    CharacterFormScreen& form = Form(driver);
    Main::KnownCharacterEditor& editor = *driver.Window().knownCharacterEditor;
    KnownCharacter marta;
    marta.name = L"Marta";

    form.AddKnown();
    ASSERT_TRUE(editor.onSave);
    editor.onSave(marta);
    ASSERT_EQ(form.draft.knownCharacters.size(), 1u);

    form.EditKnown(0);
    const auto edit = editor.onSave;
    marta.relationship = L"Hermana";
    edit(marta);
    EXPECT_EQ(form.draft.knownCharacters[0].relationship, L"Hermana");
    // The row went away (with the list's storage) before the editor handed its record back.
    form.draft = Main::CharacterDraft{};
    edit(marta);
    EXPECT_TRUE(form.draft.knownCharacters.empty());
}

}  // namespace
}  // namespace Lorvex::Testing

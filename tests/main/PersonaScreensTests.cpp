// The personas list and the persona form on the real main window over a temp data folder, driven
// as a user drives them: the first run's welcome, a new persona with a photo, an edit and a
// delete (the in-use badge moves), a picked file that is no picture, a persona removed while its
// form was open, and files that cannot be written.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/editors/PersonasScreen.h"
#include "services/state/AppState.h"
#include "tests/main/FieldMarks.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;
using Main::PersonaFormScreen;
using Main::PersonasScreen;

// Only where the animations end matters: time moves in the window's longest frame step.
constexpr double kStep = 0.05;

FrameDriver::Options SmallWindow() {
    FrameDriver::Options options;
    options.settings.window_width = 980;
    options.settings.window_height = 640;
    return options;
}

std::shared_ptr<Persona> MakePersona(const std::wstring& id, const std::wstring& name, const std::wstring& age,
                                     const std::wstring& gender) {
    auto persona = std::make_shared<Persona>();
    persona->id = id;
    persona->name = name;
    persona->age = age;
    persona->gender = gender;
    persona->orientation = L"Heterosexual";
    persona->personality = L"Tranquila";
    return persona;
}

void ClickIn(FrameDriver& driver, const Rect& rect) {
    driver.Click(rect.x + rect.w / 2, rect.y + rect.h / 2);
}

// A control of the form where the window shows it: the form's scroll area moves it up.
void ClickFormSpot(FrameDriver& driver, const Rect& spot) {
    const float offset = driver.Ui().State<UI::ScrollState>(UI::MakeIdFromText("pf-scroll")).current;
    ClickIn(driver, {spot.x, spot.y - offset, spot.w, spot.h});
}

// The form scrolled to its end, where the buttons are.
void ScrollFormToEnd(FrameDriver& driver) {
    driver.Scroll(500, 400, -30);
    driver.RunFor(0.6, kStep);
}

// Screens slide in and cards enter one after another: at rest after a second.
void Arrive(FrameDriver& driver) {
    driver.RunFor(1, kStep);
}

std::vector<std::shared_ptr<Persona>> StoredPersonas() {
    return Storage::LoadPersonas();
}

std::wstring LastToast(FrameDriver& driver) {
    const std::vector<std::wstring> toasts = driver.Toasts();
    return toasts.empty() ? L"" : toasts.back();
}

TEST(PersonaForm, TheFirstRunWelcomesRefusesAnIncompleteFormAndLeadsHomeOnceSaved) {
    FrameDriver driver(SmallWindow());
    MainWindow& window = driver.Window();
    PersonaFormScreen& form = *window.personaFormScreen;
    Arrive(driver);
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_TRUE(form.welcome);
    EXPECT_EQ(window.screens[window.currentScreen]->Title(), L"Bienvenida");
    EXPECT_EQ(form.spots.cancel.w, 0);  // the welcome cannot be left unsaved
    EXPECT_EQ(form.draft.gender, L"Mujer");

    ClickFormSpot(driver, form.spots.name);
    driver.Type(L"  Marta\u00A0");
    ClickFormSpot(driver, form.spots.age);
    driver.Type(L"31");
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Completa los campos obligatorios (marcados con *)");
    EXPECT_TRUE(form.showErrors);
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_TRUE(driver.State().personas.empty());

    ClickFormSpot(driver, form.spots.personality);
    driver.Type(L"Curiosa");
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"¡Hola, Marta! Ahora crea tu primer personaje");
    EXPECT_FALSE(form.welcome);

    const std::vector<std::shared_ptr<Persona>> stored = StoredPersonas();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->name, L"Marta");
    EXPECT_EQ(stored[0]->age, L"31");
    EXPECT_EQ(stored[0]->gender, L"Mujer");
    EXPECT_EQ(stored[0]->orientation, L"Heterosexual");
    EXPECT_EQ(stored[0]->personality, L"Curiosa");
    EXPECT_FALSE(stored[0]->photoPath.has_value());
    ASSERT_EQ(driver.State().personas.size(), 1u);
    EXPECT_EQ(driver.State().personas[0]->id, stored[0]->id);
}

// A spot of the form where the window shows it now.
Rect Shown(FrameDriver& driver, const Rect& spot) {
    const float offset = driver.Ui().State<UI::ScrollState>(UI::MakeIdFromText("pf-scroll")).current;
    return {spot.x, spot.y - offset, spot.w, spot.h};
}

TEST(PersonaForm, APointerThatJumpsAndPressesInOneFrameLandsOnTheFieldAndTheButtonItHits) {
    FrameDriver driver(SmallWindow());
    PersonaFormScreen& form = *driver.Window().personaFormScreen;
    Arrive(driver);
    ASSERT_TRUE(form.welcome);

    // A pen or touch tap on the name field: no frame saw the pointer there before the press.
    driver.Move(40, 400);
    const Rect name = Shown(driver, form.spots.name);
    driver.MoveAndPress(name.x + name.w / 2, name.y + name.h / 2);
    driver.Frame();
    driver.Release();
    EXPECT_EQ(driver.Ui().focus, UI::MakeIdFromText("pf-name"));
    driver.Type(L"Lucía");
    EXPECT_EQ(form.draft.name, L"Lucía");

    // A whole tap on "Empezar", press and release before one frame: the button takes it.
    ScrollFormToEnd(driver);
    driver.Move(40, 400);
    const Rect save = Shown(driver, form.spots.save);
    driver.Tap(save.x + save.w / 2, save.y + save.h / 2);
    driver.Frames(2);
    EXPECT_TRUE(form.showErrors);
    EXPECT_EQ(LastToast(driver), L"Completa los campos obligatorios (marcados con *)");
}

TEST(PersonaForm, ARefusedSaveMarksEveryRequiredFieldLeftBlank) {
    // Tall enough to show the whole form.
    FrameDriver::Options options = SmallWindow();
    options.settings.window_height = 960;
    FrameDriver driver(options);
    PersonaFormScreen& form = *driver.Window().personaFormScreen;
    Arrive(driver);
    form.draft.name = L"Lucía";
    form.draft.personality = L"  \n ";
    driver.Frame();
    const auto marked = [&](const Rect& spot) { return ShowsErrorOutline(driver, Shown(driver, spot)); };
    EXPECT_FALSE(marked(form.spots.age));

    form.Save();
    driver.RunFor(0.3, kStep);
    EXPECT_FALSE(marked(form.spots.name));
    EXPECT_TRUE(marked(form.spots.age));
    EXPECT_FALSE(marked(form.spots.traits));  // not required
    EXPECT_TRUE(marked(form.spots.personality));

    // Focused, a marked field shows its own outline while it is typed in; filled, it is unmarked.
    ClickFormSpot(driver, form.spots.age);
    EXPECT_FALSE(marked(form.spots.age));
    driver.Type(L"29");
    ClickFormSpot(driver, form.spots.traits);
    driver.RunFor(0.3, kStep);
    EXPECT_FALSE(marked(form.spots.age));
    EXPECT_TRUE(marked(form.spots.personality));
}

TEST(PersonaForm, AFailedWriteKeepsTheFormAndTheNextSaveWritesTheSameRecord) {
    FrameDriver driver(SmallWindow());
    PersonaFormScreen& form = *driver.Window().personaFormScreen;
    Arrive(driver);
    ASSERT_TRUE(form.welcome);
    form.draft.name = L"Marta";
    form.draft.age = L"31";
    form.draft.personality = L"Curiosa";

    // A file where the personas' folder belongs: no persona can be written.
    const std::wstring folder = driver.DataPath(L"personas");
    Files::RemoveTree(folder);
    ASSERT_TRUE(Files::WriteBytes(folder, "in the way"));
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"No se pudieron guardar los cambios.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_TRUE(form.welcome);
    EXPECT_EQ(form.draft.name, L"Marta");

    ASSERT_TRUE(Files::RemoveFile(folder));
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"¡Hola, Marta! Ahora crea tu primer personaje");
    EXPECT_EQ(driver.State().personas.size(), 1u);
    EXPECT_EQ(StoredPersonas().size(), 1u);
}

TEST(Personas, AnEditIsSavedAndDeletingThePersonaInUseMovesTheBadge) {
    FrameDriver::Options options = SmallWindow();
    options.personas = {MakePersona(L"p-ana", L"Ana", L"30", L"Mujer"),
                        MakePersona(L"p-bruno", L"Bruno", L"", L"Hombre")};
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    PersonaFormScreen& form = *window.personaFormScreen;
    Services::AppState& state = driver.State();
    window.Navigate(Main::kPersonasScreen);
    Arrive(driver);
    ASSERT_EQ(state.personas.size(), 2u);
    const std::shared_ptr<Persona> ana = state.personas[0];
    const std::shared_ptr<Persona> bruno = state.personas[1];
    ASSERT_EQ(ana->name, L"Ana");
    EXPECT_EQ(PersonasScreen::InUse(), ana);  // no current persona: the first of the list

    const PersonasScreen::Grid grid = PersonasScreen::GridFor(window.contentRect);
    ClickIn(driver, PersonasScreen::EditButton(grid.Card(1)));
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_EQ(form.edited, bruno);
    EXPECT_EQ(form.Title(), L"Editar usuario");
    EXPECT_EQ(form.draft.gender, L"Hombre");
    Arrive(driver);
    ClickFormSpot(driver, form.spots.age);
    driver.Type(L"41");
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Usuario guardado");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    EXPECT_EQ(bruno->age, L"41");
    const std::vector<std::shared_ptr<Persona>> stored = StoredPersonas();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1]->age, L"41");

    Arrive(driver);
    ClickIn(driver, PersonasScreen::DeleteButton(grid.Card(0)));
    ASSERT_EQ(driver.TopOverlay(), window.confirmDialog.get());
    EXPECT_EQ(window.confirmDialog->title, L"Eliminar usuario");
    EXPECT_EQ(window.confirmDialog->message, L"¿Eliminar a Ana? Los chats que lo usaban quedarán sin usuario.");
    EXPECT_EQ(state.personas.size(), 2u);  // nothing before the confirmation
    driver.RunFor(0.5, kStep);
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    ASSERT_EQ(state.personas.size(), 1u);
    EXPECT_EQ(state.personas[0], bruno);
    EXPECT_EQ(LastToast(driver), L"Ana eliminado");
    EXPECT_EQ(PersonasScreen::InUse(), bruno);
    EXPECT_FALSE(Exists(ana->path));
    EXPECT_EQ(StoredPersonas().size(), 1u);
}

TEST(Personas, ACardClickedBesideItsButtonsEditsItAndThePhotoStaysUnlessRemoved) {
    FrameDriver::Options options = SmallWindow();
    options.personas = {MakePersona(L"p-ana", L"Ana", L"30", L"Mujer")};
    FrameDriver driver(options);
    MainWindow& window = driver.Window();
    PersonaFormScreen& form = *window.personaFormScreen;
    Services::AppState& state = driver.State();
    const std::shared_ptr<Persona> ana = state.personas[0];
    const std::wstring photo = Files::JoinPath(Paths::ImagesDir(), L"persona_ana.png");
    ASSERT_TRUE(Files::WriteBytes(photo, Images::Encode(4, 4, std::vector<uint32_t>(16, 0xFF3366CC), true, 0.9f)));
    ana->photoPath = photo;
    ASSERT_TRUE(state.SavePersona(ana));
    window.Navigate(Main::kPersonasScreen);
    Arrive(driver);
    const Rect card = PersonasScreen::GridFor(window.contentRect).Card(0);
    const auto storedPhoto = [] {
        const std::vector<std::shared_ptr<Persona>> stored = StoredPersonas();
        return stored.size() == 1 ? stored[0]->photoPath : std::optional<std::wstring>(L"(not one persona)");
    };

    // Beside the avatar, clear of the badge and the buttons, the card itself opens the form.
    driver.Click(card.x + 30, card.y + 60);
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_EQ(form.edited, ana);
    EXPECT_EQ(form.draft.photoPath, photo);
    Arrive(driver);
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Usuario guardado");
    EXPECT_EQ(ana->photoPath, photo);

    // A picked picture gone before the save cannot be copied: the persona is saved with its photo.
    Arrive(driver);
    driver.Click(card.x + 30, card.y + 60);
    Arrive(driver);
    form.draft.photoPath = driver.DataPath(L"ya-no-esta.png");
    form.draft.traits = L"Puntual";
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    const std::vector<std::wstring> toasts = driver.Toasts();
    ASSERT_GE(toasts.size(), 2u);
    EXPECT_EQ(toasts[toasts.size() - 2], L"No se pudo guardar la imagen");
    EXPECT_EQ(toasts.back(), L"Usuario guardado");
    EXPECT_EQ(ana->traits, L"Puntual");
    EXPECT_EQ(ana->photoPath, photo);
    EXPECT_EQ(storedPhoto(), photo);
    EXPECT_TRUE(Exists(photo));

    // "Quitar" clears the photo; the saved persona has none and its picture is let go.
    Arrive(driver);
    driver.Click(card.x + 30, card.y + 60);
    Arrive(driver);
    ClickFormSpot(driver, form.spots.remove);
    EXPECT_EQ(form.draft.photoPath, L"");
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Usuario guardado");
    EXPECT_FALSE(ana->photoPath.has_value());
    EXPECT_FALSE(storedPhoto().has_value());
    EXPECT_FALSE(Exists(photo));
}

TEST(Personas, ASecondPersonaTakesAPictureButNeverAFileThatIsNone) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    MainWindow& window = driver.Window();
    PersonaFormScreen& form = *window.personaFormScreen;
    window.Navigate(Main::kPersonasScreen);
    Arrive(driver);

    // "Nuevo usuario" ends at the right margin of the header.
    const PersonasScreen::Grid grid = PersonasScreen::GridFor(window.contentRect);
    driver.Click(grid.left + grid.width - 20, grid.top + 30);
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_FALSE(form.welcome);
    EXPECT_EQ(form.edited, nullptr);
    EXPECT_EQ(form.Title(), L"Nuevo usuario");
    Arrive(driver);
    EXPECT_GT(form.spots.cancel.w, 0);

    const std::wstring picture = driver.DataPath(L"yo.png");
    const std::wstring notPicture = driver.DataPath(L"notas.png");
    ASSERT_TRUE(Files::WriteBytes(picture, Images::Encode(4, 4, std::vector<uint32_t>(16, 0xFF3366CC), true, 0.9f)));
    ASSERT_TRUE(Files::WriteBytes(notPicture, "no es una imagen"));
    driver.pickedFile = notPicture;
    ClickFormSpot(driver, form.spots.pick);
    EXPECT_EQ(LastToast(driver), L"El archivo elegido no es una imagen válida.");
    EXPECT_EQ(form.draft.photoPath, L"");
    driver.pickedFile = picture;
    ClickFormSpot(driver, form.spots.photo);  // the avatar picks too
    EXPECT_EQ(form.draft.photoPath, picture);
    EXPECT_EQ(driver.filePicks, 2);

    form.draft.name = L" Marcos ";
    form.draft.age = L"34";
    form.draft.gender = L"Hombre";
    form.draft.personality = L"Bromista";
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Marcos creado");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);

    const std::vector<std::shared_ptr<Persona>> stored = StoredPersonas();
    ASSERT_EQ(stored.size(), 2u);
    const auto marcos = std::find_if(stored.begin(), stored.end(), [](const auto& p) { return p->name == L"Marcos"; });
    ASSERT_NE(marcos, stored.end());
    ASSERT_TRUE((*marcos)->photoPath.has_value());
    EXPECT_TRUE(Storage::IsInImagesDir(*(*marcos)->photoPath));
    EXPECT_EQ(Files::FileName(*(*marcos)->photoPath).rfind(L"persona_", 0), 0u);
    EXPECT_TRUE(Exists(*(*marcos)->photoPath));
    // The refused file was never copied: the picture is the only one.
    EXPECT_EQ(Files::ListFiles(Paths::ImagesDir(), L"*", false).size(), 1u);

    // A new persona cancelled while others exist goes back to the list, saving nothing.
    Arrive(driver);
    driver.Click(grid.left + grid.width - 20, grid.top + 30);
    Arrive(driver);
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.cancel);
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    EXPECT_EQ(driver.State().personas.size(), 2u);
}

TEST(PersonaForm, APersonaRemovedWhileItsFormWasOpenIsNotWrittenBack) {
    FrameDriver driver(WindowWithPersona(false, 980, 640));
    MainWindow& window = driver.Window();
    PersonaFormScreen& form = *window.personaFormScreen;
    Services::AppState& state = driver.State();
    ASSERT_EQ(state.personas.size(), 1u);
    const std::shared_ptr<Persona> lucia = state.personas[0];
    const std::wstring file = lucia->path;
    ASSERT_TRUE(Exists(file));
    form.Load(lucia);
    window.Navigate(Main::kPersonaFormScreen);
    Arrive(driver);
    form.draft.age = L"29";
    form.draft.personality = L"Tranquila";

    // As a pull from the cloud would: the record and its file are gone.
    state.DeletePersona(lucia);
    ASSERT_FALSE(Exists(file));
    ScrollFormToEnd(driver);
    ClickFormSpot(driver, form.spots.save);
    EXPECT_EQ(LastToast(driver), L"Este usuario ya no existe.");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    EXPECT_TRUE(state.personas.empty());
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(StoredPersonas().empty());

    // With no persona left, cancelling leads home.
    ClickFormSpot(driver, form.spots.cancel);
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
}

}  // namespace
}  // namespace Lorvex::Testing

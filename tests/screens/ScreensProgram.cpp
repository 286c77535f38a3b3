// Renders the real main window at rest with each screen shown and each dialog open, and its
// start-up splash half-way, in the light and the dark theme, over a data folder of fixture
// records, into PNG files named "<theme>-<nn>-<view>.png" in the folder given as the first
// argument ("screens" by default).
// Exit code 0 when every picture was written, 1 when any view could not be drawn or saved or a
// frame broke the layer balance.

#include <optional>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/overlays/Dialog.h"
#include "main/updates/UpdateDialog.h"
#include "services/AppState.h"
#include "ui/ScrollArea.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

struct View {
    const wchar_t* name;
    std::function<void(MainWindow&)> show;  // from home with nothing open
};

std::shared_ptr<Character> FirstCharacter() {
    const auto& characters = Services::AppState::Instance().characters;
    return characters.empty() ? nullptr : characters.front();
}

// Shows the chat screen of the first fixture character.
void OpenChat(MainWindow& window) {
    window.OpenCharacter(FirstCharacter());
}

// The first fixture character in its form, with the texts of an edit filled in, a style, adult
// content and two known people.
void EditFirstCharacter(MainWindow& w) {
    Main::CharacterFormScreen& form = *w.characterFormScreen;
    form.StartEdit(FirstCharacter());
    w.Navigate(Main::kCharacterFormScreen);
    form.draft.traits = L"curiosa, terca, leal";
    form.draft.personality = L"Habla rápido cuando se emociona y nunca deja una pregunta sin responder.";
    form.draft.background = L"Creció en Vigo, entre barcos y libros de su abuela.";
    form.draft.scenario = L"Una cafetería junto al puerto, una tarde de lluvia.";
    form.draft.speechStyle = L"Amistoso";
    form.draft.adult = true;
    KnownCharacter marta;
    marta.name = L"Marta";
    marta.age = L"31";
    marta.relationship = L"Hermana";
    marta.description = L"Vive en Madrid y llama cada domingo.";
    marta.importance = L"Principal";
    KnownCharacter leo;
    leo.name = L"Leo";
    leo.personality = {L"Bromista"};
    form.draft.knownCharacters = {marta, leo};
    // Scrolled down to the known people, past the top of the identity card.
    form.resetScroll = false;
    UI::ScrollState& scroll = w.ui.State<UI::ScrollState>(UI::MakeIdFromText("cf-scroll"));
    scroll.target = 360;
    scroll.current = 360;
    // The height the form had in an earlier view would hold the offset short of the target.
    scroll.content = 10000;
}

// The duo's second step with the error marks on: the first character kept, the second empty.
void SecondOfADuo(MainWindow& w) {
    Main::CharacterFormScreen& form = *w.characterFormScreen;
    form.StartNew();
    w.Navigate(Main::kCharacterFormScreen);
    form.draft.name = L"Ana García";
    form.draft.age = L"27";
    form.draft.personality = L"Curiosa";
    form.draft.background = L"Creció en Vigo";
    // Set as the step change leaves it, without its toast: the picture waits for no toast to go.
    form.duoFirst = form.draft;
    form.draft = Main::CharacterDraft{};
    form.step = Main::CharacterFormScreen::DuoSecond;
    form.showErrors = true;
}

const std::vector<View>& Views() {
    static const std::vector<View> views = {
        {L"home", [](MainWindow& w) {}},
        {L"chat", OpenChat},
        {L"character-form",
         [](MainWindow& w) {
             w.characterFormScreen->StartNew();
             w.Navigate(Main::kCharacterFormScreen);
         }},
        {L"character-form-edit", EditFirstCharacter},
        {L"character-form-duo", SecondOfADuo},
        {L"personas", [](MainWindow& w) { w.Navigate(Main::kPersonasScreen); }},
        {L"persona-form", [](MainWindow& w) { w.Navigate(Main::kPersonaFormScreen); }},
        {L"settings", [](MainWindow& w) { w.settingsDialog->Open(); }},
        {L"update", [](MainWindow& w) { w.updateDialog->Open(); }},
        {L"account", [](MainWindow& w) { w.accountDialog->Open(); }},
        {L"profile", [](MainWindow& w) { w.profileDialog->Open(false); }},
        {L"chat-config",
         [](MainWindow& w) {
             OpenChat(w);
             w.chatConfigDialog->Open();
         }},
        {L"known-characters",
         [](MainWindow& w) {
             w.Navigate(Main::kCharacterFormScreen);
             w.knownCharactersDialog->OpenOne(L"Ana García", {}, nullptr);
         }},
        {L"known-character-editor",
         [](MainWindow& w) {
             w.Navigate(Main::kCharacterFormScreen);
             w.knownCharactersDialog->OpenOne(L"Ana García", {}, nullptr);
             w.knownCharacterEditor->Open(std::nullopt, nullptr, L"Ana García");
         }},
        {L"text-edit",
         [](MainWindow& w) {
             OpenChat(w);
             w.textEditDialog->Open();
         }},
        {L"confirm",
         [](MainWindow& w) {
             w.confirmDialog->Open(
                 L"¿Eliminar a Ana García?", L"Se borrarán sus chats. No se puede deshacer.", L"Eliminar", true, [] {},
                 UI::Material::Icon::Delete);
         }},
        {L"context-menu",
         [](MainWindow& w) {
             std::vector<Main::ContextMenu::Item> items(3);
             items[0].label = L"Editar";
             items[0].icon = UI::Material::Icon::Pencil;
             items[1].label = L"Copiar";
             items[1].icon = UI::Material::Icon::Copy;
             items[2].label = L"Eliminar";
             items[2].icon = UI::Material::Icon::Delete;
             items[2].danger = true;
             items[2].separator = true;
             w.contextMenu->Open({600, 300, 40, 40}, std::move(items), false, false);
         }},
    };
    return views;
}

FrameDriver::Options Fixture(bool dark) {
    FrameDriver::Options options;
    options.settings.dark_theme = dark;

    auto persona = std::make_shared<Persona>();
    persona->id = L"persona-lucia";
    persona->name = L"Lucía";
    options.personas.push_back(persona);

    auto ana = Character::Create();
    ana->name = L"Ana García";
    ana->age = L"27";
    ana->initial_message = L"¡Hola! ¿Qué tal el viaje?";
    auto chat = Chat::Create();
    chat->persona_id = persona->id;
    chat->messages.push_back(Message::Create(L"assistant", ana->initial_message));
    chat->messages.push_back(Message::Create(L"user", L"Largo, pero ya estoy aquí."));
    chat->messages.push_back(Message::Create(L"assistant", L"*sonríe* Me alegro. Siéntate, te preparo un café."));
    ana->chats->push_back(chat);
    options.characters.push_back(ana);

    auto bruno = Character::Create();
    bruno->name = L"Bruno";
    options.characters.push_back(bruno);
    return options;
}

// Frames this far apart reach rest in the fewest frames: the window moves its animations by at
// most this much per frame.
constexpr double kLongestFrame = 0.05;

// Every overlay closed and home shown, at rest.
void Reset(FrameDriver& driver) {
    MainWindow& window = driver.Window();
    window.contextMenu->Close();
    for (Main::Overlay* overlay : window.overlays) {
        if (auto* dialog = dynamic_cast<Main::Dialog*>(overlay); dialog && dialog->IsOpen()) {
            dialog->Close();
        }
    }
    window.Navigate(Main::kHomeScreen);
    driver.Settle(10, kLongestFrame);
}

// Saves the frame under "<theme>-<nn>-<view>.png"; false when it could not be.
bool Save(FrameDriver& driver, const std::wstring& folder, bool dark, int index, const wchar_t* view) {
    wchar_t number[8];
    std::swprintf(number, 8, L"%02d", index);
    const std::wstring name = std::wstring(dark ? L"dark-" : L"light-") + number + L"-" + view + L".png";
    const std::wstring path = Files::JoinPath(folder, name);
    if (!driver.SavePng(path)) {
        std::fprintf(stderr, "could not save %ls\n", path.c_str());
        return false;
    }
    std::printf("%ls\n", path.c_str());
    return true;
}

// The start-up splash half-way, the logo grown and the words rising; the number of failures.
int RenderSplash(const std::wstring& folder, bool dark, int index) {
    int failures = 0;
    FrameDriver::Options options = Fixture(dark);
    options.splash = true;
    FrameDriver driver(options);
    driver.onFault = [&failures](const std::string& fault) {
        std::fprintf(stderr, "fault: %s\n", fault.c_str());
        ++failures;
    };
    if (!driver.Opened()) {
        return failures + 1;
    }
    driver.Frame();
    driver.RunFor(0.5);
    return failures + (Save(driver, folder, dark, index, L"splash") ? 0 : 1);
}

// The views of one theme, then the splash; the number of pictures that failed.
int RenderTheme(const std::wstring& folder, bool dark) {
    int failures = 0;
    FrameDriver driver(Fixture(dark));
    driver.onFault = [&failures](const std::string& fault) {
        std::fprintf(stderr, "fault: %s\n", fault.c_str());
        ++failures;
    };
    if (!driver.Opened()) {
        return failures + 1;
    }
    driver.Settle(10, kLongestFrame);
    int index = 1;
    for (const View& view : Views()) {
        Reset(driver);
        view.show(driver.Window());
        if (!driver.Settle(10, kLongestFrame)) {
            std::fprintf(stderr, "%ls did not come to rest; saved as it was\n", view.name);
        }
        if (!Save(driver, folder, dark, index++, view.name)) {
            ++failures;
        }
    }
    return failures;
}

}  // namespace
}  // namespace Lorvex::Testing

int main(int argc, char** argv) {
    using namespace Lorvex;
    const std::wstring folder = argc > 1 ? Text::ToWide(argv[1]) : std::wstring(L"screens");
    if (!Files::EnsureDir(folder)) {
        std::fprintf(stderr, "could not make the folder %ls\n", folder.c_str());
        return 1;
    }
    int failures = 0;
    for (const bool dark : {false, true}) {
        failures += Testing::RenderTheme(folder, dark);
        // After the views' window is gone: one driver at a time.
        failures += Testing::RenderSplash(folder, dark, static_cast<int>(Testing::Views().size()) + 1);
    }
    return failures == 0 ? 0 : 1;
}

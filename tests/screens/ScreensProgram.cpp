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
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/overlays/Dialog.h"
#include "main/updates/UpdateDialog.h"
#include "services/AppState.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

struct View {
    const wchar_t* name;
    std::function<void(MainWindow&)> show;  // from home with nothing open
    // Never at rest (a backdrop or a badge keeps moving): saved once its entrances are over.
    bool moving = false;
};

// Long enough for every entrance of a screen or dialog.
constexpr double kEntrances = 1.0;

std::shared_ptr<Character> FirstCharacter() {
    const auto& characters = Services::AppState::Instance().characters;
    return characters.empty() ? nullptr : characters.front();
}

// Shows the chat screen of the first fixture character.
void OpenChat(MainWindow& window) {
    window.OpenCharacter(FirstCharacter());
}

const std::vector<View>& Views() {
    static const std::vector<View> views = {
        {L"home", [](MainWindow& w) {}},
        {L"chat", OpenChat},
        {L"character-form", [](MainWindow& w) { w.Navigate(Main::kCharacterFormScreen); }},
        {L"personas", [](MainWindow& w) { w.Navigate(Main::kPersonasScreen); }},
        {L"persona-form",
         [](MainWindow& w) {
             w.personaFormScreen->Load(Services::AppState::Instance().personas.front());
             w.Navigate(Main::kPersonaFormScreen);
         },
         true},
        {L"persona-welcome",
         [](MainWindow& w) {
             w.personaFormScreen->Reset(true);
             w.Navigate(Main::kPersonaFormScreen);
         },
         true},
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
    persona->age = L"29";
    persona->gender = L"Mujer";
    persona->orientation = L"Heterosexual";
    persona->traits = L"curiosa, directa";
    persona->personality = L"Habla claro y se ríe con facilidad.";
    options.personas.push_back(persona);
    auto marcos = std::make_shared<Persona>();
    marcos->id = L"persona-marcos";
    marcos->name = L"Marcos";
    marcos->gender = L"Hombre";
    options.personas.push_back(marcos);

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
        if (view.moving) {
            driver.RunFor(kEntrances, kLongestFrame);
        } else if (!driver.Settle(10, kLongestFrame)) {
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

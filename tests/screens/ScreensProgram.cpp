// Renders the real main window at rest with each screen shown and each dialog open, in the light
// and the dark theme, over a data folder of fixture records, into PNG files named
// "<theme>-<nn>-<view>.png" in the folder given as the first argument ("screens" by default).
// Exit code 0 when every picture was written, 1 when any view could not be drawn or saved or a
// frame broke the layer balance. A third argument "K/N" renders only every N-th picture from the
// K-th (1-based), so that parts of one theme render side by side in their own processes.

#include <optional>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/home/HomeLayout.h"
#include "main/home/HomeList.h"
#include "main/home/HomeScreen.h"
#include "main/editors/PersonaFormScreen.h"
#include "main/overlays/Dialog.h"
#include "main/updates/UpdateDialog.h"
#include "main/updates/UpdateTexts.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "services/updates/UpdateStateDetail.h"
#include "services/updates/Updates.h"
#include "ui/ScrollArea.h"
#include "tests/main/ChatBubbleAt.h"
#include "tests/support/FrameDriver.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

struct View {
    const wchar_t* name;
    std::function<void(MainWindow&)> show;  // from home with nothing open
    // Never at rest (a backdrop or a badge keeps moving): saved once its entrances are over.
    bool moving = false;
    // Once the view is at rest: what the pointer does before the picture (hover, click).
    std::function<void(FrameDriver&)> point;
};

// Long enough for every entrance of a screen or dialog.
constexpr double kEntrances = 1.0;

std::shared_ptr<Character> FirstCharacter() {
    const auto& characters = Services::AppState::Instance().characters;
    return characters.empty() ? nullptr : characters.front();
}

// The account dialog opened with an e-mail typed in.
Main::AccountDialog& OpenAccount(MainWindow& w) {
    Main::AccountDialog& dialog = *w.accountDialog;
    dialog.Open();
    dialog.email = L"ana@example.com";
    return dialog;
}

// Shows the chat screen of the first fixture character.
void OpenChat(MainWindow& window) {
    window.OpenCharacter(FirstCharacter());
}

// The pointer on the bubble of the open chat's message at this index, its action bar come in.
void HoverMessage(FrameDriver& driver, int index) {
    if (const std::optional<Rect> bubble = ChatBubbleAt(driver, index)) {
        driver.Move(bubble->x + bubble->w / 2, bubble->y + bubble->h / 2);
        driver.RunFor(0.4, 0.05);
    }
}

// The known people of the first character and of the chat's persona, as the chat's top bar opens
// them: two tabs.
void OpenKnownCharacters(MainWindow& w) {
    OpenChat(w);
    const auto& personas = Services::AppState::Instance().personas;
    const auto keep = [](const std::vector<KnownCharacter>&) {};
    w.knownCharactersDialog->Open(FirstCharacter()->name, FirstCharacter()->known_characters, keep,
                                  personas.front()->name, personas.front()->known_characters, keep);
}

// The chat's configuration with its persona selected and adjusted for the character, the
// adjustment already kept in the dialog's copy.
void ConfigureChat(MainWindow& w) {
    OpenChat(w);
    Main::ChatConfigDialog& dialog = *w.chatConfigDialog;
    dialog.Open();
    dialog.traitsText = L"curiosa, directa, algo tímida con Ana";
    dialog.personalityText = L"Habla claro y se ríe con facilidad.\nCon Ana baja la voz y escucha más de lo que habla.";
    dialog.StoreFields();
}

// The user's message, grown to several lines, in the text edit dialog as the chat screen opens
// it for a message with replies after it.
void EditMessage(MainWindow& w) {
    OpenChat(w);
    Main::TextEditDialog& dialog = *w.textEditDialog;
    dialog.title = L"Editar tu mensaje";
    dialog.subtitle = L"Tu mensaje";
    dialog.headerIcon = UI::Material::Icon::PencilOutline;
    dialog.accent = {0, 0, 0, 0};
    dialog.editText =
        L"Largo, pero ya estoy aquí.\n\nLlovió toda la tarde en la costa y el tren paró dos veces "
        L"en mitad de la nada.\n¿Tu hermano llegó a tiempo?";
    dialog.note = L"Se borrarán los mensajes posteriores y el personaje responderá de nuevo.";
    dialog.onSave = [](const std::wstring&) {};
    dialog.focusPending = true;
    dialog.Open();
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

// A release of the channel as a check reads it: posted days ago, in parts of the given sizes.
Services::Updates::Release ChannelRelease(const std::wstring& version, const std::wstring& notes, bool withHash,
                                          int days, std::vector<int64_t> sizes) {
    Services::Updates::Release release;
    release.version = version;
    release.notes = notes;
    release.sha256 = withHash ? std::wstring(64, L'e') : std::wstring();
    release.date = Main::UpdateTexts::NowSeconds() - days * 86400;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::wstring name = L"Lorvex.00" + std::to_wstring(i + 1);
        release.parts.push_back({name, L"http://127.0.0.1:9/" + name, sizes[i]});
    }
    return release;
}

// The update dialog opened right after a successful check found these releases, in a build whose
// release channel no check reaches (none is asked: the check is fresh); then changed shows a later
// state of the service, as a download or a failed check leaves it.
void ShowUpdate(MainWindow& w, std::vector<Services::Updates::Release> releases,
                const std::function<void(Services::Updates::State&)>& changed = nullptr) {
    Config::SetDiscordForTesting(L"http://127.0.0.1:9", L"screens-token", L"screens-channel");
    Services::Updates::OnChecked({std::move(releases), L""}, false);
    w.updateDialog->Open();
    if (changed) {
        changed(Services::Updates::Detail::Mutable());
        Services::Updates::NotifyChanged();
    }
}

std::vector<Services::Updates::Release> NewerReleases(bool withHash) {
    constexpr int64_t kMB = 1024 * 1024;
    return {ChannelRelease(L"3.0.4",
                           L"## Novedades\n- Los chats se pueden fijar arriba de la lista.\n- Nuevo estilo de habla "
                           L"«Narrador».\n\n## Arreglos\n- La ventana recuerda su tamaño en pantallas 4K.",
                           withHash, 2, {24 * kMB, 24 * kMB}),
            ChannelRelease(L"3.0.3", L"## Arreglos\n- Las imágenes de perfil ya no se ven borrosas.", withHash, 9,
                           {47 * kMB})};
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
        // The welcome refused with only the name typed: the blank required fields marked, the toast.
        {L"persona-welcome-refused",
         [](MainWindow& w) {
             Main::PersonaFormScreen& form = *w.personaFormScreen;
             form.Reset(true);
             form.draft.name = L"Lucía";
             w.Navigate(Main::kPersonaFormScreen);
             form.Save();
         },
         true},
        {L"settings", [](MainWindow& w) { w.settingsDialog->Open(); }},
        {L"update", [](MainWindow& w) { w.updateDialog->Open(); }},
        {L"update-up-to-date",
         [](MainWindow& w) { ShowUpdate(w, {ChannelRelease(L"3.0.2", L"", true, 20, {47 * 1024 * 1024})}); }},
        {L"update-available", [](MainWindow& w) { ShowUpdate(w, NewerReleases(true)); }},
        {L"update-no-hash", [](MainWindow& w) { ShowUpdate(w, NewerReleases(false)); }},
        // The progress keeps the dialog drawing.
        {L"update-downloading",
         [](MainWindow& w) {
             ShowUpdate(w, NewerReleases(true), [](Services::Updates::State& state) {
                 state.status = Services::Updates::Status::Downloading;
                 state.progress = {13002342, 48 * 1024 * 1024, 1, 2, 2202009};
             });
         },
         true},
        {L"update-failed",
         [](MainWindow& w) {
             ShowUpdate(w, {}, [](Services::Updates::State& state) {
                 state.status = Services::Updates::Status::Failed;
                 state.error = L"Sin conexión con Discord";
             });
         }},
        // The e-mail field has the keyboard: its caret blinks on.
        {L"account", [](MainWindow& w) { w.accountDialog->Open(); }, true},
        {L"account-create-error",
         [](MainWindow& w) {
             Main::AccountDialog& dialog = OpenAccount(w);
             dialog.signUp = true;
             dialog.password = L"secreto1";
             dialog.error = L"Ya existe una cuenta con ese email";
         },
         true},
        {L"account-confirmation", [](MainWindow& w) { OpenAccount(w).info = Main::AccountDialog::kConfirmationInfo; },
         true},
        // Signing in: the form is disabled and the footer's spinner turns.
        {L"account-busy",
         [](MainWindow& w) {
             OpenAccount(w).password = L"secreto1";
             Services::CloudSync::Instance().authBusy = true;
         },
         true},
        {L"chat-config", ConfigureChat},
        {L"known-characters", OpenKnownCharacters},
        {L"known-character-editor",
         [](MainWindow& w) {
             OpenKnownCharacters(w);
             const auto& known = FirstCharacter()->known_characters;
             w.knownCharacterEditor->Open(known.size() > 1 ? std::optional(known[1]) : std::nullopt, nullptr,
                                          L"Ana García");
         }},
        // A new person refused without a name: the name field marked, the toast.
        {L"known-character-editor-refused",
         [](MainWindow& w) {
             OpenKnownCharacters(w);
             w.knownCharacterEditor->Open(std::nullopt, nullptr, L"Ana García");
             w.knownCharacterEditor->OnSubmit();
         },
         true},
        // The editor has the keyboard: its caret blinks on.
        {L"text-edit", EditMessage, true},
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
        {L"chat-actions", OpenChat, false, [](FrameDriver& driver) { HoverMessage(driver, 2); }},
        {L"chat-message-menu", OpenChat, false,
         [](FrameDriver& driver) {
             HoverMessage(driver, 2);
             const Message* reply = Services::AppState::Instance().currentChat->messages.at(2).get();
             driver.ClickWidget(Main::ChatScreen::ActionId(reply, UI::Material::Icon::DotsHorizontal));
         }},
    };
    return views;
}

// A new user's home: a persona, no characters yet.
FrameDriver::Options NewUser(bool dark) {
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
    return options;
}

FrameDriver::Options Fixture(bool dark) {
    FrameDriver::Options options = NewUser(dark);
    const std::shared_ptr<Persona> persona = options.personas.front();
    auto second = std::make_shared<Persona>();
    second->id = L"persona-marcos";
    second->name = L"Marcos";
    second->gender = L"Hombre";
    options.personas.push_back(second);

    auto ana = Character::Create();
    ana->name = L"Ana García";
    ana->age = L"27";
    ana->initial_message = L"¡Hola! ¿Qué tal el viaje?";
    KnownCharacter marcos;
    marcos.name = L"Marcos";
    marcos.age = L"29";
    marcos.relationship = L"hermano";
    marcos.description = L"Trabaja de noche en el hospital y siempre llega tarde a las comidas.";
    marcos.importance = L"Principal";
    KnownCharacter clara;
    clara.name = L"Clara";
    clara.relationship = L"amiga de la infancia";
    clara.importance = L"Secundario";
    clara.bubble_name = L"Clari";
    clara.personality = {L"Leal hasta el final", L"Curiosa", L"Algo testaruda"};
    KnownCharacter tomas;
    tomas.name = L"Tomás";
    ana->known_characters = {marcos, clara, tomas};
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

// A fixture made at the drivers' start time: what it makes now is "ahora" on the window's clock,
// as it would be for a user, not the day the pictures were rendered.
FrameDriver::Options AtStartTime(FrameDriver::Options (*make)(bool), bool dark) {
    const AtDriverStartTime pinned;
    return make(dark);
}

// Only the pictures at rest matter here: frames 50 ms apart (the longest step a frame takes)
// reach rest in a third of the frames.
constexpr double kSettleStep = 0.05;

// Every overlay closed and home shown from the top, unsearched and in its first order, at rest.
void Reset(FrameDriver& driver) {
    MainWindow& window = driver.Window();
    window.homeScreen->searchText.clear();
    window.homeScreen->sortAlphabetical = false;
    window.ui.State<UI::ScrollState>(window.ui.MakeIdFromText("home-scroll")) = {};
    window.contextMenu->Close();
    Services::CloudSync::Instance().authBusy = false;
    for (Main::Overlay* overlay : window.overlays) {
        if (auto* dialog = dynamic_cast<Main::Dialog*>(overlay); dialog && dialog->IsOpen()) {
            dialog->Close();
        }
    }
    window.Navigate(Main::kHomeScreen);
    // The update state of a new process, in a build without a release channel.
    Config::SetDiscordForTesting(L"", L"", L"");
    Services::Updates::ResetForTesting();
    driver.Settle(10, kSettleStep);
}

// Chats of one message each, the newest first when days grow.
void AddChats(Character& character, int count, int day, const std::wstring& line) {
    for (int i = 0; i < count; ++i) {
        auto chat = Chat::Create();
        wchar_t stamp[40];
        std::swprintf(stamp, 40, L"2025-03-%02dT1%d:30:00.0000000+01:00", day, i % 10);
        chat->timestamp = stamp;
        auto message = Message::Create(L"assistant", line);
        message->timestamp = stamp;
        chat->messages.push_back(message);
        character.chats->push_back(chat);
    }
}

// A home full of characters of every kind: a duo, adult content, known people, a scenario but no
// chats, nothing at all, long names, many chats.
FrameDriver::Options ManyCharacters(bool dark) {
    FrameDriver::Options options = NewUser(dark);
    struct Sketch {
        const wchar_t* name;
        const wchar_t* age;
        const wchar_t* gender;
        const wchar_t* orientation;
        const wchar_t* style;
        int chats;
        int day;
        const wchar_t* line;
    };
    const Sketch sketches[] = {
        {L"Ana García", L"27", L"Mujer", L"Heterosexual", L"Amistoso", 3, 7,
         L"*sonríe* Me alegro de verte. Siéntate, te preparo un café y me cuentas cómo fue el viaje."},
        {L"Bruno", L"31", L"Hombre", L"Bisexual", L"Misterioso", 1, 6, L"No deberías estar aquí a estas horas."},
        {L"Carla Domínguez de la Fuente y Montenegro", L"", L"Mujer", L"Homosexual", L"Poetico", 12, 5,
         L"La luna se esconde tras las nubes, como tú detrás de tus silencios."},
        {L"Diego", L"45", L"Hombre", L"", L"Tecnico", 2, 1,
         L"Revisa el registro otra vez; el fallo está en la línea 42."},
        {L"Elena", L"", L"", L"", L"Normal", 0, 0, L""},
        {L"Fátima", L"22", L"Mujer", L"Bisexual", L"Jerga juvenil", 5, 3,
         L"Tía, no te lo vas a creer, ¡me ha escrito!"},
        {L"Gael", L"19", L"Otro", L"Otro", L"Picante", 1, 2, L"¿Y si nos escapamos esta noche?"},
        {L"Hugo", L"60", L"Hombre", L"Heterosexual", L"Educado", 0, 0, L""},
        {L"Irene", L"33", L"Mujer", L"Heterosexual", L"Agresivo", 4, 4, L"Ni se te ocurra volver a tocar mi moto."},
        {L"Julia", L"28", L"Mujer", L"Heterosexual", L"Vulgar", 1, 1, L"Vale, vale, ya me callo."},
        {L"Kai", L"24", L"Hombre", L"Homosexual", L"Normal", 1, 6, L"Te guardé un sitio junto a la ventana."},
        {L"Lola", L"26", L"Mujer", L"Bisexual", L"Amistoso", 1, 6,
         L"¡Por fin llegas! Kai no ha parado de hablar de ti."},
    };
    for (const Sketch& sketch : sketches) {
        auto character = Character::Create();
        character->name = sketch.name;
        character->age = sketch.age;
        character->gender = sketch.gender;
        character->orientation = sketch.orientation;
        character->speech_style = sketch.style;
        AddChats(*character, sketch.chats, sketch.day, sketch.line);
        options.characters.push_back(character);
    }
    const auto& c = options.characters;
    c[1]->nsfw_allowed = true;
    c[6]->nsfw_allowed = true;
    c[2]->known_characters.resize(3);
    c[0]->known_characters.resize(1);
    c[4]->scenario = L"Una biblioteca abandonada en las afueras, donde nadie entra desde hace años.";
    // Kai and Lola are a duo: one chat list for both.
    c[10]->is_dual_mode = true;
    c[11]->is_dual_mode = true;
    c[10]->dual_partner_id = c[11]->id;
    c[11]->dual_partner_id = c[10]->id;
    c[11]->chats = c[10]->chats;
    return options;
}

// The character of the first card in the "Recientes" order.
std::shared_ptr<Character> FirstShown() {
    Main::Home::CharacterList shown = Services::AppState::Instance().characters;
    Main::Home::SortForDisplay(shown, false);
    return shown.front();
}

// The first card's menu button, in window coordinates, with the home screen at rest.
Rect FirstMenuButton(MainWindow& w) {
    const Rect card = Main::Home::CardRect(Main::Home::GridFor(w.contentRect), 0);
    return {card.x + card.w - 50, card.y + card.h - 49, 34, 34};
}

std::shared_ptr<Character> Named(const std::wstring& name) {
    for (const std::shared_ptr<Character>& character : Services::AppState::Instance().characters) {
        if (character->name == name) {
            return character;
        }
    }
    return nullptr;
}

// Carla's twelve chats with the second one open.
void ChatWithManyChats(MainWindow& w) {
    const std::shared_ptr<Character> carla = Named(L"Carla Domínguez de la Fuente y Montenegro");
    w.OpenCharacter(carla);
    Services::AppState::Instance().SelectChat((*carla->chats)[1]);
}

// The duo's chat with the chat menu open under the top bar's last button.
void DuoChatMenu(MainWindow& w) {
    w.OpenCharacter(Named(L"Kai"));
    // The button stands 58 DIPs from the right edge of the content, centred in the 70 DIP bar.
    const Rect& content = w.contentRect;
    w.chatScreen->ShowChatMenu({content.x + content.w - 58, content.y + 15, 40, 40});
}

const std::vector<View>& ManyCharacterViews() {
    static const std::vector<View> views = {
        {L"home-many", [](MainWindow& w) {}},
        {L"home-card-menu", [](MainWindow& w) { w.homeScreen->ShowCardMenu(FirstMenuButton(w), FirstShown()); }},
        {L"home-a-z-scrolled",
         [](MainWindow& w) {
             w.homeScreen->sortAlphabetical = true;
             w.ui.State<UI::ScrollState>(w.ui.MakeIdFromText("home-scroll")).target = 400;
         }},
        {L"home-no-results", [](MainWindow& w) { w.homeScreen->searchText = L"zzz"; }},
        {L"home-delete-confirm",
         [](MainWindow& w) {
             w.homeScreen->ShowCardMenu(FirstMenuButton(w), FirstShown());
             std::function<void()> remove = w.contextMenu->items.back().action;
             w.contextMenu->Close();
             remove();
         }},
        // Last: a chat left open changes the rail of the home views.
        {L"chat-many-chats", ChatWithManyChats},
        {L"chat-duo-menu", DuoChatMenu},
    };
    return views;
}

// Kai and Lola, a duo: each names the other as partner (the caller gives them their chats).
std::pair<std::shared_ptr<Character>, std::shared_ptr<Character>> KaiAndLola() {
    auto kai = Character::Create();
    kai->name = L"Kai";
    auto lola = Character::Create();
    lola->name = L"Lola";
    kai->is_dual_mode = true;
    lola->is_dual_mode = true;
    kai->dual_partner_id = lola->id;
    lola->dual_partner_id = kai->id;
    return {kai, lola};
}

// A duo's long chat: Kai and Lola answer the user by turns over 200 lines and a week, Lola now
// and then in runs of her own.
FrameDriver::Options LongChat(bool dark) {
    FrameDriver::Options options = NewUser(dark);
    const auto duo = KaiAndLola();
    const std::shared_ptr<Character> kai = duo.first;
    const std::shared_ptr<Character> lola = duo.second;
    const wchar_t* const lines[] = {
        L"*se sienta junto a la ventana* ¿Otra vez llueve? Empiezo a pensar que esta ciudad nos tiene manía.",
        L"Te guardé un sitio. **No** acepto excusas esta vez.",
        L"¡Por fin llegas! Kai no ha parado de hablar de ti 😄",
        L"Vale, vale. Trae el mapa: el `sendero norte` sigue cortado desde la tormenta.",
        L"*baja la voz* Si salimos antes del amanecer, nadie se dará cuenta.",
    };
    auto chat = Chat::Create();
    chat->persona_id = options.personas.front()->id;
    for (int i = 0; i < 200; ++i) {
        const bool user = i % 3 == 1;
        auto message = Message::Create(user ? L"user" : L"assistant",
                                       user ? L"Cuéntame más, no pienso irme todavía." : lines[i % 5]);
        wchar_t stamp[48];
        std::swprintf(stamp, 48, L"2025-03-%02dT%02d:%02d:00.0000000+01:00", 1 + i * 7 / 200, 9 + i % 12, i % 60);
        message->timestamp = stamp;
        if (!user) {
            const bool byLola = i % 3 == 2 || i % 7 == 0;
            message->character_id = byLola ? lola->id : kai->id;
            message->character_name = byLola ? lola->name : kai->name;
        }
        chat->messages.push_back(message);
    }
    kai->chats->push_back(chat);
    lola->chats = kai->chats;
    options.characters = {kai, lola};
    return options;
}

// The duo's chat with what only this run holds: a reply regenerated twice (the second version
// shown), a failed reply and a reply still streaming in. Added once per window.
void OpenLongChat(MainWindow& w) {
    Services::AppState& state = Services::AppState::Instance();
    for (const std::shared_ptr<Character>& character : state.characters) {
        if (character->name == L"Kai") {
            w.OpenCharacter(character);
        }
    }
    if (!state.currentChat || state.currentChat->messages.back()->is_typing) {
        return;
    }
    auto& messages = state.currentChat->messages;
    Message& regenerated = *messages[messages.size() - 3];
    state.versions[L"screens-versions"] = {L"Primera versión: *se encoge de hombros* Puede ser.",
                                           L"*se ríe* Eso ni lo sueñes, pero te acompaño hasta el puente.",
                                           L"Tercera versión, más larga y más seria que las otras dos."};
    regenerated.regeneration_id = L"screens-versions";
    regenerated.regeneration_index = 1;
    regenerated.content = state.versions[L"screens-versions"][1];
    auto failed = Message::Create(L"assistant", L"");
    failed->character_id = state.dualPartner->id;
    failed->character_name = state.dualPartner->name;
    failed->error = L"No se pudo conectar con el servidor. Revisa tu conexión.";
    messages.push_back(failed);
    messages.push_back(Message::Create(L"user", L"¿Kai? ¿Sigues ahí?"));
    auto streaming = Message::Create(L"assistant", L"*levanta la vista del mapa* Claro que sigo aquí, solo estaba");
    streaming->is_typing = true;
    streaming->character_id = state.currentCharacter->id;
    streaming->character_name = state.currentCharacter->name;
    messages.push_back(streaming);
}

const std::vector<View>& LongChatViews() {
    static const std::vector<View> views = {
        {L"chat-long", OpenLongChat, true},
        {L"chat-long-older",
         [](MainWindow& w) {
             OpenLongChat(w);
             Main::ChatScreen& screen = *w.chatScreen;
             // The list takes the messages as already counted: a count it has not seen yet would
             // bring it back to the newest before the first frame.
             screen.lastMessageCount = Services::AppState::Instance().currentChat->messages.size();
             screen.windowStart = 100;
             screen.snapToBottom = false;
             screen.followLatest = false;
             UI::ScrollState& scroll = w.ui.State<UI::ScrollState>(w.ui.MakeIdFromText("chat-scroll"));
             scroll.target = 0;
             scroll.current = 0;
         },
         true},
    };
    return views;
}

const std::vector<View>& NewUserViews() {
    static const std::vector<View> views = {{L"home-new-user", [](MainWindow& w) {}}};
    return views;
}

// A duo with a short chat, for the composer's views.
FrameDriver::Options ChatDuo(bool dark) {
    FrameDriver::Options options = NewUser(dark);
    const auto duo = KaiAndLola();
    const std::shared_ptr<Character> kai = duo.first;
    const std::shared_ptr<Character> lola = duo.second;
    auto chat = Chat::Create();
    chat->persona_id = options.personas.front()->id;
    auto greeting = Message::Create(L"assistant", L"*levanta la vista del libro* ¡Por fin llegas!");
    greeting->character_id = kai->id;
    greeting->character_name = kai->name;
    chat->messages.push_back(greeting);
    chat->messages.push_back(Message::Create(L"user", L"Perdón, el tren iba lleno."));
    auto answer = Message::Create(L"assistant", L"Te guardamos un sitio junto a la ventana.");
    answer->character_id = lola->id;
    answer->character_name = lola->name;
    chat->messages.push_back(answer);
    kai->chats->push_back(chat);
    lola->chats = kai->chats;
    options.characters = {kai, lola};
    return options;
}

// The duo's chat with Kai in front.
void OpenDuo(MainWindow& w) {
    for (const auto& character : Services::AppState::Instance().characters) {
        if (character->name == L"Kai") {
            w.OpenCharacter(character);
        }
    }
}

const std::vector<View>& ChatDuoViews() {
    static const std::vector<View> views = {
        // Manual mode: the participant chips, one of them off, the speaker buttons and a draft of
        // three lines.
        {L"chat-composer-manual-duo",
         [](MainWindow& w) {
             OpenDuo(w);
             Services::AppState& state = Services::AppState::Instance();
             state.manualReplies = true;
             if (state.participantIds.size() > 1) {
                 state.participantIds.pop_back();
             }
             w.chatScreen->composerText =
                 L"*Me siento junto a la ventana y dejo la mochila en el suelo*\nGracias por esperarme.\n¿Qué "
                 L"estáis leyendo?";
         }},
        // The AI button's menu over a draft: both items offered, the hint saying the draft is used.
        {L"chat-ai-menu",
         [](MainWindow& w) {
             OpenDuo(w);
             Services::AppState::Instance().manualReplies = false;
             w.chatScreen->composerText = L"saludar y preguntar por el libro";
         },
         false, [](FrameDriver& driver) { driver.ClickWidget("ai-btn"); }},
        // The AI writing into the composer: the spinner and the stop control, the locked text, the
        // hint. Set as a running job leaves it, without the job (the picture waits for no provider).
        {L"chat-composer-ai-writing",
         [](MainWindow& w) {
             OpenDuo(w);
             Services::AppState& state = Services::AppState::Instance();
             state.manualReplies = false;
             Main::ChatScreen& screen = *w.chatScreen;
             screen.savedDraft = L"saludar y preguntar por el libro";
             screen.composerText = L"*Me quito la chaqueta* ¡Hola a los dos! ¿Qué libro es ese?";
             screen.aiBusy = true;
             screen.aiChatId = state.currentChat ? state.currentChat->id : L"";
         },
         true},
    };
    return views;
}

// The duo's chat in the smallest window the user can make.
FrameDriver::Options ChatDuoNarrow(bool dark) {
    FrameDriver::Options options = ChatDuo(dark);
    options.settings.window_width = MainWindow::kMinWidth;
    options.settings.window_height = 700;
    return options;
}

const std::vector<View>& ChatDuoNarrowViews() {
    static const std::vector<View> views = {
        // Manual mode at 980 DIPs: the chips give way so that both speaker buttons stay whole.
        {L"chat-manual-duo-980",
         [](MainWindow& w) {
             OpenDuo(w);
             Services::AppState::Instance().manualReplies = true;
         }},
    };
    return views;
}

// Ana signed in without a request, her sync state as a view wants it; a photo when asked for.
Services::CloudSync& SignedInAna(const std::wstring& displayName, bool photo) {
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    cloud.account.refreshToken = "refresh";
    cloud.account.accessToken = "access";
    cloud.account.email = L"ana.garcia@example.com";
    cloud.account.displayName = displayName;
    cloud.account.avatarFile.clear();
    if (photo) {
        Files::EnsureDir(Paths::ImagesDir());
        std::vector<uint32_t> pixels(64 * 64);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = (i % 64) + (i / 64) < 64 ? 0xFF6C5CE7 : 0xFFF39C6B;
        }
        cloud.account.avatarFile = L"avatar_ana.png";
        Files::WriteBytes(cloud.AvatarPath(), Images::Encode(64, 64, pixels, true, 0.9f));
    }
    cloud.lastSync = Time::NowIso();
    cloud.lastError.clear();
    cloud.offline = false;
    cloud.syncing = false;
    cloud.userUpdateBusy = false;
    return cloud;
}

const std::vector<View>& ProfileViews() {
    static const std::vector<View> views = {
        // Right after a sign-up: the note, the name field focused (its caret blinks).
        {L"profile-create",
         [](MainWindow& w) {
             SignedInAna(L"", false).lastSync.clear();
             w.profileDialog->Open(true);
         },
         true},
        {L"profile",
         [](MainWindow& w) {
             SignedInAna(L"Ana García", true);
             w.profileDialog->Open(false);
         }},
        // A refused password change while offline; the password shown in clear.
        {L"profile-error",
         [](MainWindow& w) {
             SignedInAna(L"Ana García", false).offline = true;
             Main::ProfileDialog& dialog = *w.profileDialog;
             dialog.Open(false);
             dialog.newPassword = L"secreto";
             dialog.showPassword = true;
             dialog.error = L"Por seguridad, cierra sesión y vuelve a entrar antes de cambiar la contraseña";
         }},
        // A save running during a sync round: both spinners, the inputs held.
        {L"profile-busy",
         [](MainWindow& w) {
             Services::CloudSync& cloud = SignedInAna(L"Ana García", true);
             Main::ProfileDialog& dialog = *w.profileDialog;
             dialog.Open(false);
             dialog.name = L"Ana García López";
             cloud.syncing = true;
             cloud.userUpdateBusy = true;
         },
         true},
    };
    return views;
}

// The pictures this process renders: those whose number n has (n - 1) % parts == part.
struct Share {
    int part = 0;
    int parts = 1;
    bool Takes(int number) const { return (number - 1) % parts == part; }
};
Share g_share;

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
    if (!g_share.Takes(index)) {
        return 0;
    }
    int failures = 0;
    FrameDriver::Options options = AtStartTime(Fixture, dark);
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

// The views over one data folder in one theme, numbered on from index; the number of pictures
// that failed.
int RenderViews(const std::wstring& folder, bool dark, const FrameDriver::Options& options,
                const std::vector<View>& views, int& index) {
    const int first = index;
    bool any = false;
    for (size_t i = 0; i < views.size(); ++i) {
        any = any || g_share.Takes(first + static_cast<int>(i));
    }
    if (!any) {
        index += static_cast<int>(views.size());
        return 0;
    }
    int failures = 0;
    FrameDriver driver(options);
    driver.onFault = [&failures](const std::string& fault) {
        std::fprintf(stderr, "fault: %s\n", fault.c_str());
        ++failures;
    };
    if (!driver.Opened()) {
        return failures + 1;
    }
    driver.Settle(10, kSettleStep);
    for (const View& view : views) {
        if (!g_share.Takes(index)) {
            ++index;
            continue;
        }
        Reset(driver);
        view.show(driver.Window());
        if (view.moving) {
            driver.RunFor(kEntrances, kSettleStep);
        } else if (!driver.Settle(10, kSettleStep)) {
            std::fprintf(stderr, "%ls did not come to rest; saved as it was\n", view.name);
        }
        if (view.point) {
            view.point(driver);
            driver.Settle(10, kSettleStep);
        }
        if (!Save(driver, folder, dark, index++, view.name)) {
            ++failures;
        }
        if (view.point) {
            driver.Leave();
        }
    }
    return failures;
}

// The number of pictures of one theme.
int PictureCount() {
    return static_cast<int>(Views().size() + NewUserViews().size() + ManyCharacterViews().size() +
                            ChatDuoViews().size() + LongChatViews().size() + ProfileViews().size()) +
           1;  // the splash
}

// Whether this share removes the stale picture at path ("<folder>\<theme>-<nn>-<view>.png").
bool OwnsStale(const std::wstring& path) {
    const size_t name = path.find_last_of(L"\\/");
    const std::wstring file = name == std::wstring::npos ? path : path.substr(name + 1);
    const size_t dash = file.find(L'-');
    const int number = dash == std::wstring::npos ? 0 : std::wcstol(file.c_str() + dash + 1, nullptr, 10);
    if (number < 1 || number > PictureCount()) {
        return g_share.part == 0;
    }
    return g_share.Takes(number);
}

// Every view of one theme; the number of pictures that failed.
int RenderTheme(const std::wstring& folder, bool dark) {
    int index = 1;
    int failures = RenderViews(folder, dark, AtStartTime(Fixture, dark), Views(), index);
    failures += RenderViews(folder, dark, AtStartTime(NewUser, dark), NewUserViews(), index);
    failures += RenderViews(folder, dark, AtStartTime(ManyCharacters, dark), ManyCharacterViews(), index);
    failures += RenderViews(folder, dark, AtStartTime(ChatDuo, dark), ChatDuoViews(), index);
    failures += RenderViews(folder, dark, AtStartTime(ChatDuoNarrow, dark), ChatDuoNarrowViews(), index);
    failures += RenderViews(folder, dark, AtStartTime(LongChat, dark), LongChatViews(), index);
    failures += RenderViews(folder, dark, AtStartTime(Fixture, dark), ProfileViews(), index);
    // After the views' windows are gone: one driver at a time.
    failures += RenderSplash(folder, dark, index);
    return failures;
}

}  // namespace
}  // namespace Lorvex::Testing

// screens [folder] [light|dark] [K/N]: one theme, or both when none is named, all its pictures or
// the K-th share of N. Each share of each theme runs as its own test so that they render side by
// side.
int main(int argc, char** argv) {
    using namespace Lorvex;
    const std::wstring folder = argc > 1 ? Text::ToWide(argv[1]) : std::wstring(L"screens");
    const std::string theme = argc > 2 ? argv[2] : "";
    if (argc > 3) {
        int part = 0;
        int parts = 0;
        if (std::sscanf(argv[3], "%d/%d", &part, &parts) != 2 || parts < 1 || part < 1 || part > parts) {
            std::fprintf(stderr, "the share is K/N with 1 <= K <= N, not %s\n", argv[3]);
            return 1;
        }
        Testing::g_share = {part - 1, parts};
    }
    std::vector<bool> themes;
    if (theme != "dark") {
        themes.push_back(false);
    }
    if (theme != "light") {
        themes.push_back(true);
    }
    if (!Files::EnsureDir(folder)) {
        std::fprintf(stderr, "could not make the folder %ls\n", folder.c_str());
        return 1;
    }
    int failures = 0;
    for (const bool dark : themes) {
        // Pictures of views that were renumbered or dropped since the last run would stay beside
        // the new ones and mislead whoever looks: the theme's pictures are this run's only.
        // Each share removes the numbers it renders, and the first share every number past the
        // last picture, so that shares running side by side never remove each other's pictures.
        for (const std::wstring& stale : Files::ListFiles(folder, dark ? L"dark-*.png" : L"light-*.png", false)) {
            if (Testing::OwnsStale(stale)) {
                Files::RemoveFile(stale);
            }
        }
        failures += Testing::RenderTheme(folder, dark);
    }
    std::printf("screens: %s\n", failures == 0 ? "every picture written" : "some pictures failed");
    return failures == 0 ? 0 : 1;
}

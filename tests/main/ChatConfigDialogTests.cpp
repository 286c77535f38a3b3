// The chat configuration on the real window over a temp data folder: the persona adjustments are
// edited on a copy, kept per persona while switching, and reach the character's file only through
// "Guardar", which also makes the chosen persona the chat's; a save whose records a pull removed
// meanwhile writes nothing.

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatConfigDialog.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/AgreedWithCloud.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::ChatConfigDialog;
using Overrides = std::map<std::wstring, PersonaOverride>;

// Only where the animations end matters: time moves in the window's longest frame.
constexpr double kStep = 0.05;

PersonaOverride Override(std::optional<std::wstring> traits, std::optional<std::wstring> personality) {
    PersonaOverride entry;
    entry.traits = std::move(traits);
    entry.personality = std::move(personality);
    return entry;
}

std::wstring Describe(const Overrides& overrides) {
    std::wstring text;
    for (const auto& [id, entry] : overrides) {
        text += id + L"{" + (entry.traits ? L"t=" + *entry.traits : L"-") + L"|" +
                (entry.personality ? L"p=" + *entry.personality : L"-") + L"} ";
    }
    return text;
}

// Lucía (played in Ana's chat) and Marcos; Ana already sees Lucía as quieter and Marcos as serious.
class ChatConfigWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // Tall enough that the whole body shows without scrolling.
        FrameDriver::Options options = WindowWithPersona(false, 980, 900);
        Persona& lucia = *options.personas.front();
        lucia.age = L"29";
        lucia.gender = L"Mujer";
        lucia.traits = L"curiosa";
        lucia.personality = L"Habla claro.";
        auto marcos = std::make_shared<Persona>();
        marcos->id = L"persona-2";
        marcos->name = L"Marcos";
        marcos->gender = L"Hombre";
        marcos->personality = L"Tranquilo.";
        options.personas.push_back(marcos);

        auto ana = Character::Create();
        ana->name = L"Ana";
        ana->persona_overrides[L"persona-1"] = Override(std::nullopt, L"Habla poco.");
        ana->persona_overrides[L"persona-2"] = Override(L"serio", std::nullopt);
        auto chat = Chat::Create();
        chat->persona_id = L"persona-1";
        chat->messages.push_back(Message::Create(L"assistant", L"Hola."));
        ana->chats->push_back(chat);
        options.characters.push_back(ana);

        driver = std::make_unique<FrameDriver>(options);
        ASSERT_TRUE(driver->Settle(10, kStep));
        dialog = driver->Window().chatConfigDialog.get();
        ana_ = State().characters.front();
        lucia_ = State().personas[0];
        marcos_ = State().personas[1];
        ASSERT_EQ(marcos_->name, L"Marcos");
    }

    static Services::AppState& State() { return FrameDriver::State(); }

    void OpenChat() {
        driver->Window().OpenCharacter(ana_);
        ASSERT_TRUE(driver->Settle(10, kStep));
    }

    void OpenDialog() {
        dialog->Open();
        ASSERT_TRUE(dialog->IsOpen());
        driver->RunFor(0.6, kStep);
    }

    Json::Value Read(const std::wstring& path) {
        Json::Value json;
        EXPECT_TRUE(Storage::ReadJsonFile(path, json)) << Text::ToUtf8(path);
        return json;
    }
    Overrides StoredOverrides() {
        return Character::FromJson(Read(Files::JoinPath(ana_->folder, L"character.json")))->persona_overrides;
    }
    std::optional<std::wstring> StoredChatPersona() {
        const std::wstring chats = Files::JoinPath(ana_->folder, L"chats");
        return Chat::FromJson(Read(Files::JoinPath(chats, ana_->chats->front()->id + L".json")))->persona_id;
    }
    std::wstring LastToast() const {
        const auto toasts = driver->Toasts();
        return toasts.empty() ? L"" : toasts.back();
    }

    std::unique_ptr<FrameDriver> driver;
    ChatConfigDialog* dialog = nullptr;
    std::shared_ptr<Character> ana_;
    std::shared_ptr<Persona> lucia_;
    std::shared_ptr<Persona> marcos_;
};

TEST_F(ChatConfigWindow, EditsOfTwoPersonasStayInTheCopyUntilGuardarStoresBothAndPlaysTheLast) {
    OpenChat();
    const Overrides saved = ana_->persona_overrides;
    OpenDialog();
    EXPECT_EQ(dialog->subtitle, L"Chat con Ana");
    EXPECT_EQ(dialog->selectedPersona, lucia_);
    // The persona's own traits, and the personality Ana sees.
    EXPECT_EQ(dialog->traitsText, L"curiosa");
    EXPECT_EQ(dialog->personalityText, L"Habla poco.");
    EXPECT_EQ(dialog->RowDetail(*lucia_), L"29 años · Mujer · personalizada");

    driver->ClickWidget(dialog->TraitsId());
    driver->Type(L", valiente");
    EXPECT_EQ(dialog->traitsText, L"curiosa, valiente");

    // Marcos: his own personality, the traits Ana sees; Lucía's edit waits in the copy.
    driver->ClickWidget(dialog->RowId(2));
    EXPECT_EQ(dialog->selectedPersona, marcos_);
    EXPECT_EQ(dialog->traitsText, L"serio");
    EXPECT_EQ(dialog->personalityText, L"Tranquilo.");
    EXPECT_EQ(Describe(dialog->overrides), L"persona-1{t=curiosa, valiente|p=Habla poco.} persona-2{t=serio|-} ");
    EXPECT_EQ(Describe(ana_->persona_overrides), Describe(saved));
    EXPECT_EQ(Describe(StoredOverrides()), Describe(saved));
    EXPECT_EQ(State().currentPersona, lucia_);

    driver->ClickWidget(dialog->RowId(2));  // the selected row again changes nothing
    EXPECT_EQ(dialog->traitsText, L"serio");
    driver->ClickWidget(dialog->PersonalityId());
    driver->Type(L" Muy.");

    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    EXPECT_FALSE(dialog->IsOpen());
    const std::wstring expected = L"persona-1{t=curiosa, valiente|p=Habla poco.} persona-2{t=serio|p=Tranquilo. Muy.} ";
    EXPECT_EQ(Describe(ana_->persona_overrides), expected);
    EXPECT_EQ(Describe(StoredOverrides()), expected);
    EXPECT_EQ(State().currentPersona, marcos_);
    EXPECT_EQ(StoredChatPersona(), std::optional<std::wstring>(L"persona-2"));
    EXPECT_EQ(LastToast(), L"Ahora juegas como Marcos");
    // The persona records themselves never change.
    EXPECT_EQ(marcos_->personality, L"Tranquilo.");
    EXPECT_EQ(lucia_->traits, L"curiosa");
}

TEST_F(ChatConfigWindow, TextsBackToThePersonasOwnRemoveItsEntry) {
    OpenChat();
    OpenDialog();
    // Lucía: "Restablecer" puts her own texts back.
    EXPECT_TRUE(dialog->Adjusted());
    driver->ClickWidget(dialog->ResetId());
    EXPECT_EQ(dialog->personalityText, L"Habla claro.");
    EXPECT_FALSE(dialog->Adjusted());
    driver->ClickWidget(dialog->TraitsId());
    driver->Type(L"!");
    EXPECT_TRUE(dialog->Adjusted());
    driver->Key(VK_BACK);
    EXPECT_EQ(dialog->traitsText, L"curiosa");
    EXPECT_FALSE(dialog->Adjusted());

    // Marcos: his traits typed back to his own (none).
    driver->ClickWidget(dialog->RowId(2));
    EXPECT_EQ(Describe(dialog->overrides), L"persona-2{t=serio|-} ");
    EXPECT_EQ(dialog->RowDetail(*lucia_), L"29 años · Mujer");
    driver->ClickWidget(dialog->TraitsId());
    driver->Key('A', FrameDriver::kCtrl);
    driver->Key(VK_BACK);
    EXPECT_EQ(dialog->traitsText, L"");
    EXPECT_FALSE(dialog->Adjusted());

    driver->Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_TRUE(ana_->persona_overrides.empty());
    EXPECT_TRUE(StoredOverrides().empty());
    EXPECT_EQ(dialog->RowDetail(*marcos_), L"Hombre");
    EXPECT_EQ(StoredChatPersona(), std::optional<std::wstring>(L"persona-2"));
}

TEST_F(ChatConfigWindow, SinPersonaClearsTheChatsPersonaAndCancelWritesNothing) {
    OpenChat();
    OpenDialog();
    // The list always has a row more than there are personas.
    driver->ClickWidget(dialog->TraitsId());
    driver->Type(L"x");
    driver->ClickWidget(dialog->RowId(0));
    EXPECT_EQ(dialog->selectedPersona, nullptr);
    // The panel shrinks about its centre: the footer is where the next frame puts it.
    driver->Frame();
    EXPECT_FLOAT_EQ(dialog->ContentHeight(driver->Ui(), 552), 3 * 64 + 46);

    // Cancelled: the character, its file and the chat keep what they held.
    driver->ClickWidget(dialog->LabelId(L"Cancelar"));
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(State().currentPersona, lucia_);
    EXPECT_EQ(StoredChatPersona(), std::optional<std::wstring>(L"persona-1"));
    EXPECT_EQ(Describe(ana_->persona_overrides), L"persona-1{-|p=Habla poco.} persona-2{t=serio|-} ");
    EXPECT_EQ(Describe(StoredOverrides()), Describe(ana_->persona_overrides));

    // Opened again from the saved map: the typed "x" is gone.
    driver->RunFor(0.5, kStep);
    OpenDialog();
    EXPECT_EQ(dialog->traitsText, L"curiosa");
    driver->ClickWidget(dialog->RowId(0));
    driver->Frame();
    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    EXPECT_EQ(State().currentPersona, nullptr);
    EXPECT_EQ(StoredChatPersona(), std::nullopt);
    EXPECT_EQ(LastToast(), L"Chat sin persona");
    EXPECT_EQ(Describe(StoredOverrides()), L"persona-1{-|p=Habla poco.} persona-2{t=serio|-} ");
}

TEST_F(ChatConfigWindow, WithoutAnOpenChatItSaysSoAndStaysClosed) {
    dialog->Open();
    driver->Frame();
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(driver->TopOverlay(), nullptr);
    EXPECT_EQ(LastToast(), L"No hay ningún chat abierto.");
}

TEST_F(ChatConfigWindow, ASaveAfterAPullRemovedThePersonaOrTheCharacterWritesNothing) {
    OpenChat();
    OpenDialog();
    driver->ClickWidget(dialog->RowId(2));
    driver->ClickWidget(dialog->TraitsId());
    driver->Type(L", callado");

    Services::CloudSync::RemoteItem personaGone;
    personaGone.kind = L"persona";
    personaGone.id = marcos_->id;
    personaGone.deleted = true;
    AgreeWithCloudOnEverything();
    State().ApplyRemoteItems({personaGone});
    driver->Frame();
    // The rows follow the list; the persona still chosen cannot be saved, another one can.
    EXPECT_EQ(driver->WidgetRect(dialog->RowId(2)), std::nullopt);
    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    EXPECT_TRUE(dialog->IsOpen());
    EXPECT_EQ(LastToast(), L"Este usuario ya no existe.");
    EXPECT_EQ(Describe(StoredOverrides()), L"persona-1{-|p=Habla poco.} persona-2{t=serio|-} ");
    EXPECT_EQ(StoredChatPersona(), std::optional<std::wstring>(L"persona-1"));

    driver->ClickWidget(dialog->RowId(1));
    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(LastToast(), L"Ahora juegas como Lucía");

    // The character goes while the dialog is open: its folder is not written back.
    driver->RunFor(0.5, kStep);
    OpenDialog();
    Services::CloudSync::RemoteItem characterGone;
    characterGone.kind = L"character";
    characterGone.id = ana_->id;
    characterGone.deleted = true;
    AgreeWithCloudOnEverything();
    State().ApplyRemoteItems({characterGone});
    ASSERT_FALSE(Files::IsDir(ana_->folder));
    dialog->OnSubmit();
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(LastToast(), L"Este personaje ya no existe.");
    EXPECT_FALSE(Files::IsDir(ana_->folder));
}

}  // namespace
}  // namespace Lorvex::Testing

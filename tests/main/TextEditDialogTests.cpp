// The text edit dialog on the real window, opened as the chat screen opens it to edit a message:
// the editor has the keyboard at once, Enter breaks lines, and only a text with more than blanks
// is handed on, as typed, after the dialog has closed.

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "main/MainWindow.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "services/state/AppState.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::TextEditDialog;

constexpr double kStep = 0.05;

class TextEditWindow : public ::testing::Test {
protected:
    void SetUp() override {
        FrameDriver::Options options = WindowWithPersona(false, 980, 640);
        auto ana = Character::Create();
        ana->name = L"Ana";
        auto chat = Chat::Create();
        chat->messages.push_back(Message::Create(L"assistant", L"Hola.\nBienvenida."));
        ana->chats->push_back(chat);
        options.characters.push_back(ana);
        driver = std::make_unique<FrameDriver>(options);
        ASSERT_TRUE(driver->Settle(10, kStep));
        driver->Window().OpenCharacter(FrameDriver::State().characters.front());
        ASSERT_TRUE(driver->Settle(10, kStep));
        dialog = driver->Window().textEditDialog.get();
    }

    // As the chat screen edits a message: the header, the text, the note and the save function.
    void OpenOn(const std::wstring& text, const std::wstring& note) {
        dialog->title = L"Editar mensaje";
        dialog->subtitle = L"Respuesta de Ana";
        dialog->editText = text;
        dialog->note = note;
        dialog->onSave = [this](const std::wstring& saved) {
            handed.push_back(saved);
            openDuringSave.push_back(dialog->IsOpen());
            if (onSaved) {
                onSaved(saved);
            }
        };
        dialog->focusPending = true;
        dialog->Open();
        driver->Frame();
    }

    std::unique_ptr<FrameDriver> driver;
    TextEditDialog* dialog = nullptr;
    std::vector<std::wstring> handed;
    std::vector<bool> openDuringSave;
    std::function<void(const std::wstring&)> onSaved;
};

TEST_F(TextEditWindow, TheTypedTextIsHandedOnUntrimmedAfterTheDialogClosed) {
    Services::AppState& state = FrameDriver::State();
    const std::shared_ptr<Message> message = state.currentChat->messages.front();
    // The receiver trims and writes the chat, then opens another dialog.
    onSaved = [&](const std::wstring& text) {
        state.EditMessage(message, text);
        driver->Window().confirmDialog->Open(
            L"Hecho", L"", L"Vale", false, [] {}, UI::Material::Icon::Check);
    };
    OpenOn(message->content, L"El personaje responderá de nuevo.");
    EXPECT_EQ(driver->Ui().focus, dialog->EditorId());
    EXPECT_FALSE(dialog->focusPending);
    EXPECT_FLOAT_EQ(dialog->ContentHeight(driver->Ui(), 672), 330);
    driver->RunFor(0.6, kStep);

    // Enter alone breaks the line; the editor kept the keyboard from the first frame.
    driver->Key(VK_END, FrameDriver::kCtrl);
    driver->Key(VK_RETURN);
    driver->Type(L"¿Qué tal?  ");
    EXPECT_TRUE(dialog->IsOpen());
    EXPECT_EQ(dialog->editText, L"Hola.\nBienvenida.\n¿Qué tal?  ");

    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    ASSERT_EQ(handed, (std::vector<std::wstring>{L"Hola.\nBienvenida.\n¿Qué tal?  "}));
    EXPECT_EQ(openDuringSave, (std::vector<bool>{false}));
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(driver->TopOverlay(), driver->Window().confirmDialog.get());

    const std::shared_ptr<Character> ana = state.currentCharacter;
    Json::Value json;
    ASSERT_TRUE(Storage::ReadJsonFile(
        Files::JoinPath(Files::JoinPath(ana->folder, L"chats"), state.currentChat->id + L".json"), json));
    const std::shared_ptr<Chat> stored = Chat::FromJson(json);
    ASSERT_EQ(stored->messages.size(), 1u);
    EXPECT_EQ(stored->messages.front()->content, L"Hola.\nBienvenida.\n¿Qué tal?");
}

TEST_F(TextEditWindow, ABlankTextCannotBeSavedAndCancelCallsNothing) {
    OpenOn(L"Algo", L"");
    EXPECT_FLOAT_EQ(dialog->ContentHeight(driver->Ui(), 672), 300);
    driver->RunFor(0.6, kStep);
    driver->Key('A', FrameDriver::kCtrl);
    driver->Type(L"  ");
    driver->Key(VK_RETURN);
    driver->Type(L"\u00A0");
    EXPECT_EQ(dialog->editText, L"  \n\u00A0");

    driver->ClickWidget(dialog->LabelId(L"Guardar"));
    driver->Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_TRUE(dialog->IsOpen());
    EXPECT_TRUE(handed.empty());

    driver->Type(L"x");
    driver->ClickWidget(dialog->LabelId(L"Cancelar"));
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_TRUE(handed.empty());

    // Escape closes it too, without a call; Ctrl+Enter saves.
    driver->RunFor(0.5, kStep);
    OpenOn(L"Uno", L"");
    driver->RunFor(0.6, kStep);
    driver->Key(VK_ESCAPE);
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_TRUE(handed.empty());
    driver->RunFor(0.5, kStep);
    OpenOn(L"Dos", L"");
    driver->Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(handed, (std::vector<std::wstring>{L"Dos"}));
    // Also a quick one, its Ctrl let go before the frame that reads it, and no line is broken.
    driver->RunFor(0.5, kStep);
    OpenOn(L"Tres", L"");
    driver->QuickKey(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(dialog->IsOpen());
    EXPECT_EQ(handed, (std::vector<std::wstring>{L"Dos", L"Tres"}));
}

}  // namespace
}  // namespace Lorvex::Testing

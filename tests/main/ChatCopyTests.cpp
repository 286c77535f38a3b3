// The conversation copy: the exact text built from small records (sheets, the persona as the
// character sees it, the lines that were really said, a duo), and what the chat's copy button
// reports when there is nothing to copy, when the clipboard takes the text and when it refuses it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatCopy.h"
#include "services/state/AppState.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

const std::wstring kRule(58, L'-');

std::shared_ptr<Message> Line(const std::wstring& role, const std::wstring& content,
                              const std::wstring& speaker = L"") {
    auto message = Message::Create(role, content);
    if (!speaker.empty()) {
        message->character_name = speaker;
    }
    return message;
}

// A character with nothing but its name; the speech style has a value by default.
std::shared_ptr<Character> Bare(const std::wstring& name) {
    auto character = Character::Create();
    character->name = name;
    character->speech_style.clear();
    return character;
}

std::shared_ptr<Persona> PersonaNamed(const std::wstring& id, const std::wstring& name) {
    auto persona = std::make_shared<Persona>();
    persona->id = id;
    persona->name = name;
    return persona;
}

// The part after the sheets.
std::wstring Conversation(const std::wstring& lines) {
    return L"\r\n" + kRule + L"\r\n\r\nCONVERSACIÓN\r\n\r\n" + lines;
}

const std::wstring kNoUser = L"\r\n" + kRule + L"\r\n\r\nUSUARIO: (sin usuario seleccionado)\r\n";

TEST(ConversationCopy, GoldenTexts) {
    struct Case {
        const char* what;
        std::shared_ptr<Character> character;
        std::shared_ptr<Character> partner;
        std::vector<std::shared_ptr<Message>> messages;
        std::shared_ptr<Persona> persona;
        std::wstring text;
        size_t entries;
    };
    std::vector<Case> cases;

    {
        auto ana = Bare(L"Ana");
        ana->speech_style = L"Normal";
        ana->initial_message = L"¡Hola! ¿Qué tal?";
        cases.push_back({"greeting only",
                         ana,
                         nullptr,
                         {Line(L"assistant", L"¡Hola! ¿Qué tal?")},
                         nullptr,
                         L"PERSONAJE: Ana\r\nEstilo de habla: Normal\r\nMensaje inicial: ¡Hola! ¿Qué tal?\r\n" +
                             kNoUser + Conversation(L"Ana: ¡Hola! ¿Qué tal?"),
                         1});
    }
    {
        auto pending = Line(L"assistant", L"Estoy escri");
        pending->is_typing = true;
        auto failed = Line(L"assistant", L"");
        failed->error = L"Sin conexión";
        auto failedWithText = Line(L"assistant", L"A medias");
        failedWithText->error = L"Se cortó";
        cases.push_back({"pending, failed and empty lines are skipped; no persona speaks as Tú",
                         Bare(L"Bea"),
                         nullptr,
                         {Line(L"user", L"Hola"), pending, failed, failedWithText, Line(L"assistant", L""),
                          Line(L"assistant", L"Dime"), Line(L"user", L"Adiós")},
                         nullptr,
                         L"PERSONAJE: Bea\r\n" + kNoUser + Conversation(L"Tú: Hola\r\n\r\nBea: Dime\r\n\r\nTú: Adiós"),
                         3});
    }
    {
        auto ana = Character::Create();
        ana->name = L"Ana";
        ana->age = L"27";
        ana->gender = L"Mujer";
        ana->orientation = L"Bisexual";
        ana->traits = L"curiosa";
        ana->personality = L"alegre";
        ana->background = L"Creció en Vigo";
        ana->scenario = L"Un café";
        ana->speech_style = L"Amistoso";
        ana->initial_message = L"¡Hola!";
        KnownCharacter marta;
        marta.name = L"Marta";
        marta.age = L"31";
        marta.relationship = L"hermana";
        marta.importance = L"Principal";
        marta.description = L"Médica";
        marta.personality = {L"Leal", L"Seria"};
        marta.bubble_name = L"Mar";  // never part of the sheet
        KnownCharacter nameless;     // every field empty but the importance's default
        ana->known_characters = {marta, nameless};
        cases.push_back({"every field of the sheet and of its known people, in order; no lines",
                         ana,
                         nullptr,
                         {},
                         nullptr,
                         L"PERSONAJE: Ana\r\nEdad: 27\r\nGénero: Mujer\r\nOrientación: Bisexual\r\nRasgos: curiosa\r\n"
                         L"Personalidad: alegre\r\nHistoria: Creció en Vigo\r\nEscenario: Un café\r\n"
                         L"Estilo de habla: Amistoso\r\nMensaje inicial: ¡Hola!\r\n"
                         L"\r\nPersonajes conocidos de Ana:\r\n"
                         L"\r\n- Marta\r\n  Edad: 31\r\n  Relación: hermana\r\n  Importancia: Principal\r\n"
                         L"  Descripción: Médica\r\n  Personalidad:\r\n    - Leal\r\n    - Seria\r\n"
                         L"\r\n- \r\n  Importancia: De fondo\r\n" +
                             kNoUser + Conversation(L""),
                         0});
    }
    {
        auto lucia = PersonaNamed(L"persona-lucia", L"Lucía");
        lucia->age = L"29";
        lucia->gender = L"Mujer";
        lucia->traits = L"tímida";
        lucia->personality = L"callada";
        KnownCharacter leo;
        leo.name = L"Leo";
        leo.importance.clear();
        lucia->known_characters = {leo};
        auto bea = Bare(L"Bea");
        // Bea sees Lucía as brave, and with no personality at all: a set field wins even when empty.
        bea->persona_overrides[lucia->id] = PersonaOverride{L"valiente", L""};
        cases.push_back({"the persona as the character sees it",
                         bea,
                         nullptr,
                         {Line(L"user", L"Hola, Bea"), Line(L"assistant", L"Hola")},
                         lucia,
                         L"PERSONAJE: Bea\r\n\r\n" + kRule +
                             L"\r\n\r\nUSUARIO: Lucía\r\nEdad: 29\r\nGénero: Mujer\r\nRasgos: valiente\r\n"
                             L"\r\nPersonajes conocidos de Lucía:\r\n\r\n- Leo\r\n" +
                             Conversation(L"Lucía: Hola, Bea\r\n\r\nBea: Hola"),
                         2});
    }
    {
        auto marcos = PersonaNamed(L"persona-marcos", L"Marcos");
        marcos->personality = L"Bromista";
        auto kai = Bare(L"Kai");
        kai->age = L"24";
        auto lola = Bare(L"Lola");
        cases.push_back(
            {"a duo: two sheets, each line under its speaker",
             kai,
             lola,
             {Line(L"assistant", L"Hola", L"Kai"), Line(L"user", L"Buenas"), Line(L"assistant", L"¡Por fin!", L"Lola"),
              Line(L"assistant", L"Sin nombre")},
             marcos,
             L"PERSONAJE: Kai\r\nEdad: 24\r\n\r\n" + kRule + L"\r\n\r\nPERSONAJE DUAL: Lola\r\n\r\n" + kRule +
                 L"\r\n\r\nUSUARIO: Marcos\r\nPersonalidad: Bromista\r\n" +
                 Conversation(L"Kai: Hola\r\n\r\nMarcos: Buenas\r\n\r\nLola: ¡Por fin!\r\n\r\nKai: Sin nombre"),
             4});
    }

    for (const Case& c : cases) {
        Chat chat;
        chat.messages = c.messages;
        const Main::ConversationCopy copy = Main::BuildConversationCopy(*c.character, c.partner.get(), chat, c.persona);
        EXPECT_EQ(copy.text, c.text) << c.what;
        EXPECT_EQ(copy.entries, c.entries) << c.what;
    }
}

TEST(ConversationCopy, TheAdjustmentIsAppliedToACopyOnly) {
    auto lucia = PersonaNamed(L"persona-lucia", L"Lucía");
    lucia->traits = L"tímida";
    auto bea = Bare(L"Bea");
    bea->persona_overrides[lucia->id] = PersonaOverride{L"valiente", std::nullopt};
    Chat chat;
    EXPECT_NE(Main::BuildConversationCopy(*bea, nullptr, chat, lucia).text.find(L"Rasgos: valiente\r\n"),
              std::wstring::npos);
    EXPECT_EQ(lucia->traits, L"tímida");
}

// The chat screen of a character whose only line is its greeting, in the small window.
FrameDriver::Options GreetingOnly() {
    FrameDriver::Options options = WindowWithPersona(true, 980, 640);
    auto ana = Character::Create();
    ana->name = L"Ana";
    ana->initial_message = L"¡Hola!";
    options.characters.push_back(ana);
    return options;
}

TEST(ConversationCopy, TheCopyButtonReportsWhatTheClipboardDid) {
    FrameDriver driver(GreetingOnly());
    Main::MainWindow& window = driver.Window();
    window.OpenCharacter(FrameDriver::State().characters.front());
    driver.Settle(10, 0.05);
    Services::AppState& state = FrameDriver::State();

    driver.ClickWidget("top-copy");
    EXPECT_EQ(driver.Toasts().back(), L"Conversación copiada (1 mensajes)");
    EXPECT_EQ(
        driver.clipboard,
        Main::BuildConversationCopy(*state.currentCharacter, nullptr, *state.currentChat, state.currentPersona).text);

    // A clipboard that refuses the text is an error, and what it held stays.
    int offered = 0;
    Text::SetClipboardForTesting({[&offered](const std::wstring&) {
                                      ++offered;
                                      return false;
                                  },
                                  [] { return std::wstring(L"antes"); }});
    window.toasts = {};
    driver.ClickWidget("top-copy");
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(driver.Toasts(), std::vector<std::wstring>{L"No se pudo copiar al portapapeles"});
    EXPECT_EQ(window.toasts.Items().back().kind, Main::Kit::ToastKind::Error);

    // Nothing said yet: nothing is offered to the clipboard.
    state.currentChat->messages.clear();
    window.toasts = {};
    driver.ClickWidget("top-copy");
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(driver.Toasts(), std::vector<std::wstring>{L"No hay mensajes que copiar"});
}

}  // namespace
}  // namespace Lorvex::Testing

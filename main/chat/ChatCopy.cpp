// The conversation copy: the sheets and the conversation as one text, and its way to the
// clipboard.

#include "main/chat/ChatCopy.h"

#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "services/state/AppState.h"

namespace Lorvex::Main {
namespace {

const std::wstring kRule(58, L'-');

// The text the user's persona gets: its fields as this character sees it, or the note that no
// one is played.
std::wstring UserSheet(const Character& character, const std::shared_ptr<Persona>& played) {
    if (!played) {
        return L"USUARIO: (sin usuario seleccionado)\r\n";
    }
    const std::shared_ptr<Persona> persona = Character::ApplyPersonaOverride(played, character);
    std::wstring text = L"USUARIO: " + persona->name + L"\r\n";
    ChatScreen::AppendSheetField(text, L"Edad", persona->age);
    ChatScreen::AppendSheetField(text, L"Género", persona->gender);
    ChatScreen::AppendSheetField(text, L"Orientación", persona->orientation);
    ChatScreen::AppendSheetField(text, L"Rasgos", persona->traits);
    ChatScreen::AppendSheetField(text, L"Personalidad", persona->personality);
    if (!persona->known_characters.empty()) {
        text += L"\r\nPersonajes conocidos de " + persona->name + L":\r\n";
        for (const KnownCharacter& person : persona->known_characters) {
            ChatScreen::AppendKnownPerson(text, person);
        }
    }
    return text;
}

}  // namespace

void ChatScreen::AppendSheetField(std::wstring& text, const std::wstring& label, const std::wstring& value) {
    if (!value.empty()) {
        text += label + L": " + value + L"\r\n";
    }
}

void ChatScreen::AppendKnownPerson(std::wstring& text, const KnownCharacter& person) {
    text += L"\r\n- " + person.name + L"\r\n";
    AppendSheetField(text, L"  Edad", person.age);
    AppendSheetField(text, L"  Relación", person.relationship);
    AppendSheetField(text, L"  Importancia", person.importance);
    AppendSheetField(text, L"  Descripción", person.description);
    if (!person.personality.empty()) {
        text += L"  Personalidad:\r\n";
        for (const std::wstring& item : person.personality) {
            text += L"    - " + item + L"\r\n";
        }
    }
}

std::wstring ChatScreen::CharacterSheet(const Character& character, const std::wstring& heading) {
    std::wstring text = heading + L": " + character.name + L"\r\n";
    AppendSheetField(text, L"Edad", character.age);
    AppendSheetField(text, L"Género", character.gender);
    AppendSheetField(text, L"Orientación", character.orientation);
    AppendSheetField(text, L"Rasgos", character.traits);
    AppendSheetField(text, L"Personalidad", character.personality);
    AppendSheetField(text, L"Historia", character.background);
    AppendSheetField(text, L"Escenario", character.scenario);
    AppendSheetField(text, L"Estilo de habla", character.speech_style);
    AppendSheetField(text, L"Mensaje inicial", character.initial_message);
    if (!character.known_characters.empty()) {
        text += L"\r\nPersonajes conocidos de " + character.name + L":\r\n";
        for (const KnownCharacter& person : character.known_characters) {
            AppendKnownPerson(text, person);
        }
    }
    return text;
}

ConversationCopy BuildConversationCopy(const Character& character, const Character* partner, const Chat& chat,
                                       const std::shared_ptr<Persona>& persona) {
    ConversationCopy copy;
    std::wstring conversation;
    for (const std::shared_ptr<Message>& message : chat.messages) {
        // A line still being written or one that failed was never said.
        if (message->is_typing || !message->error.empty() || message->content.empty()) {
            continue;
        }
        std::wstring speaker;
        if (message->role == L"user") {
            speaker = persona ? persona->name : L"Tú";
        } else {
            speaker = message->character_name ? *message->character_name : character.name;
        }
        if (copy.entries > 0) {
            conversation += L"\r\n\r\n";
        }
        conversation += speaker + L": " + message->content;
        ++copy.entries;
    }

    copy.text = ChatScreen::CharacterSheet(character, L"PERSONAJE");
    if (partner) {
        copy.text += L"\r\n" + kRule + L"\r\n\r\n" + ChatScreen::CharacterSheet(*partner, L"PERSONAJE DUAL");
    }
    copy.text += L"\r\n" + kRule + L"\r\n\r\n";
    copy.text += UserSheet(character, persona);
    copy.text += L"\r\n" + kRule + L"\r\n\r\nCONVERSACIÓN\r\n\r\n" + conversation;
    return copy;
}

void ChatScreen::CopyConversation() {
    const Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter || !state.currentChat) {
        return;
    }
    const Character* partner = state.dualMode ? state.dualPartner.get() : nullptr;
    const ConversationCopy copy =
        BuildConversationCopy(*state.currentCharacter, partner, *state.currentChat, state.currentPersona);
    if (copy.entries == 0) {
        owner->toasts.Push(L"No hay mensajes que copiar", Kit::ToastKind::Info);
    } else if (Text::CopyToClipboard(copy.text)) {
        owner->toasts.Push(L"Conversación copiada (" + std::to_wstring(copy.entries) + L" mensajes)",
                           Kit::ToastKind::Success);
    } else {
        owner->toasts.Push(L"No se pudo copiar al portapapeles", Kit::ToastKind::Error);
    }
}

}  // namespace Lorvex::Main

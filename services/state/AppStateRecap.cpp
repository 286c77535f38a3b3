// A recap of the open chat and the new chat that carries the story on from it.

#include "services/state/AppState.h"

#include "foundation/Time.h"

namespace Lorvex::Services {

namespace {

constexpr size_t kRecapWindow = 10;
constexpr size_t kRecapTextUnits = 100;
constexpr size_t kCarriedMessages = 2;

// At most kRecapTextUnits units; a cut never splits a surrogate pair.
std::wstring Shortened(const std::wstring& text) {
    if (text.size() <= kRecapTextUnits) {
        return text;
    }
    size_t cut = kRecapTextUnits;
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
        --cut;
    }
    return text.substr(0, cut) + L"...";
}

}  // namespace

std::wstring AppState::BuildRecap() const {
    if (!currentChat || currentChat->messages.empty()) {
        return {};
    }
    const std::wstring userName = currentPersona ? currentPersona->name : L"Usuario";
    const std::wstring characterName = currentCharacter ? currentCharacter->name : L"Personaje";
    const auto& messages = currentChat->messages;
    const size_t first = messages.size() > kRecapWindow ? messages.size() - kRecapWindow : 0;
    std::wstring recap;
    for (size_t i = first; i < messages.size(); ++i) {
        const Message& message = *messages[i];
        if (!Message::IsSettled(message)) {
            continue;
        }
        std::wstring speaker;
        if (message.role == L"user") {
            speaker = userName;
        } else if (message.character_name && !message.character_name->empty()) {
            speaker = *message.character_name;
        } else {
            speaker = characterName;
        }
        if (!recap.empty()) {
            recap += L" | ";
        }
        recap += speaker + L": " + Shortened(message.content);
    }
    return recap;
}

std::shared_ptr<Chat> AppState::ContinueChat() {
    if (!currentCharacter) {
        return nullptr;
    }
    if (!currentChat || currentChat->messages.empty()) {
        return NewChat();
    }
    auto chat = Chat::Create();
    chat->persona_id = currentChat->persona_id;
    chat->memory = BuildRecap();

    std::vector<std::shared_ptr<Message>> finished;
    for (const std::shared_ptr<Message>& message : currentChat->messages) {
        if (Message::IsSettled(*message)) {
            finished.push_back(message);
        }
    }
    const size_t from = finished.size() > kCarriedMessages ? finished.size() - kCarriedMessages : 0;
    for (size_t i = from; i < finished.size(); ++i) {
        const Message& source = *finished[i];
        auto copy = std::make_shared<Message>();
        copy->line_id = Time::NewUuid();
        copy->role = source.role;
        copy->content = source.content;
        copy->timestamp = source.timestamp;
        copy->character_id = source.character_id;
        copy->character_name = source.character_name;
        chat->messages.push_back(std::move(copy));
    }

    currentCharacter->chats->insert(currentCharacter->chats->begin(), chat);
    currentChat = chat;
    WriteChat(CurrentCharacters(), chat);
    Changed();
    return chat;
}

}  // namespace Lorvex::Services

#include "domain/Records.h"

#include "foundation/Markup.h"
#include "foundation/Text.h"
#include "foundation/Time.h"

namespace Lorvex {

namespace {

void AppendPhoto(std::vector<std::wstring>& paths, const std::optional<std::wstring>& photo) {
    if (photo && !photo->empty()) {
        paths.push_back(*photo);
    }
}

std::vector<std::wstring> PathsOf(const std::optional<std::wstring>& photo, const std::vector<KnownCharacter>& known) {
    std::vector<std::wstring> paths;
    AppendPhoto(paths, photo);
    for (const KnownCharacter& person : known) {
        AppendPhoto(paths, person.photoPath);
    }
    return paths;
}

}  // namespace

std::shared_ptr<Message> Message::Create(const std::wstring& role, const std::wstring& content) {
    auto message = std::make_shared<Message>();
    message->line_id = Time::NewUuid();
    message->role = role;
    message->content = content;
    message->timestamp = Time::NowIso();
    return message;
}

bool Message::IsSettled(const Message& message) {
    return !message.is_typing && message.error.empty();
}

std::shared_ptr<Chat> Chat::Create() {
    auto chat = std::make_shared<Chat>();
    chat->id = Time::NewUuid();
    chat->timestamp = Time::NowIso();
    return chat;
}

std::wstring Chat::LastMessagePreview(const Chat& chat) {
    for (auto it = chat.messages.rbegin(); it != chat.messages.rend(); ++it) {
        const auto& message = *it;
        if (!message || !Message::IsSettled(*message) || message->content.empty()) {
            continue;
        }
        std::wstring plain = Text::PlainText(message->content);
        for (wchar_t& c : plain) {
            if (c == L'\n' || c == L'\r') {
                c = L' ';
            }
        }
        return Text::Trim(plain);
    }
    return std::wstring();
}

std::vector<std::wstring> ImagePaths(const Character& character) {
    return PathsOf(character.photoPath, character.known_characters);
}

std::vector<std::wstring> ImagePaths(const Persona& persona) {
    return PathsOf(persona.photoPath, persona.known_characters);
}

}  // namespace Lorvex

// Opening, creating, saving and deleting characters, duos, personas and chats.

#include "services/state/AppState.h"

#include <algorithm>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "services/state/AppStateDetail.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

namespace {

std::shared_ptr<Message> Greeting(const Character& speaker, bool namesSpeaker) {
    auto greeting = Message::Create(L"assistant", speaker.initial_message);
    if (namesSpeaker) {
        greeting->character_id = speaker.id;
        greeting->character_name = speaker.name;
    }
    return greeting;
}

// A new chat starts with the persona in use, else the first one, else none.
std::shared_ptr<Persona> PersonaForNewChat(const std::shared_ptr<Persona>& current,
                                           const std::vector<std::shared_ptr<Persona>>& personas) {
    if (current) {
        return current;
    }
    return personas.empty() ? nullptr : personas.front();
}

}  // namespace

void AppState::OpenCharacter(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    currentCharacter = character;
    currentChat = nullptr;
    if (character->is_dual_mode) {
        dualMode = true;
        dualPartner = character->dual_partner_id ? FindCharacter(*character->dual_partner_id) : nullptr;
        if (dualPartner == character) {
            dualPartner = nullptr;  // a record naming itself would speak and be written twice
        }
        participantIds = {character->id};
        if (dualPartner) {
            participantIds.push_back(dualPartner->id);
            if (!character->chats->empty()) {
                dualPartner->chats = character->chats;
            }
        }
    } else {
        dualMode = false;
        dualPartner = nullptr;
        participantIds.clear();
    }
    if (character->chats->empty()) {
        NewChat();
    } else {
        SelectChat(character->chats->front());
    }
}

void AppState::SelectChat(const std::shared_ptr<Chat>& chat) {
    currentChat = chat;
    if (chat) {
        if (chat->persona_id) {
            currentPersona = nullptr;
            for (const std::shared_ptr<Persona>& persona : personas) {
                if (persona->id == *chat->persona_id) {
                    currentPersona = persona;
                    break;
                }
            }
        } else if (!currentPersona) {
            currentPersona = personas.empty() ? nullptr : personas.front();
        }
    }
    Changed();
}

std::shared_ptr<Chat> AppState::NewChat() {
    if (!currentCharacter) {
        return nullptr;
    }
    auto chat = Chat::Create();
    const std::shared_ptr<Persona> persona = PersonaForNewChat(currentPersona, personas);
    if (persona) {
        chat->persona_id = persona->id;
    }
    if (!currentCharacter->initial_message.empty()) {
        chat->messages.push_back(Greeting(*currentCharacter, dualMode));
    }
    currentCharacter->chats->insert(currentCharacter->chats->begin(), chat);
    currentChat = chat;
    currentPersona = persona;
    WriteChat(CurrentCharacters(), chat);
    Changed();
    return chat;
}

void AppState::CloseChat() {
    if (currentCharacter && currentChat) {
        WriteChat(CurrentCharacters(), currentChat);
    }
    currentCharacter = nullptr;
    currentChat = nullptr;
    dualPartner = nullptr;
    dualMode = false;
    participantIds.clear();
    Changed();
}

void AppState::SetChatPersona(const std::shared_ptr<Persona>& persona) {
    currentPersona = persona;
    if (currentChat) {
        currentChat->persona_id = persona ? std::optional<std::wstring>(persona->id) : std::nullopt;
        WriteChat(CurrentCharacters(), currentChat);
    }
    Changed();
}

bool AppState::SaveCurrentChat() {
    return !currentChat || WriteChat(CurrentCharacters(), currentChat);
}

bool AppState::SaveCharacter(const std::shared_ptr<Character>& character) {
    bool written = false;
    if (character) {
        StoreKnownImages(character->known_characters);
        written = Storage::SaveCharacter(*character);
        // Unwritten, the file on disk still holds the former form: the cloud is not sent a form the
        // disk lacks, and pictures that file may still name are not released.
        if (written) {
            CloudSync::Instance().OnCharacterSaved(*character);
            SetImages(*character, true);
        }
    }
    Changed();
    return written;
}

void AppState::DeleteCharacter(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    // Its replies must not outlive it: a late reply would write the chat back into a folder that
    // is about to go.
    for (const std::shared_ptr<Chat>& chat : *character->chats) {
        CancelRepliesIn(chat);
    }
    if (character == currentCharacter || character == dualPartner) {
        CloseChat();
    }
    CloudSync& cloud = CloudSync::Instance();
    cloud.OnCharacterDeleted(*character);
    if (Files::IsDir(character->folder)) {
        Files::RemoveTree(character->folder);
    }
    EraseItem(characters, character);
    for (const std::shared_ptr<Character>& other : characters) {
        if (other->is_dual_mode && other->dual_partner_id == character->id) {
            other->is_dual_mode = false;
            other->dual_partner_id.reset();
            other->chats = std::make_shared<ChatList>(*other->chats);
            Storage::SaveCharacter(*other);
            cloud.OnCharacterSaved(*other);
        }
    }
    ForgetImages(character->id, true);
    Changed();
}

void AppState::DeleteAllChats(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    const std::shared_ptr<ChatList> list = character->chats;
    for (const std::shared_ptr<Chat>& chat : *list) {
        CancelRepliesIn(chat);
    }
    if (currentCharacter && currentCharacter->chats == list) {
        currentChat = nullptr;
    }
    const std::vector<std::shared_ptr<Character>> holders = HoldersOf(character);
    CloudSync& cloud = CloudSync::Instance();
    for (const std::shared_ptr<Character>& holder : holders) {
        for (const std::shared_ptr<Chat>& chat : *holder->chats) {
            cloud.OnChatDeleted(*holder, *chat);
        }
    }
    list->clear();
    for (const std::shared_ptr<Character>& holder : holders) {
        if (!holder->folder.empty()) {
            for (const std::wstring& file :
                 Files::ListFiles(Files::JoinPath(holder->folder, L"chats"), L"*.json", false)) {
                Files::RemoveFile(file);
            }
        }
        Storage::SaveCharacter(*holder);
    }
    Changed();
}

void AppState::DeleteChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat) {
    if (!character || !chat) {
        return;
    }
    CancelRepliesIn(chat);
    EraseItem(*character->chats, chat);
    CloudSync& cloud = CloudSync::Instance();
    for (const std::shared_ptr<Character>& holder : HoldersOf(character)) {
        Storage::DeleteChatFile(*holder, *chat);
        cloud.OnChatDeleted(*holder, *chat);
    }
    if (chat == currentChat) {
        currentChat = nullptr;
    }
    Changed();
}

bool AppState::CreateDuo(const std::shared_ptr<Character>& first, const std::shared_ptr<Character>& second) {
    if (!first || !second) {
        return false;
    }
    auto list = std::make_shared<ChatList>();
    auto chat = Chat::Create();
    if (!first->initial_message.empty()) {
        chat->messages.push_back(Greeting(*first, true));
    }
    const std::shared_ptr<Persona> persona = PersonaForNewChat(currentPersona, personas);
    if (persona) {
        chat->persona_id = persona->id;
    }
    list->push_back(chat);
    first->is_dual_mode = true;
    second->is_dual_mode = true;
    first->dual_partner_id = second->id;
    second->dual_partner_id = first->id;
    first->chats = list;
    second->chats = list;
    characters.insert(characters.begin(), second);
    characters.insert(characters.begin(), first);

    StoreKnownImages(first->known_characters);
    StoreKnownImages(second->known_characters);
    const bool firstWritten = Storage::SaveCharacter(*first);
    const bool secondWritten = Storage::SaveCharacter(*second);
    const bool written = firstWritten && secondWritten;
    if (written) {
        CloudSync& cloud = CloudSync::Instance();
        cloud.OnCharacterSaved(*first);
        cloud.OnCharacterSaved(*second);
        SetImages(*first, true);
        SetImages(*second, true);
    }
    Changed();
    return written;
}

bool AppState::SavePersona(const std::shared_ptr<Persona>& persona) {
    if (!persona) {
        return false;
    }
    const auto same = std::find(personas.begin(), personas.end(), persona);
    if (same == personas.end()) {
        const auto sameId = std::find_if(personas.begin(), personas.end(),
                                         [&](const std::shared_ptr<Persona>& p) { return p->id == persona->id; });
        if (sameId == personas.end()) {
            personas.push_back(persona);
        } else {
            if (currentPersona == *sameId) {
                currentPersona = persona;
            }
            *sameId = persona;
        }
    }
    StoreKnownImages(persona->known_characters);
    const bool written = Storage::SavePersona(*persona);
    // The file on disk may still name the old photo: releasing it now would lose that picture.
    if (written) {
        CloudSync::Instance().OnPersonaSaved(*persona);
        SetImages(*persona, true);
    }
    Changed();
    return written;
}

void AppState::DeletePersona(const std::shared_ptr<Persona>& persona) {
    if (!persona) {
        return;
    }
    EraseItem(personas, persona);
    if (!persona->path.empty()) {
        Files::RemoveFile(persona->path);
    }
    CloudSync::Instance().OnPersonaDeleted(persona->id);
    if (currentPersona == persona) {
        currentPersona = nullptr;
    }
    ForgetImages(persona->id, true);
    Changed();
}

std::vector<Message> AppState::HistoryBefore(size_t n) const {
    std::vector<Message> history;
    if (!currentChat) {
        return history;
    }
    const size_t count = std::min(n, currentChat->messages.size());
    history.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        history.push_back(*currentChat->messages[i]);
    }
    return history;
}

std::vector<std::shared_ptr<Character>> AppState::HoldersOf(const std::shared_ptr<Character>& character) const {
    std::vector<std::shared_ptr<Character>> holders;
    for (const std::shared_ptr<Character>& other : characters) {
        if (other == character || other->chats == character->chats) {
            holders.push_back(other);
        }
    }
    if (std::find(holders.begin(), holders.end(), character) == holders.end()) {
        holders.insert(holders.begin(), character);
    }
    return holders;
}

}  // namespace Lorvex::Services

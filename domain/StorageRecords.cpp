// Saving characters, their chats and personas, and where the store keeps them.

#include "domain/Storage.h"

#include "domain/StorageDetail.h"
#include "domain/RecordIds.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace Lorvex::Storage {

namespace Detail {

std::wstring CharactersDir() {
    return Files::JoinPath(Paths::DataDir(), L"characters");
}

std::wstring PersonasDir() {
    return Files::JoinPath(Paths::DataDir(), L"personas");
}

std::wstring ChatsDir(const Character& character) {
    return ChatsDir(character.folder);
}

std::wstring ChatsDir(const std::wstring& characterFolder) {
    return Files::JoinPath(characterFolder, L"chats");
}

std::wstring CharacterFile(const std::wstring& characterFolder) {
    return Files::JoinPath(characterFolder, L"character.json");
}

}  // namespace Detail

using Detail::CharacterFile;
using Detail::CharactersDir;
using Detail::ChatsDir;
using Detail::PersonasDir;

namespace {

std::wstring ChatFilePath(const Character& character, const Chat& chat) {
    return Files::JoinPath(ChatsDir(character), chat.id + L".json");
}

bool WriteChat(const Character& character, const Chat& chat) {
    if (!IsSafeId(chat.id)) {
        return false;
    }
    return WriteFileAtomic(ChatFilePath(character, chat), Chat::ToJson(chat));
}

}  // namespace

bool SaveCharacter(Character& character) {
    if (!IsSafeId(character.id)) {
        return false;
    }
    if (character.folder.empty()) {
        const std::wstring folder = Files::JoinPath(CharactersDir(), MakeCharacterFolderName(character.name));
        // Without its folder the character stays unsaved, so the next save picks a name again.
        if (!Files::EnsureDir(folder)) {
            return false;
        }
        character.folder = folder;
    }
    bool ok = WriteFileAtomic(CharacterFile(character.folder), Character::ToJson(character));
    if (!Files::EnsureDir(ChatsDir(character))) {
        ok = false;
    }
    if (character.chats) {
        for (const std::shared_ptr<Chat>& chat : *character.chats) {
            if (chat && !WriteChat(character, *chat)) {
                ok = false;
            }
        }
    }
    return ok;
}

bool SaveChat(Character& character, const Chat& chat) {
    if (character.folder.empty()) {
        return SaveCharacter(character);
    }
    Files::EnsureDir(ChatsDir(character));
    return WriteChat(character, chat);
}

void DeleteChatFile(const Character& character, const Chat& chat) {
    if (character.folder.empty() || !IsSafeId(chat.id)) {
        return;
    }
    const std::wstring file = ChatFilePath(character, chat);
    if (Files::IsFile(file)) {
        Files::RemoveFile(file);
    }
}

bool SavePersona(Persona& persona) {
    if (!IsSafeId(persona.id)) {
        return false;
    }
    if (persona.path.empty()) {
        persona.path = Files::JoinPath(PersonasDir(), persona.id + L".json");
    }
    return WriteFileAtomic(persona.path, Persona::ToJson(persona));
}

}  // namespace Lorvex::Storage

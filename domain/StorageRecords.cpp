// Loading and saving characters, their chats and personas.

#include "domain/Storage.h"

#include "domain/NameOrder.h"
#include "domain/RecordIds.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"

#include <algorithm>

namespace Lorvex::Storage {

namespace {

std::wstring CharactersDir() {
    return Files::JoinPath(Paths::DataDir(), L"characters");
}

std::wstring PersonasDir() {
    return Files::JoinPath(Paths::DataDir(), L"personas");
}

std::wstring ChatsDir(const Character& character) {
    return Files::JoinPath(character.folder, L"chats");
}

std::wstring ChatFilePath(const Character& character, const Chat& chat) {
    return Files::JoinPath(ChatsDir(character), chat.id + L".json");
}

void ResolveKnownImagePaths(std::vector<KnownCharacter>& known) {
    for (KnownCharacter& person : known) {
        ResolveImagePath(person.photoPath);
    }
}

void CountSkipped(size_t* skipped) {
    if (skipped != nullptr) {
        ++*skipped;
    }
}

void LoadChats(Character& character, size_t* skipped) {
    std::vector<std::wstring> files = Files::ListFiles(ChatsDir(character), L"*.json", false);
    std::sort(files.begin(), files.end());
    for (const std::wstring& file : files) {
        Json::Value root;
        if (!ReadJsonFile(file, root)) {
            CountSkipped(skipped);
            continue;
        }
        std::shared_ptr<Chat> chat = Chat::FromJson(root);
        if (IsSafeId(chat->id)) {
            character.chats->push_back(std::move(chat));
        } else {
            CountSkipped(skipped);
        }
    }
    // Equal stamps keep the file-name order.
    std::stable_sort(
        character.chats->begin(), character.chats->end(),
        [](const std::shared_ptr<Chat>& a, const std::shared_ptr<Chat>& b) { return a->timestamp > b->timestamp; });
}

bool WriteChat(const Character& character, const Chat& chat) {
    if (!IsSafeId(chat.id)) {
        return false;
    }
    return WriteFileAtomic(ChatFilePath(character, chat), Chat::ToJson(chat));
}

}  // namespace

std::vector<std::shared_ptr<Character>> LoadCharacters(size_t* skipped) {
    std::vector<std::shared_ptr<Character>> characters;
    for (const std::wstring& folder : Files::ListDirs(CharactersDir())) {
        Json::Value root;
        if (!ReadJsonFile(Files::JoinPath(folder, L"character.json"), root)) {
            CountSkipped(skipped);
            continue;
        }
        std::shared_ptr<Character> character = Character::FromJson(root);
        if (!IsSafeId(character->id)) {
            CountSkipped(skipped);
            continue;
        }
        character->folder = folder;
        ResolveImagePath(character->photoPath);
        ResolveKnownImagePaths(character->known_characters);
        LoadChats(*character, skipped);
        characters.push_back(std::move(character));
    }
    return characters;
}

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
    bool ok = WriteFileAtomic(Files::JoinPath(character.folder, L"character.json"), Character::ToJson(character));
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

std::vector<std::shared_ptr<Persona>> LoadPersonas(size_t* skipped) {
    std::vector<std::shared_ptr<Persona>> personas;
    for (const std::wstring& file : Files::ListFiles(PersonasDir(), L"*.json", false)) {
        Json::Value root;
        if (!ReadJsonFile(file, root)) {
            CountSkipped(skipped);
            continue;
        }
        std::shared_ptr<Persona> persona = Persona::FromJson(root);
        if (!IsSafeId(persona->id)) {
            CountSkipped(skipped);
            continue;
        }
        persona->path = file;
        ResolveImagePath(persona->photoPath);
        ResolveKnownImagePaths(persona->known_characters);
        personas.push_back(std::move(persona));
    }
    std::sort(personas.begin(), personas.end(),
              [](const auto& a, const auto& b) { return NameLess(a->name, b->name); });
    return personas;
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

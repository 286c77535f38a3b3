// Loading characters with their chats, and personas. Start-up waits for this, and nearly all of
// it is reading and parsing files that do not depend on each other: with one worker a second
// thread reads the files ahead of the one that parses them, and with more the files are spread
// over them. Each thread fills only the result slots of the files it took; the records are put
// together, counted and ordered on the calling thread once every worker has ended, so the result
// is the one a single thread would give.

#include "domain/Storage.h"

#include "domain/NameOrder.h"
#include "domain/RecordIds.h"
#include "domain/StorageDetail.h"
#include "foundation/Files.h"
#include "foundation/Parallel.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Lorvex::Storage {

namespace {

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

// The record a file's text holds when the file could be read, the text is a JSON object and it
// names a safe id; else null. Built straight from the text: no value tree is made and thrown away
// for each file, and the text is not checked whole for bad UTF-8, since each of its texts is as it
// becomes a field.
template <class Record>
std::shared_ptr<Record> RecordFrom(bool read, const std::string& text) {
    if (!read) {
        return nullptr;
    }
    std::shared_ptr<Record> record = Record::FromJsonText(text);
    return record && IsSafeId(record->id) ? record : nullptr;
}

// RecordFrom, but a file that was read and holds no record (torn: cut short, or zeros after a
// power cut) gives way to the temporary its last save wrote beside it, when that one is whole.
// Rare, so the temporary is read on the thread that parses.
template <class Record>
std::shared_ptr<Record> RecordOrTemporary(bool read, const std::string& text, const std::wstring& path) {
    std::shared_ptr<Record> record = RecordFrom<Record>(read, text);
    if (record || !read) {
        return record;
    }
    std::string temporary;
    return RecordFrom<Record>(Files::ReadTextUtf8Unrepaired(Files::TemporaryFor(path), temporary), temporary);
}

// One folder under "characters": whether its file was read, the character (null when skipped),
// and its chat files in ascending order of their full paths.
struct CharacterSlot {
    std::wstring folder;
    bool read = false;
    std::shared_ptr<Character> character;
    std::vector<std::wstring> chatFiles;
};

// The folder's file system work: its file, and the list of its chats (left unused when the
// character is skipped).
void FetchCharacter(CharacterSlot& slot, std::string& buffer) {
    slot.read = Files::ReadTextUtf8Unrepaired(Detail::CharacterFile(slot.folder), buffer);
    if (slot.read) {
        slot.chatFiles = Files::ListFiles(Detail::ChatsDir(slot.folder), L"*.json", false);
        std::sort(slot.chatFiles.begin(), slot.chatFiles.end());
    }
}

void UseCharacter(CharacterSlot& slot, const std::string& text) {
    std::shared_ptr<Character> character =
        RecordOrTemporary<Character>(slot.read, text, Detail::CharacterFile(slot.folder));
    if (!character) {
        slot.chatFiles.clear();
        return;
    }
    character->folder = slot.folder;
    ResolveImagePath(character->photoPath);
    ResolveKnownImagePaths(character->known_characters);
    slot.character = std::move(character);
}

// One chat file of a loaded character: the chat, null when skipped.
struct ChatSlot {
    Character* owner = nullptr;
    const std::wstring* file = nullptr;
    bool read = false;
    std::shared_ptr<Chat> chat;
};

struct PersonaSlot {
    std::wstring file;
    bool read = false;
    std::shared_ptr<Persona> persona;
};

// Fewer files than this are read on the calling thread: the threads and the heap's read-back that
// decides on them would cost more than they save.
constexpr size_t kFilesWorthThreads = 64;

size_t LoadWorkers(size_t requested, size_t files) {
    if (requested != 0) {
        return Parallel::Workers(requested);
    }
    return files < kFilesWorthThreads ? 1 : Parallel::AllocatingWorkers();
}

}  // namespace

std::vector<std::shared_ptr<Character>> LoadCharacters(size_t* skipped, size_t requested) {
    std::vector<CharacterSlot> characters;
    for (std::wstring& folder : Files::ListDirs(Detail::CharactersDir())) {
        characters.push_back(CharacterSlot{std::move(folder), false, nullptr, {}});
    }
    // A character's file and its chats come to about ten files each.
    const size_t files = characters.size() * 10;
    const size_t workers = LoadWorkers(requested, files);
    const bool fetchAhead = files >= kFilesWorthThreads;

    // Two rounds, so that the chats of one large character are spread too: first every
    // character with its list of chat files, then every chat file.
    Parallel::ForEachFetched(
        characters.size(), workers, fetchAhead,
        [&](size_t index, std::string& buffer) { FetchCharacter(characters[index], buffer); },
        [&](size_t index, std::string& buffer) { UseCharacter(characters[index], buffer); });

    std::vector<ChatSlot> chats;
    for (CharacterSlot& slot : characters) {
        if (slot.character) {
            for (const std::wstring& file : slot.chatFiles) {
                chats.push_back(ChatSlot{slot.character.get(), &file, false, nullptr});
            }
        }
    }
    Parallel::ForEachFetched(
        chats.size(), workers, fetchAhead,
        [&](size_t index, std::string& buffer) {
            chats[index].read = Files::ReadTextUtf8Unrepaired(*chats[index].file, buffer);
        },
        [&](size_t index, std::string& buffer) {
            ChatSlot& slot = chats[index];
            slot.chat = RecordOrTemporary<Chat>(slot.read, buffer, *slot.file);
        });

    for (ChatSlot& slot : chats) {
        if (slot.chat) {
            slot.owner->chats->push_back(std::move(slot.chat));
        } else {
            CountSkipped(skipped);
        }
    }
    std::vector<std::shared_ptr<Character>> loaded;
    for (CharacterSlot& slot : characters) {
        if (!slot.character) {
            CountSkipped(skipped);
            continue;
        }
        // Equal stamps keep the file-name order.
        ChatList& list = *slot.character->chats;
        std::stable_sort(list.begin(), list.end(), [](const std::shared_ptr<Chat>& a, const std::shared_ptr<Chat>& b) {
            return a->timestamp > b->timestamp;
        });
        loaded.push_back(std::move(slot.character));
    }
    return loaded;
}

std::vector<std::shared_ptr<Persona>> LoadPersonas(size_t* skipped, size_t requested) {
    std::vector<PersonaSlot> slots;
    for (std::wstring& file : Files::ListFiles(Detail::PersonasDir(), L"*.json", false)) {
        slots.push_back(PersonaSlot{std::move(file), false, nullptr});
    }
    const size_t workers = LoadWorkers(requested, slots.size());
    Parallel::ForEachFetched(
        slots.size(), workers, slots.size() >= kFilesWorthThreads,
        [&](size_t index, std::string& buffer) {
            slots[index].read = Files::ReadTextUtf8Unrepaired(slots[index].file, buffer);
        },
        [&](size_t index, std::string& buffer) {
            PersonaSlot& slot = slots[index];
            slot.persona = RecordOrTemporary<Persona>(slot.read, buffer, slot.file);
            if (slot.persona) {
                slot.persona->path = slot.file;
                ResolveImagePath(slot.persona->photoPath);
                ResolveKnownImagePaths(slot.persona->known_characters);
            }
        });

    std::vector<std::shared_ptr<Persona>> personas;
    for (PersonaSlot& slot : slots) {
        if (slot.persona) {
            personas.push_back(std::move(slot.persona));
        } else {
            CountSkipped(skipped);
        }
    }
    std::sort(personas.begin(), personas.end(),
              [](const auto& a, const auto& b) { return NameLess(a->name, b->name); });
    return personas;
}

}  // namespace Lorvex::Storage

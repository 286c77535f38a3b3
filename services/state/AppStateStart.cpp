// The application state's start-up, the orders of its lists and the duo chat lists.

#include "services/state/AppState.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "domain/NameOrder.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/state/AppStateDetail.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

namespace {

// The stamp of the chat's newest line that is not pending; empty when there is none.
std::wstring NewestSettledStamp(const Chat& chat) {
    std::wstring newest;
    for (const std::shared_ptr<Message>& message : chat.messages) {
        if (message && !message->is_typing && message->timestamp > newest) {
            newest = message->timestamp;
        }
    }
    return newest;
}

// Of two copies of one chat, whether the candidate holds more than the kept one: a newer settled
// line, or with equal newest lines more lines.
bool HoldsMore(const Chat& candidate, const Chat& kept) {
    const std::wstring candidateStamp = NewestSettledStamp(candidate);
    const std::wstring keptStamp = NewestSettledStamp(kept);
    if (candidateStamp != keptStamp) {
        return candidateStamp > keptStamp;
    }
    return candidate.messages.size() > kept.messages.size();
}

}  // namespace

AppState& AppState::Instance() {
    static AppState instance;
    return instance;
}

void AppState::ResetForTesting() {
    Instance() = AppState{};
}

void AppState::Initialize() {
    const std::wstring& data = Paths::DataDir();
    Files::EnsureDir(Files::JoinPath(data, L"characters"));
    Files::EnsureDir(Files::JoinPath(data, L"personas"));
    Files::EnsureDir(Paths::ImagesDir());

    size_t skipped = 0;
    characters = Storage::LoadCharacters(&skipped);
    personas = Storage::LoadPersonas(&skipped);
    unreadRecords_ = skipped;
    LinkSharedChats();
    SortNewestActivityFirst(characters);

    for (const std::shared_ptr<Character>& character : characters) {
        imageRefs[character->id] = ImagePaths(*character);
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        imageRefs[persona->id] = ImagePaths(*persona);
    }

    CloudSync& cloud = CloudSync::Instance();
    cloud.onPulled = [this](const std::vector<CloudSync::RemoteItem>& items) { return ApplyRemoteItems(items); };
    cloud.onMergeNeeded = [this] { QueueEverythingForMerge(); };
    cloud.imageNames = [this] { return ImageNamesInUse(); };
    cloud.pictureNames = [this] { return PictureNamesInUse(); };
    cloud.locateRecords = [this](std::vector<CloudSync::QueueItem>& items) { LocateRecords(items); };
    cloud.Initialize();
    if (cloud.SignedIn()) {
        GiveSafePictureNames();
    }

    // A record file that could not be read hides the pictures it names: they would look unused,
    // and repairing the file later would bring the record back without them.
    if (skipped == 0) {
        CollectUnusedImages();
    }
    Changed();
}

void AppState::QueueEverythingForMerge() {
    // Pictures an older version named so the cloud refuses them go up under names it takes.
    GiveSafePictureNames();
    CloudSync& cloud = CloudSync::Instance();
    // Only the keys: the round reads and hashes each record, off this thread, and sends only what
    // the cloud does not hold already.
    for (const std::shared_ptr<Persona>& persona : personas) {
        for (const std::wstring& path : ImagePaths(*persona)) {
            cloud.QueueImageFile(path);
        }
        cloud.QueueForMerge(L"persona", persona->id);
    }
    for (const std::shared_ptr<Character>& character : characters) {
        for (const std::wstring& path : ImagePaths(*character)) {
            cloud.QueueImageFile(path);
        }
        cloud.QueueForMerge(L"character", character->id);
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            cloud.QueueForMerge(L"chat", CloudSync::ChatItemId(character->id, chat->id), character->id);
        }
    }
    QueueDeletionsOfAgreedRecords();
}

void AppState::QueueDeletionsOfAgreedRecords() {
    if (unreadRecords_ != 0) {
        return;  // an unreadable file is no deletion
    }
    CloudSync& cloud = CloudSync::Instance();
    std::unordered_set<std::wstring> held;
    for (const std::shared_ptr<Persona>& persona : personas) {
        held.insert(CloudSync::ItemKey(L"persona", persona->id));
    }
    for (const std::shared_ptr<Character>& character : characters) {
        held.insert(CloudSync::ItemKey(L"character", character->id));
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            held.insert(CloudSync::ItemKey(L"chat", CloudSync::ChatItemId(character->id, chat->id)));
        }
    }
    std::vector<CloudSync::QueueItem> deletions;
    for (const auto& [key, hash] : cloud.synced) {
        if (hash == "deleted" || held.count(key) != 0 || cloud.pending.count(key) != 0) {
            continue;
        }
        const size_t colon = key.find(L':');
        if (colon == std::wstring::npos) {
            continue;
        }
        CloudSync::QueueItem item;
        item.kind = key.substr(0, colon);
        item.id = key.substr(colon + 1);
        item.deleted = true;
        if (item.kind == L"chat") {
            const size_t owner = item.id.find(L':');
            if (owner == std::wstring::npos) {
                continue;
            }
            item.parentId = item.id.substr(0, owner);
        } else if (item.kind != L"character" && item.kind != L"persona") {
            continue;
        }
        deletions.push_back(std::move(item));
    }
    for (CloudSync::QueueItem& item : deletions) {
        cloud.MarkChanged(std::move(item));
    }
}

void AppState::LocateRecords(std::vector<CloudSync::QueueItem>& items) const {
    std::unordered_map<std::wstring, const Character*> characterById;
    for (const std::shared_ptr<Character>& character : characters) {
        characterById.emplace(character->id, character.get());
    }
    std::unordered_map<std::wstring, const Persona*> personaById;
    for (const std::shared_ptr<Persona>& persona : personas) {
        personaById.emplace(persona->id, persona.get());
    }
    for (CloudSync::QueueItem& item : items) {
        if (item.deleted) {
            continue;
        }
        if (item.kind == L"persona") {
            if (const auto found = personaById.find(item.id); found != personaById.end()) {
                item.source = found->second->path;
            }
            continue;
        }
        const std::wstring& owner = item.kind == L"chat" ? item.parentId : item.id;
        const auto found = characterById.find(owner);
        if (found == characterById.end() || found->second->folder.empty()) {
            continue;
        }
        const std::wstring& folder = found->second->folder;
        if (item.kind == L"character") {
            item.source = Files::JoinPath(folder, L"character.json");
        } else if (item.kind == L"chat" && item.id.size() > owner.size() + 1) {
            item.source =
                Files::JoinPath(Files::JoinPath(folder, L"chats"), item.id.substr(owner.size() + 1) + L".json");
        }
    }
}

bool AppState::NameLessText(const std::wstring& a, const std::wstring& b) {
    return Lorvex::NameLess(a, b);
}

void AppState::LinkSharedChats() {
    for (const std::shared_ptr<Character>& first : characters) {
        if (!first->is_dual_mode || !first->dual_partner_id) {
            continue;
        }
        const std::shared_ptr<Character> second = FindCharacter(*first->dual_partner_id);
        if (!second || second == first || second->chats == first->chats) {
            continue;
        }
        if (second->chats->empty()) {
            second->chats = first->chats;
        } else if (first->chats->empty()) {
            first->chats = second->chats;
        } else {
            // Every duo chat is written into both halves' folders, so after a restart both halves
            // hold it: one list again, or deleting the duo's chats would touch only one folder.
            // On an id held by both, the open chat's or a running reply's object stays in the list,
            // or its lines go unwritten. Otherwise the copies may differ after a crash between the
            // two writes or a write that failed in one folder: the one with the newer settled line
            // (then the longer one) is kept, as the next save overwrites the other.
            std::unordered_map<std::wstring, size_t> indexById;
            for (size_t i = 0; i < first->chats->size(); ++i) {
                indexById.emplace((*first->chats)[i]->id, i);
            }
            for (const std::shared_ptr<Chat>& chat : *second->chats) {
                const auto found = indexById.find(chat->id);
                if (found == indexById.end()) {
                    indexById.emplace(chat->id, first->chats->size());
                    first->chats->push_back(chat);
                } else {
                    std::shared_ptr<Chat>& kept = (*first->chats)[found->second];
                    if (!IsChatInUse(kept) && (IsChatInUse(chat) || HoldsMore(*chat, *kept))) {
                        kept = chat;
                    }
                }
            }
            SortChatsNewestFirst(*first->chats);
            second->chats = first->chats;
        }
    }
}

bool AppState::IsChatInUse(const std::shared_ptr<Chat>& chat) const {
    if (chat == currentChat) {
        return true;
    }
    for (const RunningReply& reply : runningReplies) {
        if (reply.chat == chat) {
            return true;
        }
    }
    return false;
}

void AppState::Changed() {
    ++revision;
    if (OnChanged) {
        OnChanged();
    }
}

std::shared_ptr<Character> AppState::FindCharacter(const std::wstring& id) const {
    for (const std::shared_ptr<Character>& character : characters) {
        if (character->id == id) {
            return character;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<Character>> AppState::CurrentCharacters() const {
    std::vector<std::shared_ptr<Character>> owners;
    if (currentCharacter) {
        owners.push_back(currentCharacter);
    }
    if (dualPartner) {
        owners.push_back(dualPartner);
    }
    return owners;
}

bool AppState::WriteChat(const std::vector<std::shared_ptr<Character>>& owners, const std::shared_ptr<Chat>& chat) {
    CloudSync& cloud = CloudSync::Instance();
    bool tried = false;
    bool written = true;
    for (const std::shared_ptr<Character>& owner : owners) {
        // A character deleted meanwhile, or one that no longer holds the chat, gets no file: the
        // store would make its folder again, and the cloud would get back what was deleted.
        if (!owner || !Contains(characters, owner) || !Contains(*owner->chats, chat)) {
            continue;
        }
        tried = true;
        if (!Storage::SaveChat(*owner, *chat)) {
            written = false;
        }
        cloud.OnChatSaved(*owner, *chat);
    }
    // Every message and edit saves the chat: a lasting fault would otherwise be reported on each.
    // A call that had no file to write says nothing about the fault.
    if (!tried) {
        return true;
    }
    if (written) {
        chatSaveFailing_ = false;
    } else if (!chatSaveFailing_) {
        chatSaveFailing_ = true;
        if (OnChatSaveFailed) {
            OnChatSaveFailed();
        }
    }
    return written;
}

}  // namespace Lorvex::Services

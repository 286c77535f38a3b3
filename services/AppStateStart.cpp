// The application state's start-up, the orders of its lists and the duo chat lists.

#include "services/AppState.h"

#include <algorithm>
#include <unordered_map>

#include "domain/NameOrder.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/AppStateDetail.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

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

    characters = Storage::LoadCharacters();
    personas = Storage::LoadPersonas();
    LinkSharedChats();
    SortNewestActivityFirst(characters);

    for (const std::shared_ptr<Character>& character : characters) {
        imageRefs[character->id] = ImagePaths(*character);
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        imageRefs[persona->id] = ImagePaths(*persona);
    }

    CloudSync& cloud = CloudSync::Instance();
    cloud.onPulled = [this](const std::vector<CloudSync::RemoteItem>& items) { ApplyRemoteItems(items); };
    cloud.onMergeNeeded = [this] {
        CloudSync& sync = CloudSync::Instance();
        for (const std::shared_ptr<Persona>& persona : personas) {
            sync.OnPersonaSaved(*persona);
        }
        for (const std::shared_ptr<Character>& character : characters) {
            sync.OnCharacterSaved(*character);
        }
    };
    cloud.imageNames = [this] { return ImageNamesInUse(); };
    cloud.Initialize();

    CollectUnusedImages();
    Changed();
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
            // On an id held by both, the first half's object wins unless the second's is the open
            // chat or a running reply's: that one must stay in the list, or its lines go unwritten.
            std::unordered_map<std::wstring, size_t> indexById;
            for (size_t i = 0; i < first->chats->size(); ++i) {
                indexById.emplace((*first->chats)[i]->id, i);
            }
            for (const std::shared_ptr<Chat>& chat : *second->chats) {
                const auto found = indexById.find(chat->id);
                if (found == indexById.end()) {
                    indexById.emplace(chat->id, first->chats->size());
                    first->chats->push_back(chat);
                } else if (IsChatInUse(chat) && !IsChatInUse((*first->chats)[found->second])) {
                    (*first->chats)[found->second] = chat;
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

void AppState::WriteChat(const std::vector<std::shared_ptr<Character>>& owners, const std::shared_ptr<Chat>& chat) {
    CloudSync& cloud = CloudSync::Instance();
    for (const std::shared_ptr<Character>& owner : owners) {
        // A character deleted meanwhile, or one that no longer holds the chat, gets no file: the
        // store would make its folder again, and the cloud would get back what was deleted.
        if (!owner || !Contains(characters, owner) || !Contains(*owner->chats, chat)) {
            continue;
        }
        Storage::SaveChat(*owner, *chat);
        cloud.OnChatSaved(*owner, *chat);
    }
}

}  // namespace Lorvex::Services

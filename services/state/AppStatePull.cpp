// Bringing the local records and files in line with the rows a sync round pulled.

#include "services/state/AppState.h"

#include <algorithm>

#include "domain/RecordIds.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/state/AppStateDetail.h"
#include "services/sync/ChatMerge.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

namespace {

const std::string kDeleted = "deleted";

// A path from another machine means the file of that name in this machine's "images" folder.
void Reroot(std::optional<std::wstring>& photo) {
    if (photo && !photo->empty()) {
        photo = Files::JoinPath(Paths::ImagesDir(), Files::FileName(*photo));
    }
}

template <class Record>
void RerootPictures(Record& record) {
    Reroot(record.photoPath);
    for (KnownCharacter& person : record.known_characters) {
        Reroot(person.photoPath);
    }
}

bool SameForm(const Json::Value& a, const Json::Value& b) {
    return a.Dump(false) == b.Dump(false);
}

}  // namespace

std::vector<std::wstring> AppState::ApplyRemoteItems(const std::vector<CloudSync::RemoteItem>& items) {
    CloudSync& cloud = CloudSync::Instance();
    std::vector<std::wstring> deferred;
    // Ids name files: a row whose id could not be a file name is left out of step, not stored.
    auto markDeleted = [&](const CloudSync::RemoteItem& row) { cloud.synced[CloudSync::ItemKey(row)] = kDeleted; };

    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"persona" || !IsSafeId(row.id)) {
            continue;
        }
        const auto found = std::find_if(personas.begin(), personas.end(),
                                        [&](const std::shared_ptr<Persona>& p) { return p->id == row.id; });
        const std::shared_ptr<Persona> local = found == personas.end() ? nullptr : *found;
        if (row.deleted && row.undone) {
            if (local) {
                cloud.QueuePicturesAgain(ImagePaths(*local));
            }
            continue;
        }
        if (row.deleted) {
            if (local) {
                if (!local->path.empty()) {
                    Files::RemoveFile(local->path);
                }
                if (currentPersona == local) {
                    currentPersona = nullptr;
                }
                EraseItem(personas, local);
                ForgetImages(row.id, false);
            }
            markDeleted(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Persona> pulled = Persona::FromJson(row.data);
        pulled->id = row.id;
        RerootPictures(*pulled);
        std::shared_ptr<Persona> result = local;
        if (!local) {
            Storage::SavePersona(*pulled);
            personas.push_back(pulled);
            imageRefs[pulled->id] = ImagePaths(*pulled);
            result = pulled;
        } else if (!SameForm(Persona::ToJson(*pulled), Persona::ToJson(*local))) {
            pulled->path = local->path;
            *local = *pulled;
            Storage::SavePersona(*local);
            SetImages(*local, false);
        }
        cloud.MarkSynced(row.kind, row.id, Persona::ToJson(*result));
    }

    bool addedCharacter = false;
    std::vector<std::shared_ptr<Character>> restored;
    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"character" || !IsSafeId(row.id)) {
            continue;
        }
        const std::shared_ptr<Character> local = FindCharacter(row.id);
        if (row.deleted && row.undone) {
            if (local) {
                cloud.QueuePicturesAgain(ImagePaths(*local));
            }
            continue;
        }
        if (row.deleted && local && cloud.HoldsLiveChatOf(row.id)) {
            // A chat of it was written here and waits to go up: the character stays, and goes up
            // again after the chats this pull deletes, so that chat stands under a live character.
            cloud.synced[CloudSync::ItemKey(row)] = kDeleted;
            cloud.QueuePicturesAgain(ImagePaths(*local));
            restored.push_back(local);
            continue;
        }
        if (row.deleted) {
            if (local) {
                for (const std::shared_ptr<Chat>& chat : *local->chats) {
                    CancelRepliesIn(chat);
                }
                if (local == currentCharacter || local == dualPartner) {
                    // Closed without saving: the record is gone everywhere.
                    for (RunningReply& running : runningReplies) {
                        running.cancel.Set();
                    }
                    currentCharacter = nullptr;
                    currentChat = nullptr;
                    dualPartner = nullptr;
                    dualMode = false;
                    participantIds.clear();
                }
                if (Files::IsDir(local->folder)) {
                    Files::RemoveTree(local->folder);
                }
                EraseItem(characters, local);
                ForgetImages(row.id, false);
            }
            markDeleted(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Character> pulled = Character::FromJson(row.data);
        pulled->id = row.id;
        RerootPictures(*pulled);
        std::shared_ptr<Character> result = local;
        if (!local) {
            Storage::SaveCharacter(*pulled);
            characters.push_back(pulled);
            imageRefs[pulled->id] = ImagePaths(*pulled);
            addedCharacter = true;
            result = pulled;
        } else if (!SameForm(Character::ToJson(*pulled), Character::ToJson(*local))) {
            pulled->folder = local->folder;
            pulled->chats = local->chats;
            *local = *pulled;
            if (!local->folder.empty()) {
                Storage::WriteFileAtomic(Files::JoinPath(local->folder, L"character.json"), Character::ToJson(*local));
            } else {
                Storage::SaveCharacter(*local);
            }
            SetImages(*local, false);
        }
        cloud.MarkSynced(row.kind, row.id, Character::ToJson(*result));
    }

    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"chat") {
            continue;
        }
        const std::shared_ptr<Character> owner = FindCharacter(row.parentId);
        const std::wstring prefix = row.parentId + L":";
        if (!owner || row.id.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::wstring chatId = row.id.substr(prefix.size());
        if (!IsSafeId(chatId)) {
            continue;
        }
        ChatList& chats = *owner->chats;
        const auto found =
            std::find_if(chats.begin(), chats.end(), [&](const std::shared_ptr<Chat>& c) { return c->id == chatId; });
        const std::shared_ptr<Chat> local = found == chats.end() ? nullptr : *found;
        if (local && std::any_of(runningReplies.begin(), runningReplies.end(),
                                 [&](const RunningReply& running) { return running.chat == local; })) {
            deferred.push_back(CloudSync::ItemKey(row));  // a chat being written into waits for a later pull
            continue;
        }
        if (row.deleted && row.undone) {
            continue;  // written here meanwhile: it stays, and goes up
        }
        if (row.mergeIntoLocal) {
            // Changed here while the round ran: both sides' lines kept, and the result goes up.
            if (local && row.data.kind == Json::Type::Object) {
                const std::shared_ptr<Chat> merged = MergeChats(*local, *Chat::FromJson(row.data), row.remoteLater);
                local->messages = merged->messages;
                local->persona_id = merged->persona_id;
                local->memory = merged->memory;
                WriteChat(HoldersOf(owner), local);
            }
            continue;
        }
        if (row.deleted) {
            if (local) {
                if (currentChat == local) {
                    currentChat = nullptr;
                }
                EraseItem(chats, local);
            }
            if (!owner->folder.empty()) {
                Files::RemoveFile(Files::JoinPath(Files::JoinPath(owner->folder, L"chats"), chatId + L".json"));
            }
            markDeleted(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Chat> pulled = Chat::FromJson(row.data);
        pulled->id = chatId;
        std::shared_ptr<Chat> result;
        if (!local) {
            chats.push_back(pulled);
            SortChatsNewestFirst(chats);
            result = pulled;
        } else if (SameForm(Chat::ToJson(*pulled), Chat::ToJson(*local))) {
            result = local;
        } else {
            if (currentChat == local) {
                currentChat = pulled;
            }
            *std::find(chats.begin(), chats.end(), local) = pulled;
            result = pulled;
        }
        for (const std::shared_ptr<Character>& holder : characters) {
            if (holder == owner || holder->chats == owner->chats) {
                Storage::SaveChat(*holder, *result);
            }
        }
        cloud.MarkSynced(row.kind, row.id, Chat::ToJson(*result));
    }

    for (const std::shared_ptr<Character>& character : restored) {
        cloud.OnCharacterSaved(*character);
    }
    LinkSharedChats();
    if (addedCharacter) {
        SortNewestActivityFirst(characters);
    }
    std::sort(personas.begin(), personas.end(), NameLess<Persona>);
    Changed();
    return deferred;
}

}  // namespace Lorvex::Services

// Bringing the local records and files in line with the rows a sync round pulled. Every row here
// changed in the cloud since this PC last agreed with it on that record; what this PC changed
// since is told from the same agreement, never from either PC's clock:
// - a record unchanged here takes the row whole;
// - a record changed here too is merged with the row (three-way, against the agreed base): the
//   result is stored, and it goes up when it is not the row's form;
// - a deletion there of a record changed here (a character: or one of its chats) leaves it, and it
//   goes up again; of a record unchanged here, deletes it;
// - a record deleted here that changed there comes back.

#include "services/state/AppState.h"

#include <algorithm>

#include "domain/RecordIds.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Time.h"
#include "services/state/AppStateDetail.h"
#include "services/sync/CloudSyncRound.h"
#include "services/sync/RecordMerge.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

namespace {

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

// The other PC's record, kept beside this PC's when both changed one field to different values:
// a file of its own that no reader of records lists.
void WriteConflictCopy(const std::wstring& folder, const std::wstring& stem, const CloudSync::RemoteItem& row,
                       const std::vector<std::string>& fields) {
    Json::Array names;
    for (const std::string& field : fields) {
        names.emplace_back(field);
    }
    const Json::Value copy(Json::Object{
        {"kind", Json::Value(row.kind)},
        {"id", Json::Value(row.id)},
        {"saved_at", Json::Value(Time::NowIso())},
        {"fields", Json::Value(std::move(names))},
        {"record", CloudSyncRound::PulledForm(row)},
    });
    Storage::WriteFileAtomic(Files::JoinPath(folder, stem + L"-" + Time::NewUuid() + L".conflict"), copy);
}

// The merged form of a character or persona that changed on both sides; conflicts written aside.
// Null when the row holds no record.
template <class Record>
std::shared_ptr<Record> MergedRecord(CloudSync& cloud, const Record& local, const CloudSync::RemoteItem& row,
                                     const std::wstring& conflictFolder, const std::wstring& conflictStem,
                                     std::vector<std::wstring>& conflicted) {
    const Json::Value theirs = CloudSyncRound::PulledForm(row);
    if (theirs.kind != Json::Type::Object) {
        return nullptr;
    }
    const std::optional<SyncBase::RecordBase> base = cloud.BaseFor(CloudSync::ItemKey(row));
    const FieldMerge merge =
        MergeFields(base ? &*base : nullptr, CloudSync::StripPhotoPaths(Record::ToJson(local)), theirs);
    if (!merge.conflicts.empty()) {
        WriteConflictCopy(conflictFolder, conflictStem, row, merge.conflicts);
        conflicted.push_back(local.name);
    }
    std::shared_ptr<Record> merged = Record::FromJson(merge.merged);
    merged->id = row.id;
    RerootPictures(*merged);
    return merged;
}

}  // namespace

std::vector<std::wstring> AppState::ApplyRemoteItems(const std::vector<CloudSync::RemoteItem>& items) {
    CloudSync& cloud = CloudSync::Instance();
    std::vector<std::wstring> deferred;
    std::vector<std::wstring> conflicted;  // names of records with a conflict copy

    // Ids name files: a row whose id could not be a file name is left out of step, not stored.
    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"persona" || !IsSafeId(row.id)) {
            continue;
        }
        const std::wstring key = CloudSync::ItemKey(row);
        const auto found = std::find_if(personas.begin(), personas.end(),
                                        [&](const std::shared_ptr<Persona>& p) { return p->id == row.id; });
        const std::shared_ptr<Persona> local = found == personas.end() ? nullptr : *found;
        if (row.deleted) {
            if (local && cloud.ChangedSinceAgreed(key, Persona::ToJson(*local))) {
                // Changed here since: it stays, and goes up again with its pictures, which the
                // deletion there may have taken from the bucket.
                cloud.Agree(row);
                cloud.QueuePicturesAgain(ImagePaths(*local));
                cloud.OnPersonaSaved(*local);
                continue;
            }
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
            cloud.Agree(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Persona> pulled = Persona::FromJson(row.data);
        pulled->id = row.id;
        RerootPictures(*pulled);
        if (!local) {
            // New there, or deleted here while it changed there: it comes back.
            Storage::SavePersona(*pulled);
            personas.push_back(pulled);
            imageRefs[pulled->id] = ImagePaths(*pulled);
            cloud.Agree(row);
            cloud.ForgetQueued(key);
            continue;
        }
        std::shared_ptr<Persona> next = pulled;
        const bool changedHere = cloud.ChangedSinceAgreed(key, Persona::ToJson(*local));
        if (changedHere) {
            next = MergedRecord(cloud, *local, row, Files::ParentPath(local->path), row.id, conflicted);
            if (!next) {
                continue;
            }
        }
        if (!SameForm(Persona::ToJson(*next), Persona::ToJson(*local))) {
            next->path = local->path;
            *local = *next;
            Storage::SavePersona(*local);
            SetImages(*local, false);
        }
        cloud.Agree(row);
        if (changedHere) {
            cloud.OnPersonaSaved(*local);  // queued only when the merge is not the row's form
        }
        if (!cloud.ChangedSinceAgreed(key, Persona::ToJson(*local))) {
            cloud.ForgetQueued(key);
        }
    }

    bool addedCharacter = false;
    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"character" || !IsSafeId(row.id)) {
            continue;
        }
        const std::wstring key = CloudSync::ItemKey(row);
        const std::shared_ptr<Character> local = FindCharacter(row.id);
        if (row.deleted) {
            if (local && CharacterChangedSinceAgreed(*local)) {
                // It, or a chat of it, changed here since: the character stays and goes up again;
                // its chats that changed nowhere follow the deletion there (their own rows).
                cloud.Agree(row);
                cloud.QueuePicturesAgain(ImagePaths(*local));
                cloud.OnCharacterSaved(*local);
                continue;
            }
            if (local) {
                RemoveCharacterHere(local);
            }
            cloud.Agree(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Character> pulled = Character::FromJson(row.data);
        pulled->id = row.id;
        RerootPictures(*pulled);
        if (!local) {
            Storage::SaveCharacter(*pulled);
            characters.push_back(pulled);
            imageRefs[pulled->id] = ImagePaths(*pulled);
            addedCharacter = true;
            cloud.Agree(row);
            cloud.ForgetQueued(key);
            continue;
        }
        std::shared_ptr<Character> next = pulled;
        const bool changedHere = cloud.ChangedSinceAgreed(key, Character::ToJson(*local));
        if (changedHere) {
            next = MergedRecord(cloud, *local, row, local->folder, L"character", conflicted);
            if (!next) {
                continue;
            }
        }
        if (!SameForm(Character::ToJson(*next), Character::ToJson(*local))) {
            next->folder = local->folder;
            next->chats = local->chats;
            *local = *next;
            if (!local->folder.empty()) {
                Storage::WriteFileAtomic(Files::JoinPath(local->folder, L"character.json"), Character::ToJson(*local));
            } else {
                Storage::SaveCharacter(*local);
            }
            SetImages(*local, false);
        }
        cloud.Agree(row);
        if (changedHere) {
            cloud.OnCharacterSaved(*local);  // queued only what is not the cloud's form
        }
        if (!cloud.ChangedSinceAgreed(key, Character::ToJson(*local))) {
            cloud.ForgetQueued(key);
        }
    }

    for (const CloudSync::RemoteItem& row : items) {
        if (row.kind != L"chat") {
            continue;
        }
        const std::wstring key = CloudSync::ItemKey(row);
        const std::wstring prefix = row.parentId + L":";
        if (row.id.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::wstring chatId = row.id.substr(prefix.size());
        if (!IsSafeId(chatId) || !IsSafeId(row.parentId)) {
            continue;
        }
        std::shared_ptr<Character> owner = FindCharacter(row.parentId);
        if (!owner && !row.deleted) {
            // Deleted here while this chat changed there: the chat comes back, and with it its
            // character, as this PC last agreed on it (the cloud kept it: the deletion was held).
            owner = RestoreCharacter(row.parentId);
            addedCharacter = addedCharacter || owner != nullptr;
        }
        if (!owner) {
            if (row.deleted) {
                cloud.Agree(row);
            }
            continue;
        }
        ChatList& chats = *owner->chats;
        const auto found =
            std::find_if(chats.begin(), chats.end(), [&](const std::shared_ptr<Chat>& c) { return c->id == chatId; });
        const std::shared_ptr<Chat> local = found == chats.end() ? nullptr : *found;
        if (local && std::any_of(runningReplies.begin(), runningReplies.end(),
                                 [&](const RunningReply& running) { return running.chat == local; })) {
            // A reply is being written into it: merged when it ends, from a later pull. Nothing
            // here claims agreement with the row meanwhile.
            deferred.push_back(key);
            continue;
        }
        if (row.deleted) {
            // Changed here since: it stays whole (a deletion of the chat is no deletion of each
            // line), and goes up again; its base stays, so later merges still know its lines as
            // older than those added since. When the only changes here were line deletions,
            // nothing outlives the deletion, and the chat goes.
            if (local && !LinesOutlivingDeletion(key, *local).empty()) {
                cloud.AgreeDeletedKeepingBase(key);
                cloud.OnChatSaved(*owner, *local);
                continue;
            }
            if (local) {
                if (currentChat == local) {
                    currentChat = nullptr;
                }
                EraseItem(chats, local);
            }
            if (!owner->folder.empty()) {
                Files::RemoveFile(Files::JoinPath(Files::JoinPath(owner->folder, L"chats"), chatId + L".json"));
            }
            cloud.Agree(row);
            continue;
        }
        if (row.data.kind != Json::Type::Object) {
            continue;
        }
        std::shared_ptr<Chat> pulled = Chat::FromJson(row.data);
        pulled->id = chatId;
        if (!local) {
            // New there, or deleted here while it changed there: it comes back whole, unless the
            // only changes there were line deletions; then the deletion here stands, and goes up.
            if (cloud.BaseFor(key) && LinesOutlivingDeletion(key, *pulled).empty()) {
                cloud.Agree(row);
                cloud.OnChatDeleted(*owner, *pulled);
                continue;
            }
            cloud.Agree(row);
            chats.push_back(pulled);
            SortChatsNewestFirst(chats);
            WriteChat(HoldersOf(owner), pulled);
            if (!cloud.ChangedSinceAgreed(key, Chat::ToJson(*pulled))) {
                cloud.ForgetQueued(key);
            }
            continue;
        }
        if (!cloud.ChangedSinceAgreed(key, Chat::ToJson(*local))) {
            cloud.Agree(row);
            if (currentChat == local) {
                currentChat = pulled;
            }
            *std::find(chats.begin(), chats.end(), local) = pulled;
            WriteChat(HoldersOf(owner), pulled);
            cloud.ForgetQueued(key);
            continue;
        }
        // Changed on both sides: line by line against what both last agreed on. The chat object
        // stays (the screens and a later reply hold it); its lines and fields take the merge.
        const std::optional<SyncBase::RecordBase> base = cloud.BaseFor(key);
        const std::shared_ptr<Chat> merged = MergeChats(base ? &*base : nullptr, *local, *pulled);
        local->messages = merged->messages;
        local->timestamp = merged->timestamp;
        local->persona_id = merged->persona_id;
        local->memory = merged->memory;
        cloud.Agree(row);
        WriteChat(HoldersOf(owner), local);  // queued only when the merge is not the row's form
        if (!cloud.ChangedSinceAgreed(key, Chat::ToJson(*local))) {
            cloud.ForgetQueued(key);
        }
    }

    // A record that came back, or took a picture another PC gave it, may name a picture this PC
    // released meanwhile: its deletion must not reach the bucket.
    std::vector<std::wstring> kept;
    for (const auto& [key, item] : cloud.pending) {
        if (item.kind == L"image" && item.deleted && NamesImage(item.id)) {
            kept.push_back(key);
        }
    }
    for (const std::wstring& key : kept) {
        cloud.ForgetQueued(key);
    }

    LinkSharedChats();
    if (addedCharacter) {
        SortNewestActivityFirst(characters);
    }
    std::sort(personas.begin(), personas.end(), NameLess<Persona>);
    if (!conflicted.empty() && cloud.onNotice) {
        const std::wstring what =
            conflicted.size() == 1 ? L"«" + conflicted.front() + L"» se editó" : L"Varias fichas se editaron";
        cloud.onNotice(what + L" en dos equipos a la vez: se mantienen los cambios de este equipo y se guardó "
                              L"una copia con los del otro.",
                       false);
    }
    Changed();
    return deferred;
}

bool AppState::CharacterChangedSinceAgreed(const Character& character) const {
    const CloudSync& cloud = CloudSync::Instance();
    if (cloud.ChangedSinceAgreed(CloudSync::ItemKey(L"character", character.id), Character::ToJson(character))) {
        return true;
    }
    for (const std::shared_ptr<Chat>& chat : *character.chats) {
        if (chat && !LinesOutlivingDeletion(CloudSync::ItemKey(L"chat", CloudSync::ChatItemId(character.id, chat->id)),
                                            *chat)
                         .empty()) {
            return true;
        }
    }
    return false;
}

std::vector<std::shared_ptr<Message>> AppState::LinesOutlivingDeletion(const std::wstring& key, const Chat& chat) const {
    const CloudSync& cloud = CloudSync::Instance();
    if (!cloud.ChangedSinceAgreed(key, Chat::ToJson(chat))) {
        return {};
    }
    const std::optional<SyncBase::RecordBase> base = cloud.BaseFor(key);
    Chat gone = chat;
    gone.messages.clear();
    return MergeChats(base ? &*base : nullptr, chat, gone)->messages;
}

void AppState::RemoveCharacterHere(const std::shared_ptr<Character>& character) {
    for (const std::shared_ptr<Chat>& chat : *character->chats) {
        CancelRepliesIn(chat);
    }
    if (character == currentCharacter || character == dualPartner) {
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
    if (Files::IsDir(character->folder)) {
        Files::RemoveTree(character->folder);
    }
    EraseItem(characters, character);
    ForgetImages(character->id, false);
}

std::shared_ptr<Character> AppState::RestoreCharacter(const std::wstring& id) {
    CloudSync& cloud = CloudSync::Instance();
    const std::wstring key = CloudSync::ItemKey(L"character", id);
    const std::optional<SyncBase::RecordBase> base = cloud.BaseFor(key);
    if (!base || base->form.kind != Json::Type::Object) {
        return nullptr;
    }
    std::shared_ptr<Character> character = Character::FromJson(base->form);
    character->id = id;
    RerootPictures(*character);
    if (!Storage::SaveCharacter(*character)) {
        return nullptr;
    }
    characters.push_back(character);
    imageRefs[character->id] = ImagePaths(*character);
    // Its deletion never reached the cloud; the pictures may have left the bucket with it.
    cloud.ForgetQueued(key);
    cloud.QueuePicturesAgain(ImagePaths(*character));
    return character;
}

}  // namespace Lorvex::Services

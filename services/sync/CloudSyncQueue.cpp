// The change queue: what each notifier queues, the change hashes that keep the cloud's own form
// out of it, and the two timers a change arms.

#include "services/sync/CloudSync.h"

#include <algorithm>
#include <utility>

#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Text.h"

namespace Lorvex::Services {

namespace {

const std::string kDeletedHash = "deleted";

// A round starts this long after the last change of a burst.
constexpr uint32_t kFlushDelayMs = 2500;
// "cloud.json" is written this long after the first change not yet written.
constexpr uint32_t kSaveDelayMs = 400;

CloudSync::QueueItem Change(const std::wstring& kind, const std::wstring& id, const std::wstring& parentId = {}) {
    CloudSync::QueueItem item;
    item.kind = kind;
    item.id = id;
    item.parentId = parentId;
    return item;
}

CloudSync::QueueItem Deletion(const std::wstring& kind, const std::wstring& id, const std::wstring& parentId = {}) {
    CloudSync::QueueItem item = Change(kind, id, parentId);
    item.deleted = true;
    return item;
}

}  // namespace

void CloudSync::MarkSynced(const std::wstring& kind, const std::wstring& id, const Json::Value& data) {
    synced[ItemKey(kind, id)] = ChangeHash(StripPhotoPaths(data));
}

void CloudSync::MarkChanged(QueueItem item, const Json::Value& record) {
    if (!SignedIn()) {
        return;
    }
    const std::wstring key = ItemKey(item.kind, item.id);
    const bool unread = item.kind != L"image" && !item.deleted && record.kind == Json::Type::Null;
    if (item.kind != L"image") {
        if (item.deleted) {
            item.hash = kDeletedHash;
        } else if (!unread) {
            // Hashed now and dropped: kept alive in the queue, the trees of a whole data folder
            // fragment the heap until every allocation crawls.
            const std::string form = StripPhotoPaths(record).Dump(false);
            item.hash = Text::Sha256Hex(form);
            item.size = form.size();
        }
    }
    const auto queued = pending.find(key);
    if (queued != pending.end()) {
        const QueueItem& waiting = queued->second;
        if (unread) {
            return;  // the change queued already is at least as new
        }
        if (!waiting.refusal.empty() && waiting.deleted == item.deleted && waiting.hash == item.hash) {
            return;  // the cloud refused this very form; it stays aside until it changes
        }
    } else if (item.kind != L"image" && !unread) {
        const auto known = synced.find(key);
        if (known != synced.end() && known->second == item.hash) {
            return;  // the cloud already holds this form
        }
    }
    item.seq = ++lastSeq;
    pending[key] = std::move(item);
    ScheduleFlush();
    SaveStateSoon();
}

void CloudSync::QueueForMerge(const std::wstring& kind, const std::wstring& id, const std::wstring& parentId) {
    if (!SignedIn() || id.empty()) {
        return;
    }
    const std::wstring key = ItemKey(kind, id);
    if (pending.count(key) != 0) {
        return;
    }
    QueueItem item = Change(kind, id, parentId);
    item.seq = ++lastSeq;
    pending.emplace(key, std::move(item));
}

bool CloudSync::HoldsLiveChatOf(const std::wstring& characterId) const {
    const std::wstring prefix = ItemKey(L"chat", characterId + L":");
    for (auto it = pending.lower_bound(prefix); it != pending.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        if (!it->second.deleted) {
            return true;
        }
    }
    return false;
}

size_t CloudSync::WaitingChanges() const {
    return std::count_if(pending.begin(), pending.end(),
                         [](const auto& queued) { return queued.second.refusal.empty(); });
}

void CloudSync::ScheduleFlush() {
    Async::CancelTimer(flushTimer);
    flushTimer = Async::SetTimeout(kFlushDelayMs, [this] {
        flushTimer = 0;
        Start(false);
    });
}

void CloudSync::SaveStateSoon() {
    if (saveTimer != 0) {
        return;
    }
    saveTimer = Async::SetTimeout(kSaveDelayMs, [this] {
        saveTimer = 0;
        SaveState();
    });
}

void CloudSync::FlushPendingSave() {
    if (saveTimer == 0) {
        return;
    }
    Async::CancelTimer(saveTimer);
    saveTimer = 0;
    SaveState();
}

void CloudSync::CloseState() {
    stateOpen = false;
    SaveState();
}

void CloudSync::QueueImageFile(const std::wstring& path) {
    if (path.empty() || !IsInImagesDir(path) || !Files::IsFile(path)) {
        return;
    }
    const std::wstring name = Files::FileName(path);
    const auto waiting = pending.find(ItemKey(L"image", name));
    if (waiting != pending.end()) {
        if (!waiting->second.deleted) {
            return;  // its upload is queued already
        }
    } else if (uploaded.count(name) != 0) {
        return;
    }
    MarkChanged(Change(L"image", name));
}

void CloudSync::OnCharacterSaved(const Character& character) {
    if (!SignedIn()) {
        return;
    }
    for (const std::wstring& path : ImagePaths(character)) {
        QueueImageFile(path);
    }
    MarkChanged(Change(L"character", character.id), Character::ToJson(character));
    if (character.chats) {
        for (const std::shared_ptr<Chat>& chat : *character.chats) {
            if (chat) {
                OnChatSaved(character, *chat);
            }
        }
    }
}

void CloudSync::OnChatSaved(const Character& owner, const Chat& chat) {
    if (!SignedIn() || chat.id.empty()) {
        return;
    }
    MarkChanged(Change(L"chat", ChatItemId(owner.id, chat.id), owner.id), Chat::ToJson(chat));
}

void CloudSync::OnPersonaSaved(const Persona& persona) {
    if (!SignedIn()) {
        return;
    }
    for (const std::wstring& path : ImagePaths(persona)) {
        QueueImageFile(path);
    }
    MarkChanged(Change(L"persona", persona.id), Persona::ToJson(persona));
}

void CloudSync::OnCharacterDeleted(const Character& character) {
    if (!SignedIn()) {
        return;
    }
    if (character.chats) {
        for (const std::shared_ptr<Chat>& chat : *character.chats) {
            if (chat) {
                OnChatDeleted(character, *chat);
            }
        }
    }
    MarkChanged(Deletion(L"character", character.id));
}

void CloudSync::OnChatDeleted(const Character& owner, const Chat& chat) {
    if (!SignedIn() || chat.id.empty()) {
        return;
    }
    MarkChanged(Deletion(L"chat", ChatItemId(owner.id, chat.id), owner.id));
}

void CloudSync::OnPersonaDeleted(const std::wstring& personaId) {
    if (!SignedIn()) {
        return;
    }
    MarkChanged(Deletion(L"persona", personaId));
}

void CloudSync::OnImageDeleted(const std::wstring& fileName) {
    if (!SignedIn() || fileName.empty()) {
        return;
    }
    // A picture the cloud never saw needs no deletion; one still waiting to go up must not.
    if (uploaded.count(fileName) == 0 && pending.find(ItemKey(L"image", fileName)) == pending.end()) {
        return;
    }
    MarkChanged(Deletion(L"image", fileName));
}

void CloudSync::QueuePicturesAgain(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
        uploaded.erase(Files::FileName(path));
        QueueImageFile(path);
    }
}

void CloudSync::OnImageRenamed(const std::wstring& oldName) {
    const auto waiting = pending.find(ItemKey(L"image", oldName));
    if (waiting != pending.end() && !waiting->second.deleted) {
        pending.erase(waiting);
    }
}

}  // namespace Lorvex::Services

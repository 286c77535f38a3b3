// The cloud sync's state and its change queue.

#include "services/CloudSync.h"

#include "domain/Storage.h"

#include <windows.h>

#include <cwctype>
#include <iterator>

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

namespace Lorvex::Services {

namespace {

const std::string kDeletedHash = "deleted";

// A photo member that is a non-empty string becomes its file name; anything else stays.
void StripPhotoMember(Json::Object& members) {
    for (auto& [key, value] : members) {
        if (key == "photoPath" && value.kind == Json::Type::String && !value.text.empty()) {
            value = Json::Value(Files::FileName(value.AsWString()));
            return;  // the first member of a repeated key is the one readers take
        }
    }
}

}  // namespace

CloudSync& CloudSync::Instance() {
    static CloudSync instance;
    return instance;
}

void CloudSync::ResetForTesting() {
    Instance() = CloudSync{};
}

void CloudSync::Initialize() {
    if (initialized) {
        return;
    }
    initialized = true;
    LoadAccount();
    LoadState();
    // A state left by another user must never be uploaded under this one.
    if (SignedIn() && stateUserId != account.userId) {
        ResetState();
    }
}

void CloudSync::LoadAccount() {
    // The account file arrives with the authentication client; until then nobody is signed in
    // at start.
}

void CloudSync::LoadState() {
    // The sync-state file arrives with the sync rounds; until then the state starts empty.
}

void CloudSync::ResetState() {
    stateUserId.clear();
    pending.clear();
    synced.clear();
    uploaded.clear();
    cursor.clear();
    lastSync.clear();
    lastError.clear();
    offline = false;
    mergePending = false;
}

void CloudSync::Start(bool full) {
    if (!SignedIn()) {
        return;
    }
    if (syncing) {
        again = true;
        againFull = againFull || full;
        return;
    }
    // No round can run yet: the queue waits for the backend client.
}

std::wstring CloudSync::AvatarPath() const {
    if (account.avatarFile.empty()) {
        return {};
    }
    return Files::JoinPath(Paths::ImagesDir(), account.avatarFile);
}

std::wstring CloudSync::StatusText() const {
    if (!SignedIn()) {
        return L"Sin iniciar sesión";
    }
    if (syncing) {
        return L"Sincronizando…";
    }
    if (offline) {
        return L"Sin conexión · los cambios se subirán más tarde";
    }
    if (!lastError.empty()) {
        return lastError;
    }
    return L"Pendiente de sincronizar";
}

std::wstring CloudSync::ItemKey(const std::wstring& kind, const std::wstring& id) {
    return kind + L":" + id;
}

std::wstring CloudSync::ItemKey(const RemoteItem& row) {
    return ItemKey(row.kind, row.id);
}

std::wstring CloudSync::ChatItemId(const std::wstring& characterId, const std::wstring& chatId) {
    return characterId + L":" + chatId;
}

Json::Value CloudSync::StripPhotoPaths(const Json::Value& data) {
    if (data.kind != Json::Type::Object || !data.object) {
        return data;
    }
    // Values share their storage when copied: build new containers for what changes, so the
    // caller's record form stays as it was.
    Json::Object members = *data.object;
    StripPhotoMember(members);
    for (auto& [key, value] : members) {
        if (key != "known_characters") {
            continue;
        }
        if (value.kind == Json::Type::Array && value.array) {
            Json::Array people;
            people.reserve(value.array->size());
            for (const Json::Value& person : *value.array) {
                if (person.kind == Json::Type::Object && person.object) {
                    Json::Object fields = *person.object;
                    StripPhotoMember(fields);
                    people.emplace_back(std::move(fields));
                } else {
                    people.push_back(person);
                }
            }
            value = Json::Value(std::move(people));
        }
        break;
    }
    return Json::Value(std::move(members));
}

std::string CloudSync::ChangeHash(const Json::Value& data) {
    return Text::Sha256Hex(data.Dump(false));
}

bool CloudSync::IsInImagesDir(const std::wstring& path) {
    return Storage::IsInImagesDir(path);
}

void CloudSync::MarkSynced(const std::wstring& kind, const std::wstring& id, const Json::Value& data) {
    synced[ItemKey(kind, id)] = ChangeHash(StripPhotoPaths(data));
}

void CloudSync::MarkChanged(QueueItem item) {
    if (!SignedIn()) {
        return;
    }
    const std::wstring key = ItemKey(item.kind, item.id);
    if (item.kind != L"image") {
        if (!item.deleted) {
            item.data = StripPhotoPaths(item.data);
        }
        item.hash = item.deleted ? kDeletedHash : ChangeHash(item.data);
        if (pending.find(key) == pending.end()) {
            const auto known = synced.find(key);
            if (known != synced.end() && known->second == item.hash) {
                return;  // the cloud already holds this form
            }
        }
    }
    item.seq = ++lastSeq;
    pending[key] = std::move(item);
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
    QueueItem item;
    item.kind = L"image";
    item.id = name;
    MarkChanged(std::move(item));
}

void CloudSync::OnCharacterSaved(const Character& character) {
    if (!SignedIn()) {
        return;
    }
    for (const std::wstring& path : ImagePaths(character)) {
        QueueImageFile(path);
    }
    QueueItem item;
    item.kind = L"character";
    item.id = character.id;
    item.data = Character::ToJson(character);
    MarkChanged(std::move(item));
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
    QueueItem item;
    item.kind = L"chat";
    item.id = ChatItemId(owner.id, chat.id);
    item.parentId = owner.id;
    item.data = Chat::ToJson(chat);
    MarkChanged(std::move(item));
}

void CloudSync::OnPersonaSaved(const Persona& persona) {
    if (!SignedIn()) {
        return;
    }
    for (const std::wstring& path : ImagePaths(persona)) {
        QueueImageFile(path);
    }
    QueueItem item;
    item.kind = L"persona";
    item.id = persona.id;
    item.data = Persona::ToJson(persona);
    MarkChanged(std::move(item));
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
    QueueItem item;
    item.kind = L"character";
    item.id = character.id;
    item.deleted = true;
    MarkChanged(std::move(item));
}

void CloudSync::OnChatDeleted(const Character& owner, const Chat& chat) {
    if (!SignedIn() || chat.id.empty()) {
        return;
    }
    QueueItem item;
    item.kind = L"chat";
    item.id = ChatItemId(owner.id, chat.id);
    item.parentId = owner.id;
    item.deleted = true;
    MarkChanged(std::move(item));
}

void CloudSync::OnPersonaDeleted(const std::wstring& personaId) {
    if (!SignedIn()) {
        return;
    }
    QueueItem item;
    item.kind = L"persona";
    item.id = personaId;
    item.deleted = true;
    MarkChanged(std::move(item));
}

void CloudSync::OnImageDeleted(const std::wstring& fileName) {
    if (!SignedIn() || fileName.empty()) {
        return;
    }
    // A picture the cloud never saw needs no deletion; one still waiting to go up must not.
    if (uploaded.count(fileName) == 0 && pending.find(ItemKey(L"image", fileName)) == pending.end()) {
        return;
    }
    QueueItem item;
    item.kind = L"image";
    item.id = fileName;
    item.deleted = true;
    MarkChanged(std::move(item));
}

}  // namespace Lorvex::Services

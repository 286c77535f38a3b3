// The cloud sync's start-up and timers, and the keys and hashes that name queue items.

#include "services/sync/CloudSync.h"

#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

namespace Lorvex::Services {

namespace {

// A full round every two minutes while signed in, and one shortly after start.
constexpr uint32_t kFullRoundIntervalMs = 120000;
constexpr uint32_t kFirstRoundDelayMs = 600;

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
    // A state left by another user must never be uploaded under this one. The fresh state is this
    // user's, and their local data has never been merged into it: left without an owner, a later
    // sign-out and sign-in of the same user would take it for a stranger's and drop the queue.
    if (SignedIn() && stateUserId != account.userId) {
        ResetState();
        stateUserId = account.userId;
        mergePending = true;
    }
    // Marked open before anything of this process reaches a record file.
    stateOpen = true;
    SaveState();
    Async::SetInterval(kFullRoundIntervalMs, [this] {
        if (SignedIn() && !syncing) {
            Start(true);
        }
    });
    if (SignedIn()) {
        Async::SetTimeout(kFirstRoundDelayMs, [this] { Start(true); });
    }
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
    SyncBase::Clear();
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

}  // namespace Lorvex::Services

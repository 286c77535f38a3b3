// The two files of the cloud sync: the protected session ("account.dat") and the sync state
// ("cloud.json"), each read once at start and written whole through a temporary file.

#include "services/sync/CloudSync.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "domain/Storage.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "services/sync/CloudSyncProtection.h"

namespace Lorvex::Services {
namespace {

// Older writers stored some flags as the string "true".
bool ReadFlag(const Json::Value& value) {
    if (value.kind == Json::Type::Bool) {
        return value.boolean;
    }
    return value.kind == Json::Type::String && value.text == "true";
}

}  // namespace

std::wstring CloudSync::AccountPath() {
    return Files::JoinPath(Paths::DataDir(), L"account.dat");
}

std::wstring CloudSync::StatePath() {
    return Files::JoinPath(Paths::DataDir(), L"cloud.json");
}

void CloudSync::LoadAccount() {
    const std::optional<std::string> sealed = Files::ReadBytes(AccountPath());
    if (!sealed) {
        return;
    }
    const std::optional<std::string> plain = CloudSyncProtection::Unprotect(*sealed);
    if (!plain) {
        return;
    }
    bool ok = false;
    const Json::Value root = Json::Value::Parse(*plain, &ok);
    const Json::Value& refresh = root.Find("refreshToken");
    if (!ok || refresh.kind != Json::Type::String) {
        return;
    }
    Account loaded;
    loaded.refreshToken = refresh.text;
    loaded.userId = root.Find("userId").AsWString();
    loaded.email = root.Find("email").AsWString();
    loaded.displayName = root.Find("displayName").AsWString();
    loaded.avatarFile = root.Find("avatarFile").AsWString();
    account = std::move(loaded);
}

void CloudSync::SaveAccount() const {
    if (!SignedIn()) {
        return;
    }
    // The access token and its expiry stay in memory: the first round after a start renews them.
    const Json::Value root(Json::Object{
        {"email", Json::Value(account.email)},
        {"userId", Json::Value(account.userId)},
        {"refreshToken", Json::Value(account.refreshToken)},
        {"displayName", Json::Value(account.displayName)},
        {"avatarFile", Json::Value(account.avatarFile)},
    });
    const std::optional<std::string> sealed = CloudSyncProtection::Protect(root.Dump(false));
    if (!sealed) {
        return;
    }
    Files::WriteReplacing(AccountPath(), *sealed);
}

void CloudSync::LoadState() {
    Json::Value root;
    if (!Storage::ReadJsonFile(StatePath(), root)) {
        return;
    }
    stateUserId = root.Find("userId").AsWString();
    const Json::Value& storedCursor = root.Find("cursor");
    cursor = storedCursor.kind == Json::Type::String ? storedCursor.text : std::string();
    lastSync = root.Find("lastSync").AsWString();
    mergePending = ReadFlag(root.Find("mergePending"));
    // Left open by a process that never closed it: what it wrote last may be in the record files
    // and not in the queue.
    if (ReadFlag(root.Find("open"))) {
        mergePending = true;
    }

    synced.clear();
    const Json::Value& storedSynced = root.Find("synced");
    if (storedSynced.kind == Json::Type::Object) {
        for (const auto& [key, hash] : storedSynced.Members()) {
            synced[Text::ToWide(key)] = hash.AsString();
        }
    }
    uploaded.clear();
    const Json::Value& storedUploaded = root.Find("uploaded");
    if (storedUploaded.kind == Json::Type::Array) {
        for (const Json::Value& name : storedUploaded.Items()) {
            uploaded.insert(name.AsWString());
        }
    }
    pending.clear();
    const Json::Value& queue = root.Find("queue");
    if (queue.kind == Json::Type::Array) {
        for (const Json::Value& element : queue.Items()) {
            QueueItem item;
            item.kind = element.Find("kind").AsWString();
            item.id = element.Find("id").AsWString();
            item.parentId = element.Find("parentId").AsWString();
            item.deleted = ReadFlag(element.Find("deleted"));
            item.hash = element.Find("hash").AsString();
            item.size = static_cast<uint64_t>(std::max<int64_t>(element.Find("size").AsInt64(0), 0));
            // Older versions kept the upload form in the queue: it goes up as it was queued.
            const Json::Value& data = element.Find("data");
            if (!item.deleted && item.kind != L"image" && data.kind == Json::Type::Object) {
                item.form = data.Dump(false);
                if (item.hash.empty()) {
                    item.hash = Text::Sha256Hex(item.form);
                }
                item.size = item.form.size();
            }
            item.refusal = element.Find("refused").AsWString();  // absent in files of older versions
            // Numbers go on from the last one given, so an item queued after the load never shares
            // one with a loaded item: a round confirms an item by its number.
            item.seq = ++lastSeq;
            if (item.kind.empty() || item.id.empty()) {
                continue;
            }
            pending[ItemKey(item.kind, item.id)] = std::move(item);
        }
    }
}

void CloudSync::SaveState() {
    if (!SignedIn()) {
        return;
    }
    // This write holds every change so far: a save armed for them has nothing left to do.
    Async::CancelTimer(saveTimer);
    saveTimer = 0;
    Json::Object syncedMembers;
    syncedMembers.reserve(synced.size());
    for (const auto& [key, hash] : synced) {
        syncedMembers.emplace_back(Text::ToUtf8(key), Json::Value(hash));
    }
    Json::Array names;
    names.reserve(uploaded.size());
    for (const std::wstring& name : uploaded) {
        names.emplace_back(name);
    }
    Json::Array queue;
    queue.reserve(pending.size());
    for (const auto& [key, item] : pending) {
        // No upload forms: the round reads each record from its file when it sends it.
        Json::Value entry(Json::Object{
            {"kind", Json::Value(item.kind)},
            {"id", Json::Value(item.id)},
            {"parentId", Json::Value(item.parentId)},
        });
        if (!item.form.empty()) {
            entry["data"] = Json::Value::Parse(item.form);  // an older file's, not sent yet
        }
        entry["deleted"] = Json::Value(item.deleted);
        entry["hash"] = Json::Value(item.hash);
        entry["size"] = Json::Value(static_cast<unsigned long long>(item.size));
        if (!item.refusal.empty()) {
            entry["refused"] = Json::Value(item.refusal);
        }
        queue.push_back(std::move(entry));
    }
    const Json::Value root(Json::Object{
        {"userId", Json::Value(stateUserId.empty() ? account.userId : stateUserId)},
        {"cursor", Json::Value(cursor)},
        {"lastSync", Json::Value(lastSync)},
        {"mergePending", Json::Value(mergePending)},
        {"open", Json::Value(stateOpen)},
        {"synced", Json::Value(std::move(syncedMembers))},
        {"uploaded", Json::Value(std::move(names))},
        {"queue", Json::Value(std::move(queue))},
    });
    Files::WriteReplacing(StatePath(), root.Dump(false));
}

}  // namespace Lorvex::Services

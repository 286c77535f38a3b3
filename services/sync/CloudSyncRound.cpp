// A sync round on its worker: uploads, the pull, picture downloads and the bucket listing.

#include "services/sync/CloudSyncRound.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "services/sync/ChatMerge.h"
#include "services/sync/Supabase.h"

namespace Lorvex::Services {

namespace {

using namespace CloudSyncRound;

// Re-encoding and the picture check need COM; a round's worker has it, a caller's thread may not.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// True when a renewal on the way failed, which ends the round whatever the answer said.
bool RenewalFailed(const CloudSync::Result& result) {
    return result.unauthorized || !result.error.empty();
}

// True when the round ends after this answer: a renewal on the way failed (its reason is already
// in the result) or the answer was not accepted.
bool Ends(CloudSync::Result& result, const Http::Response& response, bool accepted) {
    if (RenewalFailed(result)) {
        return true;
    }
    if (!accepted) {
        FailRound(result, response);
        return true;
    }
    return false;
}

// Picture items; false when the round ends.
bool SendPictures(const CloudSync::Job& job, CloudSync::Result& result) {
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind != L"image") {
            continue;
        }
        if (item.deleted) {
            const Http::Response response = AuthorizedSend(result, DeleteObjectRequest(result.account.userId, item.id));
            if (Ends(result, response, DeletionDone(response))) {
                return false;
            }
            result.done.push_back(item.seq);
            continue;
        }
        // A name that cannot be a file of the folder has nothing there to upload.
        const std::optional<std::wstring> path = PicturePath(item.id);
        if (!path || !Files::IsFile(*path)) {
            result.done.push_back(item.seq);
            continue;
        }
        const std::optional<std::string> bytes = Files::ReadBytes(*path);
        if (!bytes) {
            // Held open elsewhere for now: it stays queued for a later round, and the rest goes on.
            if (!Files::IsFile(*path)) {
                result.done.push_back(item.seq);
            }
            continue;
        }
        const Http::Response response = AuthorizedSend(
            result, UploadObjectRequest(result.account.userId, item.id, CloudSync::ShrinkForUpload(item.id, *bytes)));
        if (!RenewalFailed(result) && ObjectRefused(response)) {
            // This picture can never go up as it is; the rest of the queue must not wait for it.
            result.refused.push_back({item.seq, Supabase::StorageErrorText(response)});
            continue;
        }
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        result.done.push_back(item.seq);
    }
    return true;
}

// One record on its way to the table: a queue item (or a character sent again to restore it) with
// the form it goes up in.
struct Outgoing {
    const CloudSync::QueueItem* item = nullptr;  // null for a restored character
    std::wstring key;
    std::string row;   // the table row's text
    std::string hash;  // of the form the row carries; "deleted" for a deletion
};

// What the pull decided about the records queued for this round.
struct Plan {
    std::map<int64_t, std::string> merged;  // seq -> compact form of a chat merged with the cloud's
    std::set<int64_t> superseded;           // items the cloud's later edit replaces: not sent
    std::vector<std::wstring> restore;      // characters to send again, by the file of their record
    std::vector<std::wstring> restoreIds;
};

void Confirm(CloudSync::Result& result, const Outgoing& out) {
    if (out.item == nullptr) {
        result.restored.emplace_back(out.key, out.hash);
        return;
    }
    result.done.push_back(out.item->seq);
    if (!out.item->deleted && out.hash != out.item->hash) {
        result.sent[out.item->seq] = out.hash;
    }
}

// Sends each record of a batch the table refused on its own, so that only the rows it refuses
// are set aside; false when the round ends.
bool SendOneByOne(const std::vector<Outgoing>& batch, CloudSync::Result& result) {
    for (const Outgoing& out : batch) {
        const Http::Response response = AuthorizedSend(result, UpsertRequest({out.row}));
        if (!RenewalFailed(result) && RowsRefused(response)) {
            if (out.item != nullptr) {
                result.refused.push_back({out.item->seq, Supabase::ErrorText(response)});
            }
            continue;
        }
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        Confirm(result, out);
    }
    return true;
}

// Sends a full batch; false when the round ends.
bool SendBatch(std::vector<Outgoing>& batch, CloudSync::Result& result) {
    if (batch.empty()) {
        return true;
    }
    std::vector<std::string> rows;
    rows.reserve(batch.size());
    for (const Outgoing& out : batch) {
        rows.push_back(out.row);
    }
    const Http::Response response = AuthorizedSend(result, UpsertRequest(rows));
    bool going = true;
    if (!RenewalFailed(result) && RowsRefused(response)) {
        // One statement fails whole: which rows the table refuses shows only row by row.
        if (batch.size() == 1) {
            if (batch.front().item != nullptr) {
                result.refused.push_back({batch.front().item->seq, Supabase::ErrorText(response)});
            }
        } else {
            going = SendOneByOne(batch, result);
        }
    } else if (Ends(result, response, Http::IsSuccess(response.status))) {
        going = false;
    } else {
        for (const Outgoing& out : batch) {
            Confirm(result, out);
        }
    }
    batch.clear();
    return going;
}

// The record items in batches, each form read from its file as its turn comes, so that no more
// than a batch is held at once; false when the round ends.
bool SendRecords(const CloudSync::Job& job, const Plan& plan, CloudSync::Result& result) {
    const std::wstring& user = result.account.userId;
    std::vector<Outgoing> batch;
    size_t estimate = 0;
    auto add = [&](Outgoing out) {
        estimate += out.row.size();
        batch.push_back(std::move(out));
        if (estimate >= kBatchEstimate) {
            estimate = 0;
            return SendBatch(batch, result);
        }
        return true;
    };
    // A character restored goes with (and, by kind, before) the chats that stand under it.
    for (size_t i = 0; i < plan.restore.size(); ++i) {
        CloudSync::QueueItem character;
        character.kind = L"character";
        character.id = plan.restoreIds[i];
        character.source = plan.restore[i];
        StoredForm form;
        if (ReadStoredForm(character, form) != StoredRead::Ok) {
            continue;
        }
        if (!add({nullptr, CloudSync::ItemKey(character.kind, character.id),
                  TableRow(user, character.kind, character.id, {}, false, WithChangedAt(form.text, form.changedAt)),
                  form.hash})) {
            return false;
        }
    }
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind == L"image" || plan.superseded.count(item.seq) != 0) {
            continue;
        }
        const std::wstring key = CloudSync::ItemKey(item.kind, item.id);
        if (item.deleted) {
            if (!add({&item, key, TableRow(user, item.kind, item.id, item.parentId, true, {}), "deleted"})) {
                return false;
            }
            continue;
        }
        StoredForm form;
        if (const auto merged = plan.merged.find(item.seq); merged != plan.merged.end()) {
            form.text = merged->second;
            form.hash = Text::Sha256Hex(form.text);
            form.changedAt = Time::NowIso();
        } else {
            const StoredRead read = ReadStoredForm(item, form);
            if (read == StoredRead::Unreadable) {
                continue;  // stays queued for a later round
            }
            if (read == StoredRead::Gone) {
                result.done.push_back(item.seq);
                result.sent[item.seq] = std::string();
                continue;
            }
        }
        // The cloud holds this very form already (the merge finds most records so): nothing to send.
        if (const auto known = job.synced.find(key); known != job.synced.end() && known->second == form.hash) {
            result.done.push_back(item.seq);
            if (form.hash != item.hash) {
                result.sent[item.seq] = form.hash;
            }
            continue;
        }
        if (!add({&item, key,
                  TableRow(user, item.kind, item.id, item.parentId, false, WithChangedAt(form.text, form.changedAt)),
                  form.hash})) {
            return false;
        }
    }
    return SendBatch(batch, result);
}

CloudSync::RemoteItem ReadRow(const Json::Value& element) {
    CloudSync::RemoteItem row;
    row.kind = element.Find("kind").AsWString();
    row.id = element.Find("id").AsWString();
    row.parentId = element.Find("parent_id").AsWString();
    row.deleted = element.Find("deleted").AsBool(false);
    row.data = element.Find("data");
    if (element.Find("updated_at").kind == Json::Type::String) {
        row.updatedAt = element.Find("updated_at").text;
    }
    return row;
}

// Every row changed since the cursor; false when the round ends.
bool Pull(const CloudSync::Job& job, CloudSync::Result& result) {
    result.cursor = job.cursor;
    std::optional<RowKey> after;
    for (;;) {
        const Http::Response response = AuthorizedSend(result, PullRequest(job.cursor, after));
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        bool parsed = false;
        const Json::Value page = Json::Value::Parse(response.body, &parsed);
        if (!parsed || page.kind != Json::Type::Array) {
            result.error = L"Respuesta inesperada del servidor";
            return false;
        }
        for (const Json::Value& element : page.Items()) {
            CloudSync::RemoteItem row = ReadRow(element);
            if (!row.updatedAt.empty()) {
                result.cursor = row.updatedAt;
            }
            // The next page starts after the last row read, whether or not this one is handed on.
            after = RowKey{row.updatedAt, element.Find("kind").AsString(), element.Find("id").AsString()};
            if (IsSafeRow(row)) {
                row.hash = RowHash(row);
                row.changedAt = RemoteChangedAt(row);
                result.items.push_back(std::move(row));
            }
        }
        if (page.Size() < kPageRows) {
            return true;
        }
        if (after->updatedAt.empty()) {
            // Without its stamp the last row gives no key to go on from.
            result.error = L"Respuesta inesperada del servidor";
            return false;
        }
    }
}

// The pictures the pulled records name and this PC lacks.
std::set<std::wstring> MissingPhotos(const std::vector<CloudSync::RemoteItem>& rows) {
    std::set<std::wstring> names;
    for (const CloudSync::RemoteItem& row : rows) {
        if (row.deleted || row.kind == L"chat") {
            continue;
        }
        for (const std::wstring& name : PhotoNames(row.data)) {
            const std::optional<std::wstring> path = PicturePath(name);
            if (path && !Files::IsFile(*path)) {
                names.insert(name);
            }
        }
    }
    return names;
}

// Fetches them; false when the round ends.
bool FetchPhotos(const std::set<std::wstring>& names, CloudSync::Result& result) {
    if (names.empty()) {
        return true;
    }
    Files::EnsureDir(Paths::ImagesDir());
    for (const std::wstring& name : names) {
        if (Supabase::NeedsRefresh(result.account) && !RefreshSession(result)) {
            return false;
        }
        if (DownloadPicture(result.account, name)) {
            result.downloaded.push_back(name);
        }
    }
    return true;
}

// The queued record's stored form as a chat; null when it cannot be read.
std::shared_ptr<Chat> StoredChat(const CloudSync::QueueItem& item) {
    StoredForm form;
    if (ReadStoredForm(item, form) != StoredRead::Ok) {
        return nullptr;
    }
    return Chat::FromJson(Json::Value::Parse(form.text));
}

// The pulled rows against the changes this round is to send. A row the cloud held already when
// the round began is nothing new. A row of a record queued here changed on both sides: a chat
// goes up merged with it (and comes back merged), a character or persona keeps the later edit
// whole, and a deletion on either side gives way to a change on the other (this PC's deletion
// stands; a record written here comes back). A character another PC deleted while a chat of it
// was written here is sent again, so that no chat stands under a deleted character.
Plan Resolve(const CloudSync::Job& job, CloudSync::Result& result) {
    Plan plan;
    std::map<std::wstring, const CloudSync::QueueItem*> queued;
    std::map<std::wstring, std::wstring> liveChatFolders;  // owner id -> its folder, from a chat's file
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind == L"image") {
            continue;
        }
        queued[CloudSync::ItemKey(item.kind, item.id)] = &item;
        if (item.kind == L"chat" && !item.deleted && !item.parentId.empty()) {
            liveChatFolders[item.parentId] = Files::ParentPath(Files::ParentPath(item.source));
        }
    }
    std::vector<CloudSync::RemoteItem> kept;
    for (CloudSync::RemoteItem& row : result.items) {
        const std::wstring key = CloudSync::ItemKey(row);
        const auto known = job.synced.find(key);
        if (!row.hash.empty() && known != job.synced.end() && known->second == row.hash) {
            continue;  // what this PC last sent or stored; a change queued since simply goes up
        }
        const auto local = queued.find(key);
        if (local == queued.end()) {
            const auto chats = liveChatFolders.find(row.id);
            if (row.deleted && row.kind == L"character" && chats != liveChatFolders.end()) {
                if (!chats->second.empty()) {
                    plan.restore.push_back(Files::JoinPath(chats->second, L"character.json"));
                    plan.restoreIds.push_back(row.id);
                }
                row.undone = true;
                row.resolved = true;
                kept.push_back(std::move(row));
                continue;
            }
            kept.push_back(std::move(row));
            continue;
        }
        const CloudSync::QueueItem& item = *local->second;
        if (item.deleted) {
            continue;
        }
        if (row.deleted) {
            row.undone = true;  // the record goes up again
            row.resolved = true;
            kept.push_back(std::move(row));
            continue;
        }
        const std::wstring localAt = item.changedAt.empty() ? FileChangedAt(item.source) : item.changedAt;
        const bool remoteLater = CloudSync::RemoteIsLater(localAt, row.changedAt);
        if (item.kind == L"chat") {
            const std::shared_ptr<Chat> mine = StoredChat(item);
            const Json::Value theirs = PulledForm(row);
            if (!mine || theirs.kind != Json::Type::Object) {
                continue;  // this PC's change goes up as it is
            }
            const std::shared_ptr<Chat> merged = MergeChats(*mine, *Chat::FromJson(theirs), remoteLater);
            merged->id = mine->id;
            const Json::Value form = Chat::ToJson(*merged);
            plan.merged[item.seq] = form.Dump(false);
            row.data = form;
            row.hash = CloudSync::ChangeHash(form);
            row.resolved = true;
            kept.push_back(std::move(row));
            continue;
        }
        if (remoteLater) {
            plan.superseded.insert(item.seq);
            result.done.push_back(item.seq);
            result.sent[item.seq] = row.hash;
            row.resolved = true;
            kept.push_back(std::move(row));
        }
    }
    result.items = std::move(kept);
    return plan;
}

// The user's pictures in the bucket. A listing that fails leaves no error (only a refused session
// ends the round), so the pull before it is still applied.
void ListBucket(CloudSync::Result& result) {
    std::vector<CloudSync::ImageRow> rows;
    for (size_t offset = 0;; offset += kListPageEntries) {
        const Http::Response response = AuthorizedSend(result, ListRequest(result.account.userId, offset));
        if (!result.unauthorized && !result.error.empty()) {
            result.error.clear();
            result.offline = false;
            return;
        }
        if (result.unauthorized || !Http::IsSuccess(response.status)) {
            return;
        }
        bool parsed = false;
        const Json::Value page = Json::Value::Parse(response.body, &parsed);
        if (!parsed || page.kind != Json::Type::Array) {
            return;
        }
        for (const Json::Value& entry : page.Items()) {
            const Json::Value& id = entry.Find("id");
            const Json::Value& name = entry.Find("name");
            // Folders have no id; a name that could not be a picture of the folder is no orphan of ours.
            if (id.kind == Json::Type::Null || name.kind != Json::Type::String ||
                !CloudSync::IsSafePictureName(name.AsWString())) {
                continue;
            }
            const Json::Value& created = entry.Find("created_at");
            rows.push_back({name.AsWString(), created.kind == Json::Type::String ? created.text : std::string()});
        }
        if (page.Size() < kListPageEntries) {
            result.listed = true;
            result.images = std::move(rows);
            return;
        }
    }
}

}  // namespace

CloudSync::Result CloudSync::RunRound(const Job& job) {
    const ComScope com;
    Result result;
    result.account = job.account;

    if (Supabase::NeedsRefresh(result.account) && !RefreshSession(result)) {
        return result;
    }
    // What other PCs changed comes first: a change queued here is then sent knowing it, and two
    // edits of one chat are merged instead of the later upload replacing the other.
    if (!Pull(job, result)) {
        return result;
    }
    const std::set<std::wstring> photos = MissingPhotos(result.items);
    const Plan plan = Resolve(job, result);
    if (!SendPictures(job, result) || !SendRecords(job, plan, result) || !FetchPhotos(photos, result)) {
        return result;
    }
    result.pulled = true;
    if (!job.full) {
        return result;
    }

    const std::wstring& avatar = result.account.avatarFile;
    if (const std::optional<std::wstring> path = PicturePath(avatar); path && !Files::IsFile(*path)) {
        Files::EnsureDir(Paths::ImagesDir());
        if (DownloadPicture(result.account, avatar)) {
            result.downloaded.push_back(avatar);
        }
    }
    if (job.listStorage) {
        ListBucket(result);
    }
    return result;
}

}  // namespace Lorvex::Services

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
#include "services/sync/SyncBase.h"
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
// `named`: the pictures the pulled rows and the characters that may come back name. A deletion of
// one of them is held: the record that names it came back, or took it from another PC, and the
// application state drops the deletion.
bool SendPictures(const CloudSync::Job& job, const std::set<std::wstring>& named, CloudSync::Result& result) {
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind != L"image") {
            continue;
        }
        if (item.deleted && named.count(item.id) != 0) {
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

// One record on its way to the table, with the form it goes up in.
struct Outgoing {
    const CloudSync::QueueItem* item = nullptr;
    std::wstring key;
    std::string row;   // the table row's text
    std::string hash;  // of the form the row carries; "deleted" for a deletion
    Json::Value form;  // the upload form; null for a deletion
};

// The cloud holds the item's form now: it leaves the queue, and the form becomes the record's
// base. The base is written here, as the answer comes, so that a kill before the UI thread takes
// the result leaves a base that is true (the next pull then finds the row agreed on).
void Confirm(CloudSync::Result& result, const Outgoing& out) {
    result.done.push_back(out.item->seq);
    if (!out.item->deleted && out.hash != out.item->hash) {
        result.sent[out.item->seq] = out.hash;
    }
    result.agreed.emplace_back(out.key, out.hash);
    if (out.item->deleted) {
        SyncBase::Remove(out.key);
    } else {
        SyncBase::Save(out.key, result.account.userId, SyncBase::BaseOf(out.item->kind, out.form));
    }
}

// Sends each record of a batch the table refused on its own, so that only the rows it refuses
// are set aside; false when the round ends.
bool SendOneByOne(const std::vector<Outgoing>& batch, CloudSync::Result& result) {
    for (const Outgoing& out : batch) {
        const Http::Response response = AuthorizedSend(result, UpsertRequest({out.row}));
        if (!RenewalFailed(result) && RowsRefused(response)) {
            result.refused.push_back({out.item->seq, Supabase::ErrorText(response)});
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
            result.refused.push_back({batch.front().item->seq, Supabase::ErrorText(response)});
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
// than a batch is held at once; items held back for a merge stay queued. False when the round
// ends.
bool SendRecords(const CloudSync::Job& job, const std::set<int64_t>& held, CloudSync::Result& result) {
    const std::wstring& user = result.account.userId;
    std::vector<Outgoing> batch;
    size_t estimate = 0;
    auto add = [&](Outgoing out) {
        estimate += out.item->deleted ? kDeletionEstimate : out.row.size();
        batch.push_back(std::move(out));
        if (estimate >= kBatchEstimate) {
            estimate = 0;
            return SendBatch(batch, result);
        }
        return true;
    };
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind == L"image" || held.count(item.seq) != 0) {
            continue;
        }
        const std::wstring key = CloudSync::ItemKey(item.kind, item.id);
        if (item.deleted) {
            if (!add({&item, key, TableRow(user, item.kind, item.id, item.parentId, true, {}), "deleted", {}})) {
                return false;
            }
            continue;
        }
        StoredForm form;
        const StoredRead read = ReadStoredForm(item, form);
        if (read == StoredRead::Unreadable) {
            continue;  // stays queued for a later round
        }
        if (read == StoredRead::Gone) {
            result.done.push_back(item.seq);
            result.sent[item.seq] = std::string();
            continue;
        }
        // The cloud holds this very form already (the merge finds most records so): nothing to send.
        if (const auto known = job.synced.find(key); known != job.synced.end() && known->second == form.hash) {
            result.done.push_back(item.seq);
            if (form.hash != item.hash) {
                result.sent[item.seq] = form.hash;
            }
            continue;
        }
        std::string row = TableRow(user, item.kind, item.id, item.parentId, false, form.text);
        if (!add({&item, key, std::move(row), std::move(form.hash), std::move(form.form)})) {
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

// The pictures the pulled records name, and those of them this PC lacks.
std::set<std::wstring> NamedPhotos(const std::vector<CloudSync::RemoteItem>& rows) {
    std::set<std::wstring> names;
    for (const CloudSync::RemoteItem& row : rows) {
        if (row.deleted || row.kind == L"chat") {
            continue;
        }
        for (const std::wstring& name : PhotoNames(row.data)) {
            names.insert(name);
        }
    }
    return names;
}

std::set<std::wstring> MissingPhotos(const std::set<std::wstring>& named) {
    std::set<std::wstring> names;
    for (const std::wstring& name : named) {
        const std::optional<std::wstring> path = PicturePath(name);
        if (path && !Files::IsFile(*path)) {
            names.insert(name);
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

// The pulled rows against what this PC last agreed on and the changes it queued. A row it agreed
// on already is nothing new (the cloud holds what this PC sent or stored). Any other row changed
// in the cloud since: a queued change of the same record is held back, to be merged with the row
// on the UI thread and sent by a later round instead of replacing it; so is the deletion of a
// character under which the cloud holds a chat changed since (that chat may stay, and needs it),
// and a chat queued under a character the cloud deleted.
// `kept` gains the pictures of each character whose deletion is held: it may come back.
std::set<int64_t> Hold(const CloudSync::Job& job, CloudSync::Result& result, std::set<std::wstring>& kept) {
    std::map<std::wstring, const CloudSync::QueueItem*> queued;
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind != L"image") {
            queued[CloudSync::ItemKey(item.kind, item.id)] = &item;
        }
    }
    std::set<int64_t> held;
    std::vector<CloudSync::RemoteItem> changed;
    for (CloudSync::RemoteItem& row : result.items) {
        const std::wstring key = CloudSync::ItemKey(row);
        const auto known = job.synced.find(key);
        if (!row.hash.empty() && known != job.synced.end() && known->second == row.hash) {
            continue;
        }
        if (const auto local = queued.find(key); local != queued.end()) {
            const CloudSync::QueueItem& item = *local->second;
            StoredForm form;
            if (!item.deleted && !row.deleted && ReadStoredForm(item, form) == StoredRead::Ok &&
                form.hash == row.hash) {
                // Both sides hold the same form (a merge after a sign-in finds most records so):
                // agreed without sending anything.
                Confirm(result, Outgoing{&item, key, {}, std::move(form.hash), std::move(form.form)});
            }
            held.insert(item.seq);
        }
        if (row.kind == L"character" && row.deleted) {
            // A chat written here under a character deleted there: whether the character stays
            // is decided on the UI thread, against this chat; sent now, the chat would count as
            // agreed and go with the character.
            for (const CloudSync::QueueItem& item : job.items) {
                if (item.kind == L"chat" && !item.deleted && item.parentId == row.id) {
                    held.insert(item.seq);
                }
            }
        }
        if (row.kind == L"chat" && !row.deleted) {
            const auto owner = queued.find(CloudSync::ItemKey(L"character", row.parentId));
            if (owner != queued.end() && owner->second->deleted && held.insert(owner->second->seq).second) {
                const std::optional<SyncBase::RecordBase> base = SyncBase::Load(owner->first, job.account.userId);
                if (base) {
                    for (const std::wstring& name : PhotoNames(base->form)) {
                        kept.insert(name);
                    }
                }
            }
        }
        changed.push_back(std::move(row));
    }
    result.items = std::move(changed);
    return held;
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
    // Rows this PC agreed on already bring nothing back: only the rows left after Hold count.
    std::set<std::wstring> named;
    const std::set<int64_t> held = Hold(job, result, named);
    const std::set<std::wstring> pulledNames = NamedPhotos(result.items);
    named.insert(pulledNames.begin(), pulledNames.end());
    std::set<std::wstring> wanted = named;
    wanted.insert(job.pictures.begin(), job.pictures.end());
    const std::set<std::wstring> photos = MissingPhotos(wanted);
    if (!SendPictures(job, named, result) || !SendRecords(job, held, result) || !FetchPhotos(photos, result)) {
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

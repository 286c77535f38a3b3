// A sync round on its worker: uploads, the pull, picture downloads and the bucket listing.

#include "services/CloudSyncRound.h"

#include <windows.h>

#include <set>

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "services/Supabase.h"

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
            result.refused.push_back({item.seq, Supabase::ErrorText(response)});
            continue;
        }
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        result.done.push_back(item.seq);
    }
    return true;
}

// Sends each record of a batch the table refused on its own, so that only the rows it refuses
// are set aside; false when the round ends.
bool SendOneByOne(const std::vector<const CloudSync::QueueItem*>& batch, CloudSync::Result& result) {
    for (const CloudSync::QueueItem* item : batch) {
        const Http::Response response =
            AuthorizedSend(result, UpsertRequest(Json::Value(Json::Array{TableRow(result.account.userId, *item)})));
        if (!RenewalFailed(result) && RowsRefused(response)) {
            result.refused.push_back({item->seq, Supabase::ErrorText(response)});
            continue;
        }
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        result.done.push_back(item->seq);
    }
    return true;
}

// Record items in batches; false when the round ends.
bool SendRecords(const CloudSync::Job& job, CloudSync::Result& result) {
    std::vector<const CloudSync::QueueItem*> records;
    for (const CloudSync::QueueItem& item : job.items) {
        if (item.kind != L"image") {
            records.push_back(&item);
        }
    }
    size_t next = 0;
    while (next < records.size()) {
        Json::Value rows = Json::Value::EmptyArray();
        std::vector<const CloudSync::QueueItem*> batch;
        size_t estimate = 0;
        do {
            const CloudSync::QueueItem& item = *records[next++];
            rows.Push(TableRow(result.account.userId, item));
            batch.push_back(&item);
            estimate += BatchEstimate(item);
        } while (next < records.size() && estimate < kBatchEstimate);
        const Http::Response response = AuthorizedSend(result, UpsertRequest(rows));
        if (!RenewalFailed(result) && RowsRefused(response)) {
            // One statement fails whole: which rows the table refuses shows only row by row.
            if (batch.size() == 1) {
                result.refused.push_back({batch.front()->seq, Supabase::ErrorText(response)});
            } else if (!SendOneByOne(batch, result)) {
                return false;
            }
            continue;
        }
        if (Ends(result, response, Http::IsSuccess(response.status))) {
            return false;
        }
        for (const CloudSync::QueueItem* item : batch) {
            result.done.push_back(item->seq);
        }
    }
    return true;
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

// The pictures the pulled records name and this PC lacks; false when the round ends.
bool FetchPhotos(CloudSync::Result& result) {
    std::set<std::wstring> names;
    for (const CloudSync::RemoteItem& row : result.items) {
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
    if (names.empty()) {
        return true;
    }
    Files::EnsureDir(Paths::ImagesDir());
    for (const std::wstring& name : names) {
        if (Supabase::NeedsRefresh(result.account) && !RefreshSession(result)) {
            return false;
        }
        DownloadPicture(result.account, name);
    }
    return true;
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
    if (!SendPictures(job, result) || !SendRecords(job, result) || !job.full) {
        return result;
    }

    const std::wstring& avatar = result.account.avatarFile;
    if (const std::optional<std::wstring> path = PicturePath(avatar); path && !Files::IsFile(*path)) {
        Files::EnsureDir(Paths::ImagesDir());
        DownloadPicture(result.account, avatar);
    }

    if (!Pull(job, result) || !FetchPhotos(result)) {
        return result;
    }
    result.pulled = true;

    if (job.listStorage) {
        ListBucket(result);
    }
    return result;
}

}  // namespace Lorvex::Services

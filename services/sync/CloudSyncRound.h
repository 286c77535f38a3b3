#pragma once
// The pieces a sync round is made of: the requests it sends to the table and the bucket, the
// send that renews the session once on a refused token, the renewal itself, and the checks that
// keep names and ids from the server out of file paths. Internal to the round (and its tests).
// Worker threads only (any thread but the UI thread): every call blocks on HTTPS or the disk and
// touches nothing but its arguments and the images folder. Nothing throws: a failure ends up in
// the round's Result (error, offline, unauthorized) or as a false or empty return.

#include <optional>
#include <string>
#include <vector>

#include "foundation/json/Value.h"
#include "foundation/net/Http.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Services::CloudSyncRound {

inline constexpr const wchar_t* kTable = L"velmorin_items";
inline constexpr const wchar_t* kBucket = L"velmorin-images";
inline constexpr size_t kPageRows = 500;
inline constexpr size_t kListPageEntries = 1000;
inline constexpr size_t kBatchEstimate = 1500000;
inline constexpr size_t kDeletionEstimate = 64;

// The sort key of a pulled row; the next page starts after the last one read.
struct RowKey {
    std::string updatedAt;
    std::string kind;
    std::string id;
};

Http::Request DeleteObjectRequest(const std::wstring& userId, const std::wstring& name);
Http::Request UploadObjectRequest(const std::wstring& userId, const std::wstring& name, std::string bytes);
// One POST of the rows (compact JSON texts of TableRow) as a JSON array, merged on (user_id, kind, id).
Http::Request UpsertRequest(const std::vector<std::string>& rows);
// The first page reads from the cursor ("gte", empty for everything); every later page reads the
// rows sorted after the last one read, so rows that change between two requests move behind the
// key instead of shifting the pages under it.
Http::Request PullRequest(const std::string& cursor, const std::optional<RowKey>& after);
Http::Request ListRequest(const std::wstring& userId, size_t offset);

// The compact text of the row the table is sent for a record: its upload form as text, null
// data for a deletion.
std::string TableRow(const std::wstring& userId, const std::wstring& kind, const std::wstring& id,
                     const std::wstring& parentId, bool deleted, const std::string& form);

// ---- Upload forms ----

// A record's upload form, read from its file when the round sends it, in the form this PC's
// reader and writer give it (so its hash is the one the application state computes).
struct StoredForm {
    Json::Value form;
    std::string text;  // compact upload form
    std::string hash;
};
enum class StoredRead {
    Ok,
    Gone,        // no file: nothing to send
    Unreadable,  // the file is there but cannot be read now
};
StoredRead ReadStoredForm(const CloudSync::QueueItem& item, StoredForm& out);
// The record a pulled row holds, in the form this PC writes and hashes it; null when the row holds
// no record of a known kind.
Json::Value PulledForm(const CloudSync::RemoteItem& row);
// "deleted", the change hash of PulledForm, or empty.
std::string RowHash(const CloudSync::RemoteItem& row);

// Sends with the authentication headers of the result's account in front of the request's own.
// A 401 (or the bucket's refusal of an expired token) renews the session once and repeats the
// request once; the last answer is returned as it came.
Http::Response AuthorizedSend(CloudSync::Result& result, Http::Request request);
// Renews the result's session. On failure: offline when no answer came, unauthorized only when
// the token endpoint refused the refresh token, an ordinary error otherwise; the error text is
// set in every case.
bool RefreshSession(CloudSync::Result& result);
// A request failed: offline when nothing answered, and the answer's text.
void FailRound(CloudSync::Result& result, const Http::Response& response);

// True when a bucket deletion may count as done: the object is gone, or never was.
bool DeletionDone(const Http::Response& response);
// True when storage, or a gateway in front of it (a real HTTP 413 or 415, whatever its body),
// refused an upload for the object itself (its name, size or type), so that sending it again
// unchanged can never succeed; never for the session, a missing bucket, a policy, a rate limit or
// a server fault. For uploads to storage only: the table's answers have rules of their own.
bool ObjectRefused(const Http::Response& response);
// True when the table refused rows for what they hold (a value PostgreSQL cannot store, such as
// a NUL character, or one a constraint forbids); in a batch that is one row or more of it.
bool RowsRefused(const Http::Response& response);

// A pulled row may reach the application state only when its id is a safe token ("owner:chat"
// for a chat, both parts safe) and every picture name it carries is a safe file name.
bool IsSafeRow(const CloudSync::RemoteItem& row);
// The picture names a record's data carries: its "photoPath" and each known character's.
std::vector<std::wstring> PhotoNames(const Json::Value& data);
// The file of that name in the images folder; none when the name is not safe or the path would
// lead out of the folder.
std::optional<std::wstring> PicturePath(const std::wstring& name);
// Downloads the picture into the images folder under its name; only a whole, decodable picture
// ever appears there. The COM of the calling thread must be initialised.
bool DownloadPicture(const CloudSync::Account& account, const std::wstring& name);

}  // namespace Lorvex::Services::CloudSyncRound

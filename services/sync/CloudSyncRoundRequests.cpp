// The requests of a sync round, the send that renews a refused session once, and the renewal.

#include "foundation/Text.h"
#include "services/sync/CloudSyncRound.h"
#include "services/sync/Supabase.h"

namespace Lorvex::Services::CloudSyncRound {

namespace {

constexpr uint32_t kDeleteTimeout = 30000;
constexpr uint32_t kUploadTimeout = 120000;
constexpr uint32_t kTableTimeout = 60000;

std::wstring Encoded(const std::string& utf8) {
    return Text::ToWide(Text::UrlEncode(utf8));
}

// A value inside a PostgREST logic tree: quoted, so the time's ".", ":" and "+" and any "," or
// parenthesis in a kind or id stay part of the value.
std::string Quoted(const std::string& value) {
    std::string text = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    return text + "\"";
}

}  // namespace

Http::Request DeleteObjectRequest(const std::wstring& userId, const std::wstring& name) {
    Http::Request request;
    request.method = L"DELETE";
    request.url = Supabase::Url(L"/storage/v1/object/" + CloudSync::StoragePath(userId, name));
    request.timeout = kDeleteTimeout;
    return request;
}

Http::Request UploadObjectRequest(const std::wstring& userId, const std::wstring& name, std::string bytes) {
    Http::Request request;
    request.method = L"POST";
    request.url = Supabase::Url(L"/storage/v1/object/" + CloudSync::StoragePath(userId, name));
    request.headers = {{L"x-upsert", L"true"}};
    request.contentType = CloudSync::MimeType(name);
    request.body = std::move(bytes);
    request.timeout = kUploadTimeout;
    return request;
}

Http::Request UpsertRequest(const std::vector<std::string>& rows) {
    std::string body = "[";
    for (const std::string& row : rows) {
        if (body.size() > 1) {
            body += ',';
        }
        body += row;
    }
    body += ']';
    Http::Request request;
    request.method = L"POST";
    request.url = Supabase::Url(L"/rest/v1/" + std::wstring(kTable) + L"?on_conflict=user_id,kind,id");
    request.headers = {{L"Prefer", L"resolution=merge-duplicates,return=minimal"}};
    request.contentType = L"application/json";
    request.body = std::move(body);
    request.timeout = kTableTimeout;
    return request;
}

Http::Request PullRequest(const std::string& cursor, const std::optional<RowKey>& after) {
    std::wstring path = L"/rest/v1/" + std::wstring(kTable) +
                        L"?select=kind,id,parent_id,data,deleted,updated_at&order=updated_at.asc,kind.asc,id.asc"
                        L"&limit=" +
                        std::to_wstring(kPageRows);
    if (after) {
        const std::string at = Quoted(after->updatedAt);
        const std::string kind = Quoted(after->kind);
        path +=
            L"&or=" + Encoded("(updated_at.gt." + at + ",and(updated_at.eq." + at + ",kind.gt." + kind +
                              "),and(updated_at.eq." + at + ",kind.eq." + kind + ",id.gt." + Quoted(after->id) + "))");
    } else {
        if (!cursor.empty()) {
            path += L"&updated_at=gte." + Encoded(cursor);
        }
        path += L"&offset=0";
    }
    Http::Request request;
    request.url = Supabase::Url(path);
    request.timeout = kTableTimeout;
    return request;
}

Http::Request ListRequest(const std::wstring& userId, size_t offset) {
    Json::Value body;
    body["prefix"] = Json::Value(userId);
    body["limit"] = Json::Value(static_cast<unsigned long long>(kListPageEntries));
    body["offset"] = Json::Value(static_cast<unsigned long long>(offset));
    Http::Request request;
    request.method = L"POST";
    request.url = Supabase::Url(L"/storage/v1/object/list/" + std::wstring(kBucket));
    request.contentType = L"application/json";
    request.body = body.Dump(false);
    request.timeout = kTableTimeout;
    return request;
}

std::string TableRow(const std::wstring& userId, const std::wstring& kind, const std::wstring& id,
                     const std::wstring& parentId, bool deleted, const std::string& form) {
    // Written as text around the form's own text, which is never parsed again on its way out.
    std::string row = "{\"user_id\":" + Json::Value(userId).Dump(false) + ",\"kind\":" + Json::Value(kind).Dump(false) +
                      ",\"id\":" + Json::Value(id).Dump(false) +
                      ",\"parent_id\":" + (parentId.empty() ? std::string("null") : Json::Value(parentId).Dump(false)) +
                      ",\"data\":" + (deleted ? std::string("null") : form) +
                      ",\"deleted\":" + (deleted ? "true" : "false") + "}";
    return row;
}

Http::Response AuthorizedSend(CloudSync::Result& result, Http::Request request) {
    const Http::Headers own = std::move(request.headers);
    for (int attempt = 0;; ++attempt) {
        request.headers = Supabase::AuthHeaders(result.account);
        request.headers.insert(request.headers.end(), own.begin(), own.end());
        Http::Response response = Http::Send(request);
        if (attempt > 0 || !Supabase::TokenRefused(response) || !RefreshSession(result)) {
            return response;
        }
    }
}

bool RefreshSession(CloudSync::Result& result) {
    const std::string replaced = result.account.refreshToken;
    const Supabase::AuthResult renewed = Supabase::RenewSession(replaced);
    if (!renewed.ok) {
        if (renewed.networkError) {
            result.offline = true;
        } else if (renewed.sessionRefused) {
            result.unauthorized = true;
        }
        result.error = renewed.error;
        return false;
    }
    // The token the round began with is the one the UI thread still holds, even after a second
    // renewal within the round.
    if (result.renewedFrom.empty()) {
        result.renewedFrom = replaced;
    }
    result.account.accessToken = renewed.account.accessToken;
    result.account.refreshToken = renewed.account.refreshToken;
    result.account.expiresAt = renewed.account.expiresAt;
    result.account.displayName = renewed.account.displayName;
    result.account.avatarFile = renewed.account.avatarFile;
    result.accountChanged = true;
    return true;
}

void FailRound(CloudSync::Result& result, const Http::Response& response) {
    result.offline = response.status == 0;
    result.error = Supabase::ErrorText(response);
}

bool DeletionDone(const Http::Response& response) {
    if (Http::IsSuccess(response.status) || response.status == 404) {
        return true;
    }
    // Storage reports a missing object as HTTP 400 with the real status in the body; any other
    // 400 (a refused token, a refused policy) is a failure.
    // A name storage refuses could never have been stored either.
    if (response.status != 400) {
        return false;
    }
    const Json::Value reply = Json::Value::Parse(response.body);
    return reply.Find("statusCode").AsString() == "404" ||
           (reply.Find("statusCode").AsString() == "400" && reply.Find("error").AsString() == "InvalidKey");
}

bool ObjectRefused(const Http::Response& response) {
    // Storage's error codes carry these statuses, and a gateway or proxy in front of it answers
    // them for real, in its own name: its body may be an HTML page or nothing at all.
    if (response.status == 413 || response.status == 415) {
        return true;
    }
    if (response.status != 400 || Supabase::TokenRefused(response)) {
        return false;
    }
    // The status inside the body: a bad request (a name outside storage's characters, an empty
    // body), a payload over the size limit, or a type the bucket does not take.
    const std::string statusCode = Json::Value::Parse(response.body).Find("statusCode").AsString();
    return statusCode == "400" || statusCode == "413" || statusCode == "415";
}

bool RowsRefused(const Http::Response& response) {
    if (response.status != 400) {
        return false;
    }
    // PostgreSQL's classes 22 (data exception) and 23 (integrity constraint violation); the
    // table's other refusals (an unknown column, a malformed body) are the program's or the
    // set-up's, and no row of the batch would fare better alone.
    const std::string code = Json::Value::Parse(response.body).Find("code").AsString();
    return code.size() == 5 && (code.rfind("22", 0) == 0 || code.rfind("23", 0) == 0);
}

}  // namespace Lorvex::Services::CloudSyncRound

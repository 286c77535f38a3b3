// FakeSupabase's object storage, as the Storage service answers for the private bucket of the
// set-up script: upload (replacing only with "x-upsert"), delete, authenticated download and the
// folder listing. The bucket's policies let a user read and write only objects under the folder
// named by their own id; another user's objects look as if they did not exist. Errors come as
// HTTP 400 with the real status as text in "statusCode", its code in "error" (the form the hosted
// service answers with: {"statusCode":"400","error":"InvalidKey","message":"Invalid key: …"}, no
// "code"). Object names are held to the service's
// set of characters on upload and download; only an upload asks whether the bucket exists, so
// the other requests find no object in a missing bucket.

#include <algorithm>
#include <set>
#include <string_view>

#include "foundation/Text.h"
#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {

namespace {

FakeAnswer NotFound() {
    return StorageError("404", "not_found", "Object not found");
}

FakeAnswer RlsRefusal() {
    return StorageError("403", "Unauthorized", "new row violates row-level security policy");
}

// The service's rule for object names: ASCII letters, digits, "_", "/" and a few punctuation
// marks. Anything else, every non-ASCII character among it, is refused.
bool ValidKey(const std::string& path) {
    static constexpr std::string_view kMarks = "/!-.*'() &$@=;:+,?_";
    return !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               kMarks.find(c) != std::string_view::npos;
    });
}

FakeAnswer InvalidKey(const std::string& path) {
    return StorageError("400", "InvalidKey", "Invalid key: " + path);
}

bool InOwnFolder(const std::string& path, const Caller& caller) {
    return caller.kind == Caller::Kind::User && StartsWith(path, caller.userId + "/");
}

Json::Value FileEntry(const std::string& name, const FakeObjectRecord& object) {
    Json::Value metadata;
    metadata["eTag"] = Json::Value("\"" + Text::Sha256Hex(object.bytes).substr(0, 32) + "\"");
    metadata["size"] = Json::Value(static_cast<unsigned long long>(object.bytes.size()));
    metadata["mimetype"] = Json::Value(object.contentType);
    metadata["cacheControl"] = Json::Value("max-age=3600");
    metadata["lastModified"] = Json::Value(IsoMillis(object.updatedMicros));
    metadata["contentLength"] = Json::Value(static_cast<unsigned long long>(object.bytes.size()));
    metadata["httpStatusCode"] = Json::Value(200);
    Json::Value entry;
    entry["name"] = Json::Value(name);
    entry["id"] = Json::Value(object.id);
    entry["updated_at"] = Json::Value(IsoMillis(object.updatedMicros));
    entry["created_at"] = Json::Value(IsoMillis(object.createdMicros));
    entry["last_accessed_at"] = Json::Value(IsoMillis(object.createdMicros));
    entry["metadata"] = metadata;
    return entry;
}

Json::Value FolderEntry(const std::string& name) {
    Json::Value entry;
    entry["name"] = Json::Value(name);
    entry["id"] = Json::Value();
    entry["updated_at"] = Json::Value();
    entry["created_at"] = Json::Value();
    entry["last_accessed_at"] = Json::Value();
    entry["metadata"] = Json::Value();
    return entry;
}

}  // namespace

FakeAnswer FakeSupabase::State::HandleStorage(const Incoming& request) {
    const std::string& method = request.raw.method;
    if (!StartsWith(request.path, "/storage/v1/object/")) {
        Json::Value body;
        body["message"] = Json::Value("Route " + method + ":" + request.path + " not found");
        body["error"] = Json::Value("Not Found");
        body["statusCode"] = Json::Value(404);
        return JsonAnswer(404, body);
    }
    std::string rest = request.path.substr(std::string("/storage/v1/object/").size());
    enum class Action { Upload, Delete, Download, List } action;
    if (method == "POST" && StartsWith(rest, "list/")) {
        action = Action::List;
        rest = rest.substr(5);
    } else if (method == "GET" && StartsWith(rest, "authenticated/")) {
        action = Action::Download;
        rest = rest.substr(14);
    } else if (method == "GET") {
        action = Action::Download;
    } else if (method == "POST" || method == "PUT") {
        action = Action::Upload;
    } else if (method == "DELETE") {
        action = Action::Delete;
    } else {
        return StorageError("405", "Method Not Allowed", "Method " + method + " is not allowed");
    }
    const size_t slash = rest.find('/');
    const std::string bucket = UrlDecode(rest.substr(0, slash), false);
    const std::string path = slash == std::string::npos ? std::string() : UrlDecode(rest.substr(slash + 1), false);

    // The route's token check refuses with the JWT library's own words, as an access refusal.
    const Caller caller = Identify(request.raw);
    if (caller.kind == Caller::Kind::Expired) {
        return StorageError("403", "Unauthorized", "jwt expired");
    }
    if (caller.kind == Caller::Kind::Unknown) {
        return StorageError("403", "Unauthorized", "invalid signature");
    }
    const bool bucketExists = !bucketDropped && bucket == kFakeBucket;

    if (action == Action::List) {
        bool parsed = false;
        const Json::Value body = Json::Value::Parse(request.raw.body, &parsed);
        if (!parsed || body.kind != Json::Type::Object) {
            return StorageError("400", "Error", "body must be object");
        }
        if (body.Find("prefix").kind != Json::Type::String) {
            return StorageError("400", "Error", "body must have required property 'prefix'");
        }
        std::string folder = body.Find("prefix").text;
        while (!folder.empty() && folder.back() == '/') {
            folder.pop_back();
        }
        if (!folder.empty()) {
            folder += "/";
        }
        const int64_t limit = body.Find("limit").AsInt64(100);
        const int64_t offset = body.Find("offset").AsInt64(0);
        std::vector<std::pair<std::string, Json::Value>> entries;  // by name
        std::set<std::string> folders;
        for (const auto& [objectPath, object] : objects) {
            if (!bucketExists || !InOwnFolder(objectPath, caller) || !StartsWith(objectPath, folder)) {
                continue;
            }
            const std::string name = objectPath.substr(folder.size());
            const size_t inner = name.find('/');
            if (inner == std::string::npos) {
                entries.emplace_back(name, FileEntry(name, object));
            } else if (folders.insert(name.substr(0, inner)).second) {
                entries.emplace_back(name.substr(0, inner), FolderEntry(name.substr(0, inner)));
            }
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        Json::Value list = Json::Value::EmptyArray();
        for (int64_t i = std::max<int64_t>(offset, 0); i < static_cast<int64_t>(entries.size()) && i - offset < limit;
             ++i) {
            list.Push(entries[static_cast<size_t>(i)].second);
        }
        return JsonAnswer(200, list);
    }

    if (action == Action::Download) {
        if (!ValidKey(path)) {
            return InvalidKey(path);
        }
        const auto found = objects.find(path);
        if (!bucketExists || found == objects.end() || !InOwnFolder(path, caller)) {
            return NotFound();
        }
        FakeAnswer answer = TextAnswer(200, found->second.contentType, found->second.bytes);
        answer.Header("Cache-Control", "max-age=3600");
        answer.Header("ETag", "\"" + Text::Sha256Hex(found->second.bytes).substr(0, 32) + "\"");
        return answer;
    }

    if (action == Action::Delete) {
        const auto found = objects.find(path);
        if (!bucketExists || found == objects.end() || !InOwnFolder(path, caller)) {
            return NotFound();
        }
        objects.erase(found);
        Json::Value body;
        body["message"] = Json::Value("Successfully deleted");
        return JsonAnswer(200, body);
    }

    // Upload: the name, then the bucket, then the policies.
    if (!ValidKey(path)) {
        return InvalidKey(path);
    }
    if (!bucketExists) {
        return StorageError("404", "Bucket not found", "Bucket not found");
    }
    if (!InOwnFolder(path, caller)) {
        return RlsRefusal();
    }
    const auto existing = objects.find(path);
    const bool upsert = LowerAscii(request.raw.Header("x-upsert").value_or("false")) == "true";
    if (existing != objects.end() && !upsert) {
        return StorageError("409", "Duplicate", "The resource already exists");
    }
    FakeObjectRecord object;
    object.bytes = request.raw.body;
    object.contentType = request.raw.Header("Content-Type").value_or("text/plain;charset=UTF-8");
    if (!bucketTypes.empty() &&
        std::find(bucketTypes.begin(), bucketTypes.end(), object.contentType) == bucketTypes.end()) {
        return StorageError("415", "invalid_mime_type", "mime type " + object.contentType + " is not supported");
    }
    if (bucketMaxBytes > 0 && object.bytes.size() > bucketMaxBytes) {
        return StorageError("413", "Payload too large", "The object exceeded the maximum allowed size");
    }
    object.id = existing != objects.end() ? existing->second.id : NewUuid();
    object.updatedMicros = NowMicros();
    object.createdMicros = existing != objects.end() ? existing->second.createdMicros : object.updatedMicros;
    objects[path] = object;
    Json::Value body;
    body["Id"] = Json::Value(object.id);
    body["Key"] = Json::Value(bucket + "/" + path);
    return JsonAnswer(200, body);
}

}  // namespace Lorvex::Testing

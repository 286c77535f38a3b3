#pragma once
// The inside of FakeSupabase, shared by its parts: the state of the three services, the request
// as they read it, the answer before it becomes a FakeReply, and the text forms of times and
// errors. Every member of State is used with its mutex held, by the connection threads through
// Handle and by the test through FakeSupabase's accessors.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/json/Value.h"
#include "tests/support/FakeHttpServer.h"
#include "tests/support/FakeSupabase.h"

namespace Lorvex::Testing {

inline constexpr const char* kFakeTable = "velmorin_items";
inline constexpr const char* kFakeBucket = "velmorin-images";

// An answer before it is played.
struct FakeAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    FakeAnswer& Header(std::string name, std::string value);
};

FakeReply ToReply(const FakeAnswer& answer);
FakeAnswer JsonAnswer(int status, const Json::Value& body);
FakeAnswer TextAnswer(int status, std::string contentType, std::string body);
// GoTrue's error: {"code": status, "error_code": code, "msg": message}.
FakeAnswer AuthError(int status, const std::string& code, const std::string& message);
// PostgREST's error: {"code", "details", "hint", "message"}; an empty details or hint is null.
FakeAnswer RestError(int status, const std::string& code, const std::string& message, const std::string& details = {},
                     const std::string& hint = {});
// The page a gateway in front of the services (Cloudflare, nginx) answers with in its own name,
// such as a 502 when the service is down or a 413 for a body over the gateway's limit.
std::string GatewayPage(int status);
// Storage's error: HTTP 400, {"statusCode": the real status as text, "error": its code, "message"}.
FakeAnswer StorageError(const std::string& statusCode, const std::string& error, const std::string& message);

// The request as the services read it.
struct Incoming {
    const RecordedRequest& raw;
    std::string path;                                        // as sent, not decoded
    std::vector<std::pair<std::string, std::string>> query;  // decoded, "+" read as a space

    // The first value of that parameter.
    std::optional<std::string> Query(std::string_view name) const;
};

// Percent-decoding; with plusIsSpace a "+" becomes a space, as in a query string.
std::string UrlDecode(std::string_view text, bool plusIsSpace);
std::string LowerAscii(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
bool IsUuid(std::string_view text);

// Microseconds since 1970 in UTC.
int64_t NowMicros();
// PostgreSQL's timestamptz in JSON: 2025-03-07T17:04:09.512345+00:00, trailing zeros of the
// fraction dropped, no fraction when whole.
std::string PgTime(int64_t micros);
// GoTrue's times: 2025-03-07T17:04:09.512345Z, trimmed the same way.
std::string GoTime(int64_t micros);
// JavaScript's toISOString: 2025-03-07T17:04:09.512Z.
std::string IsoMillis(int64_t micros);
// Reads what PostgreSQL accepts for a timestamptz in the forms a client sends: a date, "T" or a
// space, the time with up to six fraction digits, then "Z", "+HH", "+HH:MM", "-HH:MM" or nothing
// (UTC). Micros since 1970 UTC; none when it does not parse.
std::optional<int64_t> ParsePgTime(std::string_view text);

// jsonb's form of a JSON value: object keys unique (the last wins) and ordered by length, then by
// bytes; a copy that shares nothing with the value given.
Json::Value Jsonb(const Json::Value& value);
// jsonb's text output, with ", " and ": " between items.
std::string JsonbText(const Json::Value& value);

struct FakeUserRecord {
    std::string id;
    std::string email;
    std::string password;
    bool confirmed = true;
    Json::Value metadata;  // always an object
    int64_t createdMicros = 0;
    int64_t updatedMicros = 0;
    int64_t lastSignInMicros = 0;
};

struct FakeAccessToken {
    std::string userId;
    std::string sessionId;
    int64_t expiresAt = 0;  // Unix seconds
};

struct FakeRefreshToken {
    std::string userId;
    std::string sessionId;
    bool revoked = false;
};

struct FakeRowRecord {
    std::string userId;
    std::string kind;
    std::string id;
    std::optional<std::string> parentId;
    Json::Value data;  // jsonb form
    bool deleted = false;
    int64_t updatedMicros = 0;
    uint64_t sequence = 0;  // physical order, for reads without an order
};

struct FakeObjectRecord {
    std::string bytes;
    std::string contentType;
    std::string id;
    int64_t createdMicros = 0;
    int64_t updatedMicros = 0;
};

// Who a request's bearer token says the caller is.
struct Caller {
    enum class Kind { Anonymous, User, Expired, Unknown } kind = Kind::Anonymous;
    std::string userId;
    std::string sessionId;
};

using RowKey = std::tuple<std::string, std::string, std::string>;  // user_id, kind, id

struct FakeSupabase::State {
    std::string apiKey;
    mutable std::mutex mutex;
    std::mt19937_64 rng{std::random_device{}()};

    std::vector<FakeUserRecord> users;
    std::map<std::string, FakeAccessToken> accessTokens;
    std::map<std::string, FakeRefreshToken> refreshTokens;
    bool confirmationRequired = true;
    int64_t tokenLifetime = 3600;
    bool authRateLimited = false;

    std::map<RowKey, FakeRowRecord> rows;
    bool tableDropped = false;
    std::string rowCheckName;
    std::function<bool(const FakeRow&)> rowCheck;
    int64_t lastWriteMicros = 0;
    uint64_t nextSequence = 1;

    std::map<std::string, FakeObjectRecord> objects;  // by decoded path in the bucket
    bool bucketDropped = false;
    size_t bucketMaxBytes = 0;
    std::vector<std::string> bucketTypes;

    std::deque<FakeFault> faults;
    std::function<void(const RecordedRequest&)> requestHook;

    // Every request's answer, with the mutex held.
    FakeAnswer Handle(const Incoming& request);
    FakeAnswer HandleAuth(const Incoming& request);
    FakeAnswer HandleRest(const Incoming& request);
    FakeAnswer HandleStorage(const Incoming& request);

    std::string NewUuid();
    std::string RandomText(size_t length);
    // The stamp of one write: now, but always later than the write before.
    int64_t NextWriteMicros();

    FakeUserRecord* FindUser(std::string_view email);
    FakeUserRecord* FindUserById(std::string_view id);
    // A new session of a confirmed user, as the token endpoint returns it.
    FakeSession StartSession(FakeUserRecord& user);
    // A new access token and refresh token within a session.
    FakeSession IssueTokens(const std::string& userId, const std::string& sessionId);
    std::string IssueAccessToken(const std::string& userId, const std::string& sessionId, int64_t expiresAt);
    Caller Identify(const RecordedRequest& request) const;

    // The row written for a table row, with the caller's default user id.
    void WriteRow(FakeRowRecord row);
};

}  // namespace Lorvex::Testing

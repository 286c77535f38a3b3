#pragma once
// A stand-in for the cloud backend inside the test program: one FakeHttpServer on 127.0.0.1 that
// answers as the hosted project does, with state. Authentication (password sign-in, sign-up with
// or without e-mail confirmation, refresh with single-use rotating refresh tokens, user update,
// logout), the REST table "velmorin_items" (upsert merging on user_id, kind and id, reads with
// select, order, limit, offset and filters, row-level security by the token's user) and the
// private bucket "velmorin-images" (upload, delete, authenticated download, listing, each user
// confined to the folder named by their id). Every request needs the project key in "apikey".
//
// Its answers are the service's own, kinder in nothing that a client could rely on: the error
// bodies and statuses it sends are those the service sends (GoTrue's {"code","error_code","msg"},
// PostgREST's {"code","details","hint","message"}, Storage's HTTP 400 with the real status as text
// in "statusCode" and its code in "error", without a "code"), an expired token is refused (by storage with a 400), a reused refresh token is
// refused, a row of another user is neither seen nor written, a text holding a NUL character is
// refused by the table, an object name outside storage's set of characters is refused, rows come
// back in jsonb's key order and spacing, and one write stamps its rows with one "updated_at"
// later than every earlier write's, its fraction without trailing zeros.
//
// Tests script trouble with the fault queue: the next matching request gets an error answer, a
// stall before the headers, a torn body, a reset connection or a gateway's page that is not JSON
// (a 502 when the service is down, a 413 for a body over the gateway's own limit).
//
// Any thread may call every member; the server's connection threads call in at the same time.
// Nothing throws: refusals are HTTP answers, and setters of unknown users do nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/json/Value.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Testing {

// A publishable key of the project's form ("sb_publishable_" and 31 more characters).
inline constexpr const char* kFakeSupabaseKey = "sb_publishable_FakeSupabaseKeyForTheTests_0001";

// A session as the token endpoint hands it out.
struct FakeSession {
    std::string accessToken;
    std::string refreshToken;
    int64_t expiresAt = 0;  // Unix seconds
    std::string userId;
};

// A row of the table as the backend holds it.
struct FakeRow {
    std::string userId;
    std::string kind;
    std::string id;
    std::optional<std::string> parentId;  // none for SQL null
    Json::Value data;                     // a copy of its own; null for SQL null
    bool deleted = false;
    std::string updatedAt;  // the text the table returns, e.g. "2025-03-07T17:04:09.512345+00:00"
};

// An object of the bucket.
struct FakeObject {
    std::string path;  // within the bucket, decoded: "<user id>/<file name>"
    std::string bytes;
    std::string contentType;
    std::string createdAt;  // as the listing returns it, e.g. "2025-03-07T17:04:09.512Z"
};

// One scripted trouble for the next request that matches.
struct FakeFault {
    enum class Kind {
        Answer,    // this status and body instead of the backend's answer
        Stall,     // the request is read and nothing is ever sent
        TornBody,  // the backend's answer, its body cut halfway with the whole length announced
        Reset,     // the connection is reset before anything is sent
        NotJson,   // this status with a gateway's HTML page naming it, not JSON
    };

    static FakeFault Answer(int status, std::string body);
    static FakeFault Stall();
    static FakeFault TornBody();
    static FakeFault Reset();
    static FakeFault NotJson(int status = 200);

    // Only a request whose target (path and query) begins with this text.
    FakeFault& OnTarget(std::string prefix);
    // The backend carries the request out before the trouble, as when an answer is lost on its
    // way back; a torn body always comes after the request took effect.
    FakeFault& AfterEffect();

    Kind kind = Kind::Answer;
    int status = 200;
    std::string body;
    std::string targetPrefix;
    bool afterEffect = false;
};

class FakeSupabase {
public:
    explicit FakeSupabase(std::string apiKey = kFakeSupabaseKey);
    // Stops the server first, interrupting stalled answers.
    ~FakeSupabase();
    FakeSupabase(const FakeSupabase&) = delete;
    FakeSupabase& operator=(const FakeSupabase&) = delete;

    bool IsListening() const;
    // "http://127.0.0.1:PORT", without a trailing slash, as the client's base URL.
    std::wstring BaseUrl() const;
    const std::string& ApiKey() const;
    FakeHttpServer& Server();

    // ---- Authentication ----
    // Adds a user and returns its id (a lower-case UUID). E-mails compare without letter case.
    // metadata becomes "user_metadata" (an object; null gives {}).
    std::string AddUser(const std::string& email, const std::string& password, bool confirmed = true,
                        Json::Value metadata = Json::Value());
    // As when the user follows the link of the confirmation mail.
    void ConfirmUser(const std::string& email);
    std::optional<std::string> UserId(const std::string& email) const;
    // A copy of the user's "user_metadata"; null for an unknown e-mail.
    Json::Value UserMetadata(const std::string& email) const;
    std::optional<std::string> Password(const std::string& email) const;
    // On: sign-up creates an unconfirmed user and returns no session (the hosted default). Off:
    // sign-up confirms at once and returns a session.
    void SetConfirmationRequired(bool required);
    // Seconds an access token issued from now on is valid ("expires_in"); 3600 at first.
    void SetAccessTokenLifetime(int64_t seconds);
    // Every access token issued so far is expired from now on; refresh tokens stay valid.
    void ExpireAccessTokens();
    // Every authentication request is refused with 429 "over_request_rate_limit" while set.
    void SetAuthRateLimited(bool limited);
    // A session for a confirmed user without a sign-in request; none for an unknown e-mail.
    std::optional<FakeSession> IssueSession(const std::string& email);
    // Whether this refresh token would be accepted now.
    bool RefreshTokenValid(const std::string& refreshToken) const;

    // ---- The table ----
    // While set, every request for the table answers 404 "PGRST205", as before the set-up script
    // ran.
    void DropTable(bool dropped = true);
    // The user's rows, ordered by kind and id.
    std::vector<FakeRow> Rows(const std::string& userId) const;
    // Stamps the next write at this time (Unix microseconds), which must lie ahead of the clock
    // and of every earlier write; the writes after it follow it. For stamps of a chosen form.
    void SetNextWriteTime(int64_t unixMicros);
    // A check constraint of the table, as a project's owner may add one: a write holding a row it
    // refuses is refused whole with 400 "23514" naming the constraint. Empty: none.
    void SetRowCheck(std::string constraint, std::function<bool(const FakeRow&)> accepts);
    // Writes a row as the user's own upsert would, stamped like one.
    void PutRow(const std::string& userId, const std::string& kind, const std::string& id, Json::Value data,
                bool deleted = false, std::optional<std::string> parentId = std::nullopt);

    // ---- The bucket ----
    // While set, the bucket does not exist: an upload is refused with "Bucket not found", and the
    // other requests find no object in it.
    void DropBucket(bool dropped = true);
    // The bucket's own limits, as its settings set them: an upload larger than maxBytes (0: no
    // limit) is refused with "413", one whose type is not among the allowed (none: any) with "415".
    void SetBucketLimits(size_t maxBytes, std::vector<std::string> allowedTypes);
    // Every object of the bucket, ordered by path.
    std::vector<FakeObject> Objects() const;
    std::optional<FakeObject> Object(const std::string& path) const;
    // Stores an object as an upload would; createdAtUnix none = now.
    void PutObject(const std::string& path, std::string bytes, std::string contentType = "image/png",
                   std::optional<int64_t> createdAtUnix = std::nullopt);

    // ---- Faults and what arrived ----
    void QueueFault(FakeFault fault);
    // Faults queued and not yet used.
    size_t PendingFaults() const;
    // Called with each request before it is answered, without the fake's lock held, so it may
    // change the fake as another client would between two requests. Empty: none.
    void SetRequestHook(std::function<void(const RecordedRequest&)> hook);
    std::vector<RecordedRequest> Requests() const;
    // Path and query of each request received, in order.
    std::vector<std::string> Targets() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<FakeHttpServer> server_;
};

}  // namespace Lorvex::Testing

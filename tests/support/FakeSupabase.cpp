// FakeSupabase's front: the gateway (project key, routing, the fault queue), the shared pieces of
// state (users, tokens, write stamps) and the test's accessors.

#include "tests/support/FakeSupabase.h"

#include <algorithm>

#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {

namespace {

std::string Base64Url(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string text;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t n = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                           static_cast<uint8_t>(bytes[i + 2]);
        text += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], kAlphabet[n & 63]};
    }
    if (i + 1 == bytes.size()) {
        const uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
        text += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63]};
    } else if (i + 2 == bytes.size()) {
        const uint32_t n = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        text += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63]};
    }
    return text;
}

int64_t NowSeconds() {
    return NowMicros() / 1000000;
}

Incoming Parse(const RecordedRequest& request) {
    Incoming incoming{request, request.target, {}};
    const size_t mark = request.target.find('?');
    if (mark == std::string::npos) {
        return incoming;
    }
    incoming.path = request.target.substr(0, mark);
    std::string_view query = std::string_view(request.target).substr(mark + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t equals = pair.find('=');
        if (!pair.empty()) {
            incoming.query.emplace_back(
                UrlDecode(pair.substr(0, equals), true),
                equals == std::string_view::npos ? std::string() : UrlDecode(pair.substr(equals + 1), true));
        }
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return incoming;
}

FakeReply TornReply(const FakeAnswer& answer) {
    FakeAnswer head = answer;
    head.body.clear();
    FakeReply reply = ToReply(head);
    reply.AnnounceLength(std::max<uint64_t>(answer.body.size(), 16));
    reply.Body(answer.body.substr(0, answer.body.size() / 2));
    reply.Cut();
    return reply;
}

FakeReply FaultReply(const FakeFault& fault, const FakeAnswer& answer) {
    switch (fault.kind) {
    case FakeFault::Kind::Answer:
        return ToReply(TextAnswer(fault.status, "application/json", fault.body));
    case FakeFault::Kind::Stall:
        return FakeReply::Silent();
    case FakeFault::Kind::TornBody:
        return TornReply(answer);
    case FakeFault::Kind::Reset:
        return FakeReply::Drop();
    case FakeFault::Kind::NotJson:
        break;
    }
    return ToReply(TextAnswer(fault.status, "text/html", fault.body));
}

FakeReply Respond(FakeSupabase::State& state, const RecordedRequest& request) {
    const Incoming incoming = Parse(request);
    std::function<void(const RecordedRequest&)> hook;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        hook = state.requestHook;
    }
    if (hook) {
        hook(request);
    }
    std::optional<FakeFault> fault;
    FakeAnswer answer;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        const auto match = std::find_if(state.faults.begin(), state.faults.end(),
                                        [&](const FakeFault& f) { return StartsWith(request.target, f.targetPrefix); });
        if (match != state.faults.end()) {
            fault = *match;
            state.faults.erase(match);
        }
        if (!fault || fault->afterEffect || fault->kind == FakeFault::Kind::TornBody) {
            answer = state.Handle(incoming);
        }
    }
    return fault ? FaultReply(*fault, answer) : ToReply(answer);
}

Json::Value ObjectOrEmpty(const Json::Value& value) {
    return value.kind == Json::Type::Object ? Jsonb(value) : Json::Value(Json::Object{});
}

}  // namespace

// ---- FakeFault ----

FakeFault FakeFault::Answer(int status, std::string body) {
    FakeFault fault;
    fault.kind = Kind::Answer;
    fault.status = status;
    fault.body = std::move(body);
    return fault;
}

FakeFault FakeFault::Stall() {
    FakeFault fault;
    fault.kind = Kind::Stall;
    return fault;
}

FakeFault FakeFault::TornBody() {
    FakeFault fault;
    fault.kind = Kind::TornBody;
    fault.afterEffect = true;
    return fault;
}

FakeFault FakeFault::Reset() {
    FakeFault fault;
    fault.kind = Kind::Reset;
    return fault;
}

FakeFault FakeFault::NotJson(int status) {
    FakeFault fault;
    fault.kind = Kind::NotJson;
    fault.status = status;
    fault.body = GatewayPage(status);
    return fault;
}

FakeFault& FakeFault::OnTarget(std::string prefix) {
    targetPrefix = std::move(prefix);
    return *this;
}

FakeFault& FakeFault::AfterEffect() {
    afterEffect = true;
    return *this;
}

// ---- State: the gateway and shared pieces ----

FakeAnswer FakeSupabase::State::Handle(const Incoming& request) {
    std::optional<std::string> key = request.raw.Header("apikey");
    if (!key) {
        key = request.Query("apikey");
    }
    if (!key) {
        Json::Value body;
        body["message"] = Json::Value("No API key found in request");
        body["hint"] = Json::Value("No `apikey` request header or url param was found.");
        return JsonAnswer(401, body);
    }
    if (*key != apiKey) {
        Json::Value body;
        body["message"] = Json::Value("Invalid API key");
        body["hint"] = Json::Value("Double check your Supabase `anon` or `service_role` API key.");
        return JsonAnswer(401, body);
    }
    if (StartsWith(request.path, "/auth/v1/")) {
        return HandleAuth(request);
    }
    if (StartsWith(request.path, "/rest/v1/")) {
        return HandleRest(request);
    }
    if (StartsWith(request.path, "/storage/v1/")) {
        return HandleStorage(request);
    }
    Json::Value body;
    body["message"] = Json::Value("no Route matched with those values");
    return JsonAnswer(404, body);
}

std::string FakeSupabase::State::NewUuid() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id = RandomText(32);
    for (char& c : id) {
        c = kHex[static_cast<uint8_t>(c) % 16];
    }
    id[12] = '4';
    id[16] = kHex[8 + rng() % 4];
    return id.substr(0, 8) + "-" + id.substr(8, 4) + "-" + id.substr(12, 4) + "-" + id.substr(16, 4) + "-" +
           id.substr(20);
}

std::string FakeSupabase::State::RandomText(size_t length) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text(length, 'a');
    for (char& c : text) {
        c = kChars[rng() % 36];
    }
    return text;
}

int64_t FakeSupabase::State::NextWriteMicros() {
    lastWriteMicros = std::max(NowMicros(), lastWriteMicros + 1);
    return lastWriteMicros;
}

FakeUserRecord* FakeSupabase::State::FindUser(std::string_view email) {
    const std::string wanted = LowerAscii(email);
    for (FakeUserRecord& user : users) {
        if (LowerAscii(user.email) == wanted) {
            return &user;
        }
    }
    return nullptr;
}

FakeUserRecord* FakeSupabase::State::FindUserById(std::string_view id) {
    for (FakeUserRecord& user : users) {
        if (user.id == id) {
            return &user;
        }
    }
    return nullptr;
}

std::string FakeSupabase::State::IssueAccessToken(const std::string& userId, const std::string& sessionId,
                                                  int64_t expiresAt) {
    Json::Value payload;
    payload["aud"] = Json::Value("authenticated");
    payload["exp"] = Json::Value(static_cast<long long>(expiresAt));
    payload["iat"] = Json::Value(static_cast<long long>(NowSeconds()));
    payload["sub"] = Json::Value(userId);
    payload["role"] = Json::Value("authenticated");
    payload["session_id"] = Json::Value(sessionId);
    const std::string token = Base64Url(R"({"alg":"HS256","kid":"fake","typ":"JWT"})") + "." +
                              Base64Url(payload.Dump(false)) + "." + Base64Url(RandomText(32));
    accessTokens[token] = FakeAccessToken{userId, sessionId, expiresAt};
    return token;
}

FakeSession FakeSupabase::State::IssueTokens(const std::string& userId, const std::string& sessionId) {
    FakeSession session;
    session.userId = userId;
    session.expiresAt = NowSeconds() + tokenLifetime;
    session.accessToken = IssueAccessToken(userId, sessionId, session.expiresAt);
    session.refreshToken = RandomText(12);
    refreshTokens[session.refreshToken] = FakeRefreshToken{userId, sessionId, false};
    return session;
}

FakeSession FakeSupabase::State::StartSession(FakeUserRecord& user) {
    user.lastSignInMicros = NowMicros();
    return IssueTokens(user.id, NewUuid());
}

Caller FakeSupabase::State::Identify(const RecordedRequest& request) const {
    Caller caller;
    const std::optional<std::string> authorization = request.Header("Authorization");
    if (!authorization) {
        return caller;
    }
    if (LowerAscii(authorization->substr(0, 7)) != "bearer ") {
        caller.kind = Caller::Kind::Unknown;
        return caller;
    }
    const std::string token = authorization->substr(7);
    if (token == apiKey) {
        return caller;  // the project key stands for the anonymous role
    }
    const auto found = accessTokens.find(token);
    if (found == accessTokens.end()) {
        caller.kind = Caller::Kind::Unknown;
        return caller;
    }
    caller.userId = found->second.userId;
    caller.sessionId = found->second.sessionId;
    caller.kind = found->second.expiresAt <= NowSeconds() ? Caller::Kind::Expired : Caller::Kind::User;
    return caller;
}

void FakeSupabase::State::WriteRow(FakeRowRecord row) {
    const RowKey key{row.userId, row.kind, row.id};
    const auto existing = rows.find(key);
    row.sequence = existing != rows.end() ? existing->second.sequence : nextSequence++;
    rows[key] = std::move(row);
}

// ---- FakeSupabase ----

FakeSupabase::FakeSupabase(std::string apiKey)
    : state_(std::make_shared<State>()), server_(std::make_unique<FakeHttpServer>()) {
    state_->apiKey = std::move(apiKey);
    server_->SetHandler([state = state_](const RecordedRequest& request) { return Respond(*state, request); });
}

FakeSupabase::~FakeSupabase() {
    server_.reset();
}

bool FakeSupabase::IsListening() const {
    return server_->IsListening();
}

std::wstring FakeSupabase::BaseUrl() const {
    return server_->Url(L"");
}

const std::string& FakeSupabase::ApiKey() const {
    return state_->apiKey;
}

FakeHttpServer& FakeSupabase::Server() {
    return *server_;
}

std::string FakeSupabase::AddUser(const std::string& email, const std::string& password, bool confirmed,
                                  Json::Value metadata) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    FakeUserRecord user;
    user.id = state_->NewUuid();
    user.email = LowerAscii(email);
    user.password = password;
    user.confirmed = confirmed;
    user.metadata = ObjectOrEmpty(metadata);
    user.createdMicros = user.updatedMicros = NowMicros();
    state_->users.push_back(user);
    return user.id;
}

void FakeSupabase::ConfirmUser(const std::string& email) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (FakeUserRecord* user = state_->FindUser(email)) {
        user->confirmed = true;
    }
}

std::optional<std::string> FakeSupabase::UserId(const std::string& email) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const FakeUserRecord* user = state_->FindUser(email);
    return user ? std::optional<std::string>(user->id) : std::nullopt;
}

Json::Value FakeSupabase::UserMetadata(const std::string& email) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const FakeUserRecord* user = state_->FindUser(email);
    return user ? Jsonb(user->metadata) : Json::Value();
}

std::optional<std::string> FakeSupabase::Password(const std::string& email) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const FakeUserRecord* user = state_->FindUser(email);
    return user ? std::optional<std::string>(user->password) : std::nullopt;
}

void FakeSupabase::SetConfirmationRequired(bool required) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->confirmationRequired = required;
}

void FakeSupabase::SetAccessTokenLifetime(int64_t seconds) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->tokenLifetime = seconds;
}

void FakeSupabase::ExpireAccessTokens() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const int64_t now = NowSeconds();
    for (auto& [token, record] : state_->accessTokens) {
        record.expiresAt = std::min(record.expiresAt, now);
    }
}

void FakeSupabase::SetAuthRateLimited(bool limited) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->authRateLimited = limited;
}

std::optional<FakeSession> FakeSupabase::IssueSession(const std::string& email) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    FakeUserRecord* user = state_->FindUser(email);
    if (!user || !user->confirmed) {
        return std::nullopt;
    }
    return state_->StartSession(*user);
}

bool FakeSupabase::RefreshTokenValid(const std::string& refreshToken) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto found = state_->refreshTokens.find(refreshToken);
    return found != state_->refreshTokens.end() && !found->second.revoked;
}

void FakeSupabase::DropTable(bool dropped) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->tableDropped = dropped;
}

std::vector<FakeRow> FakeSupabase::Rows(const std::string& userId) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<FakeRow> rows;
    for (const auto& [key, record] : state_->rows) {
        if (record.userId == userId) {
            rows.push_back({record.userId, record.kind, record.id, record.parentId, Jsonb(record.data), record.deleted,
                            PgTime(record.updatedMicros)});
        }
    }
    return rows;
}

void FakeSupabase::SetNextWriteTime(int64_t unixMicros) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->lastWriteMicros = unixMicros - 1;
}

void FakeSupabase::PutRow(const std::string& userId, const std::string& kind, const std::string& id, Json::Value data,
                          bool deleted, std::optional<std::string> parentId) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    FakeRowRecord row;
    row.userId = userId;
    row.kind = kind;
    row.id = id;
    row.parentId = std::move(parentId);
    row.data = Jsonb(data);
    row.deleted = deleted;
    row.updatedMicros = state_->NextWriteMicros();
    state_->WriteRow(std::move(row));
}

void FakeSupabase::SetRowCheck(std::string constraint, std::function<bool(const FakeRow&)> accepts) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->rowCheckName = std::move(constraint);
    state_->rowCheck = std::move(accepts);
}

void FakeSupabase::SetBucketLimits(size_t maxBytes, std::vector<std::string> allowedTypes) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->bucketMaxBytes = maxBytes;
    state_->bucketTypes = std::move(allowedTypes);
}

void FakeSupabase::DropBucket(bool dropped) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->bucketDropped = dropped;
}

std::vector<FakeObject> FakeSupabase::Objects() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<FakeObject> objects;
    for (const auto& [path, record] : state_->objects) {
        objects.push_back({path, record.bytes, record.contentType, IsoMillis(record.createdMicros)});
    }
    return objects;
}

std::optional<FakeObject> FakeSupabase::Object(const std::string& path) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto found = state_->objects.find(path);
    if (found == state_->objects.end()) {
        return std::nullopt;
    }
    return FakeObject{path, found->second.bytes, found->second.contentType, IsoMillis(found->second.createdMicros)};
}

void FakeSupabase::PutObject(const std::string& path, std::string bytes, std::string contentType,
                             std::optional<int64_t> createdAtUnix) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    FakeObjectRecord record;
    record.bytes = std::move(bytes);
    record.contentType = std::move(contentType);
    record.id = state_->NewUuid();
    record.createdMicros = createdAtUnix ? *createdAtUnix * 1000000 : NowMicros();
    record.updatedMicros = record.createdMicros;
    state_->objects[path] = std::move(record);
}

void FakeSupabase::QueueFault(FakeFault fault) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->faults.push_back(std::move(fault));
}

size_t FakeSupabase::PendingFaults() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->faults.size();
}

void FakeSupabase::SetRequestHook(std::function<void(const RecordedRequest&)> hook) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->requestHook = std::move(hook);
}

std::vector<RecordedRequest> FakeSupabase::Requests() const {
    return server_->Requests();
}

std::vector<std::string> FakeSupabase::Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : server_->Requests()) {
        targets.push_back(request.target);
    }
    return targets;
}

}  // namespace Lorvex::Testing

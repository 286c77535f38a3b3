// The fake cloud backend driven through the real HTTP client, with requests shaped as the cloud
// client sends them: what later tests rely on it for (row-level security, the merging upsert and
// its stamps, cursor paging, refresh-token rotation, the services' own error bodies, the faults).

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "foundation/net/Http.h"
#include "tests/support/FakeSupabase.h"

namespace Lorvex::Testing {
namespace {

const std::wstring kPull =
    L"/rest/v1/velmorin_items?select=kind,id,parent_id,data,deleted,updated_at&order=updated_at.asc,kind.asc,id.asc";
const std::wstring kUpsert = L"/rest/v1/velmorin_items?on_conflict=user_id,kind,id";
const std::wstring kMerge = L"resolution=merge-duplicates,return=minimal";

struct Call {
    Call(std::wstring method, std::wstring path, std::string body = {}, std::string bearer = {},
         Http::Headers headers = {}, std::wstring contentType = L"application/json")
        : method(std::move(method)),
          path(std::move(path)),
          body(std::move(body)),
          bearer(std::move(bearer)),
          headers(std::move(headers)),
          contentType(std::move(contentType)) {}

    std::wstring method;
    std::wstring path;
    std::string body;
    std::string bearer;  // "Authorization: Bearer ..." when not empty
    Http::Headers headers;
    std::wstring contentType;
    uint32_t timeout = 10000;
};

Http::Response Send(const FakeSupabase& fake, const Call& call, const std::string& apiKey) {
    Http::Request request;
    request.method = call.method;
    request.url = fake.BaseUrl() + call.path;
    if (!apiKey.empty()) {
        request.headers.emplace_back(L"apikey", Text::ToWide(apiKey));
    }
    if (!call.bearer.empty()) {
        request.headers.emplace_back(L"Authorization", L"Bearer " + Text::ToWide(call.bearer));
    }
    request.headers.insert(request.headers.end(), call.headers.begin(), call.headers.end());
    request.body = call.body;
    request.contentType = call.body.empty() ? L"" : call.contentType;
    request.timeout = call.timeout;
    return Http::Send(request);
}

Http::Response Send(const FakeSupabase& fake, const Call& call) {
    return Send(fake, call, fake.ApiKey());
}

Json::Value Parsed(const Http::Response& response) {
    bool ok = false;
    Json::Value value = Json::Value::Parse(response.body, &ok);
    EXPECT_TRUE(ok) << response.body;
    return value;
}

std::string Credentials(const std::string& email, const std::string& password) {
    Json::Value body;
    body["email"] = Json::Value(email);
    body["password"] = Json::Value(password);
    return body.Dump(false);
}

Http::Response SignIn(const FakeSupabase& fake, const std::string& email, const std::string& password) {
    return Send(fake, {L"POST", L"/auth/v1/token?grant_type=password", Credentials(email, password)});
}

Http::Response Refresh(const FakeSupabase& fake, const std::string& refreshToken) {
    Json::Value body;
    body["refresh_token"] = Json::Value(refreshToken);
    return Send(fake, {L"POST", L"/auth/v1/token?grant_type=refresh_token", body.Dump(false)});
}

Json::Value Row(const std::string& userId, const std::string& kind, const std::string& id, Json::Value data,
                bool deleted = false) {
    Json::Value row;
    row["user_id"] = Json::Value(userId);
    row["kind"] = Json::Value(kind);
    row["id"] = Json::Value(id);
    row["parent_id"] = Json::Value();
    row["data"] = std::move(data);
    row["deleted"] = Json::Value(deleted);
    return row;
}

Json::Value Named(const std::string& name) {
    Json::Value data;
    data["name"] = Json::Value(name);
    return data;
}

Http::Response Upsert(const FakeSupabase& fake, const FakeSession& session, Json::Array rows,
                      const std::wstring& prefer = kMerge) {
    Call call{L"POST", kUpsert, Json::Value(std::move(rows)).Dump(false), session.accessToken};
    if (!prefer.empty()) {
        call.headers.emplace_back(L"Prefer", prefer);
    }
    return Send(fake, call);
}

Http::Response Pull(const FakeSupabase& fake, const FakeSession& session, const std::wstring& query = L"") {
    return Send(fake, {L"GET", kPull + query, {}, session.accessToken});
}

std::vector<std::string> Ids(const Json::Value& rows) {
    std::vector<std::string> ids;
    for (const Json::Value& row : rows.Items()) {
        ids.push_back(row.Find("kind").AsString() + "/" + row.Find("id").AsString());
    }
    return ids;
}

// A backend with two confirmed users and a session for each.
struct TwoUsers {
    FakeSupabase fake;
    std::string idA = fake.AddUser("ana@example.com", "secreto1");
    std::string idB = fake.AddUser("bea@example.com", "secreto2");
    FakeSession a = *fake.IssueSession("ana@example.com");
    FakeSession b = *fake.IssueSession("bea@example.com");
};

// ---- Authentication ----

TEST(FakeSupabaseAuth, SignInGivesASessionAndRefreshTokensAreSingleUse) {
    FakeSupabase fake;
    Json::Value metadata;
    metadata["display_name"] = Json::Value("Ana");
    const std::string id = fake.AddUser("ana@example.com", "secreto1", true, metadata);

    const Http::Response signIn = SignIn(fake, "Ana@Example.com", "secreto1");
    ASSERT_EQ(signIn.status, 200u) << signIn.body;
    const Json::Value session = Parsed(signIn);
    EXPECT_EQ(session.Find("token_type").AsString(), "bearer");
    EXPECT_EQ(session.Find("expires_in").AsInt64(), 3600);
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    EXPECT_NEAR(static_cast<double>(session.Find("expires_at").AsInt64()), static_cast<double>(now + 3600), 5.0);
    EXPECT_EQ(session.Find("user").Find("id").AsString(), id);
    EXPECT_EQ(session.Find("user").Find("user_metadata").Find("display_name").AsString(), "Ana");
    const std::string first = session.Find("refresh_token").AsString();

    const Http::Response renewed = Refresh(fake, first);
    ASSERT_EQ(renewed.status, 200u) << renewed.body;
    const std::string second = Parsed(renewed).Find("refresh_token").AsString();
    EXPECT_NE(second, first);
    EXPECT_NE(Parsed(renewed).Find("access_token").AsString(), session.Find("access_token").AsString());
    EXPECT_EQ(Parsed(renewed).Find("user").Find("id").AsString(), id);

    // The used token is refused, and presenting it ends the session it belonged to.
    const Http::Response reused = Refresh(fake, first);
    EXPECT_EQ(reused.status, 400u);
    EXPECT_EQ(Parsed(reused).Find("error_code").AsString(), "refresh_token_already_used");
    EXPECT_FALSE(fake.RefreshTokenValid(second));
    EXPECT_EQ(Refresh(fake, second).status, 400u);

    const Http::Response unknown = Refresh(fake, "neverissued1");
    EXPECT_EQ(unknown.status, 400u);
    EXPECT_EQ(unknown.body, R"({"code":400,"error_code":"refresh_token_not_found",)"
                            R"("msg":"Invalid Refresh Token: Refresh Token Not Found"})");
}

TEST(FakeSupabaseAuth, LogoutEndsEverySessionOfTheUserButNotTheirAccessTokens) {
    TwoUsers users;
    const FakeSession other = *users.fake.IssueSession("ana@example.com");
    const Http::Response logout = Send(users.fake, {L"POST", L"/auth/v1/logout", {}, users.a.accessToken});
    EXPECT_EQ(logout.status, 204u);
    EXPECT_TRUE(logout.body.empty());
    const Http::Response refused = Refresh(users.fake, other.refreshToken);
    EXPECT_EQ(Parsed(refused).Find("error_code").AsString(), "refresh_token_not_found");
    EXPECT_TRUE(users.fake.RefreshTokenValid(users.b.refreshToken));
    // An access token is a signed token: the table still takes it until it expires.
    EXPECT_EQ(Pull(users.fake, users.a).status, 200u);
}

TEST(FakeSupabaseAuth, SignUpAnswersLikeTheServiceWithAndWithoutConfirmation) {
    FakeSupabase fake;
    const std::string existingId = fake.AddUser("ana@example.com", "secreto1");

    // Confirmation required (the default): the user object, no session.
    const Http::Response created =
        Send(fake, {L"POST", L"/auth/v1/signup", Credentials("nuevo@example.com", "123456")});
    ASSERT_EQ(created.status, 200u) << created.body;
    EXPECT_EQ(Parsed(created).Find("access_token").kind, Json::Type::Null);
    EXPECT_EQ(Parsed(created).Find("identities").Size(), 1u);
    EXPECT_EQ(Parsed(created).Find("email").AsString(), "nuevo@example.com");
    // Signing up again at once would send a second mail within the minute.
    const Http::Response repeated =
        Send(fake, {L"POST", L"/auth/v1/signup", Credentials("nuevo@example.com", "123456")});
    EXPECT_EQ(repeated.status, 429u);
    EXPECT_EQ(Parsed(repeated).Find("error_code").AsString(), "over_email_send_rate_limit");
    EXPECT_EQ(
        Parsed(repeated).Find("msg").AsString().rfind("For security purposes, you can only request this after ", 0),
        0u);
    EXPECT_EQ(Parsed(SignIn(fake, "nuevo@example.com", "123456")).Find("error_code").AsString(), "email_not_confirmed");
    fake.ConfirmUser("nuevo@example.com");
    EXPECT_EQ(SignIn(fake, "nuevo@example.com", "123456").status, 200u);

    // A confirmed e-mail signs up again: a stand-in user with no identities, no session.
    const Http::Response again = Send(fake, {L"POST", L"/auth/v1/signup", Credentials("ana@example.com", "otra123")});
    ASSERT_EQ(again.status, 200u);
    const Json::Value standIn = Parsed(again);
    EXPECT_EQ(standIn.Find("identities").kind, Json::Type::Array);
    EXPECT_EQ(standIn.Find("identities").Size(), 0u);
    EXPECT_NE(standIn.Find("id").AsString(), existingId);
    EXPECT_EQ(standIn.Find("role").AsString(), "");
    EXPECT_EQ(standIn.Find("access_token").kind, Json::Type::Null);
    EXPECT_EQ(fake.Password("ana@example.com"), "secreto1");

    // Without confirmation: a session at once.
    fake.SetConfirmationRequired(false);
    const Http::Response session = Send(fake, {L"POST", L"/auth/v1/signup", Credentials("otro@example.com", "123456")});
    ASSERT_EQ(session.status, 200u);
    EXPECT_FALSE(Parsed(session).Find("access_token").AsString().empty());
    EXPECT_EQ(Parsed(session).Find("user").Find("email").AsString(), "otro@example.com");
}

TEST(FakeSupabaseAuth, ErrorBodiesAreTheServicesOwn) {
    struct Case {
        const char* name;
        std::function<Call(FakeSupabase&)> prepare;
        uint32_t status;
        const char* code;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"wrong password",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/token?grant_type=password", Credentials("ana@example.com", "mala")};
         },
         400, "invalid_credentials", "Invalid login credentials"},
        {"unknown e-mail",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/token?grant_type=password", Credentials("x@example.com", "secreto1")};
         },
         400, "invalid_credentials", "Invalid login credentials"},
        {"unconfirmed",
         [](FakeSupabase& f) {
             f.AddUser("sin@example.com", "secreto1", false);
             return Call{L"POST", L"/auth/v1/token?grant_type=password", Credentials("sin@example.com", "secreto1")};
         },
         400, "email_not_confirmed", "Email not confirmed"},
        {"weak password",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/signup", Credentials("nuevo@example.com", "12345")};
         },
         422, "weak_password", "Password should be at least 6 characters."},
        {"registered, no confirmation",
         [](FakeSupabase& f) {
             f.SetConfirmationRequired(false);
             return Call{L"POST", L"/auth/v1/signup", Credentials("ana@example.com", "secreto9")};
         },
         422, "user_already_exists", "User already registered"},
        {"rate limit",
         [](FakeSupabase& f) {
             f.SetAuthRateLimited(true);
             return Call{L"POST", L"/auth/v1/token?grant_type=password", Credentials("ana@example.com", "secreto1")};
         },
         429, "over_request_rate_limit", "Request rate limit reached"},
        {"same password",
         [](FakeSupabase& f) {
             return Call{L"PUT", L"/auth/v1/user", R"({"password":"secreto1"})",
                         f.IssueSession("ana@example.com")->accessToken};
         },
         422, "same_password", "New password should be different from the old password."},
        {"expired token on the user",
         [](FakeSupabase& f) {
             const FakeSession session = *f.IssueSession("ana@example.com");
             f.ExpireAccessTokens();
             return Call{L"PUT", L"/auth/v1/user", R"({"data":{}})", session.accessToken};
         },
         403, "bad_jwt",
         "invalid JWT: unable to parse or verify signature, token has invalid claims: token is expired"},
        {"no bearer on the user",
         [](FakeSupabase& f) {
             return Call{L"PUT", L"/auth/v1/user", R"({"data":{}})"};
         },
         401, "no_authorization", "This endpoint requires a Bearer token"},
        // The password is judged before the address, and its length in bytes both ways.
        {"empty password",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/signup", Credentials("nuevo@example.com", "")};
         },
         400, "validation_failed", "Signup requires a valid password"},
        {"short password, bad address",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/signup", Credentials("no-es-un-email", "12345")};
         },
         422, "weak_password", "Password should be at least 6 characters."},
        {"password past 72 bytes",
         [](FakeSupabase& f) {
             return Call{L"POST", L"/auth/v1/signup", Credentials("nuevo@example.com", std::string(73, 'x'))};
         },
         400, "validation_failed", "Password cannot be longer than 72 characters"},
        {"new password past 72 bytes",
         [](FakeSupabase& f) {
             return Call{L"PUT", L"/auth/v1/user", R"({"password":")" + std::string(73, 'x') + R"("})",
                         f.IssueSession("ana@example.com")->accessToken};
         },
         400, "validation_failed", "Password cannot be longer than 72 characters"},
        // Logout loads the session like every route behind the token.
        {"logout of an ended session",
         [](FakeSupabase& f) {
             const std::string token = f.IssueSession("ana@example.com")->accessToken;
             Send(f, {L"POST", L"/auth/v1/logout", {}, token});
             return Call{L"POST", L"/auth/v1/logout", {}, token};
         },
         403, "session_not_found", "Session from session_id claim in JWT does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSupabase fake;
        fake.AddUser("ana@example.com", "secreto1");
        const Http::Response response = Send(fake, c.prepare(fake));
        EXPECT_EQ(response.status, c.status);
        const Json::Value body = Parsed(response);
        EXPECT_EQ(body.Find("code").AsInt64(), static_cast<int64_t>(c.status));
        EXPECT_EQ(body.Find("error_code").AsString(), c.code);
        EXPECT_EQ(body.Find("msg").AsString(), c.message);
    }
}

TEST(FakeSupabaseAuth, UserUpdateMergesMetadataAndChangesThePassword) {
    FakeSupabase fake;
    Json::Value metadata;
    metadata["display_name"] = Json::Value("Ana");
    metadata["avatar"] = Json::Value("avatar_1.png");
    metadata["theme"] = Json::Value("dark");
    fake.AddUser("ana@example.com", "secreto1", true, metadata);
    const FakeSession session = *fake.IssueSession("ana@example.com");

    const Http::Response update = Send(
        fake, {L"PUT", L"/auth/v1/user", R"({"data":{"display_name":"Ana M.","avatar":""}})", session.accessToken});
    ASSERT_EQ(update.status, 200u) << update.body;
    const Json::Value user = Parsed(update);
    EXPECT_EQ(user.Find("email").AsString(), "ana@example.com");
    EXPECT_EQ(user.Find("user_metadata").Find("display_name").AsString(), "Ana M.");
    EXPECT_EQ(user.Find("user_metadata").Find("avatar").kind, Json::Type::String);
    EXPECT_EQ(user.Find("user_metadata").Find("avatar").AsString(), "");
    EXPECT_EQ(user.Find("user_metadata").Find("theme").AsString(), "dark");
    EXPECT_EQ(fake.UserMetadata("ana@example.com").Find("display_name").AsString(), "Ana M.");

    // A new password ends the user's other sessions (another machine signs in again); this one goes on.
    const FakeSession elsewhere = *fake.IssueSession("ana@example.com");
    EXPECT_EQ(Send(fake, {L"PUT", L"/auth/v1/user", R"({"password":"nueva123"})", session.accessToken}).status, 200u);
    EXPECT_EQ(SignIn(fake, "ana@example.com", "secreto1").status, 400u);
    EXPECT_EQ(SignIn(fake, "ana@example.com", "nueva123").status, 200u);
    EXPECT_FALSE(fake.RefreshTokenValid(elsewhere.refreshToken));
    EXPECT_TRUE(fake.RefreshTokenValid(session.refreshToken));
}

// ---- The gateway ----

TEST(FakeSupabaseGateway, EveryServiceNeedsTheProjectKey) {
    FakeSupabase fake;
    fake.AddUser("ana@example.com", "secreto1");
    const std::vector<Call> calls = {
        {L"POST", L"/auth/v1/token?grant_type=password", Credentials("ana@example.com", "secreto1")},
        {L"GET", kPull},
        {L"POST", L"/storage/v1/object/list/velmorin-images", R"({"prefix":"x","limit":1000,"offset":0})"},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(Text::ToUtf8(call.path));
        const Http::Response missing = Send(fake, call, "");
        EXPECT_EQ(missing.status, 401u);
        EXPECT_EQ(Parsed(missing).Find("message").AsString(), "No API key found in request");
        const Http::Response wrong = Send(fake, call, "sb_publishable_someOtherProjectsKey_000000000");
        EXPECT_EQ(wrong.status, 401u);
        EXPECT_EQ(Parsed(wrong).Find("message").AsString(), "Invalid API key");
        EXPECT_EQ(Send(fake, call).status, 200u);
    }
}

// ---- The table ----

TEST(FakeSupabaseTable, RowLevelSecurityKeepsEachUsersRowsToThemselves) {
    TwoUsers users;
    ASSERT_EQ(Upsert(users.fake, users.a, {Row(users.idA, "character", "c1", Named("Kai"))}).status, 201u);
    ASSERT_EQ(Upsert(users.fake, users.b, {Row(users.idB, "persona", "p1", Named("Bea"))}).status, 201u);

    // The pull names no user: the policies alone choose the rows.
    EXPECT_EQ(Ids(Parsed(Pull(users.fake, users.a))), std::vector<std::string>{"character/c1"});
    EXPECT_EQ(Ids(Parsed(Pull(users.fake, users.b))), std::vector<std::string>{"persona/p1"});

    // Writing a row in another user's name is refused whole: nothing of the batch is stored.
    const Http::Response foreign = Upsert(
        users.fake, users.a, {Row(users.idA, "chat", "h1", Named("x")), Row(users.idB, "chat", "h2", Named("y"))});
    EXPECT_EQ(foreign.status, 403u);
    EXPECT_EQ(Parsed(foreign).Find("code").AsString(), "42501");
    EXPECT_EQ(users.fake.Rows(users.idA).size(), 1u);
    EXPECT_EQ(users.fake.Rows(users.idB).size(), 1u);

    // Without a bearer token the request runs as the anonymous role: sees nothing, writes nothing.
    EXPECT_EQ(Send(users.fake, {L"GET", kPull}).body, "[]");
    const Http::Response anonymous =
        Send(users.fake, {L"POST",
                          kUpsert,
                          Json::Value(Json::Array{Row(users.idA, "chat", "h3", Named("z"))}).Dump(false),
                          {},
                          {{L"Prefer", kMerge}}});
    EXPECT_EQ(anonymous.status, 401u);
    EXPECT_EQ(Parsed(anonymous).Find("code").AsString(), "42501");
}

TEST(FakeSupabaseTable, UpsertMergesOnTheKeyAndStampsEachWriteLater) {
    TwoUsers users;
    const Http::Response first =
        Upsert(users.fake, users.a,
               {Row(users.idA, "character", "c1", Named("Kai")), Row(users.idA, "chat", "h1", Named("Hola"))});
    ASSERT_EQ(first.status, 201u) << first.body;
    EXPECT_TRUE(first.body.empty());
    std::vector<FakeRow> rows = users.fake.Rows(users.idA);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].updatedAt, rows[1].updatedAt);  // one statement, one stamp
    const std::string before = rows[0].updatedAt;

    Json::Value data;
    data["name"] = Json::Value("Kai 2");
    data["age"] = Json::Value(30);
    ASSERT_EQ(Upsert(users.fake, users.a, {Row(users.idA, "character", "c1", data, true)}).status, 201u);
    rows = users.fake.Rows(users.idA);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, "c1");
    EXPECT_TRUE(rows[0].deleted);
    EXPECT_EQ(rows[0].data.Find("name").AsString(), "Kai 2");
    EXPECT_GT(rows[0].updatedAt, before);
    EXPECT_EQ(rows[1].updatedAt, before);
    // Stored as jsonb: keys by length, then bytes.
    EXPECT_EQ(rows[0].data.Members().front().first, "age");

    struct Refusal {
        const char* name;
        Json::Array rows;
        std::wstring path;
        std::wstring prefer;
        uint32_t status;
        const char* code;
    };
    Json::Value extra = Row(users.idA, "chat", "h9", Named("x"));
    extra["colour"] = Json::Value("red");
    Json::Value missingKind = Row(users.idA, "chat", "h9", Named("x"));
    missingKind["kind"] = Json::Value();
    const std::vector<Refusal> refusals = {
        {"no resolution is a plain insert",
         {Row(users.idA, "character", "c1", Named("x"))},
         kUpsert,
         L"",
         409,
         "23505"},
        {"the same key twice",
         {Row(users.idA, "chat", "h2", Named("x")), Row(users.idA, "chat", "h2", Named("y"))},
         kUpsert,
         kMerge,
         400,
         "21000"},
        {"a conflict target without a constraint",
         {Row(users.idA, "chat", "h2", Named("x"))},
         L"/rest/v1/velmorin_items?on_conflict=kind,id",
         kMerge,
         400,
         "42P10"},
        {"rows with other keys",
         {Row(users.idA, "chat", "h2", Named("x")), Json::Value(Json::Object{{"kind", "chat"}})},
         kUpsert,
         kMerge,
         400,
         "PGRST102"},
        {"an unknown column", {extra}, kUpsert, kMerge, 400, "PGRST204"},
        {"a null key column", {missingKind}, kUpsert, kMerge, 400, "23502"},
        // Neither text nor jsonb holds a NUL character: the whole statement fails.
        {"a NUL in the data",
         {Row(users.idA, "chat", "h3", Named("x")), Row(users.idA, "chat", "h4", Named(std::string("a\0b", 3)))},
         kUpsert,
         kMerge,
         400,
         "22P05"},
        {"a NUL in an id", {Row(users.idA, "chat", std::string("h\0", 2), Named("x"))}, kUpsert, kMerge, 400, "22P05"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        Call call{L"POST", r.path, Json::Value(Json::Array(r.rows)).Dump(false), users.a.accessToken};
        if (!r.prefer.empty()) {
            call.headers.emplace_back(L"Prefer", r.prefer);
        }
        const Http::Response response = Send(users.fake, call);
        EXPECT_EQ(response.status, r.status);
        EXPECT_EQ(Parsed(response).Find("code").AsString(), r.code);
    }
    EXPECT_EQ(users.fake.Rows(users.idA).size(), 2u);
}

TEST(FakeSupabaseTable, PullPagesInOrderAndTheCursorReadsFromItsStampOn) {
    TwoUsers users;
    // Three writes: b and a share the first stamp, c and d come later.
    users.fake.PutRow(users.idB, "chat", "other", Named("x"));
    ASSERT_EQ(Upsert(users.fake, users.a,
                     {Row(users.idA, "persona", "b", Named("b")), Row(users.idA, "character", "a", Named("a"))})
                  .status,
              201u);
    ASSERT_EQ(Upsert(users.fake, users.a, {Row(users.idA, "chat", "c", Named("c"))}).status, 201u);
    ASSERT_EQ(Upsert(users.fake, users.a, {Row(users.idA, "chat", "d", Named("d"))}).status, 201u);

    const Json::Value page1 = Parsed(Pull(users.fake, users.a, L"&limit=2&offset=0"));
    const Json::Value page2 = Parsed(Pull(users.fake, users.a, L"&limit=2&offset=2"));
    const Json::Value page3 = Parsed(Pull(users.fake, users.a, L"&limit=2&offset=4"));
    EXPECT_EQ(Ids(page1), (std::vector<std::string>{"character/a", "persona/b"}));
    EXPECT_EQ(Ids(page2), (std::vector<std::string>{"chat/c", "chat/d"}));
    EXPECT_EQ(page3.Size(), 0u);

    // Only the columns asked for, in that order; the stamp in PostgreSQL's text form.
    std::vector<std::string> columns;
    for (const auto& member : page1.Items()[0].Members()) {
        columns.push_back(member.first);
    }
    EXPECT_EQ(columns, (std::vector<std::string>{"kind", "id", "parent_id", "data", "deleted", "updated_at"}));
    const std::string stamp = page2.Items()[0].Find("updated_at").AsString();
    EXPECT_EQ(stamp.substr(10, 1), "T");
    EXPECT_EQ(stamp.substr(stamp.size() - 6), "+00:00");

    // gte: the row at the cursor comes again, the earlier ones do not.
    const std::wstring cursor = Text::ToWide(Text::UrlEncode(stamp));
    EXPECT_EQ(Ids(Parsed(Pull(users.fake, users.a, L"&limit=500&updated_at=gte." + cursor + L"&offset=0"))),
              (std::vector<std::string>{"chat/c", "chat/d"}));
    // An unencoded "+" reaches the server as a space, which is no time.
    const Http::Response raw = Pull(users.fake, users.a, L"&limit=500&updated_at=gte." + Text::ToWide(stamp));
    EXPECT_EQ(raw.status, 400u);
    EXPECT_EQ(Parsed(raw).Find("code").AsString(), "22007");
}

TEST(FakeSupabaseTable, LogicTreesFilterAsPostgrestReadsThem) {
    TwoUsers users;
    ASSERT_EQ(Upsert(users.fake, users.a,
                     {Row(users.idA, "chat", "a,1", Named("x")), Row(users.idA, "chat", "b(2)", Named("x")),
                      Row(users.idA, "persona", "a", Named("x"))})
                  .status,
              201u);
    ASSERT_EQ(Upsert(users.fake, users.a, {Row(users.idA, "chat", "z", Named("x"))}).status, 201u);
    const std::string stamp = Parsed(Pull(users.fake, users.a)).Items()[0].Find("updated_at").AsString();
    const auto after = [&](const std::string& kind, const std::string& id) {
        const std::string tree = "(updated_at.gt.\"" + stamp + "\",and(updated_at.eq.\"" + stamp + "\",kind.gt.\"" +
                                 kind + "\"),and(updated_at.eq.\"" + stamp + "\",kind.eq.\"" + kind + "\",id.gt.\"" +
                                 id + "\"))";
        return Pull(users.fake, users.a, L"&or=" + Text::ToWide(Text::UrlEncode(tree)));
    };
    // Quoted values keep their commas and parentheses; rows after the key in (stamp, kind, id).
    EXPECT_EQ(Ids(Parsed(after("chat", "a,1"))), (std::vector<std::string>{"chat/b(2)", "persona/a", "chat/z"}));
    EXPECT_EQ(Ids(Parsed(after("persona", "a"))), (std::vector<std::string>{"chat/z"}));
    EXPECT_EQ(Ids(Parsed(Pull(users.fake, users.a, L"&or=(id.eq.z,and(kind.eq.persona,id.eq.a))"))),
              (std::vector<std::string>{"persona/a", "chat/z"}));

    for (const std::wstring& broken : {L"&or=(id.eq.z", L"&or=id.eq.z", L"&or=(id.zz.z)", L"&or=(nope.eq.z)"}) {
        EXPECT_EQ(Pull(users.fake, users.a, broken).status, 400u) << Text::ToUtf8(broken);
    }
}

TEST(FakeSupabaseTable, ExpiredTokenAndMissingTableAnswerAsTheServiceDoes) {
    TwoUsers users;
    users.fake.ExpireAccessTokens();
    const Http::Response expired = Pull(users.fake, users.a);
    EXPECT_EQ(expired.status, 401u);
    EXPECT_EQ(expired.body, R"({"code":"PGRST301","details":null,"hint":null,"message":"JWT expired"})");
    EXPECT_EQ(Refresh(users.fake, users.a.refreshToken).status, 200u);

    const FakeSession fresh = *users.fake.IssueSession("ana@example.com");
    users.fake.DropTable();
    const Http::Response missing = Pull(users.fake, fresh);
    EXPECT_EQ(missing.status, 404u);
    EXPECT_EQ(Parsed(missing).Find("code").AsString(), "PGRST205");
    EXPECT_EQ(Upsert(users.fake, fresh, {Row(users.idA, "chat", "h", Named("x"))}).status, 404u);
    users.fake.DropTable(false);
    EXPECT_EQ(Pull(users.fake, fresh).status, 200u);
}

// ---- The bucket ----

TEST(FakeSupabaseStorage, EachUserReadsAndWritesOnlyTheirOwnFolder) {
    TwoUsers users;
    const std::wstring object = L"/storage/v1/object/velmorin-images/" + Text::ToWide(users.idA) + L"/foto%20uno.png";
    Call upload{L"POST", object, "PNGDATA", users.a.accessToken, {{L"x-upsert", L"true"}}, L"image/png"};
    const Http::Response uploaded = Send(users.fake, upload);
    ASSERT_EQ(uploaded.status, 200u) << uploaded.body;
    EXPECT_EQ(Parsed(uploaded).Find("Key").AsString(), "velmorin-images/" + users.idA + "/foto uno.png");
    ASSERT_TRUE(users.fake.Object(users.idA + "/foto uno.png"));
    EXPECT_EQ(users.fake.Object(users.idA + "/foto uno.png")->contentType, "image/png");

    // The same name again replaces only with x-upsert.
    Call again = upload;
    again.headers.clear();
    again.body = "OTHER";
    EXPECT_EQ(Parsed(Send(users.fake, again)).Find("statusCode").AsString(), "409");
    upload.body = "PNGDATA2";
    EXPECT_EQ(Send(users.fake, upload).status, 200u);

    const std::wstring download =
        L"/storage/v1/object/authenticated/velmorin-images/" + Text::ToWide(users.idA) + L"/foto%20uno.png";
    const Http::Response mine = Send(users.fake, {L"GET", download, {}, users.a.accessToken});
    EXPECT_EQ(mine.status, 200u);
    EXPECT_EQ(mine.body, "PNGDATA2");
    EXPECT_EQ(mine.headers.at(L"content-type"), L"image/png");

    // Another user: the object does not exist for them, and their upload into it is refused.
    const Http::Response theirs = Send(users.fake, {L"GET", download, {}, users.b.accessToken});
    EXPECT_EQ(theirs.status, 400u);
    EXPECT_EQ(Parsed(theirs).Find("statusCode").AsString(), "404");
    Call intrude = upload;
    intrude.bearer = users.b.accessToken;
    const Http::Response refused = Send(users.fake, intrude);
    EXPECT_EQ(refused.status, 400u);
    EXPECT_EQ(Parsed(refused).Find("statusCode").AsString(), "403");
    EXPECT_EQ(users.fake.Object(users.idA + "/foto uno.png")->bytes, "PNGDATA2");

    // The listing: the user's own folder, files with an id and a creation time.
    users.fake.PutObject(users.idA + "/old.png", "OLD", "image/png", 1700000000);
    users.fake.PutObject(users.idA + "/sub/deep.png", "D");
    const std::string listing = R"({"prefix":")" + users.idA + R"(","limit":1000,"offset":0})";
    const Json::Value list =
        Parsed(Send(users.fake, {L"POST", L"/storage/v1/object/list/velmorin-images", listing, users.a.accessToken}));
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list.Items()[0].Find("name").AsString(), "foto uno.png");
    EXPECT_EQ(list.Items()[1].Find("name").AsString(), "old.png");
    EXPECT_EQ(list.Items()[1].Find("created_at").AsString(), "2023-11-14T22:13:20.000Z");
    EXPECT_EQ(list.Items()[2].Find("name").AsString(), "sub");
    EXPECT_EQ(list.Items()[2].Find("id").kind, Json::Type::Null);
    EXPECT_EQ(
        Send(users.fake, {L"POST", L"/storage/v1/object/list/velmorin-images", listing, users.b.accessToken}).body,
        "[]");

    // Deletion: once, then the object is gone (400 with "404" inside).
    const std::wstring remove = L"/storage/v1/object/velmorin-images/" + Text::ToWide(users.idA) + L"/old.png";
    EXPECT_EQ(Send(users.fake, {L"DELETE", remove, {}, users.b.accessToken}).status, 400u);
    EXPECT_EQ(Send(users.fake, {L"DELETE", remove, {}, users.a.accessToken}).status, 200u);
    const Http::Response gone = Send(users.fake, {L"DELETE", remove, {}, users.a.accessToken});
    EXPECT_EQ(gone.status, 400u);
    EXPECT_EQ(gone.body, R"({"statusCode":"404","error":"not_found","message":"Object not found"})");
}

TEST(FakeSupabaseStorage, RefusalsAreTheStorageServicesOwn) {
    TwoUsers users;
    const std::wstring folder = L"/storage/v1/object/velmorin-images/" + Text::ToWide(users.idA) + L"/";
    const auto send = [&](const std::wstring& method, const std::wstring& name, const std::string& bearer) {
        const std::wstring path = method == L"GET" ? L"/storage/v1/object/authenticated/velmorin-images/" +
                                                         Text::ToWide(users.idA) + L"/" + name
                                                   : folder + name;
        return Send(users.fake,
                    {method, path, method == L"POST" ? "PNG" : "", bearer, {{L"x-upsert", L"true"}}, L"image/png"});
    };
    // The hosted service's form: the code in "error", and no "code".
    const auto body = [&](const std::string& statusCode, const std::string& error, const std::string& message) {
        return R"({"statusCode":")" + statusCode + R"(","error":")" + error + R"(","message":")" + message + R"("})";
    };
    users.fake.PutObject(users.idA + "/old.png", "OLD");

    // Names outside the service's characters, on upload and download; a deletion does not check.
    const std::pair<std::wstring, std::string> names[] = {{L"foto_%C3%B1.png", "foto_\xC3\xB1.png"},
                                                          {L"foto~1.png", "foto~1.png"}};
    for (const auto& [name, decoded] : names) {
        const std::string key = users.idA + "/" + decoded;
        for (const std::wstring& method : {std::wstring(L"POST"), std::wstring(L"GET")}) {
            const Http::Response refused = send(method, name, users.a.accessToken);
            EXPECT_EQ(refused.status, 400u);
            EXPECT_EQ(refused.body, body("400", "InvalidKey", "Invalid key: " + key));
        }
        EXPECT_EQ(Parsed(send(L"DELETE", name, users.a.accessToken)).Find("statusCode").AsString(), "404");
    }
    EXPECT_EQ(users.fake.Objects().size(), 1u);

    // An expired token, in the JSON library's words.
    users.fake.ExpireAccessTokens();
    const Http::Response expired = send(L"POST", L"new.png", users.a.accessToken);
    EXPECT_EQ(expired.status, 400u);
    EXPECT_EQ(expired.body, body("403", "Unauthorized", "jwt expired"));

    // Without the bucket only an upload says so; the rest find nothing in it.
    const FakeSession fresh = *users.fake.IssueSession("ana@example.com");
    users.fake.DropBucket();
    const Http::Response missing = send(L"POST", L"new.png", fresh.accessToken);
    EXPECT_EQ(missing.status, 400u);
    EXPECT_EQ(missing.body, body("404", "Bucket not found", "Bucket not found"));
    EXPECT_EQ(Parsed(send(L"GET", L"old.png", fresh.accessToken)).Find("error").AsString(), "not_found");
    EXPECT_EQ(Parsed(send(L"DELETE", L"old.png", fresh.accessToken)).Find("error").AsString(), "not_found");
    const std::string listing = R"({"prefix":")" + users.idA + R"(","limit":1000,"offset":0})";
    EXPECT_EQ(Send(users.fake, {L"POST", L"/storage/v1/object/list/velmorin-images", listing, fresh.accessToken}).body,
              "[]");
    users.fake.DropBucket(false);
    EXPECT_EQ(send(L"POST", L"new.png", fresh.accessToken).status, 200u);
}

// ---- Faults ----

TEST(FakeSupabaseFaults, EachFaultMeetsTheNextMatchingRequestOnce) {
    struct Case {
        const char* name;
        FakeFault fault;
        uint32_t status;  // what the client sees
        bool bodyIsJson;  // when a status arrives
        bool rowStored;   // whether the upsert took effect
        uint32_t timeout = 10000;
    };
    const std::vector<Case> cases = {
        {"answer", FakeFault::Answer(503, R"({"message":"upstream"})"), 503, true, false},
        {"answer after the write", FakeFault::Answer(500, R"({"message":"x"})").AfterEffect(), 500, true, true},
        {"not JSON", FakeFault::NotJson(), 200, false, false},
        {"reset", FakeFault::Reset(), 0, false, false},
        {"reset after the write", FakeFault::Reset().AfterEffect(), 0, false, true},
        {"torn body", FakeFault::TornBody(), 0, false, true},
        {"stall", FakeFault::Stall(), 0, false, false, 1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TwoUsers users;
        // Aimed at the table: an authentication request before it passes untouched.
        users.fake.QueueFault(FakeFault(c.fault).OnTarget("/rest/v1/velmorin_items"));
        EXPECT_EQ(SignIn(users.fake, "ana@example.com", "secreto1").status, 200u);
        Call call{L"POST",
                  kUpsert,
                  Json::Value(Json::Array{Row(users.idA, "chat", "h1", Named("x"))}).Dump(false),
                  users.a.accessToken,
                  {{L"Prefer", L"resolution=merge-duplicates,return=representation"}}};
        call.timeout = c.timeout;
        const Http::Response response = Send(users.fake, call);
        EXPECT_EQ(response.status, c.status) << Text::ToUtf8(response.error);
        if (response.status != 0) {
            bool ok = false;
            Json::Value::Parse(response.body, &ok);
            EXPECT_EQ(ok, c.bodyIsJson) << response.body;
        }
        EXPECT_EQ(users.fake.Rows(users.idA).size(), c.rowStored ? 1u : 0u);
        EXPECT_EQ(users.fake.PendingFaults(), 0u);
        // The fault is spent: the same request now goes through.
        EXPECT_EQ(Send(users.fake, call).status, 201u);
    }
}

TEST(FakeSupabaseFaults, ScriptedRepliesOfTheServerComeBeforeTheBackend) {
    FakeSupabase fake;
    fake.AddUser("ana@example.com", "secreto1");
    fake.Server().Enqueue(FakeReply::Json(502, R"({"message":"scripted"})"));
    EXPECT_EQ(SignIn(fake, "ana@example.com", "secreto1").status, 502u);
    EXPECT_EQ(SignIn(fake, "ana@example.com", "secreto1").status, 200u);
    ASSERT_EQ(fake.Targets().size(), 2u);
    EXPECT_EQ(fake.Targets()[1], "/auth/v1/token?grant_type=password");
}

}  // namespace
}  // namespace Lorvex::Testing

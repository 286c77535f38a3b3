// The authentication client against the scripted server: what each call sends, how an answer
// becomes a session, a confirmation wait or a Spanish error, and when a failed renewal means the
// session itself is over. Error bodies are the backend's own (authentication API, table API,
// storage and the gateway in front of them).

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "services/sync/Supabase.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Services::Supabase {
namespace {

using Testing::FakeHttpServer;
using Testing::FakeReply;
using Testing::RecordedRequest;

// 46 characters, as the project's publishable keys are.
const std::wstring kKey = L"sb_publishable_0123456789abcdefghijklmnopqrstu";

// Points the client at a test server for one test, then back.
class PointAt {
public:
    explicit PointAt(const std::wstring& baseUrl) : savedUrl_(Config::SupabaseUrl()), savedKey_(Config::SupabaseKey()) {
        Config::SetSupabaseForTesting(baseUrl, kKey);
    }
    explicit PointAt(const FakeHttpServer& server) : PointAt(server.Url(L"")) {}
    ~PointAt() { Config::SetSupabaseForTesting(savedUrl_, savedKey_); }
    PointAt(const PointAt&) = delete;
    PointAt& operator=(const PointAt&) = delete;

private:
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The headers the client chose, in the order sent; the ones WinHTTP adds around them are left out.
HeaderList OwnHeaders(const RecordedRequest& request) {
    HeaderList own;
    for (const auto& [name, value] : request.headers) {
        const std::wstring wide = Text::ToWide(name);
        if (Text::EqualsAsciiNoCase(wide, L"apikey") || Text::EqualsAsciiNoCase(wide, L"Authorization") ||
            Text::EqualsAsciiNoCase(wide, L"Content-Type")) {
            own.emplace_back(name, value);
        }
    }
    return own;
}

Account SignedInAccount() {
    Account account;
    account.accessToken = "eyJhbGciOiJIUzI1NiJ9.eyJzdWIiOiJ1MSJ9.c2ln";
    account.refreshToken = "v1.rt-old";
    account.expiresAt = 1700000000;
    account.userId = L"u1";
    return account;
}

Http::Response Answer(uint32_t status, std::string body) {
    Http::Response response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

// A password sign-in answer of the backend with these expiry members (a JSON fragment, may be empty).
std::string SessionReply(const std::string& expiry) {
    return "{\"access_token\":\"eyJ.new.sig\",\"token_type\":\"bearer\"," + expiry + (expiry.empty() ? "" : ",") +
           "\"refresh_token\":\"v1.rt-new\",\"user\":{\"id\":\"8d3c6f1e-0000-4000-8000-000000000001\","
           "\"aud\":\"authenticated\",\"role\":\"authenticated\",\"email\":\"ana@example.com\","
           "\"email_confirmed_at\":\"2025-03-07T18:04:09Z\",\"app_metadata\":{\"provider\":\"email\"},"
           "\"user_metadata\":{\"display_name\":\"Ana Ñ\",\"avatar\":\"avatar_8d3c.png\"},"
           "\"identities\":[{\"provider\":\"email\"}]}}";
}

TEST(SupabaseAuth, EveryCallSendsItsMethodPathHeadersAndBody) {
    const std::string key = Text::ToUtf8(kKey);
    const Account account = SignedInAccount();
    const std::string bearer = "Bearer " + account.accessToken;
    Json::Value update;
    update["data"]["display_name"] = Json::Value(L"Ana Ñ");

    struct Case {
        const char* name;
        std::function<void()> call;
        const char* method;
        const char* target;
        HeaderList headers;
        std::string body;
    };
    const std::string credentials = "{\"email\":\"ana@example.com\",\"password\":\" clave \xC3\xB1 \"}";
    const Case cases[] = {
        {"sign-in",
         [] { SignIn(L" \t\u00A0ana@example.com\r\n\uFEFF", L" clave ñ "); },
         "POST",
         "/auth/v1/token?grant_type=password",
         {{"apikey", key}, {"Content-Type", "application/json"}},
         credentials},
        {"sign-up",
         [] { SignUp(L"ana@example.com ", L" clave ñ "); },
         "POST",
         "/auth/v1/signup",
         {{"apikey", key}, {"Content-Type", "application/json"}},
         credentials},
        {"renewal",
         [] { Refresh("v1.rt-old"); },
         "POST",
         "/auth/v1/token?grant_type=refresh_token",
         {{"apikey", key}, {"Content-Type", "application/json"}},
         "{\"refresh_token\":\"v1.rt-old\"}"},
        {"user update",
         [&] { UpdateUser(account, update); },
         "PUT",
         "/auth/v1/user",
         {{"apikey", key}, {"Authorization", bearer}, {"Content-Type", "application/json"}},
         "{\"data\":{\"display_name\":\"Ana \xC3\x91\"}}"},
        {"sign-out",
         [&] { Logout(account); },
         "POST",
         "/auth/v1/logout?scope=local",
         {{"apikey", key}, {"Authorization", bearer}},
         ""},
    };
    for (const Case& c : cases) {
        FakeHttpServer server(FakeReply::Json(200, "{}"));
        ASSERT_TRUE(server.IsListening());
        PointAt point(server);

        c.call();

        const std::vector<RecordedRequest> requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].method, c.method) << c.name;
        EXPECT_EQ(requests[0].target, c.target) << c.name;
        EXPECT_EQ(OwnHeaders(requests[0]), c.headers) << c.name;
        EXPECT_EQ(requests[0].body, c.body) << c.name;
    }
}

TEST(SupabaseAuth, SignOutWithoutAnAccessTokenSendsNothing) {
    FakeHttpServer server(FakeReply::Json(204, ""));
    PointAt point(server);
    Account account = SignedInAccount();
    account.accessToken.clear();

    Logout(account);

    EXPECT_TRUE(server.Requests().empty());
}

TEST(SupabaseAuth, SessionAnswersGiveTokensExpiryAndUser) {
    // lifetime > 0: expiresAt is now + lifetime; otherwise it is exactly `at`.
    struct Case {
        const char* name;
        std::string expiry;
        int64_t lifetime;
        int64_t at;
    };
    const Case cases[] = {
        // The server's clock is far off this machine's: the lifetime decides.
        {"lifetime and absolute time", "\"expires_in\":3600,\"expires_at\":1500000000", 3600, 0},
        {"lifetime as text", "\"expires_in\":\"1800\"", 1800, 0},
        {"absolute time only", "\"expires_at\":1999999999", 0, 1999999999},
        {"unreadable lifetime", "\"expires_in\":\"soon\",\"expires_at\":1999999999", 0, 1999999999},
        {"neither", "", 3600, 0},
        {"absolute time as text", "\"expires_at\":\"1999999999\"", 3600, 0},
        // A lifetime no clock can reach holds at the end of time instead of wrapping into the past.
        {"lifetime past the end of time", "\"expires_in\":\"9223372036854775807\"", 0,
         std::numeric_limits<int64_t>::max()},
    };
    for (const Case& c : cases) {
        FakeHttpServer server(FakeReply::Json(200, SessionReply(c.expiry)));
        PointAt point(server);

        const int64_t before = UnixNow();
        const AuthResult result = SignIn(L"ana@example.com", L"secreto1");
        const int64_t after = UnixNow();

        ASSERT_TRUE(result.ok) << c.name << ": " << Text::ToUtf8(result.error);
        EXPECT_FALSE(result.networkError) << c.name;
        EXPECT_FALSE(result.needsConfirmation) << c.name;
        EXPECT_EQ(result.error, L"") << c.name;
        EXPECT_EQ(result.account.accessToken, "eyJ.new.sig") << c.name;
        EXPECT_EQ(result.account.refreshToken, "v1.rt-new") << c.name;
        if (c.lifetime > 0) {
            EXPECT_GE(result.account.expiresAt, before + c.lifetime) << c.name;
            EXPECT_LE(result.account.expiresAt, after + c.lifetime) << c.name;
        } else {
            EXPECT_EQ(result.account.expiresAt, c.at) << c.name;
        }
        EXPECT_EQ(result.account.userId, L"8d3c6f1e-0000-4000-8000-000000000001") << c.name;
        EXPECT_EQ(result.account.email, L"ana@example.com") << c.name;
        EXPECT_EQ(result.account.displayName, L"Ana Ñ") << c.name;
        EXPECT_EQ(result.account.avatarFile, L"avatar_8d3c.png") << c.name;
    }
}

TEST(SupabaseAuth, AnswersWithoutASessionFollowTheSignInOrSignUpRules) {
    const std::wstring unexpected = L"Respuesta inesperada del servidor";
    const std::wstring taken = L"Ya existe una cuenta con ese email";
    const std::string user = "\"id\":\"u2\",\"email\":\"ana@example.com\",\"role\":\"\",\"aud\":\"authenticated\"";
    struct Case {
        const char* name;
        bool signUp;
        std::string body;
        bool ok;
        bool needsConfirmation;
        std::wstring error;
    };
    const Case cases[] = {
        {"sign-in, a user but no token", false, "{\"user\":{" + user + "}}", false, false, unexpected},
        {"sign-in, not JSON", false, "<html>ok</html>", false, false, unexpected},
        {"sign-in, access token without a refresh token", false,
         "{\"access_token\":\"eyJ.a.b\",\"expires_in\":3600,\"user\":{" + user + "}}", false, false, unexpected},
        // Signed in is holding a refresh token: an empty one would be a session that ends at once.
        {"sign-in, an empty refresh token", false,
         "{\"access_token\":\"eyJ.a.b\",\"expires_in\":3600,\"refresh_token\":\"\",\"user\":{" + user + "}}", false,
         false, unexpected},
        // With confirmation on, a registered address gets a user without identities, not an error.
        {"sign-up, registered address", true, "{" + user + ",\"identities\":[]}", false, false, taken},
        {"sign-up, new address", true,
         "{" + user + ",\"confirmation_sent_at\":\"2025-03-07T18:04:09Z\",\"identities\":[{\"provider\":\"email\"}]}",
         true, true, L""},
        {"sign-up, no identities member", true, "{" + user + "}", true, true, L""},
        {"sign-up, confirmation off", true, SessionReply("\"expires_in\":3600"), true, false, L""},
    };
    for (const Case& c : cases) {
        FakeHttpServer server(FakeReply::Json(200, c.body));
        PointAt point(server);

        const AuthResult result =
            c.signUp ? SignUp(L"ana@example.com", L"secreto1") : SignIn(L"ana@example.com", L"secreto1");

        EXPECT_EQ(result.ok, c.ok) << c.name;
        EXPECT_EQ(result.needsConfirmation, c.needsConfirmation) << c.name;
        EXPECT_EQ(result.error, c.error) << c.name;
        EXPECT_FALSE(result.networkError) << c.name;
        EXPECT_EQ(result.account.refreshToken.empty(), !c.ok || c.needsConfirmation) << c.name;
    }
}

TEST(SupabaseAuth, UserUpdateReadsTheUserAsText) {
    struct Case {
        const char* name;
        std::string body;
        std::wstring userId, email, displayName, avatarFile;
    };
    const Case cases[] = {
        {"the backend's user",
         "{\"id\":\"u1\",\"email\":\"ana@example.com\",\"user_metadata\":"
         "{\"display_name\":\"Ana\",\"avatar\":\"avatar_u1.png\"}}",
         L"u1", L"ana@example.com", L"Ana", L"avatar_u1.png"},
        {"other kinds", "{\"id\":42,\"email\":true,\"user_metadata\":{\"display_name\":1.5,\"avatar\":null}}", L"42",
         L"true", L"", L""},
        {"metadata not an object", "{\"id\":\"u1\",\"user_metadata\":\"x\"}", L"u1", L"", L"", L""},
        {"not an object", "[1,2]", L"", L"", L"", L""},
    };
    for (const Case& c : cases) {
        FakeHttpServer server(FakeReply::Json(200, c.body));
        PointAt point(server);

        const AuthResult result = UpdateUser(SignedInAccount(), Json::Value(Json::Object{}));

        EXPECT_TRUE(result.ok) << c.name;
        EXPECT_EQ(result.account.userId, c.userId) << c.name;
        EXPECT_EQ(result.account.email, c.email) << c.name;
        EXPECT_EQ(result.account.displayName, c.displayName) << c.name;
        EXPECT_EQ(result.account.avatarFile, c.avatarFile) << c.name;
        EXPECT_TRUE(result.account.accessToken.empty() && result.account.refreshToken.empty()) << c.name;
    }
}

TEST(SupabaseAuth, FailedCallsTellAMissingConnectionFromARefusal) {
    const std::wstring offline = L"Sin conexión con el servidor";
    struct Case {
        const char* name;
        bool update;
        std::function<FakeReply()> reply;  // empty: nothing listens
        bool networkError;
        std::wstring error;
    };
    const Case cases[] = {
        {"refused connection", false, nullptr, true, offline},
        {"answer cut short", false,
         [] {
             return FakeReply(200).Header("Content-Type", "application/json").AnnounceLength(400).Body("{\"acc").Cut();
         },
         true, L"La conexión se cortó antes de recibir toda la respuesta"},
        {"wrong password", false,
         [] {
             return FakeReply::Json(400,
                                    "{\"code\":400,\"error_code\":\"invalid_credentials\",\"msg\":\"Invalid login "
                                    "credentials\"}");
         },
         false, L"Email o contraseña incorrectos"},
        {"gateway page", false, [] { return FakeReply(503, "Service Unavailable").Body("<html>503</html>"); }, false,
         L"El servidor tuvo un fallo (error 503)"},
        {"update, refused connection", true, nullptr, true, offline},
        {"update, expired token", true,
         [] {
             return FakeReply::Json(401,
                                    "{\"code\":401,\"error_code\":\"bad_jwt\",\"msg\":\"invalid JWT: unable to "
                                    "parse or verify signature, token has invalid claims: token is expired\"}");
         },
         false,
         L"El servidor no permitió el acceso (error 401): invalid JWT: unable to parse or verify signature, token has "
         L"invalid claims: token is expired"},
    };
    for (const Case& c : cases) {
        FakeHttpServer server;
        if (c.reply) {
            server.Enqueue(c.reply());
        }
        PointAt point(c.reply ? server.Url(L"") : L"http://127.0.0.1:" + std::to_wstring(Testing::UnusedLocalPort()));

        const AuthResult result =
            c.update ? UpdateUser(SignedInAccount(), Json::Value(Json::Object{})) : SignIn(L"ana@example.com", L"x");

        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.networkError, c.networkError) << c.name;
        EXPECT_EQ(result.error, c.error) << c.name;
        EXPECT_FALSE(result.needsConfirmation) << c.name;
        EXPECT_TRUE(result.account.refreshToken.empty()) << c.name;
    }
}

TEST(SupabaseAuth, ErrorTextOfTheBackendsErrorBodies) {
    const std::wstring credentials = L"Email o contraseña incorrectos";
    const std::wstring taken = L"Ya existe una cuenta con ese email";
    const std::wstring weak = L"La contraseña es demasiado débil (mínimo 6 caracteres)";
    const std::wstring badEmail = L"El email no es válido";
    const std::wstring tooMany = L"Demasiados intentos; espera un momento";
    const std::wstring setUp = L"La base de datos aún no está preparada (ejecuta Tools\\SupabaseSetup)";
    struct Case {
        uint32_t status;
        std::string body;
        std::wstring text;
    };
    const Case cases[] = {
        {0, "", L"Sin conexión con el servidor"},
        // Authentication API, current form ("code" is the status number) and the OAuth form of
        // older versions.
        {400, R"({"code":400,"error_code":"invalid_credentials","msg":"Invalid login credentials"})", credentials},
        {400, R"({"error":"invalid_grant","error_description":"Invalid Login Credentials"})", credentials},
        {400, R"({"code":400,"error_code":"email_not_confirmed","msg":"Email not confirmed"})",
         L"Confirma tu email antes de entrar (revisa tu correo, también el spam)"},
        {422, R"({"code":422,"error_code":"user_already_exists","msg":"User already registered"})", taken},
        {422,
         R"({"code":422,"error_code":"email_exists","msg":"A user with this email address has already been registered"})",
         taken},
        {422, R"({"code":422,"msg":"User already registered"})", taken},
        {422,
         R"({"code":422,"error_code":"weak_password","msg":"Password should be at least 6 characters.","weak_password":{"reasons":["length"]}})",
         weak},
        // The dated API version's form: the code string in "code", the text in "message".
        {422,
         R"({"code":"weak_password","message":"Password should contain at least one character of each: 0123456789","weak_password":{"reasons":["characters"]}})",
         weak},
        {400, R"({"code":400,"error_code":"email_address_invalid","msg":"Email address \"ana@example\" is invalid"})",
         badEmail},
        {400,
         R"({"code":400,"error_code":"validation_failed","msg":"Unable to validate email address: invalid format"})",
         badEmail},
        {400, R"({"code":400,"error_code":"validation_failed","msg":"missing email or phone"})", badEmail},
        // The same code refuses a password the user typed; the e-mail is not what is wrong then.
        {400, R"({"code":400,"error_code":"validation_failed","msg":"Password cannot be longer than 72 characters"})",
         L"El servidor rechazó la petición (error 400): Password cannot be longer than 72 characters"},
        {400, R"({"code":400,"error_code":"validation_failed","msg":"Signup requires a valid password"})",
         L"El servidor rechazó la petición (error 400): Signup requires a valid password"},
        {422,
         R"({"code":422,"error_code":"same_password","msg":"New password should be different from the old password."})",
         L"La nueva contraseña es igual a la actual"},
        {400,
         R"({"code":400,"error_code":"reauthentication_needed","msg":"Password update requires reauthentication"})",
         L"Por seguridad, cierra sesión y vuelve a entrar antes de cambiar la contraseña"},
        {429, R"({"code":429,"error_code":"over_email_send_rate_limit","msg":"email rate limit exceeded"})", tooMany},
        {429, R"({"code":429,"error_code":"over_request_rate_limit","msg":"Request rate limit reached"})", tooMany},
        {429, "", tooMany},
        {422, R"({"code":422,"error_code":"signup_disabled","msg":"Signups not allowed for this instance"})",
         L"El registro de cuentas está desactivado"},
        {400,
         R"({"code":400,"error_code":"refresh_token_not_found","msg":"Invalid Refresh Token: Refresh Token Not Found"})",
         L"El servidor rechazó la petición (error 400): Invalid Refresh Token: Refresh Token Not Found"},
        // Codes compare exactly.
        {400, R"({"code":400,"error_code":"INVALID_CREDENTIALS","msg":"Otra cosa"})",
         L"El servidor rechazó la petición (error 400): Otra cosa"},
        // Table API.
        {404,
         R"({"code":"PGRST205","details":null,"hint":"Perhaps you meant the table 'public.items'","message":"Could not find the table 'public.velmorin_items' in the schema cache"})",
         setUp},
        {404,
         R"({"code":"42P01","details":null,"hint":null,"message":"relation \"public.velmorin_items\" does not exist"})",
         setUp},
        {404, "", setUp},
        {401, R"({"code":"PGRST301","details":null,"hint":null,"message":"JWT expired"})",
         L"El servidor no permitió el acceso (error 401): JWT expired"},
        // Storage answers 400 with the real status inside; the gateway rejects a wrong key.
        {400, R"({"statusCode":"403","error":"Unauthorized","message":"new row violates row-level security policy"})",
         L"El servidor no permitió el acceso (error 403): new row violates row-level security policy"},
        {400, R"({"statusCode":"404","error":"not_found","message":"Object not found"})",
         L"El servidor no encontró lo pedido (error 404): Object not found"},
        // A missing bucket is the set-up's as a missing table is, in both of storage's forms.
        {400, R"({"statusCode":"404","code":"NoSuchBucket","error":"NoSuchBucket","message":"Bucket not found"})",
         setUp},
        {400, R"({"statusCode":"404","error":"Bucket not found","message":"Bucket not found"})", setUp},
        // What sets an item aside: a name storage does not take (its code only in "error" in the
        // form the hosted service answers with, also in "code" in newer versions), a picture over
        // the bucket's limits, a NUL the table cannot store.
        {400, R"({"statusCode":"400","error":"InvalidKey","message":"Invalid key: u/niña.png"})",
         L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)"},
        {400, R"({"statusCode":"400","code":"InvalidKey","error":"InvalidKey","message":"Invalid key: u/foto~1.png"})",
         L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)"},
        {400,
         R"({"statusCode":"413","error":"Payload too large","message":"The object exceeded the maximum allowed size"})",
         L"La imagen es demasiado grande para la nube"},
        {400, R"({"statusCode":"415","error":"invalid_mime_type","message":"mime type text/plain is not supported"})",
         L"La nube no admite ese tipo de archivo"},
        {400,
         R"({"code":"22P05","details":"\\u0000 cannot be converted to text.","hint":null,"message":"unsupported Unicode escape sequence"})",
         L"El texto contiene un carácter nulo, que la nube no admite"},
        {401, R"({"message":"Invalid API key","hint":"Double check your Supabase `anon` or `service_role` API key."})",
         L"El servidor no permitió el acceso (error 401): Invalid API key"},
        // Otherwise what the status means, in Spanish, followed by the first non-empty string among
        // msg, error_description, message, error, as received.
        {400, R"({"msg":"","error_description":7,"message":"Fallo RARO Ü","error":"otro"})",
         L"El servidor rechazó la petición (error 400): Fallo RARO Ü"},
        {400, R"({"error":"not_found"})", L"El servidor rechazó la petición (error 400): not_found"},
        {500, "", L"El servidor tuvo un fallo (error 500)"},
        {500, R"({"code":"XX000","details":null,"hint":null,"message":"internal error"})",
         L"El servidor tuvo un fallo (error 500): internal error"},
        {502, "<html><body>Bad gateway</body></html>", L"El servidor tuvo un fallo (error 502)"},
        {500, R"({"code":500,"error_code":"unexpected_failure"})", L"El servidor tuvo un fallo (error 500)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorText(Answer(c.status, c.body)), c.text) << c.status << " " << c.body;
    }
}

TEST(SupabaseAuth, OnlyARefusalOfTheAccessTokenAsksForARenewal) {
    struct Case {
        uint32_t status;
        std::string body;
        bool refused;
    };
    const Case cases[] = {
        {401, R"({"code":"PGRST301","details":null,"hint":null,"message":"JWT expired"})", true},
        // Storage: 400 with the JWT check's words, in the current and the older form.
        {400, R"({"statusCode":"403","code":"AccessDenied","error":"Unauthorized","message":"jwt expired"})", true},
        {400, R"({"statusCode":"403","error":"Unauthorized","message":"invalid signature"})", true},
        {400, R"({"statusCode":"400","error":"jwt expired","message":"jwt expired"})", true},
        {400, R"({"statusCode":"403","error":"Unauthorized","message":"new row violates row-level security policy"})",
         false},
        {400, R"({"statusCode":"400","code":"InvalidKey","error":"InvalidKey","message":"Invalid key: u/x~.png"})",
         false},
        // The user endpoint: a token it cannot verify, or whose session ended elsewhere.
        {403, R"({"code":403,"error_code":"bad_jwt","msg":"invalid JWT: token is expired"})", true},
        {403,
         R"({"code":403,"error_code":"session_not_found","msg":"Session from session_id claim in JWT does not exist"})",
         true},
        {403, R"({"code":403,"error_code":"user_not_found","msg":"User from sub claim in JWT does not exist"})", false},
        {403, R"({"code":403,"error_code":"reauthentication_needed","msg":"x"})", false},
        {500, R"({"message":"jwt expired"})", false},
        {0, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TokenRefused(Answer(c.status, c.body)), c.refused) << c.status << " " << c.body;
    }
}

TEST(SupabaseAuth, NeedsRefreshWithin119SecondsOrWithoutAToken) {
    const int64_t now = 1700000000;
    struct Case {
        const char* accessToken;
        int64_t expiresAt;
        bool needed;
    };
    const Case cases[] = {
        {"eyJ.a.b", now + 119, true},
        {"eyJ.a.b", now + 120, false},
        {"eyJ.a.b", now - 5, true},
        {"eyJ.a.b", 0, true},
        {"", now + 3600, true},
        // Whatever number a damaged file or a server gives, the comparison does not overflow.
        {"eyJ.a.b", std::numeric_limits<int64_t>::min(), true},
        {"eyJ.a.b", std::numeric_limits<int64_t>::max(), false},
    };
    for (const Case& c : cases) {
        Account account;
        account.accessToken = c.accessToken;
        account.refreshToken = "v1.rt";
        account.expiresAt = c.expiresAt;
        EXPECT_EQ(NeedsRefresh(account, now), c.needed) << c.accessToken << " " << c.expiresAt;
    }
    // The one-argument form reads this machine's clock.
    Account account = SignedInAccount();
    account.expiresAt = UnixNow() + 3600;
    EXPECT_FALSE(NeedsRefresh(account));
    account.expiresAt = UnixNow() + 60;
    EXPECT_TRUE(NeedsRefresh(account));
}

TEST(SupabaseAuth, OnlyTheTokenEndpointRefusingTheTokenEndsTheSession) {
    struct Case {
        uint32_t status;
        std::string body;
        bool refused;
    };
    const Case cases[] = {
        {400,
         R"({"code":400,"error_code":"refresh_token_not_found","msg":"Invalid Refresh Token: Refresh Token Not Found"})",
         true},
        {400, R"({"code":400,"error_code":"refresh_token_already_used","msg":"Invalid Refresh Token: Already Used"})",
         true},
        {400,
         R"j({"code":400,"error_code":"session_expired","msg":"Invalid Refresh Token: Session Expired (Inactivity)"})j",
         true},
        {400, R"({"code":400,"error_code":"session_not_found","msg":"Invalid Refresh Token: No Valid Session Found"})",
         true},
        {400, R"({"code":"refresh_token_already_used","message":"Invalid Refresh Token: Already Used"})", true},
        {400, R"({"error":"invalid_grant","error_description":"Invalid Refresh Token: Refresh Token Not Found"})",
         true},
        // Not about the token: an outage, a rate limit, a race between two renewals, a wrong key.
        {0, "", false},
        {500,
         R"({"code":500,"error_code":"unexpected_failure","msg":"Unexpected failure, please check server logs for more information"})",
         false},
        {503, "<html>upstream connect error</html>", false},
        {502, R"({"message":"Invalid Refresh Token: Refresh Token Not Found"})", false},
        {429, R"({"code":429,"error_code":"over_request_rate_limit","msg":"Request rate limit reached"})", false},
        {409,
         R"({"code":409,"error_code":"conflict","msg":"Too many concurrent token refresh requests on the same session or refresh token"})",
         false},
        {401, R"({"message":"Invalid API key","hint":"Double check your Supabase `anon` or `service_role` API key."})",
         false},
        {400, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RefreshRefused(c.status, c.body), c.refused) << c.status << " " << c.body;
    }
}

TEST(SupabaseAuth, RenewalResultSaysWhetherTheSessionIsOver) {
    struct Case {
        const char* name;
        std::function<FakeReply()> reply;  // empty: nothing listens
        bool ok;
        bool networkError;
        bool sessionRefused;
    };
    const Case cases[] = {
        {"renewed", [] { return FakeReply::Json(200, SessionReply("\"expires_in\":3600")); }, true, false, false},
        {"token already used",
         [] {
             return FakeReply::Json(
                 400,
                 R"({"code":400,"error_code":"refresh_token_already_used","msg":"Invalid Refresh Token: Already Used"})");
         },
         false, false, true},
        {"server fault",
         [] {
             return FakeReply::Json(500,
                                    R"({"code":500,"error_code":"unexpected_failure","msg":"Unexpected failure"})");
         },
         false, false, false},
        {"rate limit",
         [] {
             return FakeReply::Json(
                 429, R"({"code":429,"error_code":"over_request_rate_limit","msg":"Request rate limit reached"})");
         },
         false, false, false},
        {"no connection", nullptr, false, true, false},
    };
    for (const Case& c : cases) {
        FakeHttpServer server;
        if (c.reply) {
            server.Enqueue(c.reply());
        }
        PointAt point(c.reply ? server.Url(L"") : L"http://127.0.0.1:" + std::to_wstring(Testing::UnusedLocalPort()));

        const AuthResult result = Refresh("v1.rt-old");

        EXPECT_EQ(result.ok, c.ok) << c.name;
        EXPECT_EQ(result.networkError, c.networkError) << c.name;
        EXPECT_EQ(result.sessionRefused, c.sessionRefused) << c.name;
        EXPECT_EQ(result.account.refreshToken, c.ok ? "v1.rt-new" : "") << c.name;
    }
}

}  // namespace
}  // namespace Lorvex::Services::Supabase

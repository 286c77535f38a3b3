// The authentication requests and how their answers become a session.

#include "services/sync/Supabase.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "App/Config/Config.h"
#include "foundation/Text.h"

namespace Lorvex::Services::Supabase {

namespace {

constexpr uint32_t kAuthTimeoutMs = 20000;
constexpr uint32_t kLogoutTimeoutMs = 10000;
constexpr int64_t kDefaultLifetimeSeconds = 3600;
constexpr int64_t kRefreshMarginSeconds = 119;

Http::Response SendJson(const std::wstring& method, const std::wstring& path, Http::Headers headers,
                        const Json::Value& body) {
    Http::Request request;
    request.method = method;
    request.url = Url(path);
    request.headers = std::move(headers);
    request.body = body.Dump(false);
    request.contentType = L"application/json";
    request.timeout = kAuthTimeoutMs;
    return Http::Send(request);
}

// A whole number that fits in int64; none for fractions, infinities and the rest.
std::optional<int64_t> WholeNumber(double number) {
    if (!std::isfinite(number) || std::floor(number) != number || number < -9223372036854775808.0 ||
        number >= 9223372036854775808.0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(number);
}

// A number of seconds given as a JSON number or as a numeric string.
std::optional<int64_t> ReadSeconds(const Json::Value& value) {
    if (value.kind == Json::Type::Number) {
        return WholeNumber(std::round(value.number));
    }
    if (value.kind == Json::Type::String) {
        return Text::TryParseInt(Text::ToWide(value.text));
    }
    return std::nullopt;
}

// A user field as text: strings as they are, whole numbers and booleans written out, else empty.
std::wstring FieldText(const Json::Value& value) {
    switch (value.kind) {
    case Json::Type::String:
        return Text::ToWide(value.text);
    case Json::Type::Bool:
        return value.boolean ? L"true" : L"false";
    case Json::Type::Number: {
        const std::optional<int64_t> whole = WholeNumber(value.number);
        return whole ? std::to_wstring(*whole) : std::wstring();
    }
    default:
        return std::wstring();
    }
}

void ReadUser(const Json::Value& user, Account& account) {
    if (user.kind != Json::Type::Object) {
        account.userId.clear();
        account.email.clear();
        account.displayName.clear();
        account.avatarFile.clear();
        return;
    }
    const Json::Value& metadata = user.Find("user_metadata");
    account.userId = FieldText(user.Find("id"));
    account.email = FieldText(user.Find("email"));
    account.displayName = FieldText(metadata.Find("display_name"));
    account.avatarFile = FieldText(metadata.Find("avatar"));
}

// a + b, held at the ends of int64 instead of overflowing: the lifetime is whatever the answer says.
int64_t SaturatingAdd(int64_t a, int64_t b) {
    if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) {
        return std::numeric_limits<int64_t>::max();
    }
    if (b < 0 && a < std::numeric_limits<int64_t>::min() - b) {
        return std::numeric_limits<int64_t>::min();
    }
    return a + b;
}

// The local expiry of a new access token. The lifetime wins over the server's absolute time: the
// two clocks may differ, and a token this machine believes valid for longer than it is would
// fail its first request after the real expiry.
int64_t ReadExpiry(const Json::Value& reply) {
    if (const std::optional<int64_t> lifetime = ReadSeconds(reply.Find("expires_in"))) {
        return SaturatingAdd(UnixNow(), *lifetime);
    }
    const Json::Value& expiresAt = reply.Find("expires_at");
    if (expiresAt.kind == Json::Type::Number) {
        return expiresAt.AsInt64();
    }
    return UnixNow() + kDefaultLifetimeSeconds;
}

AuthResult Failure(const Http::Response& response) {
    AuthResult result;
    result.networkError = response.status == 0;
    result.error = ErrorText(response);
    return result;
}

AuthResult ReadAuthReply(const Http::Response& response, bool signIn) {
    if (!Http::IsSuccess(response.status)) {
        return Failure(response);
    }
    AuthResult result;
    const Json::Value reply = Json::Value::Parse(response.body);
    const Json::Value& accessToken = reply.Find("access_token");
    const Json::Value& refreshToken = reply.Find("refresh_token");
    // An account is signed in exactly while it holds a refresh token: a session without one would
    // look like success and leave the user signed out.
    if (accessToken.kind == Json::Type::String && refreshToken.kind == Json::Type::String &&
        !refreshToken.text.empty()) {
        result.ok = true;
        result.account.accessToken = accessToken.text;
        result.account.refreshToken = refreshToken.text;
        result.account.expiresAt = ReadExpiry(reply);
        ReadUser(reply.Find("user"), result.account);
        return result;
    }
    if (signIn) {
        result.error = L"Respuesta inesperada del servidor";
        return result;
    }
    // With e-mail confirmation on, the backend answers a sign-up for a registered address with a
    // user without identities instead of an error, so that addresses cannot be probed.
    const Json::Value& identities = reply.Find("identities");
    if (identities.kind == Json::Type::Array && identities.Size() == 0) {
        result.error = L"Ya existe una cuenta con ese email";
        return result;
    }
    result.ok = true;
    result.needsConfirmation = true;
    return result;
}

}  // namespace

std::wstring Url(const std::wstring& path) {
    return Config::SupabaseUrl() + path;
}

Http::Headers ApiKeyHeaders() {
    return {{L"apikey", Config::SupabaseKey()}};
}

Http::Headers AuthHeaders(const Account& account) {
    Http::Headers headers = ApiKeyHeaders();
    headers.push_back(Http::AuthorizationHeader(L"Bearer " + Text::ToWide(account.accessToken)));
    return headers;
}

Json::Value CredentialsBody(const std::wstring& email, const std::wstring& password) {
    Json::Value body;
    body["email"] = Json::Value(Text::Trim(email));
    body["password"] = Json::Value(password);
    return body;
}

AuthResult PostAuth(const std::wstring& path, const Json::Value& body, bool signIn) {
    return ReadAuthReply(SendJson(L"POST", path, ApiKeyHeaders(), body), signIn);
}

AuthResult SignIn(const std::wstring& email, const std::wstring& password) {
    return PostAuth(L"/auth/v1/token?grant_type=password", CredentialsBody(email, password), true);
}

AuthResult SignUp(const std::wstring& email, const std::wstring& password) {
    return PostAuth(L"/auth/v1/signup", CredentialsBody(email, password), false);
}

AuthResult Refresh(const std::string& refreshToken) {
    Json::Value body;
    body["refresh_token"] = Json::Value(refreshToken);
    const Http::Response response =
        SendJson(L"POST", L"/auth/v1/token?grant_type=refresh_token", ApiKeyHeaders(), body);
    AuthResult result = ReadAuthReply(response, true);
    result.sessionRefused = RefreshRefused(response.status, response.body);
    return result;
}

AuthResult UpdateUser(const Account& account, const Json::Value& body) {
    const Http::Response response = SendJson(L"PUT", L"/auth/v1/user", AuthHeaders(account), body);
    if (!Http::IsSuccess(response.status)) {
        AuthResult result = Failure(response);
        result.tokenRefused = TokenRefused(response);
        return result;
    }
    AuthResult result;
    result.ok = true;
    ReadUser(Json::Value::Parse(response.body), result.account);
    return result;
}

void Logout(const Account& account) {
    if (account.accessToken.empty()) {
        return;
    }
    Http::Request request;
    request.method = L"POST";
    // Without a scope the server ends every session of the user, signing out the other PCs too.
    request.url = Url(L"/auth/v1/logout?scope=local");
    request.headers = AuthHeaders(account);
    request.timeout = kLogoutTimeoutMs;
    Http::Send(request);
}

int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool NeedsRefresh(const Account& account, int64_t now) {
    // The expiry may come from the account file or the server as any number: the difference is
    // taken only when it cannot overflow.
    return account.accessToken.empty() || account.expiresAt <= now || account.expiresAt - now <= kRefreshMarginSeconds;
}

bool NeedsRefresh(const Account& account) {
    return NeedsRefresh(account, UnixNow());
}

}  // namespace Lorvex::Services::Supabase

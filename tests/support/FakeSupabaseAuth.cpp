// FakeSupabase's authentication service, as GoTrue answers: password sign-in, sign-up with and
// without e-mail confirmation, refresh with single-use rotating refresh tokens, the user's own
// record and its update, logout.

#include <algorithm>
#include <optional>
#include <string>

#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {

namespace {

constexpr size_t kMinPasswordLength = 6;
// Passwords are bcrypt hashes, which read only the first 72 bytes.
constexpr size_t kMaxPasswordLength = 72;
// The shortest time between two confirmation mails to one address.
constexpr int64_t kConfirmationMailGapMicros = 60 * 1000000LL;

Json::Value AppMetadata() {
    Json::Value metadata;
    metadata["provider"] = Json::Value("email");
    metadata["providers"] = Json::Value(Json::Array{Json::Value("email")});
    return metadata;
}

Json::Value Identity(const FakeUserRecord& user) {
    Json::Value data;
    data["email"] = Json::Value(user.email);
    data["email_verified"] = Json::Value(user.confirmed);
    data["phone_verified"] = Json::Value(false);
    data["sub"] = Json::Value(user.id);
    Json::Value identity;
    identity["identity_id"] = Json::Value(user.id);
    identity["id"] = Json::Value(user.id);
    identity["user_id"] = Json::Value(user.id);
    identity["identity_data"] = data;
    identity["provider"] = Json::Value("email");
    identity["last_sign_in_at"] = Json::Value(GoTime(user.createdMicros));
    identity["created_at"] = Json::Value(GoTime(user.createdMicros));
    identity["updated_at"] = Json::Value(GoTime(user.updatedMicros));
    identity["email"] = Json::Value(user.email);
    return identity;
}

// The user object of every answer that carries one; with identities empty for the stand-in that
// sign-up returns for a confirmed e-mail, so the answer does not tell whether it is registered.
Json::Value UserJson(const FakeUserRecord& user, bool withIdentities = true) {
    Json::Value json;
    json["id"] = Json::Value(user.id);
    json["aud"] = Json::Value("authenticated");
    json["role"] = Json::Value("authenticated");
    json["email"] = Json::Value(user.email);
    if (user.confirmed) {
        json["email_confirmed_at"] = Json::Value(GoTime(user.createdMicros));
    }
    json["phone"] = Json::Value("");
    if (user.confirmed) {
        json["confirmed_at"] = Json::Value(GoTime(user.createdMicros));
    } else {
        json["confirmation_sent_at"] = Json::Value(GoTime(user.updatedMicros));
    }
    if (user.lastSignInMicros != 0) {
        json["last_sign_in_at"] = Json::Value(GoTime(user.lastSignInMicros));
    }
    json["app_metadata"] = AppMetadata();
    json["user_metadata"] = Jsonb(user.metadata);
    json["identities"] = withIdentities ? Json::Value(Json::Array{Identity(user)}) : Json::Value::EmptyArray();
    json["created_at"] = Json::Value(GoTime(user.createdMicros));
    json["updated_at"] = Json::Value(GoTime(user.updatedMicros));
    json["is_anonymous"] = Json::Value(false);
    return json;
}

Json::Value SessionJson(const FakeSession& session, int64_t lifetime, const FakeUserRecord& user) {
    Json::Value json;
    json["access_token"] = Json::Value(session.accessToken);
    json["token_type"] = Json::Value("bearer");
    json["expires_in"] = Json::Value(static_cast<long long>(lifetime));
    json["expires_at"] = Json::Value(static_cast<long long>(session.expiresAt));
    json["refresh_token"] = Json::Value(session.refreshToken);
    json["user"] = UserJson(user);
    return json;
}

// The body as an object; none (with the answer set) when it is not one.
std::optional<Json::Value> JsonBody(const Incoming& request, FakeAnswer& refusal) {
    bool ok = false;
    Json::Value body = Json::Value::Parse(request.raw.body, &ok);
    if (!ok || body.kind != Json::Type::Object) {
        refusal = AuthError(400, "bad_json", "Could not parse request body as JSON: invalid character");
        return std::nullopt;
    }
    return body;
}

bool ValidEmail(const std::string& email) {
    const size_t at = email.find('@');
    return at != std::string::npos && at > 0 && email.find('@', at + 1) == std::string::npos &&
           email.find('.', at) != std::string::npos && email.back() != '.' &&
           email.find_first_of(" \t\r\n") == std::string::npos;
}

// The refusal of a new password, counted in bytes as the service does; none when it passes.
std::optional<FakeAnswer> PasswordRefusal(const std::string& password) {
    if (password.size() > kMaxPasswordLength) {
        return AuthError(400, "validation_failed", "Password cannot be longer than 72 characters");
    }
    if (password.size() >= kMinPasswordLength) {
        return std::nullopt;
    }
    FakeAnswer answer = AuthError(422, "weak_password", "Password should be at least 6 characters.");
    bool ok = false;
    Json::Value body = Json::Value::Parse(answer.body, &ok);
    body["weak_password"]["reasons"] = Json::Value(Json::Array{Json::Value("length")});
    answer.body = body.Dump(false);
    return answer;
}

// What the service's bearer pattern accepts: "Bearer " or "bearer ", then one run of non-spaces.
bool BearerShaped(const std::optional<std::string>& authorization) {
    if (!authorization || (authorization->rfind("Bearer ", 0) != 0 && authorization->rfind("bearer ", 0) != 0)) {
        return false;
    }
    const std::string token = authorization->substr(7);
    return !token.empty() && token.find_first_of(" \t\r\n") == std::string::npos;
}

}  // namespace

FakeAnswer FakeSupabase::State::HandleAuth(const Incoming& request) {
    if (authRateLimited) {
        return AuthError(429, "over_request_rate_limit", "Request rate limit reached");
    }
    const std::string& method = request.raw.method;
    const std::string route = request.path.substr(std::string("/auth/v1").size());
    FakeAnswer refusal;

    // The routes that act for a signed-in user read the bearer token first.
    if (route == "/user" || route == "/logout") {
        if (!((route == "/user" && (method == "GET" || method == "PUT")) || (route == "/logout" && method == "POST"))) {
            return TextAnswer(405, "text/plain", "");
        }
        if (!BearerShaped(request.raw.Header("Authorization"))) {
            return AuthError(401, "no_authorization", "This endpoint requires a Bearer token");
        }
        const Caller caller = Identify(request.raw);
        switch (caller.kind) {
        case Caller::Kind::Anonymous:  // the project key in the bearer is no user's token
        case Caller::Kind::Unknown:
            return AuthError(403, "bad_jwt",
                             "invalid JWT: unable to parse or verify signature, token signature is invalid: "
                             "signature is invalid");
        case Caller::Kind::Expired:
            return AuthError(403, "bad_jwt",
                             "invalid JWT: unable to parse or verify signature, token has invalid claims: token is "
                             "expired");
        case Caller::Kind::User:
            break;
        }
        bool sessionLive = false;
        for (const auto& [token, record] : refreshTokens) {
            sessionLive = sessionLive || record.sessionId == caller.sessionId;
        }
        // Every route behind the token, logout included, first loads the user and the session the
        // token names.
        FakeUserRecord* user = FindUserById(caller.userId);
        if (!user) {
            return AuthError(403, "user_not_found", "User from sub claim in JWT does not exist");
        }
        if (!sessionLive) {
            return AuthError(403, "session_not_found", "Session from session_id claim in JWT does not exist");
        }
        if (route == "/logout") {
            // The default scope ends every session of the user; "local" only this one, "others"
            // all the rest.
            const std::string scope = request.Query("scope").value_or("global");
            for (auto it = refreshTokens.begin(); it != refreshTokens.end();) {
                const bool same = it->second.sessionId == caller.sessionId;
                const bool ends = it->second.userId == caller.userId && (scope == "local"    ? same
                                                                         : scope == "others" ? !same
                                                                                             : true);
                it = ends ? refreshTokens.erase(it) : std::next(it);
            }
            return FakeAnswer{204, {}, {}};
        }
        if (method == "GET") {
            return JsonAnswer(200, UserJson(*user));
        }
        const auto body = JsonBody(request, refusal);
        if (!body) {
            return refusal;
        }
        const Json::Value& password = body->Find("password");
        if (password.kind == Json::Type::String) {
            if (std::optional<FakeAnswer> weak = PasswordRefusal(password.text)) {
                return *weak;
            }
            if (password.text == user->password) {
                return AuthError(422, "same_password", "New password should be different from the old password.");
            }
        }
        const Json::Value& data = body->Find("data");
        if (data.kind == Json::Type::Object) {
            // Named keys replace the stored ones, and a null value removes its key.
            Json::Object kept;
            for (const auto& [key, value] : user->metadata.Members()) {
                const bool named = std::any_of(data.Members().begin(), data.Members().end(),
                                               [&](const auto& member) { return member.first == key; });
                if (!named) {
                    kept.emplace_back(key, value);
                }
            }
            for (const auto& [key, value] : data.Members()) {
                if (value.kind != Json::Type::Null) {
                    kept.emplace_back(key, value);
                }
            }
            user->metadata = Jsonb(Json::Value(std::move(kept)));
        }
        if (password.kind == Json::Type::String) {
            user->password = password.text;
            // A new password ends every other session of the user; this one goes on.
            for (auto it = refreshTokens.begin(); it != refreshTokens.end();) {
                const bool other = it->second.userId == user->id && it->second.sessionId != caller.sessionId;
                it = other ? refreshTokens.erase(it) : std::next(it);
            }
        }
        user->updatedMicros = NowMicros();
        return JsonAnswer(200, UserJson(*user));
    }

    if (method != "POST" || (route != "/token" && route != "/signup")) {
        return TextAnswer(404, "text/plain; charset=utf-8", "404 page not found\n");
    }
    const auto body = JsonBody(request, refusal);
    if (!body) {
        return refusal;
    }

    if (route == "/token") {
        const std::string grant = request.Query("grant_type").value_or("");
        if (grant == "password") {
            const std::string email = body->Find("email").AsString();
            if (email.empty()) {
                return AuthError(400, "validation_failed", "missing email or phone");
            }
            FakeUserRecord* user = FindUser(email);
            if (!user || body->Find("password").kind != Json::Type::String ||
                body->Find("password").text != user->password) {
                return AuthError(400, "invalid_credentials", "Invalid login credentials");
            }
            if (!user->confirmed) {
                return AuthError(400, "email_not_confirmed", "Email not confirmed");
            }
            return JsonAnswer(200, SessionJson(StartSession(*user), tokenLifetime, *user));
        }
        if (grant == "refresh_token") {
            const std::string token = body->Find("refresh_token").AsString();
            if (token.empty()) {
                Json::Value error;
                error["error"] = Json::Value("invalid_request");
                error["error_description"] = Json::Value("refresh_token required");
                return JsonAnswer(400, error);
            }
            const auto found = refreshTokens.find(token);
            if (found == refreshTokens.end()) {
                return AuthError(400, "refresh_token_not_found", "Invalid Refresh Token: Refresh Token Not Found");
            }
            const FakeRefreshToken used = found->second;
            if (used.revoked) {
                // A rotated token presented again: the whole session's family is revoked, so
                // whoever holds the newer token is signed out too.
                for (auto& [other, record] : refreshTokens) {
                    record.revoked = record.revoked || record.sessionId == used.sessionId;
                }
                return AuthError(400, "refresh_token_already_used", "Invalid Refresh Token: Already Used");
            }
            FakeUserRecord* user = FindUserById(used.userId);
            if (!user) {
                return AuthError(400, "refresh_token_not_found", "Invalid Refresh Token: Refresh Token Not Found");
            }
            found->second.revoked = true;
            return JsonAnswer(200, SessionJson(IssueTokens(user->id, used.sessionId), tokenLifetime, *user));
        }
        return AuthError(400, "validation_failed", "unsupported_grant_type");
    }

    // Sign-up: the password is judged before the address is.
    const std::string email = body->Find("email").AsString();
    const Json::Value& password = body->Find("password");
    if (password.kind != Json::Type::String || password.text.empty()) {
        return AuthError(400, "validation_failed", "Signup requires a valid password");
    }
    if (std::optional<FakeAnswer> weak = PasswordRefusal(password.text)) {
        return *weak;
    }
    if (email.empty()) {
        return AuthError(400, "validation_failed", "Sign up only available with email provider");
    }
    if (!ValidEmail(email)) {
        return AuthError(400, "validation_failed", "Unable to validate email address: invalid format");
    }
    const Json::Value signUpData =
        body->Find("data").kind == Json::Type::Object ? Jsonb(body->Find("data")) : Json::Value(Json::Object{});
    if (FakeUserRecord* existing = FindUser(email)) {
        if (!confirmationRequired) {
            return AuthError(422, "user_already_exists", "User already registered");
        }
        if (!existing->confirmed) {
            // The confirmation mail goes out again, but not twice within a minute. An unconfirmed
            // user's updatedMicros is when the last one went out.
            const int64_t wait = existing->updatedMicros + kConfirmationMailGapMicros - NowMicros();
            if (wait > 0) {
                return AuthError(429, "over_email_send_rate_limit",
                                 "For security purposes, you can only request this after " +
                                     std::to_string(wait / 1000000) + " seconds.");
            }
            existing->updatedMicros = NowMicros();
            return JsonAnswer(200, UserJson(*existing));
        }
        // The registered user's stand-in, with nothing of theirs in it: a fresh id, no role, no
        // identities, and the metadata this request sent.
        FakeUserRecord standIn;
        standIn.id = NewUuid();
        standIn.email = existing->email;
        standIn.confirmed = false;
        standIn.metadata = signUpData;
        standIn.createdMicros = standIn.updatedMicros = NowMicros();
        Json::Value answer = UserJson(standIn, false);
        answer["role"] = Json::Value("");
        return JsonAnswer(200, answer);
    }
    FakeUserRecord user;
    user.id = NewUuid();
    user.email = LowerAscii(email);
    user.password = password.text;
    user.confirmed = !confirmationRequired;
    user.metadata = signUpData;
    user.createdMicros = user.updatedMicros = NowMicros();
    users.push_back(user);
    FakeUserRecord& stored = users.back();
    if (confirmationRequired) {
        return JsonAnswer(200, UserJson(stored));
    }
    return JsonAnswer(200, SessionJson(StartSession(stored), tokenLifetime, stored));
}

}  // namespace Lorvex::Testing

#pragma once
// The client of the cloud backend's authentication API: e-mail and password to a session, session
// renewal, user update and sign-out, the header lists the table and storage requests reuse, and the
// one Spanish sentence a failed backend answer becomes. Every call blocks on one HTTPS request and
// keeps no state, so any worker thread may call it (never the UI thread). Nothing throws: failures
// come back in the result (networkError when no answer arrived at all) or are ignored (Logout).

#include <cstdint>
#include <string>

#include "foundation/json/Value.h"
#include "foundation/net/Http.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Services::Supabase {

using Account = CloudSync::Account;

// Outcome of sign-in, sign-up, renewal and user update.
struct AuthResult {
    bool ok = false;
    // No HTTP answer arrived (status 0): the connection is missing, the server did not refuse.
    bool networkError = false;
    // Sign-up accepted without a session: the e-mail address must be confirmed first.
    bool needsConfirmation = false;
    // The session and user read from the answer; the tokens stay empty for a user update and for a
    // sign-up that waits for confirmation.
    Account account;
    std::wstring error;  // Spanish, when ok is false
    // Renewal only: the token endpoint refused the refresh token itself, so the session is over
    // and the account must be signed out locally. A 5xx, a 429 or a lost connection leave it false.
    bool sessionRefused = false;
    // User update only: the access token was refused (see TokenRefused); a renewal may help.
    bool tokenRefused = false;
};

// The backend's base URL followed by the path (which starts with '/').
std::wstring Url(const std::wstring& path);

// ("apikey", the project's publishable key).
Http::Headers ApiKeyHeaders();
// The apikey pair, then ("Authorization", "Bearer " + the account's access token).
Http::Headers AuthHeaders(const Account& account);

// {"email": the address without surrounding whitespace, "password": the password as typed}.
Json::Value CredentialsBody(const std::wstring& email, const std::wstring& password);

// POSTs the body to the path and reads a session from a 2xx answer. signIn is true for sign-in and
// renewal (an answer without a session is unexpected), false for sign-up (an answer without a
// session waits for confirmation, or names an address already registered).
AuthResult PostAuth(const std::wstring& path, const Json::Value& body, bool signIn);

AuthResult SignIn(const std::wstring& email, const std::wstring& password);
AuthResult SignUp(const std::wstring& email, const std::wstring& password);
// Renews the session; on success the account carries the new tokens, expiry and user.
AuthResult Refresh(const std::string& refreshToken);
// Refresh, one at a time for the whole process. Refresh tokens are single-use: a round and a
// profile update renewing with the same token at once would see the second refused and sign the
// account out. A token that was renewed a moment ago gets the pair that renewal gave.
AuthResult RenewSession(const std::string& refreshToken);
// PUTs the body to the user; on success the account carries the user the answer returns (no tokens).
AuthResult UpdateUser(const Account& account, const Json::Value& body);
// Ends this session on the server when there is an access token, leaving the user's sessions on
// other PCs alone; the outcome does not matter.
void Logout(const Account& account);

// Seconds since 1970-01-01 UTC by this machine's clock.
int64_t UnixNow();
// True when the access token is empty or expires within 119 seconds of now.
bool NeedsRefresh(const Account& account, int64_t now);
bool NeedsRefresh(const Account& account);

// True when a failed renewal answer is the token endpoint refusing the refresh token (used,
// revoked, unknown, or its session ended), as opposed to a server fault, a rate limit or a
// gateway that rejects the project key.
bool RefreshRefused(uint32_t status, const std::string& body);

// True when an answer refuses the access token itself (expired, forged, or its session ended
// elsewhere), so that renewing the session and asking again may succeed: the table's 401,
// storage's 400 whose body gives the JWT check's words, and the authentication API's 403
// "bad_jwt" or "session_not_found".
bool TokenRefused(const Http::Response& response);

// The user-facing text of a failed answer of the authentication API, the table API or storage.
std::wstring ErrorText(const Http::Response& response);
// The same for an answer of storage, where a real HTTP 413 or 415 (a gateway or proxy in front of
// storage answers so in its own name, often with a page that is not JSON, or nothing) reads as
// storage's own refusal of that status does.
std::wstring StorageErrorText(const Http::Response& response);

}  // namespace Lorvex::Services::Supabase

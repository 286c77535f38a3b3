// The authentication client against the stateful fake backend: a user's first session from
// sign-up to renewal and profile update, and every refusal the service gives on the way becoming
// the Spanish text the account dialog shows. Where the scripted tests check each answer alone,
// these check that the client's requests are ones the service accepts and that one renewal's
// tokens are the ones the next renewal needs.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "services/sync/Supabase.h"
#include "tests/support/FakeSupabase.h"

namespace Lorvex::Services::Supabase {
namespace {

using Testing::FakeFault;
using Testing::FakeSession;
using Testing::FakeSupabase;

// Points the client at the fake for one test, then back.
class Backend {
public:
    Backend() : savedUrl_(Config::SupabaseUrl()), savedKey_(Config::SupabaseKey()) {
        Config::SetSupabaseForTesting(fake.BaseUrl(), Text::ToWide(fake.ApiKey()));
    }
    ~Backend() { Config::SetSupabaseForTesting(savedUrl_, savedKey_); }
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    FakeSupabase fake;

private:
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

// The backend with one confirmed user who holds a session.
struct OneSession {
    Backend backend;
    FakeSupabase& fake = backend.fake;
    std::string userId = fake.AddUser("ana@example.com", "secreto1");
    FakeSession session = fake.IssueSession("ana@example.com").value_or(FakeSession{});
};

TEST(SupabaseAgainstBackend, SignUpConfirmSignInRenewAndUpdateTheProfile) {
    Backend backend;
    ASSERT_TRUE(backend.fake.IsListening());
    backend.fake.SetConfirmationRequired(true);

    const AuthResult signUp = SignUp(L"  ana@example.com\n", L"secreto1");
    EXPECT_TRUE(signUp.ok) << Text::ToUtf8(signUp.error);
    EXPECT_TRUE(signUp.needsConfirmation);
    EXPECT_TRUE(signUp.account.refreshToken.empty());

    // A second tap on the button within the minute asks for a second mail, which the service refuses.
    const AuthResult twice = SignUp(L"ana@example.com", L"secreto1");
    EXPECT_FALSE(twice.ok);
    EXPECT_FALSE(twice.needsConfirmation);
    EXPECT_EQ(twice.error, L"Demasiados intentos; espera un momento");

    const AuthResult early = SignIn(L"ana@example.com", L"secreto1");
    EXPECT_FALSE(early.ok);
    EXPECT_FALSE(early.networkError);
    EXPECT_EQ(early.error, L"Confirma tu email antes de entrar (revisa tu correo, también el spam)");

    backend.fake.ConfirmUser("ana@example.com");
    const int64_t before = UnixNow();
    const AuthResult signIn = SignIn(L"ana@example.com", L"secreto1");
    ASSERT_TRUE(signIn.ok) << Text::ToUtf8(signIn.error);
    EXPECT_EQ(Text::ToUtf8(signIn.account.userId), backend.fake.UserId("ana@example.com").value_or("?"));
    EXPECT_EQ(signIn.account.email, L"ana@example.com");
    EXPECT_FALSE(signIn.account.accessToken.empty());
    EXPECT_GE(signIn.account.expiresAt, before + 3600);
    EXPECT_LE(signIn.account.expiresAt, UnixNow() + 3600);
    EXPECT_FALSE(NeedsRefresh(signIn.account));

    // Each renewal hands out the token the next one needs.
    const AuthResult renewed = Refresh(signIn.account.refreshToken);
    ASSERT_TRUE(renewed.ok) << Text::ToUtf8(renewed.error);
    EXPECT_NE(renewed.account.refreshToken, signIn.account.refreshToken);
    EXPECT_EQ(renewed.account.userId, signIn.account.userId);
    const AuthResult again = Refresh(renewed.account.refreshToken);
    ASSERT_TRUE(again.ok) << Text::ToUtf8(again.error);

    Json::Value body;
    body["data"]["display_name"] = Json::Value("Ana María");
    body["data"]["avatar"] = Json::Value("avatar_1.png");
    const AuthResult updated = UpdateUser(again.account, body);
    ASSERT_TRUE(updated.ok) << Text::ToUtf8(updated.error);
    EXPECT_EQ(updated.account.displayName, L"Ana María");
    EXPECT_EQ(updated.account.avatarFile, L"avatar_1.png");
    EXPECT_TRUE(updated.account.accessToken.empty());
    EXPECT_EQ(backend.fake.UserMetadata("ana@example.com").Find("display_name").AsString(), "Ana María");

    // A used token is refused as the end of the session, which is what signs the account out.
    const AuthResult reused = Refresh(signIn.account.refreshToken);
    EXPECT_FALSE(reused.ok);
    EXPECT_TRUE(reused.sessionRefused);
    EXPECT_FALSE(reused.error.empty());

    // Signing out ends the session on the server: its refresh token no longer renews anything.
    const AuthResult other = SignIn(L"ana@example.com", L"secreto1");
    ASSERT_TRUE(other.ok) << Text::ToUtf8(other.error);
    Logout(other.account);
    EXPECT_FALSE(backend.fake.RefreshTokenValid(other.account.refreshToken));
}

TEST(SupabaseAgainstBackend, RefusalsBecomeTheirSpanishTextAndOnlyARefusedTokenEndsTheSession) {
    OneSession one;
    FakeSupabase& fake = one.fake;
    const FakeSession& session = one.session;
    ASSERT_FALSE(session.refreshToken.empty());

    EXPECT_EQ(SignIn(L"ana@example.com", L"otra-clave").error, L"Email o contraseña incorrectos");
    EXPECT_EQ(SignIn(L"nadie@example.com", L"secreto1").error, L"Email o contraseña incorrectos");
    fake.SetConfirmationRequired(false);
    EXPECT_EQ(SignUp(L"ana@example.com", L"secreto1").error, L"Ya existe una cuenta con ese email");
    EXPECT_EQ(SignUp(L"bea@example.com", L"123").error, L"La contraseña es demasiado débil (mínimo 6 caracteres)");

    // Trouble that is not a refusal of the token leaves the session as it is.
    fake.SetAuthRateLimited(true);
    const AuthResult limited = Refresh(session.refreshToken);
    EXPECT_EQ(limited.error, L"Demasiados intentos; espera un momento");
    EXPECT_FALSE(limited.sessionRefused);
    fake.SetAuthRateLimited(false);

    fake.QueueFault(FakeFault::Reset().OnTarget("/auth/v1/token"));
    const AuthResult dropped = Refresh(session.refreshToken);
    EXPECT_TRUE(dropped.networkError);
    EXPECT_FALSE(dropped.sessionRefused);
    EXPECT_EQ(dropped.error, L"Sin conexión con el servidor");

    fake.QueueFault(FakeFault::Answer(502, "").OnTarget("/auth/v1/token"));
    const AuthResult gateway = Refresh(session.refreshToken);
    EXPECT_FALSE(gateway.ok);
    EXPECT_FALSE(gateway.sessionRefused);
    EXPECT_EQ(gateway.error, L"El servidor tuvo un fallo (error 502)");

    // None of that spent the token.
    EXPECT_TRUE(Refresh(session.refreshToken).ok);

    // A new password the service cannot hash is refused with a code it also uses for bad addresses;
    // the user is not told the e-mail is wrong.
    Account live;
    live.accessToken = session.accessToken;
    live.refreshToken = session.refreshToken;
    Json::Value longPassword;
    longPassword["password"] = Json::Value(std::string(73, 'x'));
    const AuthResult tooLong = UpdateUser(live, longPassword);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.error,
              L"El servidor rechazó la petición (error 400): Password cannot be longer than 72 characters");

    // A user update with an expired access token is refused by the server, not dropped.
    fake.ExpireAccessTokens();
    Account expired;
    expired.accessToken = session.accessToken;
    expired.refreshToken = session.refreshToken;
    const AuthResult stale = UpdateUser(expired, Json::Value(Json::Object{}));
    EXPECT_FALSE(stale.ok);
    EXPECT_FALSE(stale.networkError);
    EXPECT_FALSE(stale.error.empty());
}

TEST(SupabaseAgainstBackend, RenewalsWithOneTokenAtOnceShareOneRequest) {
    OneSession one;
    FakeSupabase& fake = one.fake;
    const FakeSession& session = one.session;
    ASSERT_FALSE(session.refreshToken.empty());
    const auto renewals = [&] {
        const std::vector<std::string> targets = fake.Targets();
        return std::count(targets.begin(), targets.end(), "/auth/v1/token?grant_type=refresh_token");
    };

    // A round and a profile update finding the token old at the same moment: with a second request
    // the service would see a used token, end the session and sign the account out.
    std::vector<AuthResult> results(4);
    std::vector<std::thread> workers;
    for (AuthResult& result : results) {
        workers.emplace_back([&result, &session] { result = RenewSession(session.refreshToken); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(renewals(), 1);
    for (const AuthResult& result : results) {
        ASSERT_TRUE(result.ok) << Text::ToUtf8(result.error);
        EXPECT_EQ(result.account.refreshToken, results[0].account.refreshToken);
    }
    EXPECT_TRUE(fake.RefreshTokenValid(results[0].account.refreshToken));

    // The new token is renewed by the service again.
    const AuthResult next = RenewSession(results[0].account.refreshToken);
    ASSERT_TRUE(next.ok) << Text::ToUtf8(next.error);
    EXPECT_NE(next.account.refreshToken, results[0].account.refreshToken);
    EXPECT_EQ(renewals(), 2);
}

}  // namespace
}  // namespace Lorvex::Services::Supabase

// The account operations against the fake backend: signing in, up and out with their guards, the
// session a sign-in adopts and what it keeps of the local sync state, profile and password updates
// with their photo, renewal and sign-out races, and the status line.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "services/sync/CloudSync.h"
#include "services/sync/Supabase.h"
#include "tests/services/AppStateTestSupport.h"
#include "tests/support/FakeSupabase.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;

const std::string kPassword = "secreto1";
// The avatar the account had before an update, known to be in the cloud.
const std::wstring kOldAvatar = L"avatar_old.png";
const std::string kPickedBytes = "picked picture bytes";

class CloudSyncAccount : public AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        StartBackend();
        Watch();
    }

    void TearDown() override {
        backend_.reset();
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
        AppStateTest::TearDown();
    }

    // A new, empty backend in place of the old one.
    void StartBackend() {
        backend_.reset();
        backend_ = std::make_unique<FakeSupabase>();
        ASSERT_TRUE(backend_->IsListening());
        Config::SetSupabaseForTesting(backend_->BaseUrl(), Text::ToWide(backend_->ApiKey()));
    }

    // Each case of a table: a new backend, the object in its first state and no files of the last case.
    void FreshCase() {
        StartBackend();
        CloudSync::ResetForTesting();
        Watch();
        Files::RemoveFile(CloudSync::AccountPath());
        Files::RemoveFile(CloudSync::StatePath());
        Files::RemoveTree(Paths::ImagesDir());
    }

    // Records the rounds asked for and the status callbacks of the (possibly reset) object. The
    // rounds themselves end at once without touching the backend: what a round does is tested on
    // its own, and here its requests would mix with the account's and clear the merge flag.
    void Watch() {
        rounds_.clear();
        statusChanges_ = 0;
        cloud().roundStarted = [this](bool full) { rounds_.push_back(full); };
        cloud().roundWorker = [](const CloudSync::Job& job) {
            CloudSync::Result result;
            result.account = job.account;
            result.error = L"ronda de prueba";
            return result;
        };
        cloud().onStatusChanged = [this] { ++statusChanges_; };
    }

    FakeSupabase& backend() { return *backend_; }

    // The sign-in as the account dialog makes it, waited for; returns what done was given.
    std::wstring SignInThroughBackend(const std::string& email, const std::string& password = kPassword) {
        std::optional<std::wstring> error;
        cloud().SignIn(Text::ToWide(email), Text::ToWide(password), [&](const std::wstring& text) { error = text; });
        EXPECT_TRUE(PumpUntil([&] { return error.has_value(); }));
        return error.value_or(L"<no answer>");
    }

    // A live session of the user, adopted without a sign-in request.
    void AdoptSessionOf(const std::string& email, const std::wstring& avatarFile = L"") {
        const std::optional<FakeSession> session = backend().IssueSession(email);
        ASSERT_TRUE(session.has_value());
        CloudSync::Account account;
        account.accessToken = session->accessToken;
        account.refreshToken = session->refreshToken;
        account.expiresAt = session->expiresAt;
        account.userId = Text::ToWide(session->userId);
        account.email = Text::ToWide(email);
        account.avatarFile = avatarFile;
        cloud().AdoptSession(account);
    }

    // Runs an update to its end; returns what done was given.
    std::wstring Finish(const std::function<void(std::function<void(const std::wstring&)>)>& start) {
        std::optional<std::wstring> error;
        start([&](const std::wstring& text) { error = text; });
        EXPECT_TRUE(PumpUntil([&] { return error.has_value(); }));
        return error.value_or(L"<no answer>");
    }

    bool Received(const std::string& target) const {
        for (const std::string& seen : backend_->Targets()) {
            if (seen == target) {
                return true;
            }
        }
        return false;
    }

    // The background logout reads the configuration: it must be done before the test ends.
    void WaitForLogout() {
        EXPECT_TRUE(PumpUntil([&] { return Received("/auth/v1/logout?scope=local"); }));
    }

    // A picture file as the file dialog hands it over; not decodable, so it is stored unchanged.
    std::wstring PickedPicture() const {
        const std::wstring picked = Data(L"picked.png");
        EXPECT_TRUE(Files::WriteBytes(picked, kPickedBytes));
        return picked;
    }

    // Ana signed in with kOldAvatar on disk and in the cloud; returns her user id.
    std::string SignedInWithOldAvatar() {
        const std::string userId = backend().AddUser("ana@example.com", kPassword);
        AdoptSessionOf("ana@example.com", kOldAvatar);
        EXPECT_TRUE(Files::WriteBytes(Images(kOldAvatar), "old avatar"));
        cloud().uploaded = {kOldAvatar};
        return userId;
    }

    static std::vector<std::wstring> StoredAvatars() {
        std::vector<std::wstring> names;
        for (const std::wstring& path : Files::ListFiles(Paths::ImagesDir(), L"avatar_*", false)) {
            names.push_back(Files::FileName(path));
        }
        return names;
    }

    static bool QueuedForDeletion(const std::wstring& picture) {
        const auto found = cloud().pending.find(CloudSync::ItemKey(L"image", picture));
        return found != cloud().pending.end() && found->second.deleted;
    }

    std::unique_ptr<FakeSupabase> backend_;
    std::wstring savedUrl_;
    std::wstring savedKey_;
    std::vector<bool> rounds_;
    int statusChanges_ = 0;
};

// ---- Sign-in and sign-up ----

TEST_F(CloudSyncAccount, SignInAdoptsTheSessionAndASecondClickIsDropped) {
    Json::Value metadata;
    metadata["display_name"] = Json::Value("Ana");
    metadata["avatar"] = Json::Value("avatar_a.png");
    const std::string userId = backend().AddUser("ana@example.com", kPassword, true, metadata);

    int firstCalls = 0;
    int secondCalls = 0;
    std::wstring firstError = L"<none>";
    cloud().SignIn(L"ana@example.com", L"secreto1", [&](const std::wstring& error) {
        ++firstCalls;
        firstError = error;
    });
    EXPECT_TRUE(cloud().authBusy);
    EXPECT_EQ(statusChanges_, 1);
    cloud().SignIn(L"ana@example.com", L"secreto1", [&](const std::wstring&) { ++secondCalls; });
    ASSERT_TRUE(PumpUntil([&] { return firstCalls > 0; }));
    PumpUntil([] { return false; }, 1);  // room for a second answer, were one on its way

    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
    EXPECT_EQ(backend().Targets(), std::vector<std::string>{"/auth/v1/token?grant_type=password"});
    EXPECT_EQ(firstError, L"");
    EXPECT_FALSE(cloud().authBusy);
    EXPECT_GE(statusChanges_, 2);

    ASSERT_TRUE(cloud().SignedIn());
    EXPECT_TRUE(backend().RefreshTokenValid(cloud().account.refreshToken));
    EXPECT_FALSE(cloud().account.accessToken.empty());
    EXPECT_EQ(Text::ToUtf8(cloud().account.userId), userId);
    EXPECT_EQ(cloud().account.email, L"ana@example.com");
    EXPECT_EQ(cloud().account.displayName, L"Ana");
    EXPECT_EQ(cloud().account.avatarFile, L"avatar_a.png");
    EXPECT_EQ(cloud().generation, 1);
    EXPECT_EQ(rounds_, std::vector<bool>{true});
    EXPECT_TRUE(cloud().mergePending);

    // A restart finds the session and a state that belongs to it, its merge still owed.
    CloudSync restarted;
    restarted.LoadAccount();
    restarted.LoadState();
    EXPECT_EQ(restarted.account.refreshToken, cloud().account.refreshToken);
    EXPECT_EQ(restarted.account.userId, cloud().account.userId);
    EXPECT_EQ(restarted.account.avatarFile, L"avatar_a.png");
    EXPECT_EQ(Text::ToUtf8(restarted.stateUserId), userId);
    EXPECT_TRUE(restarted.mergePending);
}

TEST_F(CloudSyncAccount, TheSameUserKeepsTheSyncStateAndAnotherUserStartsAfresh) {
    for (const bool sameUser : {true, false}) {
        SCOPED_TRACE(sameUser ? "same user" : "another user");
        FreshCase();
        const std::string anaId = backend().AddUser("ana@example.com", kPassword);
        backend().AddUser("otro@example.com", kPassword);
        // What the last session of Ana left: a queued change, a cursor, known hashes and pictures.
        cloud().stateUserId = Text::ToWide(anaId);
        CloudSync::QueueItem change;
        change.kind = L"persona";
        change.id = L"p1";
        change.hash = CloudSync::ChangeHash(Json::Value(Json::Object{{"name", Json::Value("Eva")}}));
        change.seq = 1;
        cloud().pending[L"persona:p1"] = change;
        cloud().cursor = "2025-03-01T10:00:00.5+00:00";
        cloud().synced[L"persona:p2"] = "deleted";
        cloud().uploaded = {L"a.png"};
        cloud().lastSync = L"2025-03-01T10:00:01Z";

        const std::string email = sameUser ? "ana@example.com" : "otro@example.com";
        ASSERT_EQ(SignInThroughBackend(email), L"");

        EXPECT_EQ(cloud().stateUserId, cloud().account.userId);
        EXPECT_EQ(cloud().pending.size(), sameUser ? 1u : 0u);
        EXPECT_EQ(cloud().cursor, sameUser ? "2025-03-01T10:00:00.5+00:00" : "");
        EXPECT_EQ(cloud().synced.size(), sameUser ? 1u : 0u);
        EXPECT_EQ(cloud().uploaded.size(), sameUser ? 1u : 0u);
        EXPECT_EQ(cloud().lastSync, sameUser ? L"2025-03-01T10:00:01Z" : L"");
        // Either way the first full round merges the local data into the account.
        EXPECT_TRUE(cloud().mergePending);
        EXPECT_EQ(rounds_, std::vector<bool>{true});

        CloudSync restarted;
        restarted.LoadState();
        EXPECT_EQ(restarted.stateUserId, cloud().account.userId);
        EXPECT_EQ(restarted.pending.size(), sameUser ? 1u : 0u);
    }
}

TEST_F(CloudSyncAccount, SignUpAnswersAndRefusals) {
    struct Case {
        const char* name;
        bool confirmationRequired;
        bool registeredBefore;
        bool rateLimited;
        std::string password;
        std::wstring error;
        bool needsConfirmation;
    };
    const Case cases[] = {
        {"confirmation by mail", true, false, false, kPassword, L"", true},
        {"confirmed at once", false, false, false, kPassword, L"", false},
        {"weak password", false, false, false, "123", L"La contraseña es demasiado débil (mínimo 6 caracteres)", false},
        {"address taken", false, true, false, kPassword, L"Ya existe una cuenta con ese email", false},
        {"rate limit", false, false, true, kPassword, L"Demasiados intentos; espera un momento", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshCase();
        backend().SetConfirmationRequired(c.confirmationRequired);
        backend().SetAuthRateLimited(c.rateLimited);
        if (c.registeredBefore) {
            backend().AddUser("ana@example.com", kPassword);
        }

        std::optional<std::pair<std::wstring, bool>> answer;
        cloud().SignUp(
            L"ana@example.com", Text::ToWide(c.password),
            [&](const std::wstring& error, bool needsConfirmation) { answer.emplace(error, needsConfirmation); });
        ASSERT_TRUE(PumpUntil([&] { return answer.has_value(); }));

        EXPECT_EQ(answer->first, c.error);
        EXPECT_EQ(answer->second, c.needsConfirmation);
        EXPECT_FALSE(cloud().authBusy);
        const bool adopted = c.error.empty() && !c.needsConfirmation;
        EXPECT_EQ(cloud().SignedIn(), adopted);
        EXPECT_EQ(Files::IsFile(CloudSync::AccountPath()), adopted);
        EXPECT_EQ(rounds_, adopted ? std::vector<bool>{true} : std::vector<bool>{});
    }
}

TEST_F(CloudSyncAccount, ARefusedSignInLeavesTheAccountAloneAndFreesTheButton) {
    backend().AddUser("ana@example.com", kPassword);

    EXPECT_EQ(SignInThroughBackend("ana@example.com", "equivocada"), L"Email o contraseña incorrectos");
    EXPECT_FALSE(cloud().SignedIn());
    EXPECT_FALSE(cloud().authBusy);
    EXPECT_FALSE(Files::IsFile(CloudSync::AccountPath()));
    EXPECT_TRUE(rounds_.empty());
    EXPECT_EQ(cloud().generation, 0);

    EXPECT_EQ(SignInThroughBackend("ana@example.com"), L"");
    EXPECT_TRUE(cloud().SignedIn());
}

// ---- Sign-out ----

TEST_F(CloudSyncAccount, SignOutKeepsTheQueueOnDiskAndRemovesTheSession) {
    cloud().SignOut();
    EXPECT_EQ(cloud().generation, 0);
    EXPECT_EQ(statusChanges_, 0);
    EXPECT_TRUE(backend().Requests().empty());

    backend().AddUser("ana@example.com", kPassword);
    ASSERT_EQ(SignInThroughBackend("ana@example.com"), L"");
    const std::string refreshToken = cloud().account.refreshToken;
    const FakeSession otherPc = *backend().IssueSession("ana@example.com");
    cloud().OnPersonaDeleted(L"p1");
    ASSERT_NE(cloud().flushTimer, 0u);
    // A read-only session file goes too: it must not sign the user in again at the next start.
    ASSERT_TRUE(SetFileAttributesW(CloudSync::AccountPath().c_str(), FILE_ATTRIBUTE_READONLY));
    const int32_t generation = cloud().generation;
    statusChanges_ = 0;

    cloud().SignOut();

    EXPECT_FALSE(cloud().SignedIn());
    EXPECT_TRUE(cloud().account.userId.empty());
    EXPECT_TRUE(cloud().account.accessToken.empty());
    EXPECT_EQ(cloud().generation, generation + 1);
    EXPECT_EQ(cloud().flushTimer, 0u);
    EXPECT_EQ(statusChanges_, 1);
    EXPECT_FALSE(Files::IsFile(CloudSync::AccountPath()));
    EXPECT_EQ(cloud().StatusText(), L"Sin iniciar sesión");
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-persona:p1"});

    CloudSync restarted;
    restarted.LoadAccount();
    restarted.LoadState();
    EXPECT_FALSE(restarted.SignedIn());
    EXPECT_EQ(restarted.pending.size(), 1u);
    EXPECT_EQ(restarted.stateUserId, cloud().stateUserId);

    // The server is told in the background and ends this session there as well, and only this one.
    WaitForLogout();
    EXPECT_TRUE(PumpUntil([&] { return !backend().RefreshTokenValid(refreshToken); }, 5));
    EXPECT_TRUE(backend().RefreshTokenValid(otherPc.refreshToken));
}

// ---- Profile and password ----

TEST_F(CloudSyncAccount, AProfileUpdateSendsThePhotoChangeAndRetiresTheOldAvatar) {
    const std::wstring& old = kOldAvatar;
    const std::wstring picked = PickedPicture();

    struct Case {
        const char* name;
        std::optional<std::wstring> photo;
        bool uploads;
        bool oldRetired;
    };
    const Case cases[] = {
        {"new photo", picked, true, true},
        {"photo removed", std::wstring(), false, true},
        {"photo unchanged", std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshCase();
        const std::string userId = SignedInWithOldAvatar();

        ASSERT_EQ(Finish([&](auto done) { cloud().UpdateProfile(L" Ana \u00A0", c.photo, done); }), L"");

        std::wstring expectedAvatar = c.photo ? L"" : old;
        std::vector<std::string> expectedTargets;
        if (c.uploads) {
            const std::vector<std::wstring> stored = StoredAvatars();
            ASSERT_EQ(stored.size(), c.oldRetired && CloudSync::IsSafePictureName(old) ? 1u : 2u);
            expectedAvatar = stored[0] == old ? stored[1] : stored[0];
            EXPECT_EQ(expectedAvatar.size(), std::wstring(L"avatar_").size() + 36 + 4);
            EXPECT_EQ(Files::Extension(expectedAvatar), L".png");
            const std::string objectPath = userId + "/" + Text::ToUtf8(expectedAvatar);
            expectedTargets.push_back("/storage/v1/object/velmorin-images/" + objectPath);
            const std::optional<FakeObject> object = backend().Object(objectPath);
            ASSERT_TRUE(object.has_value());
            EXPECT_EQ(object->bytes, kPickedBytes);
            EXPECT_EQ(backend().Requests()[0].Header("x-upsert").value_or(""), "true");
        }
        expectedTargets.push_back("/auth/v1/user");
        EXPECT_EQ(backend().Targets(), expectedTargets);

        const Json::Value sent = Json::Value::Parse(backend().Requests().back().body);
        EXPECT_EQ(sent.Find("data").Find("display_name").AsWString(), L"Ana");
        EXPECT_EQ(sent.Find("data").Find("avatar").kind, Json::Type::String);
        EXPECT_EQ(sent.Find("data").Find("avatar").AsWString(), expectedAvatar);
        EXPECT_EQ(backend().UserMetadata("ana@example.com").Find("avatar").AsWString(), expectedAvatar);

        EXPECT_EQ(cloud().account.displayName, L"Ana");
        EXPECT_EQ(cloud().account.avatarFile, expectedAvatar);
        EXPECT_FALSE(cloud().userUpdateBusy);
        EXPECT_EQ(cloud().uploaded.count(old), c.oldRetired ? 0u : 1u);
        EXPECT_EQ(cloud().uploaded.count(expectedAvatar), expectedAvatar.empty() ? 0u : 1u);
        EXPECT_EQ(QueuedForDeletion(old), c.oldRetired);
        // The old name came from the server: the file goes only when it is a plain picture name.
        EXPECT_EQ(Files::IsFile(Images(old)), !c.oldRetired || !CloudSync::IsSafePictureName(old));

        CloudSync restarted;
        restarted.LoadAccount();
        EXPECT_EQ(restarted.account.displayName, L"Ana");
        EXPECT_EQ(restarted.account.avatarFile, expectedAvatar);
    }
}

TEST_F(CloudSyncAccount, AnOldAvatarNameThatIsNoPlainFileNameDeletesNothingLocally) {
    backend().AddUser("ana@example.com", kPassword);
    Put(Data(L"settings-backup.json"), "{}");
    ASSERT_TRUE(Files::EnsureDir(Paths::ImagesDir()));
    AdoptSessionOf("ana@example.com", L"..\\settings-backup.json");
    EXPECT_EQ(cloud().AvatarPath(), L"");  // never shown as the account's picture either

    ASSERT_EQ(Finish([&](auto done) { cloud().UpdateProfile(L"Ana", std::wstring(), done); }), L"");

    EXPECT_EQ(cloud().account.avatarFile, L"");
    EXPECT_TRUE(Files::IsFile(Data(L"settings-backup.json")));
}

TEST_F(CloudSyncAccount, AFailedUpdateKeepsTheProfileAndDropsTheStoredPicture) {
    const std::wstring& old = kOldAvatar;
    const std::wstring picked = PickedPicture();

    struct Case {
        const char* name;
        FakeFault fault;
        std::wstring error;
        bool userUpdateSent;
    };
    const Case cases[] = {
        {"upload refused",
         FakeFault::Answer(500, R"({"statusCode":"500","error":"x","message":"boom"})").OnTarget("/storage/"),
         L"El servidor tuvo un fallo (error 500): boom", false},
        {"user update refused", FakeFault::Answer(500, "").OnTarget("/auth/v1/user"),
         L"El servidor tuvo un fallo (error 500)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshCase();
        SignedInWithOldAvatar();
        backend().QueueFault(c.fault);

        EXPECT_EQ(Finish([&](auto done) { cloud().UpdateProfile(L"Ana", picked, done); }), c.error);

        EXPECT_EQ(Received("/auth/v1/user"), c.userUpdateSent);
        EXPECT_EQ(StoredAvatars(), std::vector<std::wstring>{old});
        EXPECT_EQ(cloud().account.avatarFile, old);
        EXPECT_EQ(cloud().account.displayName, L"");
        EXPECT_EQ(cloud().uploaded, std::set<std::wstring>{old});
        EXPECT_TRUE(cloud().pending.empty());
        EXPECT_FALSE(cloud().userUpdateBusy);
    }

    // A picture that cannot be read stops the update before anything is sent.
    StartBackend();
    std::optional<std::wstring> error;
    cloud().UpdateProfile(L"Ana", Data(L"missing.png"), [&](const std::wstring& text) { error = text; });
    EXPECT_EQ(error.value_or(L"<not yet>"), L"No se pudo leer la imagen");
    EXPECT_FALSE(cloud().userUpdateBusy);
    PumpUntil([] { return false; }, 1);
    EXPECT_TRUE(backend().Requests().empty());
}

TEST_F(CloudSyncAccount, AnUpdateOverlappedByASignOutNeverAnswersAndHoldsNothingUp) {
    backend().AddUser("ana@example.com", kPassword);
    AdoptSessionOf("ana@example.com");
    const std::wstring picked = PickedPicture();
    backend().QueueFault(FakeFault::Stall().OnTarget("/storage/"));

    int firstCalls = 0;
    cloud().UpdateProfile(L"Ana", picked, [&](const std::wstring&) { ++firstCalls; });
    ASSERT_TRUE(cloud().userUpdateBusy);
    ASSERT_EQ(StoredAvatars().size(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return backend().PendingFaults() == 0; }));

    cloud().SignOut();
    WaitForLogout();
    AdoptSessionOf("ana@example.com");
    EXPECT_EQ(Finish([&](auto done) { cloud().ChangePassword(L"nueva-clave", done); }), L"");
    EXPECT_EQ(backend().Password("ana@example.com").value_or(""), "nueva-clave");

    // Ending the stalled upload lets the first update finish: it answers nobody, and the picture
    // it stored for a profile that was never changed does not stay behind.
    backend_.reset();
    EXPECT_TRUE(PumpUntil([] { return StoredAvatars().empty(); }, 30));
    PumpUntil([] { return false; }, 1);
    EXPECT_EQ(firstCalls, 0);
    EXPECT_FALSE(cloud().userUpdateBusy);
    EXPECT_TRUE(cloud().SignedIn());
    EXPECT_EQ(cloud().account.displayName, L"");
}

TEST_F(CloudSyncAccount, OnlyARefusedRenewalEndsTheSessionDuringAnUpdate) {
    struct Case {
        const char* name;
        bool knownToken;
        std::optional<FakeFault> fault;
        std::wstring error;
        bool signedOut;
    };
    const Case cases[] = {
        {"refused", false, std::nullopt, L"La sesión ha caducado; vuelve a iniciar sesión", true},
        {"server fault", true, FakeFault::Answer(503, "").OnTarget("/auth/v1/token"),
         L"El servidor tuvo un fallo (error 503)", false},
        {"no connection", true, FakeFault::Reset().OnTarget("/auth/v1/token"), L"Sin conexión con el servidor", false},
        {"renewed", true, std::nullopt, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshCase();
        backend().AddUser("ana@example.com", kPassword);
        AdoptSessionOf("ana@example.com");
        const std::string before = c.knownToken ? cloud().account.refreshToken : "v1.unknown";
        cloud().account.refreshToken = before;
        cloud().account.accessToken.clear();  // renewal first
        const int32_t generation = cloud().generation;
        if (c.fault) {
            backend().QueueFault(*c.fault);
        }

        EXPECT_EQ(Finish([&](auto done) { cloud().UpdateProfile(L"Ana", std::nullopt, done); }), c.error);

        EXPECT_EQ(cloud().SignedIn(), !c.signedOut);
        EXPECT_EQ(Files::IsFile(CloudSync::AccountPath()), !c.signedOut);
        EXPECT_EQ(cloud().generation, c.signedOut ? generation + 1 : generation);
        EXPECT_FALSE(cloud().userUpdateBusy);
        if (c.error.empty()) {
            EXPECT_NE(cloud().account.refreshToken, before);
            EXPECT_TRUE(backend().RefreshTokenValid(cloud().account.refreshToken));
            CloudSync restarted;
            restarted.LoadAccount();
            EXPECT_EQ(restarted.account.refreshToken, cloud().account.refreshToken);
            EXPECT_EQ(cloud().account.displayName, L"Ana");
        } else if (!c.signedOut) {
            EXPECT_EQ(cloud().account.refreshToken, before);
        }
    }
}

TEST_F(CloudSyncAccount, ATokenTheServerRefusesIsRenewedOnceAndTheUpdateGoesOn) {
    const std::wstring picked = PickedPicture();
    const std::string renewal = "/auth/v1/token?grant_type=refresh_token";
    struct Case {
        const char* name;
        std::optional<std::wstring> photo;
        bool endedElsewhere;  // another PC's new password ended this session
    };
    const Case cases[] = {
        {"expired at storage", picked, false},
        {"expired at the user endpoint", std::nullopt, false},
        {"ended elsewhere", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshCase();
        backend().AddUser("ana@example.com", kPassword);
        AdoptSessionOf("ana@example.com");
        const std::string before = cloud().account.refreshToken;
        if (c.endedElsewhere) {
            const FakeSession other = *backend().IssueSession("ana@example.com");
            CloudSync::Account otherPc;
            otherPc.accessToken = other.accessToken;
            Json::Value password;
            password["password"] = Json::Value("otra-clave");
            ASSERT_TRUE(Services::Supabase::UpdateUser(otherPc, password).ok);
        } else {
            backend().ExpireAccessTokens();  // this PC still believes its token good for an hour
        }

        const std::wstring error = Finish([&](auto done) { cloud().UpdateProfile(L"Ana", c.photo, done); });

        std::vector<std::string> targets = backend().Targets();
        if (c.endedElsewhere) {
            targets.erase(targets.begin());  // the other PC's update
            EXPECT_EQ(error, L"La sesión ha caducado; vuelve a iniciar sesión");
            EXPECT_FALSE(cloud().SignedIn());
            EXPECT_EQ(targets, (std::vector<std::string>{"/auth/v1/user", renewal}));
            continue;
        }
        EXPECT_EQ(error, L"");
        EXPECT_EQ(cloud().account.displayName, L"Ana");
        EXPECT_EQ(backend().UserMetadata("ana@example.com").Find("display_name").AsString(), "Ana");
        EXPECT_NE(cloud().account.refreshToken, before);
        EXPECT_TRUE(backend().RefreshTokenValid(cloud().account.refreshToken));
        // The refused request, one renewal, the same request again, then the rest.
        ASSERT_GE(targets.size(), 3u);
        EXPECT_EQ(targets[1], renewal);
        EXPECT_EQ(targets[2], targets[0]);
        EXPECT_EQ(targets.back(), "/auth/v1/user");
        EXPECT_EQ(std::count(targets.begin(), targets.end(), renewal), 1);
        if (c.photo) {
            EXPECT_EQ(targets.size(), 4u);
            EXPECT_EQ(backend().Objects().size(), 1u);
        }
    }
}

TEST_F(CloudSyncAccount, AnUpdateDoesNotOverwriteTokensRenewedSinceItsStart) {
    backend().AddUser("ana@example.com", kPassword);
    AdoptSessionOf("ana@example.com");
    cloud().account.accessToken.clear();

    std::optional<std::wstring> error;
    cloud().UpdateProfile(L"Ana", std::nullopt, [&](const std::wstring& text) { error = text; });
    // A round brings in a pair of its own before the update's completion runs.
    cloud().account.accessToken = "round-access";
    cloud().account.refreshToken = "round-refresh";
    ASSERT_TRUE(PumpUntil([&] { return error.has_value(); }));

    EXPECT_EQ(*error, L"");
    EXPECT_EQ(cloud().account.refreshToken, "round-refresh");
    EXPECT_EQ(cloud().account.accessToken, "round-access");
    EXPECT_EQ(cloud().account.displayName, L"Ana");
}

// ---- The status line ----

TEST(CloudSyncStatus, TheFirstRuleThatHoldsGivesTheText) {
    auto queued = [](CloudSync& cloud, int count) {
        for (int i = 0; i < count; ++i) {
            CloudSync::QueueItem item;
            item.kind = L"persona";
            item.id = L"p" + std::to_wstring(i);
            cloud.pending[CloudSync::ItemKey(item.kind, item.id)] = item;
        }
    };
    struct Case {
        const char* name;
        bool signedIn;
        bool syncing;
        bool offline;
        std::wstring lastError;
        int pending;
        std::wstring lastSync;
        std::wstring expected;
    };
    const std::wstring now = Time::NowIso();
    const Case cases[] = {
        {"signed out", false, true, true, L"Fallo", 2, now, L"Sin iniciar sesión"},
        {"syncing", true, true, true, L"Fallo", 2, now, L"Sincronizando…"},
        {"offline", true, false, true, L"Fallo", 2, now, L"Sin conexión · los cambios se subirán más tarde"},
        {"error", true, false, false, L"Fallo", 2, now, L"Fallo"},
        {"one pending", true, false, false, L"", 1, now, L"1 cambio pendiente"},
        {"three pending", true, false, false, L"", 3, now, L"3 cambios pendientes"},
        {"synced", true, false, false, L"", 0, now, L"Sincronizado ahora"},
        {"never synced", true, false, false, L"", 0, L"", L"Pendiente de sincronizar"},
    };
    for (const Case& c : cases) {
        CloudSync cloud;
        if (c.signedIn) {
            cloud.account.refreshToken = "refresh";
        }
        cloud.syncing = c.syncing;
        cloud.offline = c.offline;
        cloud.lastError = c.lastError;
        queued(cloud, c.pending);
        cloud.lastSync = c.lastSync;
        EXPECT_EQ(cloud.StatusText(), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace Lorvex::Testing

// Starting sync rounds and bringing their results in: which queue items a result confirms, what a
// failed or refused round leaves, how far the pull cursor moves, the order of pull, merge and
// orphan cleaning, the renewed session, and the rounds asked for while one runs. Most results are
// made by hand; the rounds that Start begins go to a stand-in worker, and two tests run the whole
// path against the fake backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "domain/Storage.h"
#include "services/sync/CloudSync.h"
#include "services/sync/Supabase.h"
#include "tests/services/AppStateTestSupport.h"
#include "tests/services/CloudSyncTestSupport.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/FakeSupabaseState.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;

const wchar_t* const kExpired = L"La sesión de la nube ha caducado; vuelve a iniciar sesión en Ajustes";

Json::Value Named(const std::wstring& name) {
    return Json::Value(Json::Object{{"name", Json::Value(name)}});
}

CloudSync::RemoteItem Row(const std::wstring& kind, const std::wstring& id, const std::string& updatedAt,
                          const std::wstring& name = L"x") {
    CloudSync::RemoteItem row;
    row.kind = kind;
    row.id = id;
    row.data = Named(name);
    row.updatedAt = updatedAt;
    return row;
}

// The bucket's "created_at" of an object that arrived this many hours ago.
std::string HoursAgo(double hours) {
    return IsoMillis(NowMicros() - static_cast<int64_t>(hours * 3600.0 * 1e6));
}

std::vector<std::wstring> Keys(const std::vector<CloudSync::RemoteItem>& rows) {
    std::vector<std::wstring> keys;
    for (const CloudSync::RemoteItem& row : rows) {
        keys.push_back(CloudSync::ItemKey(row));
    }
    return keys;
}

class SyncApply : public AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        SignIn();
        // The application state's side, as far as these tests look at it: which rows arrived,
        // and the keys the test wants left for a later pull.
        cloud().onPulled = [this](const std::vector<CloudSync::RemoteItem>& rows) {
            events_.push_back(L"pulled");
            applied_.insert(applied_.end(), rows.begin(), rows.end());
            return leftForLater_;
        };
        cloud().onNotice = [this](const std::wstring& text, bool error) { notices_.emplace_back(text, error); };
        // The rounds Start begins answer as without a connection unless a test puts another
        // worker here: no request leaves these tests by accident.
        cloud().roundWorker = [](const CloudSync::Job& job) {
            CloudSync::Result result;
            result.account = job.account;
            result.offline = true;
            result.error = L"Sin conexión con el servidor";
            return result;
        };
    }

    // A change queued as a notifier queues it; returns its seq.
    static int64_t Queue(const std::wstring& kind, const std::wstring& id, bool deleted = false,
                         const std::wstring& name = L"x") {
        CloudSync::QueueItem item;
        item.kind = kind;
        item.id = id;
        item.deleted = deleted;
        cloud().MarkChanged(item, kind != L"image" && !deleted ? Named(name) : Json::Value());
        return cloud().pending.at(CloudSync::ItemKey(kind, id)).seq;
    }

    // Hands the result in as the end of a round begun now would.
    static void Apply(CloudSync::Result result, bool full) {
        cloud().syncing = true;
        cloud().ApplyResult(std::move(result), cloud().generation, full);
    }

    static CloudSync::Result Pulled(std::vector<CloudSync::RemoteItem> rows, std::string pulledTo) {
        CloudSync::Result result;
        result.account = cloud().account;
        result.pulled = true;
        result.items = std::move(rows);
        result.cursor = std::move(pulledTo);
        return result;
    }

    std::vector<std::wstring> events_;
    std::vector<CloudSync::RemoteItem> applied_;
    std::vector<std::wstring> leftForLater_;
    std::vector<std::pair<std::wstring, bool>> notices_;
};

// ---- Starting a round ----

TEST_F(SyncApply, TheJobCarriesTheQueuePicturesFirstAndListsTheBucketOnlyOnAFullRoundNotYetListed) {
    std::vector<CloudSync::Job> jobs;
    std::mutex lock;
    cloud().roundWorker = [&](const CloudSync::Job& job) {
        const std::lock_guard<std::mutex> hold(lock);
        jobs.push_back(job);
        CloudSync::Result result;
        result.account = job.account;
        return result;
    };
    cloud().cursor = "2025-03-01T10:00:00+00:00";
    Queue(L"persona", L"b");
    Queue(L"image", L"z.png");
    Queue(L"character", L"a");
    Queue(L"image", L"b.png", true);
    Queue(L"chat", L"a:c");
    int statusCalls = 0;
    cloud().onStatusChanged = [&] { ++statusCalls; };

    struct Case {
        bool full;
        bool listed;
        bool names;
        bool lists;
    };
    const Case cases[] = {
        {true, false, true, true},
        {false, false, true, false},
        {true, true, true, false},
        {true, false, false, false},
    };
    for (const Case& c : cases) {
        cloud().storageListed = c.listed;
        cloud().imageNames =
            c.names ? std::function<std::set<std::wstring>()>([] { return std::set<std::wstring>{}; }) : nullptr;
        statusCalls = 0;
        cloud().Start(c.full);
        EXPECT_TRUE(cloud().syncing);
        EXPECT_EQ(statusCalls, 1);
        ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));
        const std::lock_guard<std::mutex> hold(lock);
        const CloudSync::Job& job = jobs.back();
        EXPECT_EQ(job.full, c.full);
        EXPECT_EQ(job.listStorage, c.lists) << c.full << c.listed << c.names;
        EXPECT_EQ(job.cursor, "2025-03-01T10:00:00+00:00");
        EXPECT_EQ(job.account.refreshToken, "refresh");
        std::vector<std::wstring> order;
        for (const CloudSync::QueueItem& item : job.items) {
            order.push_back(CloudSync::ItemKey(item.kind, item.id));
        }
        EXPECT_EQ(order, (std::vector<std::wstring>{L"image:b.png", L"image:z.png", L"character:a", L"chat:a:c",
                                                    L"persona:b"}));
    }
}

TEST_F(SyncApply, AnItemChangedDuringTheRoundStaysWithItsNewerContentAndGoesInTheNextRound) {
    std::vector<CloudSync::Job> jobs;
    std::mutex lock;
    RoundGate gate;
    // A backend that takes everything it is sent, once the test lets the first round end.
    cloud().roundWorker = gate.Hold([&](const CloudSync::Job& job) {
        const std::lock_guard<std::mutex> hold(lock);
        jobs.push_back(job);
        return AcceptEverything(job);
    });
    cloud().uploaded = {L"old.png"};
    Queue(L"persona", L"p1", false, L"Ana");
    Queue(L"persona", L"p2");
    Queue(L"chat", L"c1:x", true);
    Queue(L"image", L"new.png");
    Queue(L"image", L"old.png", true);
    cloud().Start(false);

    Queue(L"persona", L"p1", false, L"Ana María");  // edited while the round runs
    gate.Open();
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));

    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"persona:p1"});
    EXPECT_EQ(cloud().pending.at(L"persona:p1").hash, CloudSync::ChangeHash(Named(L"Ana María")));
    EXPECT_EQ(cloud().synced.count(L"persona:p1"), 0u);
    EXPECT_EQ(cloud().synced.at(L"persona:p2"), CloudSync::ChangeHash(Named(L"x")));
    EXPECT_EQ(cloud().synced.at(L"chat:c1:x"), "deleted");
    EXPECT_EQ(cloud().uploaded, std::set<std::wstring>{L"new.png"});
    EXPECT_FALSE(cloud().lastSync.empty());

    // The next round follows 2.5 s after this one and takes the newer content.
    ASSERT_TRUE(PumpUntil([&] {
        const std::lock_guard<std::mutex> hold(lock);
        return jobs.size() == 2;
    }));
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));
    ASSERT_EQ(jobs[1].items.size(), 1u);
    EXPECT_EQ(jobs[1].items[0].hash, CloudSync::ChangeHash(Named(L"Ana María")));
    EXPECT_TRUE(cloud().pending.empty());
    EXPECT_EQ(cloud().synced.at(L"persona:p1"), CloudSync::ChangeHash(Named(L"Ana María")));
}

TEST_F(SyncApply, RoundsAskedForDuringARoundBecomeOneRoundWhenItEnds) {
    struct Case {
        std::vector<bool> requests;  // full flags of the Start calls made during the round
        bool fullAtOnce;             // a full round starts as the first one ends
    };
    const Case cases[] = {
        {{false, true}, true},
        {{true, false}, true},
        {{false, false}, false},
    };
    for (const Case& c : cases) {
        std::vector<bool> rounds;
        cloud().roundStarted = [&](bool full) { rounds.push_back(full); };
        Queue(L"persona", L"p1");
        cloud().Start(false);
        for (bool full : c.requests) {
            cloud().Start(full);
        }
        Async::CancelTimer(cloud().flushTimer);
        cloud().flushTimer = 0;

        // The first round ends without confirming anything.
        CloudSync::Result result;
        result.account = cloud().account;
        cloud().ApplyResult(result, cloud().generation, false);

        EXPECT_EQ(rounds, c.fullAtOnce ? (std::vector<bool>{false, true}) : std::vector<bool>{false});
        EXPECT_EQ(cloud().syncing, c.fullAtOnce);
        EXPECT_EQ(cloud().flushTimer != 0, !c.fullAtOnce);  // a plain request waits 2.5 s
        EXPECT_FALSE(cloud().again);
        EXPECT_FALSE(cloud().againFull);

        // Whatever the rounds started here hand back belongs to no one now.
        cloud().roundStarted = nullptr;
        ++cloud().generation;
        cloud().syncing = false;
        Async::CancelTimer(cloud().flushTimer);
        cloud().flushTimer = 0;
    }
}

// ---- What a result changes ----

TEST_F(SyncApply, AResultOfAnEarlierSessionIsDropped) {
    const int64_t seq = Queue(L"persona", L"p1");
    cloud().syncing = true;
    CloudSync::Result result =
        Pulled({Row(L"persona", L"p9", "2025-03-02T00:00:00+00:00")}, "2025-03-02T00:00:00+00:00");
    result.done = {seq};
    result.unauthorized = true;
    cloud().ApplyResult(result, cloud().generation - 1, true);

    EXPECT_TRUE(cloud().syncing);
    EXPECT_EQ(cloud().pending.size(), 1u);
    EXPECT_TRUE(cloud().cursor.empty());
    EXPECT_TRUE(applied_.empty());
    EXPECT_TRUE(notices_.empty());
    EXPECT_TRUE(cloud().SignedIn());
    EXPECT_FALSE(Files::IsFile(CloudSync::StatePath()));
}

TEST_F(SyncApply, AFailedRoundTakesTheConfirmedItemsOutButAppliesNothingItPulled) {
    struct Case {
        const char* what;
        bool offline;
        std::wstring error;
        std::wstring lastError;
    };
    const Case cases[] = {
        {"server error", false, L"Error del servidor (500)", L"Error del servidor (500)"},
        {"no connection", true, L"Sin conexión con el servidor", L""},
    };
    for (const Case& c : cases) {
        cloud().pending.clear();
        cloud().synced.clear();
        applied_.clear();
        events_.clear();
        cloud().cursor = "2025-03-01T00:00:00+00:00";
        cloud().lastSync = L"before";
        cloud().mergePending = true;
        cloud().onMergeNeeded = [this] { events_.push_back(L"merge"); };
        const int64_t sent = Queue(L"persona", L"p1");
        Queue(L"persona", L"p2");
        Async::CancelTimer(cloud().flushTimer);
        cloud().flushTimer = 0;

        // The round went through the upload and failed on the second page of its pull.
        CloudSync::Result result;
        result.account = cloud().account;
        result.done = {sent};
        result.items = {Row(L"persona", L"p7", "2025-03-05T00:00:00+00:00")};
        result.cursor = "2025-03-05T00:00:00+00:00";
        result.offline = c.offline;
        result.error = c.error;
        Apply(result, true);

        EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"persona:p2"}) << c.what;
        EXPECT_EQ(cloud().synced.count(L"persona:p1"), 1u) << c.what;
        EXPECT_TRUE(applied_.empty()) << c.what;
        EXPECT_TRUE(events_.empty()) << c.what;
        EXPECT_EQ(cloud().cursor, "2025-03-01T00:00:00+00:00") << c.what;
        EXPECT_EQ(cloud().lastSync, L"before") << c.what;
        EXPECT_TRUE(cloud().mergePending) << c.what;
        EXPECT_EQ(cloud().offline, c.offline) << c.what;
        EXPECT_EQ(cloud().lastError, c.lastError) << c.what;
        EXPECT_FALSE(cloud().syncing) << c.what;
        // The rest waits for the next change or the two-minute round, and the file knows it.
        EXPECT_EQ(cloud().flushTimer, 0u) << c.what;
        const Json::Value written = Json::Value::Parse(Files::ReadBytes(CloudSync::StatePath()).value_or(""));
        EXPECT_EQ(written.Find("queue").Size(), 1u) << c.what;
    }

    // A clean round clears what the failed one left.
    Apply(Pulled({}, ""), false);
    EXPECT_FALSE(cloud().offline);
    EXPECT_TRUE(cloud().lastError.empty());
    EXPECT_NE(cloud().lastSync, L"before");
}

TEST_F(SyncApply, ARefusedSessionEndsInTheExpiryNoticeAndAppliesNothing) {
    const int64_t seq = Queue(L"persona", L"p1");
    CloudSync::Result result =
        Pulled({Row(L"persona", L"p9", "2025-03-02T00:00:00+00:00")}, "2025-03-02T00:00:00+00:00");
    result.done = {seq};
    result.unauthorized = true;
    result.error = L"Sesión no válida";
    Apply(result, true);

    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].first, kExpired);
    EXPECT_TRUE(notices_[0].second);
    // The queue waits for the next sign-in of the same user.
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"persona:p1"});
    EXPECT_TRUE(cloud().synced.empty());
    EXPECT_TRUE(applied_.empty());
    EXPECT_TRUE(cloud().cursor.empty());
    EXPECT_TRUE(cloud().lastSync.empty());
}

// The round left out the rows this PC agreed on already; every other row, of a queued record too,
// reaches the application state, which merges it with what it holds now.
TEST_F(SyncApply, PulledRowsGoInOrderBeforeTheMergeAndTheCleaningAndQueuedChangesStay) {
    cloud().mergePending = true;
    cloud().onMergeNeeded = [this] { events_.push_back(L"merge"); };
    cloud().imageNames = [this] {
        events_.push_back(L"names");
        return std::set<std::wstring>{};
    };
    Queue(L"persona", L"mine");
    Queue(L"chat", L"c1:x", true);
    CloudSync::Result result = Pulled(
        {Row(L"persona", L"b", "2025-03-02T00:00:00+00:00"),
         Row(L"persona", L"mine", "2025-03-02T00:00:01+00:00", L"cloud"),
         Row(L"chat", L"c1:x", "2025-03-02T00:00:02+00:00"), Row(L"character", L"a", "2025-03-02T00:00:03+00:00")},
        "2025-03-02T00:00:03+00:00");
    result.listed = true;
    Apply(result, true);

    EXPECT_EQ(Keys(applied_),
              (std::vector<std::wstring>{L"persona:b", L"persona:mine", L"chat:c1:x", L"character:a"}));
    EXPECT_EQ(events_, (std::vector<std::wstring>{L"pulled", L"merge", L"names"}));
    EXPECT_EQ(cloud().pending.at(L"persona:mine").hash, CloudSync::ChangeHash(Named(L"x")));
    EXPECT_EQ(cloud().cursor, "2025-03-02T00:00:03+00:00");
    EXPECT_FALSE(cloud().mergePending);
    EXPECT_TRUE(cloud().storageListed);

    // The merge ran once: a later full round of the run does not merge again.
    events_.clear();
    Apply(Pulled({Row(L"persona", L"c", "2025-03-04T00:00:00+00:00")}, "2025-03-04T00:00:00+00:00"), true);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"pulled"});
}

TEST_F(SyncApply, RowsLeftForALaterPullHoldTheCursorAtTheOldestOfThem) {
    const std::string t1 = "2025-03-02T10:00:00.1+00:00";
    const std::string t2 = "2025-03-02T10:00:00.25+00:00";
    const std::string t3 = "2025-03-02T10:00:01+00:00";
    const std::string t0 = "2025-03-02T11:00:00.05+01:00";
    struct Case {
        const char* what;
        std::vector<std::wstring> left;
        std::string cursor;
    };
    const Case cases[] = {
        {"nothing left", {}, t3},
        {"one chat left", {L"chat:c:2"}, t2},
        {"two chats left", {L"chat:c:3", L"chat:c:2"}, t2},
        {"the first row left", {L"chat:c:1"}, t1},
        {"a row without a stamp left", {L"chat:c:0"}, "before"},
        // Stamps are times: this one is before t1, though its text sorts after t3.
        {"a row stamped in another offset", {L"chat:c:3", L"chat:c:4"}, t0},
    };
    for (const Case& c : cases) {
        cloud().cursor = "before";
        leftForLater_ = c.left;
        Apply(Pulled({Row(L"chat", L"c:1", t1), Row(L"chat", L"c:2", t2), Row(L"chat", L"c:3", t3),
                      Row(L"chat", L"c:0", ""), Row(L"chat", L"c:4", t0)},
                     t3),
              true);
        EXPECT_EQ(cloud().cursor, c.cursor) << c.what;
    }

    // A row kept back by a queued local change is no reason to stop: the local change wins.
    cloud().cursor = "before";
    leftForLater_.clear();
    Queue(L"chat", L"c:1");
    Apply(Pulled({Row(L"chat", L"c:1", t1), Row(L"chat", L"c:2", t2)}, t2), true);
    EXPECT_EQ(cloud().cursor, t2);
}

// ---- The renewed session ----

TEST_F(SyncApply, ARenewedPairIsTakenOnlyWhenNothingRenewedTheSessionSince) {
    Put(Data(L"keep.txt"), "data");
    struct Case {
        const char* what;
        std::string held;  // the refresh token the account holds when the result arrives
        bool updating;     // a profile update runs
        bool tokens;       // the round's pair is taken
        bool profile;      // the round's name and avatar are taken
    };
    const Case cases[] = {
        {"nothing renewed since", "refresh-1", false, true, true},
        {"a profile update renewed it since", "refresh-9", false, false, false},
        {"a profile update is running", "refresh-1", true, true, false},
    };
    for (const Case& c : cases) {
        cloud().account.accessToken = "access-held";
        cloud().account.refreshToken = c.held;
        cloud().account.expiresAt = 100;
        cloud().account.displayName = L"Ana";
        cloud().account.avatarFile = L"..\\keep.txt";  // a hostile name from an earlier answer
        cloud().userUpdateBusy = c.updating;
        Files::RemoveFile(CloudSync::AccountPath());

        CloudSync::Result result = Pulled({}, "");
        result.accountChanged = true;
        result.renewedFrom = "refresh-1";
        result.account.accessToken = "access-2";
        result.account.refreshToken = "refresh-2";
        result.account.expiresAt = 200;
        result.account.displayName = L"Ana del servidor";
        result.account.avatarFile = L"avatar_2.png";
        Apply(result, true);

        EXPECT_EQ(cloud().account.refreshToken, c.tokens ? "refresh-2" : c.held) << c.what;
        EXPECT_EQ(cloud().account.accessToken, c.tokens ? "access-2" : "access-held") << c.what;
        EXPECT_EQ(cloud().account.expiresAt, c.tokens ? 200 : 100) << c.what;
        EXPECT_EQ(cloud().account.displayName, c.profile ? L"Ana del servidor" : L"Ana") << c.what;
        EXPECT_EQ(cloud().account.avatarFile, c.profile ? L"avatar_2.png" : L"..\\keep.txt") << c.what;
        EXPECT_EQ(Files::IsFile(CloudSync::AccountPath()), c.tokens) << c.what;
        EXPECT_TRUE(Files::IsFile(Data(L"keep.txt"))) << c.what;  // never deleted through a path
    }
}

TEST_F(SyncApply, ARenewedProfileDeletesTheOldAvatarButNotTheNewOneUnderAnotherLetterCase) {
    struct Case {
        std::wstring held;
        std::wstring renewed;
        bool oldStays;
    };
    const Case cases[] = {
        {L"old.png", L"new.png", false},
        {L"Me.png", L"me.png", true},
        {L"old.png", L"", false},
    };
    for (const Case& c : cases) {
        Put(Images(c.held));
        cloud().account.refreshToken = "refresh-1";
        cloud().account.avatarFile = c.held;
        CloudSync::Result result = Pulled({}, "");
        result.accountChanged = true;
        result.renewedFrom = "refresh-1";
        result.account.refreshToken = "refresh-2";
        result.account.avatarFile = c.renewed;
        Apply(result, false);
        EXPECT_EQ(Files::IsFile(Images(c.held)), c.oldStays) << Text::ToUtf8(c.held);
        EXPECT_EQ(cloud().account.avatarFile, c.renewed);
    }
}

// ---- Orphan pictures in the bucket ----

TEST_F(SyncApply, OnlyOldPicturesNothingUsesOrUploadsAreQueuedForDeletionAfterACleanRound) {
    cloud().imageNames = [] { return std::set<std::wstring>{L"used.png", L"known_1.png"}; };
    cloud().account.avatarFile = L"Avatar.PNG";
    Queue(L"image", L"waiting.png");
    cloud().uploaded.insert(L"leaving.png");
    Queue(L"image", L"leaving.png", true);
    const std::vector<CloudSync::ImageRow> listed = {
        {L"orphan.png", HoursAgo(25)},   // queued
        {L"recent.png", HoursAgo(23)},   // another PC's row may still come
        {L"USED.png", HoursAgo(25)},     // in use under another letter case
        {L"avatar.png", HoursAgo(25)},   // the account's avatar
        {L"waiting.png", HoursAgo(25)},  // about to go up
        {L"leaving.png", HoursAgo(25)},  // already leaving: queued again
        {L"undated.png", ""},
        {L"", HoursAgo(25)},
        {L"short.png", HoursAgo(25).substr(0, 10)},  // the date alone sorts before the cutoff
    };
    auto queuedDeletions = [] {
        std::set<std::wstring> names;
        for (const auto& [key, item] : cloud().pending) {
            if (item.kind == L"image" && item.deleted) {
                names.insert(item.id);
            }
        }
        return names;
    };

    // After a failed round nothing is cleaned, and the bucket is listed again next time.
    CloudSync::Result failed = Pulled({}, "");
    failed.listed = true;
    failed.images = listed;
    failed.error = L"Error del servidor (500)";
    Apply(failed, true);
    EXPECT_EQ(queuedDeletions(), std::set<std::wstring>{L"leaving.png"});
    EXPECT_FALSE(cloud().storageListed);

    CloudSync::Result clean = Pulled({}, "");
    clean.listed = true;
    clean.images = listed;
    Apply(clean, true);
    EXPECT_EQ(queuedDeletions(), (std::set<std::wstring>{L"orphan.png", L"leaving.png", L"short.png"}));
    EXPECT_FALSE(cloud().pending.at(L"image:waiting.png").deleted);
    EXPECT_TRUE(cloud().uploaded.count(L"orphan.png"));
    EXPECT_TRUE(cloud().storageListed);
}

// ---- The whole path against the fake backend ----

class SyncApplyAgainstBackend : public SyncApply {
protected:
    void SetUp() override {
        SyncApply::SetUp();
        cloud().roundWorker = nullptr;
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        Config::SetSupabaseForTesting(fake_.BaseUrl(), Text::ToWide(fake_.ApiKey()));
        userId_ = fake_.AddUser("ana@example.com", "secreto1");
        const std::optional<FakeSession> session = fake_.IssueSession("ana@example.com");
        ASSERT_TRUE(session.has_value());
        cloud().account.accessToken = session->accessToken;
        cloud().account.refreshToken = session->refreshToken;
        cloud().account.expiresAt = session->expiresAt;
        cloud().account.userId = Text::ToWide(userId_);
        cloud().account.email = L"ana@example.com";
        cloud().stateUserId = cloud().account.userId;
        // Rounds read each record from its file, as they do from the application state's.
        cloud().locateRecords = [](std::vector<CloudSync::QueueItem>& items) {
            for (CloudSync::QueueItem& item : items) {
                if (item.kind != L"image") {
                    item.source = RecordFile(item.kind, item.id);
                }
            }
        };
    }

    static std::wstring RecordFile(const std::wstring& kind, const std::wstring& id) {
        std::wstring name = kind + L"-" + id + L".json";
        std::replace(name.begin(), name.end(), L':', L'_');
        return Files::JoinPath(Paths::DataDir(), name);
    }

    // A record stored in its file and queued as its notifier queues it; its upload form. A chat's
    // text is its memory, anything else's its name.
    static Json::Value Store(const std::wstring& kind, const std::wstring& id, const std::wstring& text) {
        Json::Value record;
        if (kind == L"chat") {
            Chat chat;
            chat.id = id.substr(id.find(L':') + 1);
            chat.timestamp = L"2025-03-01T10:00:00.0000000+01:00";
            chat.memory = text;
            record = Chat::ToJson(chat);
        } else {
            Persona persona;
            persona.id = id;
            persona.name = text;
            record = Persona::ToJson(persona);
        }
        EXPECT_TRUE(Storage::WriteFileAtomic(RecordFile(kind, id), record));
        CloudSync::QueueItem item;
        item.kind = kind;
        item.id = id;
        if (kind == L"chat") {
            item.parentId = id.substr(0, id.find(L':'));
        }
        cloud().MarkChanged(item, record);
        return record;
    }

    void TearDown() override {
        PumpUntil([] { return !cloud().syncing; });
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
        SyncApply::TearDown();
    }

    // The round's worker comes with the picture-name check; before it, a round only fails.
    FakeSupabase fake_;
    std::string userId_;
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

TEST_F(SyncApplyAgainstBackend, AFullRoundPullsUploadsAndMovesTheCursor) {
    fake_.PutRow(userId_, "persona", "other-pc", Json::Value(Json::Object{{"name", Json::Value("Bea")}}));
    const Json::Value mine = Store(L"persona", L"mine", L"Ana");
    cloud().Start(true);
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));

    EXPECT_TRUE(cloud().lastError.empty()) << Text::ToUtf8(cloud().lastError);
    EXPECT_TRUE(cloud().pending.empty());
    EXPECT_EQ(cloud().synced.at(L"persona:mine"), CloudSync::ChangeHash(mine));
    const std::vector<FakeRow> rows = fake_.Rows(userId_);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, "mine");
    EXPECT_EQ(rows[0].data.Find("name").AsString(), "Ana");
    // No PC's clock goes up with the record: merges never weigh edits by time.
    EXPECT_EQ(rows[0].data.Find("changed_at").kind, Json::Type::Null);
    // The other PC's row reaches the application state.
    EXPECT_EQ(Keys(applied_), std::vector<std::wstring>{L"persona:other-pc"});
    EXPECT_FALSE(cloud().cursor.empty());
    EXPECT_FALSE(cloud().lastSync.empty());
    EXPECT_TRUE(notices_.empty());

    // The next round reads our own row back: the cloud holds what this PC holds, so it does not
    // reach the application state again. (The other PC's row, at the cursor's stamp, does: this
    // stand-in for the application state never marks what it gets as synced.)
    applied_.clear();
    cloud().Start(true);
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));
    EXPECT_EQ(Keys(applied_), std::vector<std::wstring>{L"persona:other-pc"});
}

TEST_F(SyncApplyAgainstBackend, AnOlderStateFileWithFormsInItsQueueLoadsAndUploadsThem) {
    // What an earlier version wrote: the upload forms inside the queue, and no record files.
    const Json::Value form(Json::Object{{"id", Json::Value("p-old")}, {"name", Json::Value("De antes")}});
    const std::string text = R"({"userId":")" + userId_ +
                             R"(","cursor":"","lastSync":"","mergePending":false,)"
                             R"("synced":{},"uploaded":[],"queue":[{"kind":"persona","id":"p-old","parentId":"",)"
                             R"("data":)" +
                             form.Dump(false) + R"(,"deleted":false,"hash":")" + CloudSync::ChangeHash(form) +
                             R"("}]})";
    ASSERT_TRUE(Files::WriteBytes(CloudSync::StatePath(), text));
    cloud().pending.clear();
    cloud().LoadState();
    ASSERT_EQ(cloud().pending.size(), 1u);
    EXPECT_FALSE(Files::IsFile(RecordFile(L"persona", L"p-old")));

    cloud().Start(false);
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));
    EXPECT_TRUE(cloud().pending.empty());
    // It goes up as this version writes the record it holds.
    EXPECT_EQ(cloud().synced.at(L"persona:p-old"), CloudSync::ChangeHash(Persona::ToJson(*Persona::FromJson(form))));
    const std::vector<FakeRow> rows = fake_.Rows(userId_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].data.Find("name").AsString(), "De antes");
    // Written back in the new form, without the record.
    EXPECT_EQ(Files::ReadBytes(CloudSync::StatePath()).value_or("").find("De antes"), std::string::npos);
}

TEST_F(SyncApplyAgainstBackend, WhatTheCloudRefusesIsSetAsideListedWithItsReasonAndSentAgainOnlyWhenItChanges) {
    // A picture named in a migrated folder and a chat holding a NUL character, beside a persona.
    ASSERT_TRUE(Files::EnsureDir(Paths::ImagesDir()));
    ASSERT_TRUE(Files::WriteBytes(Files::JoinPath(Paths::ImagesDir(), L"foto_ñ.png"), "PNG"));
    Queue(L"image", L"foto_ñ.png");
    const std::wstring nul(L"Hola\0", 5);
    Store(L"chat", L"c1:h1", nul);
    Store(L"persona", L"mine", L"Ana");
    const auto uploads = [this] {
        size_t count = 0;
        for (const std::string& target : fake_.Targets()) {
            count += target.rfind("/rest/v1/velmorin_items?on_conflict", 0) == 0 ||
                     target.rfind("/storage/v1/object/velmorin-images/", 0) == 0;
        }
        return count;
    };
    const auto round = [](bool full) {
        cloud().Start(full);
        return PumpUntil([] { return !cloud().syncing; });
    };

    ASSERT_TRUE(round(false));
    // The storage's refusal read from its "error" member, as the service sends it.
    const std::wstring badName =
        L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)";
    const std::wstring nulText = L"El texto contiene un carácter nulo, que la nube no admite";
    EXPECT_EQ(cloud().lastError, L"");
    EXPECT_EQ(cloud().StatusText(), L"No se pueden subir 2 cambios");
    EXPECT_EQ(cloud().SetAsideReasons(),
              (std::vector<std::wstring>{L"Un chat: " + nulText, L"La imagen «foto_ñ.png»: " + badName}));
    EXPECT_EQ(cloud().pending.size(), 2u);
    EXPECT_EQ(cloud().WaitingChanges(), 0u);
    EXPECT_FALSE(cloud().lastSync.empty());
    ASSERT_EQ(fake_.Rows(userId_).size(), 1u);
    EXPECT_EQ(fake_.Rows(userId_)[0].id, "mine");

    // Set aside across a restart, and out of every later round: nothing of them is sent again,
    // and the status keeps saying so for as long as they wait.
    cloud().SaveState();
    CloudSync restarted;
    restarted.LoadState();
    EXPECT_EQ(restarted.pending.size(), 2u);
    EXPECT_EQ(restarted.WaitingChanges(), 0u);
    EXPECT_EQ(restarted.SetAsideReasons(), cloud().SetAsideReasons());
    const size_t sent = uploads();
    ASSERT_TRUE(round(true));
    cloud().Start(false);
    EXPECT_FALSE(cloud().syncing);
    EXPECT_EQ(uploads(), sent);
    EXPECT_EQ(cloud().lastError, L"");
    EXPECT_EQ(cloud().StatusText(), L"No se pueden subir 2 cambios");

    // The same form queued again stays aside; a changed one goes up.
    Store(L"chat", L"c1:h1", nul);
    EXPECT_EQ(cloud().WaitingChanges(), 0u);
    Store(L"chat", L"c1:h1", L"Hola");
    EXPECT_EQ(cloud().WaitingChanges(), 1u);
    ASSERT_TRUE(round(false));
    EXPECT_EQ(cloud().lastError, L"");
    EXPECT_EQ(cloud().pending.size(), 1u);
    EXPECT_EQ(cloud().StatusText(), L"No se puede subir 1 cambio");
    EXPECT_EQ(fake_.Rows(userId_).size(), 2u);
}

TEST_F(SyncApplyAgainstBackend, ARefusedRenewalEndsTheSessionWithTheExpiryNotice) {
    // A refresh token used up elsewhere, and an access token about to expire.
    ASSERT_TRUE(Services::Supabase::Refresh(cloud().account.refreshToken).ok);
    cloud().account.expiresAt = Services::Supabase::UnixNow() + 10;
    Queue(L"persona", L"mine");
    cloud().Start(true);
    ASSERT_TRUE(PumpUntil([] { return !cloud().syncing; }));

    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].first, kExpired);
    EXPECT_TRUE(notices_[0].second);
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"persona:mine"});
    EXPECT_TRUE(fake_.Rows(userId_).empty());
}

}  // namespace
}  // namespace Lorvex::Testing

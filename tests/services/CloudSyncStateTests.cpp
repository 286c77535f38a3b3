// The cloud sync's two files, the numbering of loaded queue items, the start-time reset, and the
// timers that start the upload and write the state, driven by the dispatcher's test clock.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/Async.h"
#include "foundation/Files.h"
#include "services/sync/CloudSync.h"
#include "services/sync/CloudSyncProtection.h"
#include "tests/services/AppStateTestSupport.h"
#include "tests/services/CloudSyncTestSupport.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;
namespace Protection = Services::CloudSyncProtection;

using CloudSyncFiles = AppStateTest;

// The rounds these tests start go to a stand-in backend that takes every change, so no request
// leaves the test and a round's end is as quick as the dispatcher lets it be.
class CloudSyncTimers : public AppStateTest {
protected:
    void SetUp() override {
        AppStateTest::SetUp();
        cloud().roundWorker = AcceptEverything;
    }

    static bool RoundOver() {
        return PumpUntil([] { return !cloud().syncing; });
    }
};

std::string FileBytes(const std::wstring& path) {
    return Files::ReadBytes(path).value_or("<none>");
}

CloudSync::QueueItem Item(const std::wstring& kind, const std::wstring& id, bool deleted = false) {
    CloudSync::QueueItem item;
    item.kind = kind;
    item.id = id;
    item.deleted = deleted;
    return item;
}

Json::Value Named(const std::wstring& name) {
    return Json::Value(Json::Object{{"name", Json::Value(name)}});
}

// Signs in as the user of an "account.dat" written the way a sign-in writes it.
void WriteAccount(const std::wstring& userId) {
    CloudSync account;
    account.account.refreshToken = "refresh-" + Text::ToUtf8(userId);
    account.account.userId = userId;
    account.SaveAccount();
}

// ---- "cloud.json" ----

TEST_F(CloudSyncFiles, TheStateIsWrittenCompactInItsOrderAndReadBackWhole) {
    SignIn();
    cloud().cursor = "2025-03-01T10:00:00.5+00:00";
    cloud().lastSync = L"2025-03-01T10:00:01Z";
    cloud().mergePending = true;
    cloud().synced[L"persona:p2"] = "deleted";
    cloud().synced[L"chat:c1:x"] = CloudSync::ChangeHash(Named(L"x"));
    cloud().uploaded = {L"B.png", L"a.png"};
    cloud().MarkChanged(Item(L"persona", L"p1"), Named(L"Ana"));
    cloud().MarkChanged(Item(L"image", L"a.png"));
    cloud().MarkChanged(Item(L"chat", L"c1:x", true));
    cloud().pending.at(L"chat:c1:x").parentId = L"c1";
    cloud().SaveState();

    // The queue holds keys, hashes and sizes, never the records themselves, nor any PC's clock.
    const std::string expected =
        R"({"userId":"user-1","cursor":"2025-03-01T10:00:00.5+00:00","lastSync":"2025-03-01T10:00:01Z",)"
        R"("mergePending":true,"open":false,"synced":{"chat:c1:x":")" +
        CloudSync::ChangeHash(Named(L"x")) +
        R"(","persona:p2":"deleted"},"uploaded":["B.png","a.png"],)"
        R"("queue":[{"kind":"chat","id":"c1:x","parentId":"c1","deleted":true,"hash":"deleted","size":0},)"
        R"({"kind":"image","id":"a.png","parentId":"","deleted":false,"hash":"","size":0},)"
        R"({"kind":"persona","id":"p1","parentId":"","deleted":false,"hash":")" +
        CloudSync::ChangeHash(Named(L"Ana")) + R"(","size":14}]})";
    EXPECT_EQ(FileBytes(CloudSync::StatePath()), expected);
    EXPECT_FALSE(Files::IsFile(CloudSync::StatePath() + L".tmp"));

    // A restart: what was written is what is read, and writing it again changes nothing.
    CloudSync::ResetForTesting();
    SignIn();
    cloud().stateUserId.clear();
    cloud().LoadState();
    EXPECT_EQ(cloud().stateUserId, L"user-1");
    EXPECT_EQ(cloud().cursor, "2025-03-01T10:00:00.5+00:00");
    EXPECT_EQ(cloud().lastSync, L"2025-03-01T10:00:01Z");
    EXPECT_TRUE(cloud().mergePending);
    EXPECT_EQ(cloud().synced.at(L"persona:p2"), "deleted");
    EXPECT_EQ(cloud().uploaded, (std::set<std::wstring>{L"B.png", L"a.png"}));
    ASSERT_EQ(cloud().pending.size(), 3u);
    const CloudSync::QueueItem& chat = cloud().pending.at(L"chat:c1:x");
    EXPECT_EQ(chat.parentId, L"c1");
    EXPECT_TRUE(chat.deleted);
    EXPECT_EQ(cloud().pending.at(L"persona:p1").hash, CloudSync::ChangeHash(Named(L"Ana")));
    EXPECT_EQ(cloud().pending.at(L"persona:p1").size, 14u);
    cloud().SaveState();
    EXPECT_EQ(FileBytes(CloudSync::StatePath()), expected);
}

TEST_F(CloudSyncFiles, LoadedItemsAreNumberedSoThatNoTwoShareANumber) {
    Put(CloudSync::StatePath(), R"({"userId":"user-1","queue":[)"
                                R"({"kind":"persona","id":"a","data":{"v":1}},)"
                                R"({"id":"no-kind"},)"
                                R"({"kind":"persona","id":"b","deleted":"true","hash":7},)"
                                R"({"kind":"persona","data":{}},)"
                                R"({"kind":"persona","id":"a","data":{"v":2}}]})");
    SignIn();
    cloud().LoadState();

    // Elements without kind or id are dropped; of two with one key the later one stays.
    EXPECT_EQ(QueueOrder(), (std::vector<std::wstring>{L"-persona:b", L"persona:a"}));
    // An older file's queue carried the forms: kept as text, to go up as they were queued.
    EXPECT_EQ(cloud().pending.at(L"persona:a").form, R"({"v":2})");
    EXPECT_EQ(cloud().pending.at(L"persona:a").hash, Text::Sha256Hex(R"({"v":2})"));
    EXPECT_EQ(cloud().pending.at(L"persona:b").hash, "");
    EXPECT_EQ(cloud().lastSeq, 5);

    // A change queued now must not take a number a loaded item holds: a round that confirmed it
    // would confirm the wrong item.
    cloud().MarkChanged(Item(L"persona", L"c"), Named(L"C"));
    std::set<int64_t> numbers;
    for (const auto& [key, item] : cloud().pending) {
        numbers.insert(item.seq);
    }
    EXPECT_EQ(numbers.size(), cloud().pending.size());
    EXPECT_EQ(cloud().pending.at(L"persona:c").seq, 6);

    cloud().SaveState();
    const Json::Value written = Json::Value::Parse(FileBytes(CloudSync::StatePath()));
    EXPECT_EQ(written.Find("queue").Size(), 3u);
}

std::string Utf16Le(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

TEST_F(CloudSyncFiles, StateFilesInOtherShapesReadAsFarAsTheyGo) {
    struct Case {
        const char* what;
        std::string bytes;
        bool read;  // the owner "u" was taken over
        bool mergePending = false;
        size_t queued = 0;
    };
    const Case cases[] = {
        {"merge flag as the string \"true\"", R"({"userId":"u","mergePending":"true"})", true, true},
        {"merge flag as another string", R"({"userId":"u","mergePending":"yes"})", true, false},
        // Left open by a process that was killed: its last saves may have missed the queue.
        {"left open", R"({"userId":"u","mergePending":false,"open":true})", true, true},
        {"closed", R"({"userId":"u","mergePending":false,"open":false})", true, false},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF"
         R"({"userId":"u","queue":[{"kind":"k","id":"i"}]})",
         true, false, 1},
        {"UTF-16LE with its mark", Utf16Le(LR"({"userId":"u","mergePending":true})"), true, true},
        {"members of other types",
         R"({"userId":"u","cursor":5,"synced":[1],"uploaded":{"a":1},"queue":{"kind":"k","id":"i"}})", true},
        {"not an object", R"(["userId","u"])", false},
        {"torn", R"({"userId":"u","queue":[{"kind":"k")", false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        CloudSync::ResetForTesting();
        Put(CloudSync::StatePath(), c.bytes);
        cloud().LoadState();
        EXPECT_EQ(cloud().stateUserId, c.read ? L"u" : L"") << c.what;
        EXPECT_EQ(cloud().mergePending, c.mergePending) << c.what;
        EXPECT_EQ(cloud().pending.size(), c.queued) << c.what;
        EXPECT_TRUE(cloud().cursor.empty()) << c.what;
        EXPECT_TRUE(cloud().synced.empty()) << c.what;
        EXPECT_TRUE(cloud().uploaded.empty()) << c.what;
    }

    // The string flag is written back as a JSON bool.
    Put(CloudSync::StatePath(), R"({"userId":"user-1","mergePending":"true"})");
    CloudSync::ResetForTesting();
    SignIn();
    cloud().LoadState();
    cloud().SaveState();
    EXPECT_TRUE(Json::Value::Parse(FileBytes(CloudSync::StatePath())).Find("mergePending").kind == Json::Type::Bool);
}

// After a power cut "cloud.json" may be all zeros or cut short; the temporary its last save wrote
// beside it, when whole, holds the state instead of the empty one a torn file reads as.
TEST_F(CloudSyncFiles, ATornStateFileGivesWayToAWholeTemporary) {
    SignIn();
    cloud().cursor = "2025-03-01T10:00:00.5+00:00";
    cloud().MarkChanged(Item(L"persona", L"p1"), Named(L"Ana"));
    cloud().SaveState();
    const std::string whole = FileBytes(CloudSync::StatePath());
    for (const std::string& torn : {std::string(whole.size(), '\0'), whole.substr(0, whole.size() - 3)}) {
        for (const bool temporary : {true, false}) {
            SCOPED_TRACE(std::string(torn[0] == '\0' ? "zeros" : "cut") + (temporary ? ", whole temporary" : ""));
            Put(CloudSync::StatePath(), torn);
            Files::RemoveFile(Files::TemporaryFor(CloudSync::StatePath()));
            if (temporary) {
                Put(Files::TemporaryFor(CloudSync::StatePath()), whole);
            }
            CloudSync::ResetForTesting();
            cloud().LoadState();
            EXPECT_EQ(cloud().cursor, temporary ? "2025-03-01T10:00:00.5+00:00" : "");
            EXPECT_EQ(cloud().pending.size(), temporary ? 1u : 0u);
        }
    }
}

TEST_F(CloudSyncFiles, AFailedWriteLeavesThePreviousFile) {
    SignIn();
    cloud().account.email = L"ana@example.com";
    cloud().SaveAccount();
    cloud().SaveState();
    int round = 0;
    for (const std::wstring& path : {CloudSync::AccountPath(), CloudSync::StatePath()}) {
        const std::string before = FileBytes(path);
        ASSERT_NE(before, "<none>");
        // A folder where the temporary file goes: its write fails.
        ASSERT_TRUE(Files::EnsureDir(path + L".tmp"));
        ++round;
        cloud().account.email = L"otra" + std::to_wstring(round) + L"@example.com";
        cloud().cursor = "later" + std::to_string(round);
        cloud().SaveAccount();
        cloud().SaveState();
        EXPECT_EQ(FileBytes(path), before) << Text::ToUtf8(path);
    }
}

// ---- "account.dat" ----

TEST_F(CloudSyncFiles, TheAccountIsStoredProtectedWithoutItsAccessToken) {
    SignIn();
    cloud().account.accessToken = "access-secret";
    cloud().account.expiresAt = 1700000000;
    cloud().account.refreshToken = "refresh-secret";
    cloud().account.email = L"ana@example.com";
    cloud().account.displayName = L"Ana María";
    cloud().account.avatarFile = L"me.png";
    cloud().SaveAccount();

    const std::string sealed = FileBytes(CloudSync::AccountPath());
    EXPECT_EQ(sealed.find("refresh-secret"), std::string::npos);
    EXPECT_EQ(Protection::Unprotect(sealed).value_or("<not readable>"),
              R"({"email":"ana@example.com","userId":"user-1","refreshToken":"refresh-secret",)"
              R"("displayName":"Ana María","avatarFile":"me.png"})");

    CloudSync::ResetForTesting();
    cloud().LoadAccount();
    EXPECT_TRUE(cloud().SignedIn());
    EXPECT_EQ(cloud().account.refreshToken, "refresh-secret");
    EXPECT_EQ(cloud().account.userId, L"user-1");
    EXPECT_EQ(cloud().account.email, L"ana@example.com");
    EXPECT_EQ(cloud().account.displayName, L"Ana María");
    EXPECT_EQ(cloud().account.avatarFile, L"me.png");
    EXPECT_TRUE(cloud().account.accessToken.empty());
    EXPECT_EQ(cloud().account.expiresAt, 0);
}

TEST_F(CloudSyncFiles, AnAccountFileThatCannotBeTrustedLeavesTheUserSignedOutAndStays) {
    WriteAccount(L"user-1");
    const std::string good = FileBytes(CloudSync::AccountPath());
    auto sealed = [](const std::string& plain) { return Protection::Protect(plain).value_or(""); };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() / 2)},
        {"one byte short", good.substr(0, good.size() - 1)},
        {"junk", std::string(200, '\x5A')},
        {"plain JSON, never protected", R"({"refreshToken":"r","userId":"u"})"},
        {"protected, not JSON", sealed("refresh=r")},
        {"protected, not an object", sealed(R"(["refreshToken","r"])")},
        {"protected, token not a string", sealed(R"({"refreshToken":5,"userId":"u"})")},
        {"protected, no token", sealed(R"({"userId":"u","email":"a@b.c"})")},
        {"protected, empty token", sealed(R"({"refreshToken":"","userId":"u"})")},
    };
    for (const Case& c : cases) {
        CloudSync::ResetForTesting();
        Files::RemoveFile(CloudSync::StatePath());
        Put(CloudSync::AccountPath(), c.bytes);

        cloud().Initialize();
        cloud().OnPersonaDeleted(L"p1");
        cloud().SaveAccount();
        cloud().SaveState();
        cloud().FlushPendingSave();

        EXPECT_FALSE(cloud().SignedIn()) << c.what;
        EXPECT_TRUE(cloud().pending.empty()) << c.what;
        EXPECT_EQ(FileBytes(CloudSync::AccountPath()), c.bytes) << c.what;
        EXPECT_FALSE(Files::IsFile(CloudSync::StatePath())) << c.what;
    }

    // The next sign-in replaces it.
    SignIn();
    cloud().SaveAccount();
    CloudSync::ResetForTesting();
    cloud().LoadAccount();
    EXPECT_EQ(cloud().account.userId, L"user-1");
}

// ---- The start ----

TEST_F(CloudSyncFiles, AtStartAStateOfAnotherUserOrNoneIsReplacedByAnEmptyOneOfTheSignedInUser) {
    const std::string ofUser1 =
        R"({"userId":"user-1","cursor":"c","mergePending":false,"synced":{"persona:p":"deleted"},)"
        R"("uploaded":["a.png"],"queue":[{"kind":"persona","id":"q","deleted":true,"hash":"deleted"}]})";
    struct Case {
        const char* what;
        const wchar_t* account;  // the user of "account.dat"; none when null
        const char* state;       // "cloud.json"; none when null
        bool reset;
    };
    const Case cases[] = {
        {"another user's state", L"user-2", ofUser1.c_str(), true},
        {"no state", L"user-2", nullptr, true},
        {"a state without owner", L"user-1", R"({"queue":[{"kind":"persona","id":"q"}]})", true},
        {"the user's own state", L"user-1", ofUser1.c_str(), false},
        {"signed out", nullptr, ofUser1.c_str(), false},
    };
    for (const Case& c : cases) {
        CloudSync::ResetForTesting();
        Files::RemoveFile(CloudSync::AccountPath());
        Files::RemoveFile(CloudSync::StatePath());
        if (c.account) {
            WriteAccount(c.account);
        }
        if (c.state) {
            Put(CloudSync::StatePath(), c.state);
        }

        cloud().Initialize();

        if (c.reset) {
            EXPECT_EQ(cloud().stateUserId, c.account) << c.what;
            EXPECT_TRUE(cloud().mergePending) << c.what;
            EXPECT_TRUE(cloud().pending.empty() && cloud().synced.empty() && cloud().uploaded.empty()) << c.what;
            EXPECT_TRUE(cloud().cursor.empty()) << c.what;
            // The next write names the new owner.
            cloud().SaveState();
            const Json::Value written = Json::Value::Parse(FileBytes(CloudSync::StatePath()));
            EXPECT_EQ(written.Find("userId").AsWString(), c.account) << c.what;
            EXPECT_TRUE(written.Find("mergePending").AsBool()) << c.what;
        } else {
            EXPECT_EQ(cloud().stateUserId, L"user-1") << c.what;
            EXPECT_FALSE(cloud().mergePending) << c.what;
            EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-persona:q"}) << c.what;
            EXPECT_EQ(cloud().cursor, "c") << c.what;
        }
        Async::Shutdown();
        ASSERT_TRUE(Async::Startup());
    }
}

// A sign-in of another user resets the state, which leaves it without an owner: the write names
// the signed-in user, or the next start would take the queue for a stranger's and drop it.
TEST_F(CloudSyncFiles, AStateResetForANewUserIsWrittenAsTheirsAndKeptAtTheNextStart) {
    WriteAccount(L"user-2");
    SignIn();
    cloud().account.userId = L"user-2";
    cloud().ResetState();
    cloud().OnPersonaDeleted(L"p1");
    cloud().SaveState();

    CloudSync::ResetForTesting();
    cloud().Initialize();
    EXPECT_EQ(cloud().stateUserId, L"user-2");
    EXPECT_EQ(QueueOrder(), std::vector<std::wstring>{L"-persona:p1"});
}

// ---- Timers ----

// The dispatcher run over the test clock in small steps, as the main loop would run it.
void RunFor(double seconds, double step = 0.02) {
    const long steps = std::lround(seconds / step);
    for (long i = 0; i < steps; ++i) {
        Async::AdvanceClockForTesting(step);
        Async::Pump();
    }
}

TEST_F(CloudSyncTimers, ABurstOfChangesStartsOneRoundAfterTheLastAndWritesTheStateOnceAfterTheFirst) {
    SignIn();
    std::vector<std::pair<double, bool>> rounds;  // when, full
    cloud().roundStarted = [&](bool full) { rounds.emplace_back(Async::Now(), full); };
    // The round is held until the end: its result writes the state too, and this test counts the
    // writes of the save timer alone.
    RoundGate gate;
    cloud().roundWorker = gate.Hold(AcceptEverything);
    // Slack for the real time that passes between two dispatcher turns besides the test clock.
    const double slack = 0.15;

    const double first = Async::Now();
    double last = first;
    std::optional<double> written;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) {
            RunFor(0.03, 0.03);
        }
        last = Async::Now();
        cloud().OnPersonaDeleted(L"p" + std::to_wstring(i));
    }
    while (Async::Now() < last + 3) {
        RunFor(0.02);
        if (!written && Files::IsFile(CloudSync::StatePath())) {
            written = Async::Now();
            // Every change of the burst had been made by then.
            EXPECT_EQ(Json::Value::Parse(FileBytes(CloudSync::StatePath())).Find("queue").Size(), 10u);
            ASSERT_TRUE(Files::RemoveFile(CloudSync::StatePath()));
        }
    }

    ASSERT_TRUE(written.has_value());
    EXPECT_GE(*written, first + 0.4);
    EXPECT_LT(*written, first + 0.4 + slack);
    ASSERT_EQ(rounds.size(), 1u);
    EXPECT_GE(rounds[0].first, last + 2.5);
    EXPECT_LT(rounds[0].first, last + 2.5 + slack);
    EXPECT_FALSE(rounds[0].second);
    EXPECT_FALSE(Files::IsFile(CloudSync::StatePath()));  // written once
    EXPECT_EQ(cloud().flushTimer, 0u);
    EXPECT_EQ(cloud().saveTimer, 0u);

    // A form the cloud holds arms nothing; a later change arms a new save.
    cloud().synced[L"persona:same"] = "deleted";
    cloud().OnPersonaDeleted(L"same");
    EXPECT_EQ(cloud().flushTimer, 0u);
    EXPECT_EQ(cloud().saveTimer, 0u);
    cloud().OnPersonaDeleted(L"later");
    RunFor(0.45);
    EXPECT_TRUE(Files::IsFile(CloudSync::StatePath()));
    gate.Open();
    EXPECT_TRUE(RoundOver());
}

TEST_F(CloudSyncTimers, StartBeginsARoundOnlyWhenOneIsDue) {
    std::vector<bool> rounds;
    cloud().roundStarted = [&](bool full) { rounds.push_back(full); };

    cloud().Start(true);  // signed out
    SignIn();
    cloud().Start(false);  // nothing waits
    EXPECT_TRUE(rounds.empty());

    cloud().syncing = true;
    cloud().Start(false);
    EXPECT_TRUE(cloud().again);
    EXPECT_FALSE(cloud().againFull);
    cloud().Start(true);
    cloud().Start(false);  // a full request stays full
    EXPECT_TRUE(cloud().againFull);
    EXPECT_TRUE(rounds.empty());
    // The pretended round ends without a result: the requests it recorded go with it.
    cloud().syncing = false;
    cloud().again = false;
    cloud().againFull = false;

    cloud().Start(true);  // a full round runs with an empty queue
    EXPECT_EQ(rounds, std::vector<bool>{true});
    ASSERT_TRUE(RoundOver());

    // A round started by hand takes the armed upload with it.
    cloud().OnPersonaDeleted(L"p1");
    ASSERT_NE(cloud().flushTimer, 0u);
    cloud().Start(false);
    EXPECT_EQ(cloud().flushTimer, 0u);
    RunFor(3, 0.1);
    EXPECT_EQ(rounds, (std::vector<bool>{true, false}));
}

TEST_F(CloudSyncTimers, InitializeArmsTheFirstRoundAndTheTwoMinuteRounds) {
    std::vector<bool> rounds;
    cloud().roundStarted = [&](bool full) { rounds.push_back(full); };
    SignIn();
    cloud().Initialize();

    RunFor(0.55);
    EXPECT_TRUE(rounds.empty());
    RunFor(0.1);
    EXPECT_EQ(rounds, std::vector<bool>{true});
    ASSERT_TRUE(RoundOver());

    Async::AdvanceClockForTesting(120);
    Async::Pump();
    EXPECT_EQ(rounds, (std::vector<bool>{true, true}));
    ASSERT_TRUE(RoundOver());

    // While a round runs the interval asks for none.
    cloud().syncing = true;
    Async::AdvanceClockForTesting(120);
    Async::Pump();
    EXPECT_FALSE(cloud().again);
    cloud().syncing = false;

    // Signed out: neither timer starts anything.
    cloud().account = {};
    Async::AdvanceClockForTesting(120);
    Async::Pump();
    EXPECT_EQ(rounds.size(), 2u);
}

TEST_F(CloudSyncTimers, ASignedOutStartArmsNoFirstRound) {
    std::vector<bool> rounds;
    cloud().roundStarted = [&](bool full) { rounds.push_back(full); };
    cloud().Initialize();
    SignIn();  // signed in later, as a sign-in would
    RunFor(1, 0.1);
    EXPECT_TRUE(rounds.empty());
}

TEST_F(CloudSyncTimers, APendingStateSaveIsWrittenAtClose) {
    SignIn();
    cloud().FlushPendingSave();  // nothing armed: nothing written
    EXPECT_FALSE(Files::IsFile(CloudSync::StatePath()));

    cloud().OnPersonaDeleted(L"p1");
    cloud().FlushPendingSave();
    EXPECT_EQ(cloud().saveTimer, 0u);
    EXPECT_EQ(Json::Value::Parse(FileBytes(CloudSync::StatePath())).Find("queue").Size(), 1u);

    // The armed save was taken over, not left to run again.
    ASSERT_TRUE(Files::RemoveFile(CloudSync::StatePath()));
    RunFor(1, 0.1);
    EXPECT_FALSE(Files::IsFile(CloudSync::StatePath()));
}

}  // namespace
}  // namespace Lorvex::Testing

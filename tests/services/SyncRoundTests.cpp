// A sync round on its worker against the stateful fake backend: the requests it sends and in
// which order, the record batches, the session renewed once on a refused token, keyset paging
// that loses no row changed between two pages, downloads that keep only whole pictures, names and
// ids from the server kept out of every path outside "images", and how each failure ends a round.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "graphics/Images.h"
#include "services/sync/CloudSync.h"
#include "services/sync/CloudSyncRound.h"
#include "services/sync/Supabase.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

using Services::CloudSync;

const std::string kListTarget = "/storage/v1/object/list/velmorin-images";
const std::string kPullTarget = "/rest/v1/velmorin_items?select=";
const std::string kUpsertTarget = "/rest/v1/velmorin_items?on_conflict=user_id,kind,id";
// The pull every round begins with, from an empty cursor.
const std::string kFirstPull =
    "/rest/v1/velmorin_items?select=kind,id,parent_id,data,deleted,updated_at&order=updated_at.asc,kind.asc,id.asc"
    "&limit=500&offset=0";

std::string Png(uint32_t side = 8) {
    return Images::Encode(side, side, std::vector<uint32_t>(size_t(side) * side, 0xFF3366CCu), true, 0.85f);
}

// A queued record whose form the test gives as its text, as an item of an older "cloud.json" carries it.
// The record's upload form as this PC writes it: its reader and writer over the data, picture
// paths cut to file names, the id the item's.
Json::Value Normal(const std::wstring& kind, const std::wstring& id, const Json::Value& data) {
    Json::Value form;
    if (kind == L"character") {
        auto record = Character::FromJson(data);
        record->id = id;
        form = Character::ToJson(*record);
    } else if (kind == L"chat") {
        auto record = Chat::FromJson(data);
        record->id = id.substr(id.find(L':') + 1);
        form = Chat::ToJson(*record);
    } else {
        auto record = Persona::FromJson(data);
        record->id = id;
        form = Persona::ToJson(*record);
    }
    return CloudSync::StripPhotoPaths(form);
}

CloudSync::QueueItem Record(const std::wstring& kind, const std::wstring& id, const Json::Value& data, int64_t seq) {
    CloudSync::QueueItem item;
    item.kind = kind;
    item.id = id;
    if (data.kind != Json::Type::Null) {
        item.form = Normal(kind, id, data).Dump(false);
        item.hash = Text::Sha256Hex(item.form);
    }
    item.seq = seq;
    return item;
}

CloudSync::QueueItem Deletion(const std::wstring& kind, const std::wstring& id, int64_t seq) {
    CloudSync::QueueItem item = Record(kind, id, Json::Value(), seq);
    item.deleted = true;
    return item;
}

Json::Value Named(const std::string& name, const std::string& photo = {}) {
    Json::Value data;
    data["name"] = Json::Value(name);
    if (!photo.empty()) {
        data["photoPath"] = Json::Value(photo);
    }
    return data;
}

std::vector<std::wstring> Ids(const CloudSync::Result& result) {
    std::vector<std::wstring> ids;
    for (const CloudSync::RemoteItem& row : result.items) {
        ids.push_back(row.kind + L"/" + row.id);
    }
    return ids;
}

class SyncRound : public ::testing::Test {
protected:
    void SetUp() override {
        // Encoding test pictures needs COM on this thread, as the round's worker has it.
        comEntered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        Config::SetSupabaseForTesting(fake.BaseUrl(), Text::ToWide(fake.ApiKey()));
        data_ = MakeTempFolder(L"lorvex-round");
        Paths::SetDataDirForTesting(Files::JoinPath(data_, L"data"));
        Files::EnsureDir(Paths::ImagesDir());
        userId = fake.AddUser("ana@example.com", "secreto1", true, Json::Value(Json::Object{}));
        const FakeSession session = *fake.IssueSession("ana@example.com");
        account.accessToken = session.accessToken;
        account.refreshToken = session.refreshToken;
        account.expiresAt = session.expiresAt;
        account.userId = Text::ToWide(userId);
        account.email = L"ana@example.com";
    }

    void TearDown() override {
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
        Files::RemoveTree(data_);
        if (comEntered_) {
            CoUninitialize();
        }
    }

    CloudSync::Job Job(std::vector<CloudSync::QueueItem> items = {}, bool full = false, bool list = false) const {
        CloudSync::Job job;
        job.account = account;
        job.items = std::move(items);
        job.full = full;
        job.listStorage = list;
        return job;
    }

    std::wstring Image(const std::wstring& name) const { return Files::JoinPath(Paths::ImagesDir(), name); }
    std::string ObjectPath(const std::string& name) const { return userId + "/" + name; }

    size_t Count(const std::string& targetPrefix) const {
        const std::vector<std::string> targets = fake.Targets();
        return std::count_if(targets.begin(), targets.end(),
                             [&](const std::string& target) { return target.rfind(targetPrefix, 0) == 0; });
    }

    // Every file under the test's folder, relative to it.
    std::vector<std::wstring> FilesWritten() const {
        std::vector<std::wstring> names;
        for (const std::wstring& path : Files::ListFiles(data_, L"*", true)) {
            names.push_back(path.substr(data_.size() + 1));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    FakeSupabase fake;
    std::string userId;
    CloudSync::Account account;
    std::wstring data_;

private:
    bool comEntered_ = false;
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

// ---- The static helpers ----

TEST(SyncRoundHelpers, MimeTypeAndStoragePathFollowTheName) {
    const std::vector<std::pair<std::wstring, std::wstring>> types = {
        {L"a.png", L"image/png"},
        {L"a.PNG", L"image/png"},
        {L"a.jpg", L"image/jpeg"},
        {L"a.JPEG", L"image/jpeg"},
        {L"a.gif", L"image/gif"},
        {L"a.webp", L"image/webp"},
        {L"a.bmp", L"image/bmp"},
        {L"a.tiff", L"application/octet-stream"},
        {L"png", L"application/octet-stream"},
    };
    for (const auto& [name, type] : types) {
        EXPECT_EQ(CloudSync::MimeType(name), type) << Text::ToUtf8(name);
    }

    EXPECT_EQ(CloudSync::StoragePath(L"u-1", L"char_1.png"), L"velmorin-images/u-1/char_1.png");
    EXPECT_EQ(CloudSync::StoragePath(L"u 1", L"Mí foto~(2).png"), L"velmorin-images/u%201/M%C3%AD%20foto~%282%29.png");
}

TEST(SyncRoundHelpers, OnlyAPlainFileNameIsASafePictureName) {
    const std::vector<std::pair<std::wstring, bool>> names = {
        {L"char_0b5c.png", true},
        {L"Mí foto (2).jpg", true},
        {L"", false},
        {L"..\\x.png", false},
        {L"a/b.png", false},
        {L"a\\b.png", false},
        {L"C:x.png", false},
        {L"x.png:stream", false},
        {L"..", false},
        {L"a..b.png", false},
        {L"CON.png", false},
        {L"nul", false},
        {L"com1.jpg", false},
        {L"x.png.", false},
        {L"x.png ", false},
        {L"a?.png", false},
        {L"a\tb.png", false},
        {std::wstring(156, L'a') + L".png", true},
        {std::wstring(157, L'a') + L".png", false},
    };
    for (const auto& [name, safe] : names) {
        EXPECT_EQ(CloudSync::IsSafePictureName(name), safe) << Text::ToUtf8(name);
    }
}

TEST_F(SyncRound, ShrinkForUploadReencodesOnlyLargePngAndJpegWhenThatIsSmaller) {
    // A small picture padded after its end: it decodes as it is and re-encodes far smaller.
    const std::string png = Png(64);
    const auto padded = [&png](size_t size) { return png + std::string(size - png.size(), '\0'); };
    const std::string notAPicture(600000, 'x');
    struct Case {
        std::wstring name;
        std::string bytes;
        bool shrunk;
    };
    const std::vector<Case> cases = {
        {L"a.png", padded(524288), false}, {L"a.png", padded(524289), true},  {L"a.JPG", padded(600000), true},
        {L"a.jpeg", padded(600000), true}, {L"a.gif", padded(600000), false}, {L"a", padded(600000), false},
        {L"a.png", notAPicture, false},
    };
    for (const Case& c : cases) {
        const std::string sent = CloudSync::ShrinkForUpload(c.name, c.bytes);
        if (c.shrunk) {
            EXPECT_LT(sent.size(), c.bytes.size()) << Text::ToUtf8(c.name) << " " << c.bytes.size();
            EXPECT_TRUE(Images::DecodesAsPicture(sent));
        } else {
            EXPECT_EQ(sent, c.bytes) << Text::ToUtf8(c.name) << " " << c.bytes.size();
        }
    }
}

// ---- Requests and their order ----

TEST_F(SyncRound, AFullRoundPullsThenUploadsThenFetchesPhotosThenListsInTheShapesTheServiceTakes) {
    ASSERT_TRUE(Files::WriteBytes(Image(L"new.png"), Png()));
    fake.PutObject(ObjectPath("old.png"), Png());
    fake.PutObject(ObjectPath("remote.png"), Png());
    fake.PutRow(userId, "persona", "p-remote", Named("Remota", "remote.png"));
    fake.PutObject(ObjectPath("me.png"), Png(4));
    account.avatarFile = L"me.png";
    Json::Value chat;
    chat["timestamp"] = Json::Value("2025-03-01T10:00:00.0000000+01:00");
    chat["messages"] = Json::Value::EmptyArray();
    CloudSync::QueueItem chatItem = Record(L"chat", L"c-1:chat-1", chat, 4);
    chatItem.parentId = L"c-1";
    CloudSync::Job job =
        Job({Deletion(L"image", L"old.png", 1), Record(L"image", L"new.png", Json::Value(), 2),
             Record(L"character", L"c-1", Named("Ana", "new.png"), 3), chatItem, Deletion(L"persona", L"p-gone", 5)},
            true, true);
    const CloudSync::Result result = CloudSync::RunRound(job);

    EXPECT_EQ(result.error, L"");
    EXPECT_EQ(result.done, (std::vector<int64_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(result.sent.empty());  // each went up in the form it was queued in
    EXPECT_TRUE(result.pulled);
    EXPECT_TRUE(result.listed);
    EXPECT_FALSE(result.accountChanged);
    // The pictures fetched are in the cloud: nothing uploads them again.
    EXPECT_EQ(result.downloaded, (std::vector<std::wstring>{L"remote.png", L"me.png"}));

    const std::vector<RecordedRequest> requests = fake.Requests();
    std::vector<std::string> calls;
    for (const RecordedRequest& request : requests) {
        calls.push_back(request.method + " " + request.target.substr(0, request.target.find('?')));
    }
    const std::string object = "/storage/v1/object/velmorin-images/" + userId;
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "GET /rest/v1/velmorin_items",
                         "DELETE " + object + "/old.png",
                         "POST " + object + "/new.png",
                         "POST /rest/v1/velmorin_items",
                         "GET /storage/v1/object/authenticated/velmorin-images/" + userId + "/remote.png",
                         "GET /storage/v1/object/authenticated/velmorin-images/" + userId + "/me.png",
                         "POST " + kListTarget,
                     }));
    // The key, the bearer token, then the request's own headers.
    const auto position = [](const RecordedRequest& request, const std::string& name) {
        const std::vector<std::string> names = request.HeaderNames();
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(position(request, "apikey") + 1, position(request, "Authorization")) << request.target;
        EXPECT_EQ(request.Header("Authorization").value_or(""), "Bearer " + account.accessToken);
    }
    EXPECT_EQ(requests[0].target,
              "/rest/v1/velmorin_items?select=kind,id,parent_id,data,deleted,updated_at"
              "&order=updated_at.asc,kind.asc,id.asc&limit=500&offset=0");
    EXPECT_LT(position(requests[2], "Authorization"), position(requests[2], "x-upsert"));
    EXPECT_LT(position(requests[3], "Authorization"), position(requests[3], "Prefer"));
    EXPECT_EQ(requests[2].Header("x-upsert").value_or(""), "true");
    EXPECT_EQ(requests[2].Header("Content-Type").value_or(""), "image/png");
    EXPECT_EQ(requests[2].body, Png());
    EXPECT_EQ(requests[3].target, kUpsertTarget);
    EXPECT_EQ(requests[3].Header("Prefer").value_or(""), "resolution=merge-duplicates,return=minimal");
    EXPECT_EQ(requests[3].Header("Content-Type").value_or(""), "application/json");
    EXPECT_EQ(requests[3].body,
              R"([{"user_id":")" + userId + R"(","kind":"character","id":"c-1","parent_id":null,"data":)" +
                  Normal(L"character", L"c-1", Named("Ana", "new.png")).Dump(false) + R"(,)" +
                  R"("deleted":false},{"user_id":")" + userId +
                  R"(","kind":"chat","id":"c-1:chat-1","parent_id":"c-1","data":)" +
                  Normal(L"chat", L"c-1:chat-1", chat).Dump(false) + R"(,"deleted":false},)"
                  R"({"user_id":")" +
                  userId + R"(","kind":"persona","id":"p-gone","parent_id":null,"data":null,"deleted":true}])");
    EXPECT_EQ(Content(Image(L"me.png")), Png(4));
    EXPECT_EQ(requests[6].body, R"({"prefix":")" + userId + R"(","limit":1000,"offset":0})");

    // What the cloud holds now, and what came back: what was there before the uploads.
    EXPECT_FALSE(fake.Object(ObjectPath("old.png")).has_value());
    EXPECT_EQ(fake.Object(ObjectPath("new.png")).value_or(FakeObject{}).bytes, Png());
    EXPECT_EQ(Content(Image(L"remote.png")), Png());
    EXPECT_EQ(Ids(result), std::vector<std::wstring>{L"persona/p-remote"});
    EXPECT_EQ(result.items.back().updatedAt, result.cursor);
    std::vector<std::wstring> listed;
    for (const CloudSync::ImageRow& row : result.images) {
        listed.push_back(row.name);
        EXPECT_EQ(row.createdAt.size(), 24u);
    }
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"me.png", L"new.png", L"remote.png"}));

    // Rows at the cursor's own stamp come again; a round that is not full pulls too, and ends
    // after its uploads.
    const size_t before = fake.Requests().size();
    job.cursor = result.cursor;
    job.items.clear();
    job.listStorage = false;
    const CloudSync::Result again = CloudSync::RunRound(job);
    EXPECT_EQ(Ids(again), (std::vector<std::wstring>{L"persona/p-remote", L"character/c-1", L"chat/c-1:chat-1",
                                                     L"persona/p-gone"}));
    EXPECT_TRUE(again.items.back().deleted);
    EXPECT_EQ(again.items[2].parentId, L"c-1");
    EXPECT_EQ(again.items.back().updatedAt, again.cursor);
    EXPECT_EQ(fake.Targets().back(), requests[0].target.substr(0, requests[0].target.size() - 9) + "&updated_at=gte." +
                                         Text::UrlEncode(result.cursor) + "&offset=0");
    EXPECT_EQ(fake.Requests().size(), before + 1);
    job.cursor = again.cursor;
    job.full = false;
    EXPECT_TRUE(CloudSync::RunRound(job).done.empty());
    EXPECT_EQ(fake.Requests().size(), before + 2);
}

TEST_F(SyncRound, RecordsTravelInBatchesOfAnEstimatedOneAndAHalfMegabytes) {
    const auto sized = [](size_t bytes) {
        Json::Value data;
        // About that many bytes once written as a character: its other members add a few hundred.
        data["background"] = Json::Value(std::string(bytes - 400, 'a'));
        return data;
    };
    std::vector<CloudSync::QueueItem> items = {
        Record(L"character", L"big", sized(2000000), 1), Record(L"character", L"m1", sized(1000000), 2),
        Record(L"character", L"m2", sized(1000000), 3), Record(L"character", L"m3", sized(1000000), 4)};
    for (int i = 0; i < 40; ++i) {
        items.push_back(Deletion(L"persona", L"gone-" + std::to_wstring(i), 10 + i));
    }
    const CloudSync::Result result = CloudSync::RunRound(Job(items));
    EXPECT_EQ(result.error, L"");
    ASSERT_EQ(result.done.size(), items.size());

    // The big one alone; two of a megabyte share; the third starts a batch that the 40 deletions
    // (64 each in the estimate) join.
    std::vector<size_t> batchSizes;
    for (const RecordedRequest& request : fake.Requests()) {
        if (request.target == kUpsertTarget) {
            batchSizes.push_back(Json::Value::Parse(request.body).Size());
        }
    }
    EXPECT_EQ(batchSizes, (std::vector<size_t>{1, 2, 41}));
    EXPECT_EQ(fake.Rows(userId).size(), items.size());
}

// ---- Pictures ----

TEST_F(SyncRound, AQueuedPictureThatIsGoneIsDoneButOneThatCannotBeReadNowStaysQueued) {
    ASSERT_TRUE(Files::WriteBytes(Image(L"held.png"), Png()));
    HeldFile held(Image(L"held.png"), GENERIC_READ, 0);
    ASSERT_TRUE(held.IsOpen());
    const CloudSync::Result result = CloudSync::RunRound(
        Job({Record(L"image", L"gone.png", Json::Value(), 1), Record(L"image", L"held.png", Json::Value(), 2),
             Record(L"image", L"..\\outside.png", Json::Value(), 3), Record(L"persona", L"p-1", Named("Ana"), 4)}));

    // Nothing to send for the first and third, the second waits for a later round, the rest goes on.
    EXPECT_EQ(result.error, L"");
    EXPECT_EQ(result.done, (std::vector<int64_t>{1, 3, 4}));
    EXPECT_EQ(fake.Targets(), (std::vector<std::string>{kFirstPull, kUpsertTarget}));

    held.Close();
    EXPECT_EQ(CloudSync::RunRound(Job({Record(L"image", L"held.png", Json::Value(), 2)})).done,
              (std::vector<int64_t>{2}));
    EXPECT_TRUE(fake.Object(ObjectPath("held.png")).has_value());
}

TEST_F(SyncRound, ABucketDeletionIsDoneOnlyWhenTheObjectIsGone) {
    struct Case {
        const char* what;
        std::optional<FakeFault> fault;
        bool done;
    };
    const std::vector<Case> cases = {
        {"deleted", std::nullopt, true},
        {"missing, as the service says it", FakeFault::Answer(400, R"({"statusCode":"404","error":"not_found"})"),
         true},
        {"404 status", FakeFault::Answer(404, R"({"message":"Object not found"})"), true},
        {"refused by policy",
         FakeFault::Answer(400, R"({"statusCode":"403","error":"Unauthorized","message":"row-level security"})"),
         false},
        {"400 without a body", FakeFault::Answer(400, ""), false},
        {"server fault", FakeFault::Answer(500, R"({"message":"boom"})"), false},
    };
    for (const Case& c : cases) {
        fake.PutObject(ObjectPath("old.png"), Png());
        if (c.fault) {
            fake.QueueFault(FakeFault(*c.fault).OnTarget("/storage/v1/object/velmorin-images/"));
        }
        // A persona the cloud has never held, so nothing holds it back for a merge.
        const std::wstring persona = L"p-" + std::to_wstring(&c - cases.data());
        const CloudSync::Result result =
            CloudSync::RunRound(Job({Deletion(L"image", L"old.png", 7), Record(L"persona", persona, Named("P"), 8)}));
        if (c.done) {
            EXPECT_EQ(result.done, (std::vector<int64_t>{7, 8})) << c.what;
            EXPECT_EQ(result.error, L"") << c.what;
        } else {
            EXPECT_TRUE(result.done.empty()) << c.what;
            EXPECT_FALSE(result.error.empty()) << c.what;
            EXPECT_FALSE(result.offline) << c.what;
        }
    }
    // A second deletion of an object already gone gets the service's own 400 "404".
    EXPECT_EQ(CloudSync::RunRound(Job({Deletion(L"image", L"never.png", 9)})).done, (std::vector<int64_t>{9}));
}

TEST_F(SyncRound, OnlyWholeDecodablePicturesAreKeptAndAFailedOneIsFetchedByTheNextFullRound) {
    const std::string png = Png(32);
    struct Case {
        const char* what;
        std::string stored;
        std::optional<FakeFault> fault;
    };
    const std::vector<Case> cases = {
        {"torn body", png, FakeFault::TornBody()},
        {"half a picture with its own length", png.substr(0, png.size() / 2), std::nullopt},
        {"not a picture", "<html>gateway</html>", std::nullopt},
        {"refused", png, FakeFault::Answer(500, "{}")},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "photo" + std::to_string(n++) + ".png";
        fake.PutObject(ObjectPath(name), c.stored);
        fake.PutRow(userId, "character", "c" + std::to_string(n), Named("C", name));
        if (c.fault) {
            fake.QueueFault(FakeFault(*c.fault).OnTarget("/storage/v1/object/authenticated/"));
        }
        const std::vector<std::wstring> before = FilesWritten();
        const CloudSync::Result result = CloudSync::RunRound(Job({}, true));
        // A failed download does not fail the round, and leaves nothing behind.
        EXPECT_TRUE(result.pulled) << c.what;
        EXPECT_EQ(result.error, L"") << c.what;
        EXPECT_EQ(FilesWritten(), before) << c.what;

        // Once the object is whole, the next full round that pulls the row fetches it.
        fake.PutObject(ObjectPath(name), png);
        EXPECT_TRUE(CloudSync::RunRound(Job({}, true)).pulled);
        EXPECT_EQ(Content(Image(Text::ToWide(name))), png) << c.what;
    }
    EXPECT_EQ(FilesWritten().size(), cases.size());
}

TEST_F(SyncRound, NamesAndIdsFromTheServerNeverLeaveTheImagesFolderNorBecomePulledRows) {
    const std::vector<std::string> hostile = {"..\\x.png", "a/b.png", "CON.png",
                                              "x.png.",    "C:x.png", "..\\..\\..\\x.png"};
    for (size_t i = 0; i < hostile.size(); ++i) {
        fake.PutObject(ObjectPath(hostile[i]), Png());
        const std::string n = std::to_string(i);
        fake.PutRow(userId, "character", "h" + n, Named("H", hostile[i]));
        Json::Value known = Named("K");
        known["known_characters"] = Json::Value(Json::Array{Named("Amiga", hostile[i])});
        fake.PutRow(userId, "persona", "k" + n, known);
    }
    const std::vector<std::string> badIds = {"..\\x", "a/b", "CON", "", "a:b"};
    for (const std::string& id : badIds) {
        fake.PutRow(userId, "character", id, Named("Bad id"));
    }
    for (const char* id : {"owner", "owner:../x", "../x:chat", "a:b:c", "owner:"}) {
        fake.PutRow(userId, "chat", id, Named("Bad chat"), false, std::string("owner"));
    }
    fake.PutRow(userId, "chat", "owner:chat-1", Named("Chat"), false, std::string("../x"));
    fake.PutRow(userId, "character", "good", Named("Good", "good.png"));
    fake.PutRow(userId, "chat", "good:chat-1", Named("Chat"), false, std::string("good"));
    fake.PutObject(ObjectPath("good.png"), Png());
    fake.PutRow(userId, "persona", "..\\last", Named("Last"));
    account.avatarFile = L"..\\avatar.png";
    fake.PutObject(ObjectPath("..\\avatar.png"), Png());

    const CloudSync::Result result = CloudSync::RunRound(Job({}, true, true));
    EXPECT_EQ(result.error, L"");
    EXPECT_TRUE(result.pulled);
    EXPECT_EQ(Ids(result), (std::vector<std::wstring>{L"character/good", L"chat/good:chat-1"}));
    EXPECT_EQ(FilesWritten(), (std::vector<std::wstring>{L"data\\images\\good.png"}));
    // The cursor still moves past the rows left out, or every round would read them again.
    std::string newest;
    for (const FakeRow& row : fake.Rows(userId)) {
        newest = std::max(newest, row.updatedAt);
    }
    EXPECT_EQ(result.cursor, newest);
    ASSERT_TRUE(result.listed);
    std::vector<std::wstring> listed;
    for (const CloudSync::ImageRow& row : result.images) {
        listed.push_back(row.name);
    }
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"good.png"}));
}

TEST_F(SyncRound, WhatTheCloudRefusesAsInvalidIsSetAsideAndEverythingElseGoesUp) {
    // Pictures of a migrated folder whose names storage does not take, beside one it does; a chat
    // holding a NUL character amid records the table takes, all in one batch.
    for (const wchar_t* name : {L"foto_ñ.png", L"foto~1.png", L"ok.png"}) {
        ASSERT_TRUE(Files::WriteBytes(Image(name), Png()));
    }
    Json::Value held;
    held["memory"] = Json::Value(std::string("Hola\0", 5));
    CloudSync::QueueItem chat = Record(L"chat", L"c-1:h-1", held, 5);
    chat.parentId = L"c-1";
    const CloudSync::Result result = CloudSync::RunRound(
        Job({Record(L"image", L"foto_ñ.png", Json::Value(), 1), Record(L"image", L"foto~1.png", Json::Value(), 2),
             Record(L"image", L"ok.png", Json::Value(), 3), Record(L"character", L"c-1", Named("Ana"), 4), chat,
             Record(L"persona", L"p-1", Named("Bea"), 6)},
            true));

    EXPECT_EQ(result.error, L"");
    EXPECT_TRUE(result.pulled);
    EXPECT_EQ(result.done, (std::vector<int64_t>{3, 4, 6}));
    const std::wstring badName =
        L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)";
    const std::wstring nul = L"El texto contiene un carácter nulo, que la nube no admite";
    ASSERT_EQ(result.refused.size(), 3u);
    EXPECT_EQ(result.refused[0].seq, 1);
    EXPECT_EQ(result.refused[0].error, badName);
    EXPECT_EQ(result.refused[1].seq, 2);
    EXPECT_EQ(result.refused[2].seq, 5);
    EXPECT_EQ(result.refused[2].error, nul);
    std::vector<std::string> objects;
    for (const FakeObject& object : fake.Objects()) {
        objects.push_back(object.path);
    }
    EXPECT_EQ(objects, std::vector<std::string>{ObjectPath("ok.png")});
    EXPECT_TRUE(Ids(result).empty());  // pulled before anything went up
    // The refused batch, then its rows one by one.
    EXPECT_EQ(Count(kUpsertTarget), 4u);

    // A batch of one is refused at once.
    EXPECT_EQ(CloudSync::RunRound(Job({chat})).refused.size(), 1u);
    EXPECT_EQ(Count(kUpsertTarget), 5u);
}

TEST_F(SyncRound, WhatTheProjectsOwnLimitsRefuseIsSetAsideAndEverythingAfterItGoesUp) {
    // The bucket takes only PNG and JPEG up to 4 KB; a check constraint refuses one persona.
    fake.SetBucketLimits(4096, {"image/png", "image/jpeg"});
    fake.SetRowCheck("velmorin_items_name_check",
                     [](const FakeRow& row) { return row.data.Find("name").AsString() != "Rechazada"; });
    std::vector<uint32_t> noise(64 * 64);
    uint32_t seed = 12345;
    for (uint32_t& pixel : noise) {
        seed = seed * 1664525u + 1013904223u;
        pixel = 0xFF000000u | (seed >> 8);
    }
    const std::string large = Images::Encode(64, 64, noise, true, 0.85f);
    ASSERT_GT(large.size(), 4096u);
    ASSERT_TRUE(Files::WriteBytes(Image(L"grande.png"), large));
    ASSERT_TRUE(Files::WriteBytes(Image(L"animada.gif"), Png()));
    ASSERT_TRUE(Files::WriteBytes(Image(L"ok.png"), Png()));

    const CloudSync::Result result = CloudSync::RunRound(
        Job({Record(L"image", L"grande.png", Json::Value(), 1), Record(L"image", L"animada.gif", Json::Value(), 2),
             Record(L"image", L"ok.png", Json::Value(), 3), Record(L"persona", L"p-1", Named("Rechazada"), 4),
             Record(L"persona", L"p-2", Named("Bea"), 5), Record(L"character", L"c-1", Named("Ana"), 6)}));

    EXPECT_EQ(result.error, L"");
    EXPECT_EQ(result.done, (std::vector<int64_t>{3, 5, 6}));
    ASSERT_EQ(result.refused.size(), 3u);
    EXPECT_EQ(result.refused[0].seq, 1);
    EXPECT_EQ(result.refused[0].error, L"La imagen es demasiado grande para la nube");
    EXPECT_EQ(result.refused[1].seq, 2);
    EXPECT_EQ(result.refused[1].error, L"La nube no admite ese tipo de archivo");
    EXPECT_EQ(result.refused[2].seq, 4);
    EXPECT_EQ(result.refused[2].error, L"El servidor rechazó la petición (error 400): new row for relation "
                                       L"\"velmorin_items\" violates check constraint \"velmorin_items_name_check\"");
    std::vector<std::string> stored;
    for (const FakeRow& row : fake.Rows(userId)) {
        stored.push_back(row.kind + "/" + row.id);
    }
    EXPECT_EQ(stored, (std::vector<std::string>{"character/c-1", "persona/p-2"}));
    ASSERT_EQ(fake.Objects().size(), 1u);
    EXPECT_EQ(fake.Objects()[0].path, ObjectPath("ok.png"));
}

// Storage's own refusals come as HTTP 400 with the real status inside, but a gateway or proxy in
// front of it refuses a body over its own limit, or a type it does not pass, with the real status
// and a page of its own or nothing, and storage's error codes name 413 and 415 as their statuses
// too. Each sets the picture aside as storage's own refusal does, and what follows still goes up;
// the same answer from the table is no refusal of one record, and ends the round.
TEST_F(SyncRound, ARealTooLargeOrUnsupportedTypeAnswerSetsThePictureAsideAndTheRestGoesUp) {
    const std::wstring tooLarge = L"La imagen es demasiado grande para la nube";
    const std::wstring badType = L"La nube no admite ese tipo de archivo";
    struct Case {
        const char* what;
        FakeFault fault;
        std::wstring reason;
    };
    const Case cases[] = {
        {"a gateway's page for 413", FakeFault::NotJson(413), tooLarge},
        {"413 without a body", FakeFault::Answer(413, ""), tooLarge},
        {"413 with storage's body",
         FakeFault::Answer(
             413,
             R"({"statusCode":"413","code":"EntityTooLarge","error":"Payload too large","message":"The object exceeded the maximum allowed size"})"),
         tooLarge},
        {"a gateway's page for 415", FakeFault::NotJson(415), badType},
        {"415 with storage's body",
         FakeFault::Answer(
             415,
             R"({"statusCode":"415","code":"InvalidMimeType","error":"invalid_mime_type","message":"mime type image/png is not supported"})"),
         badType},
    };
    ASSERT_TRUE(Files::WriteBytes(Image(L"grande.png"), Png()));
    ASSERT_TRUE(Files::WriteBytes(Image(L"ok.png"), Png()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.QueueFault(FakeFault(c.fault).OnTarget("/storage/v1/object/velmorin-images/" + ObjectPath("grande.png")));
        // A persona the cloud has never held, so nothing holds it back for a merge.
        const std::wstring persona = L"p-" + std::to_wstring(&c - cases);
        const CloudSync::Result result = CloudSync::RunRound(
            Job({Record(L"image", L"grande.png", Json::Value(), 1), Record(L"image", L"ok.png", Json::Value(), 2),
                 Record(L"persona", persona, Named("Bea"), 3)}));

        EXPECT_EQ(result.error, L"");
        EXPECT_EQ(result.done, (std::vector<int64_t>{2, 3}));
        ASSERT_EQ(result.refused.size(), 1u);
        EXPECT_EQ(result.refused[0].seq, 1);
        EXPECT_EQ(result.refused[0].error, c.reason);
        EXPECT_EQ(fake.PendingFaults(), 0u);
    }
    ASSERT_EQ(fake.Objects().size(), 1u);
    EXPECT_EQ(fake.Objects()[0].path, ObjectPath("ok.png"));
    ASSERT_EQ(fake.Rows(userId).size(), std::size(cases));

    for (const int status : {413, 415}) {
        SCOPED_TRACE(status);
        fake.QueueFault(FakeFault::NotJson(status).OnTarget(kUpsertTarget));
        const CloudSync::Result result = CloudSync::RunRound(Job({Record(L"persona", L"eva", Named("Eva"), 4)}));
        EXPECT_FALSE(result.error.empty());
        EXPECT_FALSE(result.offline);
        EXPECT_TRUE(result.done.empty());
        EXPECT_TRUE(result.refused.empty());
    }
    EXPECT_EQ(fake.Rows(userId).size(), std::size(cases));
}

TEST_F(SyncRound, AMissingBucketOrTableEndsTheRoundWithTheSetUpMessage) {
    ASSERT_TRUE(Files::WriteBytes(Image(L"ok.png"), Png()));
    const std::wstring setUp = L"La base de datos aún no está preparada (ejecuta Tools\\SupabaseSetup)";
    struct Case {
        const char* what;
        std::function<void(bool)> drop;
        CloudSync::QueueItem item;
    };
    const Case cases[] = {
        {"bucket", [&](bool dropped) { fake.DropBucket(dropped); }, Record(L"image", L"ok.png", Json::Value(), 1)},
        {"table", [&](bool dropped) { fake.DropTable(dropped); }, Record(L"persona", L"p", Named("P"), 1)},
    };
    for (const Case& c : cases) {
        c.drop(true);
        const CloudSync::Result result = CloudSync::RunRound(Job({c.item}));
        c.drop(false);
        EXPECT_EQ(result.error, setUp) << c.what;
        EXPECT_FALSE(result.offline) << c.what;
        EXPECT_TRUE(result.done.empty()) << c.what;
        EXPECT_TRUE(result.refused.empty()) << c.what;
    }
}

// ---- Paging ----

TEST_F(SyncRound, APageOfExactlyFiveHundredRowsIsFollowedByAnotherRequest) {
    for (int i = 0; i < 500; ++i) {
        fake.PutRow(userId, "persona", "p" + std::to_string(i), Named("P"));
    }
    const CloudSync::Result result = CloudSync::RunRound(Job({}, true));
    EXPECT_TRUE(result.pulled);
    EXPECT_EQ(result.items.size(), 500u);
    EXPECT_EQ(Count(kPullTarget), 2u);
    EXPECT_EQ(result.cursor, result.items.back().updatedAt);
}

TEST_F(SyncRound, RowsChangedOrAddedBetweenTwoPageRequestsAreNotLost) {
    // One upload stamps all 600 rows alike, so the second page must start inside that stamp, by
    // kind and id.
    std::vector<CloudSync::QueueItem> items;
    for (int i = 0; i < 600; ++i) {
        items.push_back(Record(L"persona", L"p" + std::to_wstring(i), Named("P"), i + 1));
    }
    ASSERT_EQ(CloudSync::RunRound(Job(items)).done.size(), 600u);

    int pages = 0;
    fake.SetRequestHook([&](const RecordedRequest& request) {
        if (request.target.rfind(kPullTarget, 0) == 0 && ++pages == 2) {
            // Another PC changes a row of the first page and adds one while this round reads.
            fake.PutRow(userId, "persona", "p10", Named("Changed"));
            fake.PutRow(userId, "character", "new", Named("New"));
        }
    });
    const CloudSync::Result result = CloudSync::RunRound(Job({}, true));
    fake.SetRequestHook({});
    EXPECT_EQ(result.error, L"");
    ASSERT_TRUE(result.pulled);
    EXPECT_EQ(pages, 2);

    std::vector<std::wstring> ids = Ids(result);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(ids.size(), 601u);
    ASSERT_EQ(result.items.size(), 602u);
    EXPECT_EQ(result.items[600].id, L"p10");
    EXPECT_EQ(result.items[600].data.Find("name").AsString(), "Changed");
    EXPECT_EQ(result.items[601].id, L"new");
    EXPECT_EQ(result.cursor, result.items[601].updatedAt);
}

TEST_F(SyncRound, StampsWithAShortFractionOrNoneAndAPlusPageWithoutALoss) {
    // Two uploads of 501 rows each, one stamped at a half second ("…:05.5+00:00"), the other at a
    // whole one ("…:07+00:00"): the pages end inside each stamp, so the next page's filter
    // carries the stamp as it came, "+" and all.
    const int64_t second =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() +
        3600;
    const auto upload = [&](const wchar_t* prefix, int64_t micros) {
        std::vector<CloudSync::QueueItem> items;
        for (int i = 0; i < 501; ++i) {
            items.push_back(Record(L"persona", prefix + std::to_wstring(i), Named("P"), i + 1));
        }
        fake.SetNextWriteTime(micros);
        ASSERT_EQ(CloudSync::RunRound(Job(items)).done.size(), 501u);
    };
    upload(L"p", (second + 5) * 1000000 + 500000);
    upload(L"q", (second + 7) * 1000000);
    const std::vector<FakeRow> rows = fake.Rows(userId);
    ASSERT_EQ(rows.front().updatedAt.substr(19), ".5+00:00");
    ASSERT_EQ(rows.back().updatedAt.substr(19), "+00:00");

    const size_t pulls = Count(kPullTarget);
    const CloudSync::Result all = CloudSync::RunRound(Job({}, true));
    EXPECT_EQ(all.error, L"");
    EXPECT_EQ(all.items.size(), 1002u);
    EXPECT_EQ(Count(kPullTarget), pulls + 3);
    EXPECT_EQ(all.cursor, rows.back().updatedAt);

    // From a cursor at the half second, as a later round reads.
    CloudSync::Job later = Job({}, true);
    later.cursor = rows.front().updatedAt;
    const CloudSync::Result fromCursor = CloudSync::RunRound(later);
    EXPECT_EQ(fromCursor.error, L"");
    EXPECT_EQ(fromCursor.items.size(), 1002u);
}

// ---- The session ----

TEST_F(SyncRound, ARefusedTokenIsRenewedOnceAndTheRequestRepeated) {
    struct Case {
        const char* what;
        CloudSync::QueueItem item;
        std::string target;
    };
    ASSERT_TRUE(Files::WriteBytes(Image(L"a.png"), Png()));
    const std::vector<Case> cases = {
        {"table", Record(L"persona", L"p", Named("P"), 1), kUpsertTarget},
        // Storage refuses an expired token with 400 and the status in its body; a deletion so
        // refused is not done until the object is gone.
        {"bucket", Record(L"image", L"a.png", Json::Value(), 1), "/storage/v1/object/velmorin-images/"},
        {"bucket deletion", Deletion(L"image", L"a.png", 1), "/storage/v1/object/velmorin-images/"},
    };
    for (const Case& c : cases) {
        const size_t before = fake.Requests().size();
        const FakeSession session = *fake.IssueSession("ana@example.com");
        account.accessToken = session.accessToken;
        account.refreshToken = session.refreshToken;
        // The token expires between the pull and the upload; the client still believes it has an hour.
        bool expired = false;
        fake.SetRequestHook([&](const RecordedRequest& request) {
            if (!expired && request.target.rfind(c.target, 0) == 0) {
                expired = true;
                fake.ExpireAccessTokens();
            }
        });

        const CloudSync::Result result = CloudSync::RunRound(Job({c.item}));
        fake.SetRequestHook({});
        EXPECT_EQ(result.error, L"") << c.what;
        EXPECT_EQ(result.done, (std::vector<int64_t>{1})) << c.what;
        EXPECT_TRUE(result.accountChanged) << c.what;
        EXPECT_EQ(result.renewedFrom, session.refreshToken) << c.what;
        EXPECT_NE(result.account.refreshToken, session.refreshToken) << c.what;
        EXPECT_TRUE(fake.RefreshTokenValid(result.account.refreshToken)) << c.what;
        EXPECT_EQ(result.account.userId, account.userId);

        std::vector<std::string> targets = fake.Targets();
        targets.erase(targets.begin(), targets.begin() + before);
        ASSERT_EQ(targets.size(), 4u) << c.what;
        EXPECT_EQ(targets[0], kFirstPull) << c.what;
        EXPECT_EQ(targets[1].rfind(c.target, 0), 0u) << c.what;
        EXPECT_EQ(targets[2], "/auth/v1/token?grant_type=refresh_token") << c.what;
        EXPECT_EQ(targets[3], targets[1]) << c.what;
    }
}

TEST_F(SyncRound, HowAFailedRenewalEndsTheRound) {
    struct Case {
        const char* what;
        std::vector<FakeFault> faults;
        bool spendToken;  // the refresh token was used elsewhere: the service refuses it
        bool unauthorized;
        bool offline;
        std::wstring error;
    };
    const std::string token = "/auth/v1/token";
    const std::vector<Case> cases = {
        {"refused", {}, true, true, false, L""},
        {"server fault",
         {FakeFault::Answer(503, "{}").OnTarget(token)},
         false,
         false,
         false,
         L"El servidor tuvo un fallo (error 503)"},
        {"rate limited",
         {FakeFault::Answer(429, R"({"code":429,"error_code":"over_request_rate_limit","msg":"slow"})")
              .OnTarget(token)},
         false,
         false,
         false,
         L"Demasiados intentos; espera un momento"},
        {"no connection", {FakeFault::Reset().OnTarget(token)}, false, false, true, L"Sin conexión con el servidor"},
        {"still refused after the renewal",
         {FakeFault::Answer(401, R"({"code":"PGRST301","message":"JWT expired"})").OnTarget("/rest/"),
          FakeFault::Answer(401, R"({"code":"PGRST301","message":"JWT expired"})").OnTarget("/rest/")},
         false,
         false,
         false,
         L"El servidor no permitió el acceso (error 401): JWT expired"},
    };
    for (const Case& c : cases) {
        const FakeSession session = *fake.IssueSession("ana@example.com");
        account.accessToken = session.accessToken;
        account.refreshToken = session.refreshToken;
        if (c.spendToken) {
            ASSERT_TRUE(Services::Supabase::Refresh(session.refreshToken).ok);
        }
        if (c.faults.empty() || c.faults[0].targetPrefix == token) {
            fake.ExpireAccessTokens();
        }
        for (const FakeFault& fault : c.faults) {
            fake.QueueFault(fault);
        }

        const CloudSync::Result result = CloudSync::RunRound(Job({Record(L"persona", L"p", Named("P"), 1)}, true));
        EXPECT_EQ(result.unauthorized, c.unauthorized) << c.what;
        EXPECT_EQ(result.offline, c.offline) << c.what;
        if (c.error.empty()) {
            EXPECT_FALSE(result.error.empty()) << c.what;
        } else {
            EXPECT_EQ(result.error, c.error) << c.what;
        }
        EXPECT_TRUE(result.done.empty()) << c.what;
        EXPECT_FALSE(result.pulled) << c.what;
        EXPECT_EQ(fake.PendingFaults(), 0u) << c.what;

        // A renewal that failed for want of the service is asked for again by the next round,
        // which goes through once the service answers.
        if (!c.unauthorized) {
            const CloudSync::Result next = CloudSync::RunRound(Job({Record(L"persona", L"p", Named("P"), 1)}, true));
            EXPECT_EQ(next.error, L"") << c.what;
            EXPECT_FALSE(next.offline) << c.what;
            EXPECT_TRUE(next.pulled) << c.what;
            EXPECT_EQ(next.done, (std::vector<int64_t>{1})) << c.what;
        }
    }
}

TEST_F(SyncRound, WithoutTheBackendTheRoundEndsOfflineWithNothingDone) {
    ASSERT_TRUE(Files::WriteBytes(Image(L"a.png"), Png()));
    const std::vector<CloudSync::QueueItem> items = {Record(L"image", L"a.png", Json::Value(), 1),
                                                     Record(L"persona", L"p", Named("P"), 2)};
    // The connection reset by the backend, or refused because nothing listens.
    fake.QueueFault(FakeFault::Reset());
    const CloudSync::Result reset = CloudSync::RunRound(Job(items, true));
    Config::SetSupabaseForTesting(L"http://127.0.0.1:" + std::to_wstring(UnusedLocalPort()),
                                  Text::ToWide(fake.ApiKey()));
    const CloudSync::Result refused = CloudSync::RunRound(Job(items, true));
    account.accessToken.clear();  // even the renewal at the start finds nobody
    const CloudSync::Result renewal = CloudSync::RunRound(Job(items, true));

    for (const CloudSync::Result* result : {&reset, &refused, &renewal}) {
        EXPECT_TRUE(result->offline);
        EXPECT_FALSE(result->unauthorized);
        EXPECT_EQ(result->error, L"Sin conexión con el servidor");
        EXPECT_TRUE(result->done.empty());
        EXPECT_FALSE(result->pulled);
    }
}

TEST_F(SyncRound, APullPageThatIsNoArrayIsAnUnexpectedAnswer) {
    fake.QueueFault(FakeFault::NotJson(200).OnTarget(kPullTarget));
    const CloudSync::Result result = CloudSync::RunRound(Job({Record(L"persona", L"p", Named("P"), 1)}, true));
    EXPECT_EQ(result.error, L"Respuesta inesperada del servidor");
    EXPECT_FALSE(result.offline);
    EXPECT_FALSE(result.pulled);
    // Nothing goes up before the pull has been read.
    EXPECT_TRUE(result.done.empty());
    EXPECT_EQ(Count(kUpsertTarget), 0u);
}

}  // namespace
}  // namespace Lorvex::Testing

// The world's machines: opening, closing and killing PCs, their clocks and ids, the rounds, the
// replies in flight and what each PC is seen to hold.

#include "tests/support/sim/SimWorld.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "foundation/json/Value.h"
#include "graphics/Images.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/sim/SimText.h"

namespace Lorvex::Testing::Sim {

namespace {

using Services::AppState;
using Services::CloudSync;

const char* const kEmail = "sim@example.com";
const wchar_t* const kEmailW = L"sim@example.com";
const wchar_t* const kPassword = L"secreto1";

// 2031-03-01T09:00:00Z in milliseconds since 1601: far ahead of any file's real time, so that a
// file stamp the sync falls back on always reads as older than what the PCs write.
constexpr int64_t kWorldStartMs = 13574595600000;

AppState& state() {
    return AppState::Instance();
}
CloudSync& cloud() {
    return CloudSync::Instance();
}

SYSTEMTIME FromMs(int64_t ms) {
    ULARGE_INTEGER ticks{};
    ticks.QuadPart = static_cast<uint64_t>(ms) * 10000;
    FILETIME file{};
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME time{};
    FileTimeToSystemTime(&file, &time);
    return time;
}

// An item key with every id cut to its first eight characters.
std::string ShortKey(const std::string& key) {
    std::string shorter;
    size_t run = 0;
    for (char c : key) {
        run = c == ':' ? 0 : run + 1;
        if (run <= 8) {
            shorter += c;
        }
    }
    return shorter;
}

// A character or persona held: the record and every text of its fields.
template <class Record>
void HoldFields(Holding& held, const RecordKey& key, const Record& record) {
    held.records.insert(key);
    for (const auto& [field, value] : Fields(record)) {
        if (!value.empty()) {
            held.texts.emplace(key, value);
        }
    }
}

bool Gated(const std::string& target) {
    return target.rfind("/rest/v1/", 0) == 0 || target.rfind("/storage/v1/", 0) == 0;
}

// Adds the time of its scope to a figure of the stats.
class Timed {
public:
    explicit Timed(double& total) : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~Timed() { total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    Timed(const Timed&) = delete;
    Timed& operator=(const Timed&) = delete;

private:
    double& total_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

World::World(uint64_t seed, int pcs, bool verbose)
    : seed_(seed), verbose_(verbose), uuids_(seed ^ 0x5DEECE66Dull), worldMs_(kWorldStartMs) {
    const Timed timed(stats_.settingUp);
    // Pictures are encoded and imported through the imaging component.
    comEntered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (!backend_.IsListening() || !provider_.IsListening()) {
        Fault("the fake servers are not listening");
    }
    savedSupabaseUrl_ = Config::SupabaseUrl();
    savedSupabaseKey_ = Config::SupabaseKey();
    savedDeepSeekUrl_ = Config::DeepSeekBaseUrl();
    savedDeepSeekKey_ = Config::DeepSeekApiKey();
    Config::SetDeepSeekForTesting(provider_.BaseUrl(), kTestApiKey);
    closedUrl_ = L"http://127.0.0.1:" + std::to_wstring(UnusedLocalPort());
    backend_.AddUser(kEmail, Text::ToUtf8(kPassword));
    backend_.SetRequestHook([this](const RecordedRequest& request) {
        if (request.target.rfind("/auth/v1/", 0) == 0) {
            ++authRequests_;
            if (request.target.rfind("/auth/v1/logout", 0) == 0) {
                ++logouts_;
            }
        } else if (request.target.rfind("/rest/v1/", 0) == 0) {
            ++(request.method == "GET" ? tableReads_ : tableWrites_);
            if (request.method == "POST") {
                std::string rows;
                const Json::Value body = Json::Value::Parse(request.body);
                for (const Json::Value& row : body.Items()) {
                    rows += ' ';
                    rows += ShortKey(row.Find("kind").AsString() + ":" + row.Find("id").AsString());
                    rows += row.Find("deleted").AsBool(false) ? "(deleted)" : "";
                }
                std::lock_guard lock(gateMutex_);
                sent_.push_back(rows);
            }
        } else if (request.target.rfind("/storage/v1/", 0) == 0) {
            ++objectRequests_;
            if (request.method == "DELETE" ||
                (request.method == "POST" && request.target.rfind("/storage/v1/object/list/", 0) != 0)) {
                ++objectWrites_;
                const size_t name = request.target.rfind('/');
                std::lock_guard lock(gateMutex_);
                sent_.push_back(" picture " + request.target.substr(name + 1, 8) +
                                (request.method == "DELETE" ? "(deleted)" : ""));
            }
        }
        if (!Gated(request.target)) {
            return;
        }
        std::unique_lock lock(gateMutex_);
        const int number = ++arrived_;
        gateChanged_.notify_all();
        if (number == gateAt_) {
            gateChanged_.wait(lock, [&] { return gateAt_ != number; });
        }
    });

    Time::SetLocalTimeForTesting([this] {
        const int zone = zoneMinutes_.load();
        Time::LocalNow now;
        now.time = FromMs(worldMs_.load() + skewMs_.load() + int64_t{zone} * 60000);
        now.utcOffsetMinutes = zone;
        return now;
    });
    Time::SetUuidSourceForTesting([this] {
        std::lock_guard lock(uuidMutex_);
        const uint64_t high = uuids_.Next();
        const uint64_t low = uuids_.Next();
        GUID guid{};
        guid.Data1 = static_cast<unsigned long>(high >> 32);
        guid.Data2 = static_cast<unsigned short>(high >> 16);
        guid.Data3 = static_cast<unsigned short>((high & 0x0FFF) | 0x4000);
        for (int i = 0; i < 8; ++i) {
            guid.Data4[i] = static_cast<unsigned char>(low >> (56 - 8 * i));
        }
        guid.Data4[0] = static_cast<unsigned char>((guid.Data4[0] & 0x3F) | 0x80);
        return Time::FormatUuid(guid);
    });

    scratch_ = MakeTempFolder(L"lorvex-sim-picks");
    const uint32_t colours[] = {0xFFCC2020, 0xFF20CC20, 0xFF2020CC, 0xFFCCCC20};
    for (uint32_t colour : colours) {
        const std::wstring path = Files::JoinPath(scratch_, L"pick" + std::to_wstring(pictures_.size()) + L".png");
        if (!Files::WriteBytes(path, Images::Encode(2, 2, std::vector<uint32_t>(4, colour), true, 0))) {
            Fault("the pictures to pick could not be written");
        }
        pictures_.push_back(path);
    }
    for (int i = 0; i < pcs; ++i) {
        Pc pc;
        pc.name = std::string(1, static_cast<char>('A' + i));
        pc.folder = MakeTempFolder(L"lorvex-sim-" + Text::ToWide(pc.name));
        pcs_.push_back(std::move(pc));
    }
}

World::~World() {
    Close();
    {
        std::lock_guard lock(gateMutex_);
        gateAt_ = 0;
    }
    gateChanged_.notify_all();
    backend_.SetRequestHook(nullptr);
    Time::SetLocalTimeForTesting(nullptr);
    Time::SetUuidSourceForTesting(nullptr);
    Config::SetSupabaseForTesting(savedSupabaseUrl_, savedSupabaseKey_);
    Config::SetDeepSeekForTesting(savedDeepSeekUrl_, savedDeepSeekKey_);
    for (const Pc& pc : pcs_) {
        Files::RemoveTree(pc.folder);
    }
    Files::RemoveTree(scratch_);
    if (comEntered_) {
        CoUninitialize();
    }
}

std::string World::PcName(int pc) const {
    return pc >= 0 && pc < Pcs() ? pcs_[pc].name : std::string("-");
}

AppState& World::State() const {
    return state();
}

// ---- Steps, trace and faults ----

bool World::Begin(const std::string& what) {
    if (!Start()) {
        return false;
    }
    Say(what);
    return true;
}

bool World::Start() {
    if (Faulted()) {
        return false;
    }
    // A user's pause between two steps outlasts the sync state's save delay: the save it armed
    // has run, as its timer would have.
    if (open_ >= 0) {
        cloud().FlushPendingSave();
    }
    ++step_;
    ++stats_.steps;
    worldMs_ += 1000;  // no two steps share a time
    action_ = ledger_.BeginAction();
    return true;
}

void World::Say(const std::string& what) {
    Note("p" + std::to_string(step_) + " " + PcName(open_) + ": " + what);
}

std::wstring World::TextOr(const std::wstring& given, const std::wstring& kind) {
    return given.empty() ? NewText(kind) : given;
}

void World::Note(const std::string& line) {
    trace_.push_back(line);
    if (verbose_) {
        static const auto origin = std::chrono::steady_clock::now();
        std::printf("%7.1f %s\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin).count(),
                    line.c_str());
        std::fflush(stdout);
    }
}

void World::Fault(const std::string& what) {
    if (fault_.empty()) {
        fault_ = what;
        Note("FAULT: " + what);
    }
}

bool World::PumpUntil(const std::function<bool()>& done, const char* what) {
    if (Faulted()) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            Fault(std::string("waited 30 s for ") + what);
            return false;
        }
        // Every task a worker posts sets the event; what no task tells is looked at again soon.
        WaitForSingleObject(Async::WakeEvent(), 20);
        Async::Pump();
    }
    return true;
}

std::wstring World::NewText(const std::wstring& kind) {
    if (textStep_ != step_) {
        textStep_ = step_;
        textsThisStep_ = 0;
    }
    ++textsThisStep_;
    std::wstring text = kind + L" s" + std::to_wstring(seed_) + L" p" + std::to_wstring(step_);
    if (textsThisStep_ > 1) {
        text += L" n" + std::to_wstring(textsThisStep_);
    }
    return text;
}

// ---- Machines ----

void World::Use(int pc) {
    if (open_ == pc || Faulted()) {
        return;
    }
    Close();
    Open(pc);
}

void World::Open(int pc) {
    const Timed timed(stats_.starting);
    if (!Async::Startup()) {
        Fault("the dispatcher did not start");
        return;
    }
    Async::HoldClockForTesting(true);
    open_ = pc;
    skewMs_ = pcs_[pc].skewMs;
    zoneMinutes_ = pcs_[pc].zoneMinutes;
    Paths::SetDataDirForTesting(pcs_[pc].folder);
    Settings::Instance() = Settings{};
    CloudSync::ResetForTesting();
    AppState::ResetForTesting();
    PointAtBackend();
    state().Initialize();
    state().manualReplies = false;  // every message sent starts its reply
    cloud().roundStarted = [this](bool) { ++stats_.rounds; };
    FollowPulls();
    pcs_[pc].signedIn = cloud().SignedIn();
    ++stats_.turns;
    Note("   " + pcs_[pc].name + " starts" + (pcs_[pc].signedIn ? "" : " (signed out)") +
         (pcs_[pc].offline ? " (offline)" : ""));
    Observe();
}

void World::Close() {
    if (open_ < 0) {
        return;
    }
    const Timed timed(stats_.starting);
    // What the window does when it closes, then what the program does at its end.
    for (AppState::RunningReply& running : state().runningReplies) {
        running.cancel.Set();
    }
    for (const Reply& reply : replies_) {
        provider_.Release(reply.gate, reply.pieces - reply.released);
    }
    state().SaveCurrentChat();
    cloud().CloseState();
    pcs_[open_].signedIn = cloud().SignedIn();
    EndProcess();
    Note("   " + pcs_[open_].name + " exits");
    open_ = -1;
}

void World::EndProcess() {
    // Nothing of the process runs from here: its queued tasks and timers are dropped, and so is
    // whatever its workers still deliver, once they are done with what they were doing.
    Async::Shutdown();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Async::UnfinishedJobs() > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            Fault("a worker of the ended process did not finish");
            break;
        }
        Sleep(1);
        Async::Shutdown();
    }
    AppState::ResetForTesting();
    CloudSync::ResetForTesting();
    replies_.clear();
}

void World::Restart() {
    if (open_ < 0 || !Begin("restart")) {
        return;
    }
    const int pc = open_;
    Close();
    Open(pc);
    ++stats_.restarts;
}

void World::Crash(int writes, const std::function<void()>& action) {
    if (open_ < 0 || !Begin("crash after " + std::to_string(writes) + " more file changes")) {
        return;
    }
    const int pc = open_;
    const int first = action_ + 1;
    Files::SetWriteLimitForTesting(writes);
    action();
    // The process lives on until its writes run out: the state save its action armed comes next.
    cloud().FlushPendingSave();
    const bool lost = Files::WritesDroppedForTesting();
    const int last = action_;
    // Killed: no window closes, nothing is flushed; the replies' workers end as the process does.
    for (AppState::RunningReply& running : state().runningReplies) {
        running.cancel.Set();
    }
    for (const Reply& reply : replies_) {
        provider_.Release(reply.gate, reply.pieces - reply.released);
    }
    EndProcess();
    Files::SetWriteLimitForTesting(-1);
    Note(std::string("   ") + pcs_[pc].name + " killed" + (lost ? ", file changes lost" : ""));
    open_ = -1;
    Open(pc);
    const Holding after = Hold();
    for (int action = first; action <= last; ++action) {
        ledger_.Undo(pc, action, after);
    }
    ++stats_.crashes;
}

void World::SetClock(int pc, int64_t skewSeconds, int zoneMinutes) {
    pcs_[pc].skewMs = skewSeconds * 1000;
    pcs_[pc].zoneMinutes = zoneMinutes;
    if (open_ == pc) {
        skewMs_ = pcs_[pc].skewMs;
        zoneMinutes_ = zoneMinutes;
    }
}

void World::AdvanceTime(int64_t seconds) {
    worldMs_ += seconds * 1000;
}

void World::PointAtBackend() {
    const bool offline = open_ >= 0 && pcs_[open_].offline;
    Config::SetSupabaseForTesting(offline ? closedUrl_ : backend_.BaseUrl(), Text::ToWide(backend_.ApiKey()));
}

void World::SetOffline(int pc, bool offline) {
    if (pcs_[pc].offline == offline || !Begin(pcs_[pc].name + (offline ? " goes offline" : " comes online"))) {
        return;
    }
    pcs_[pc].offline = offline;
    if (open_ == pc) {
        PointAtBackend();
    }
}

// ---- The account and the rounds ----

bool World::SignedIn() const {
    return open_ >= 0 && cloud().SignedIn();
}

bool World::SignIn() {
    if (!Begin("sign in")) {
        return false;
    }
    if (open_ < 0 || SignedIn() || pcs_[open_].offline) {
        Note("   (not possible)");
        return false;
    }
    const Timed timed(stats_.inRounds);
    std::wstring error = L"?";
    const int rounds = stats_.rounds;
    cloud().SignIn(kEmailW, kPassword, [&error](const std::wstring& text) { error = text; });
    if (!PumpUntil([] { return !cloud().authBusy; }, "the sign-in")) {
        return false;
    }
    if (!error.empty()) {
        Fault("the sign-in failed: " + Text::ToUtf8(error));
        return false;
    }
    pcs_[open_].signedIn = true;
    AfterRounds(rounds);
    return true;
}

bool World::SignOut() {
    if (!Begin("sign out")) {
        return false;
    }
    if (!SignedIn() || pcs_[open_].offline) {
        Note("   (not possible)");
        return false;
    }
    // The server is told on a thread of its own; it has read what it needs once its request
    // arrived, and nothing else of the world may change meanwhile.
    const bool tells = !cloud().account.accessToken.empty();
    const size_t before = logouts_;
    cloud().SignOut();
    if (tells) {
        PumpUntil([&] { return logouts_ > before; }, "the sign-out request");
    }
    pcs_[open_].signedIn = false;
    AfterAction();
    return true;
}

bool World::WaitIdle() {
    return PumpUntil([] { return !cloud().syncing && !cloud().authBusy && !cloud().userUpdateBusy; }, "the rounds");
}

void World::Sync(bool full) {
    if (!Begin(full ? "full round" : "upload round")) {
        return;
    }
    if (!SignedIn()) {
        Note("   (signed out)");
        return;
    }
    const Timed timed(stats_.inRounds);
    const int rounds = stats_.rounds;
    cloud().Start(full);
    AfterRounds(rounds);
}

void World::SyncWhile(bool full, int atRequest, const std::function<void()>& during) {
    if (!Begin(std::string(full ? "full" : "upload") + " round held at its request " + std::to_string(atRequest))) {
        return;
    }
    if (!SignedIn()) {
        Note("   (signed out)");
        return;
    }
    const Timed timed(stats_.inRounds);
    int target = 0;
    {
        std::lock_guard lock(gateMutex_);
        target = arrived_ + atRequest;
        gateAt_ = target;
    }
    const int rounds = stats_.rounds;
    cloud().Start(full);
    PumpUntil(
        [&] {
            std::lock_guard lock(gateMutex_);
            return arrived_ >= target || !cloud().syncing;
        },
        "the held request");
    during();
    {
        std::lock_guard lock(gateMutex_);
        gateAt_ = 0;
    }
    gateChanged_.notify_all();
    AfterRounds(rounds);
}

void World::Idle(double seconds) {
    if (!Begin("idle " + std::to_string(static_cast<int>(seconds)) + " s")) {
        return;
    }
    const Timed timed(stats_.inRounds);
    const int rounds = stats_.rounds;
    Async::AdvanceClockForTesting(seconds);
    Async::Pump();
    AfterRounds(rounds);
}

void World::TellRows() {
    std::vector<std::string> sent;
    {
        std::lock_guard lock(gateMutex_);
        sent.swap(sent_);
    }
    for (const std::string& rows : sent) {
        Note("   sent:" + rows);
    }
}

void World::FollowPulls() {
    auto apply = cloud().onPulled;
    cloud().onPulled = [this, apply](const std::vector<CloudSync::RemoteItem>& items) {
        std::string rows;
        for (const CloudSync::RemoteItem& item : items) {
            rows += ' ';
            rows += ShortKey(Text::ToUtf8(CloudSync::ItemKey(item)));
            rows += item.deleted ? "(deleted)" : "";
        }
        Note("   pulled:" + rows);
        return apply(items);
    };
}

void World::AfterRounds(int roundsBefore) {
    if (!WaitIdle()) {
        return;
    }
    TellRows();
    Reap();
    if (stats_.rounds > roundsBefore && open_ >= 0) {
        const CloudSync& sync = cloud();
        if (sync.SignedIn() && !sync.offline && sync.lastError.empty()) {
            std::set<RecordKey> deferred;
            for (const AppState::RunningReply& running : state().runningReplies) {
                for (const std::shared_ptr<Character>& character : state().characters) {
                    if (std::find(character->chats->begin(), character->chats->end(), running.chat) !=
                        character->chats->end()) {
                        deferred.insert(ChatKey(*character, *running.chat));
                    }
                }
            }
            ledger_.Pulled(open_, step_, std::move(deferred));
        } else if (!sync.lastError.empty()) {
            Note("   round failed: " + Text::ToUtf8(sync.lastError));
        } else if (sync.offline) {
            Note("   round failed: offline");
        }
        ledger_.Uploaded(open_, step_, [&sync](const RecordKey& key) { return sync.pending.count(key) != 0; });
    }
    Observe();
}

void World::AfterAction() {
    Reap();
    Observe();
}

// ---- The end ----

void World::Settle() {
    // A pass whose rounds still write may only be making up for the one before; more than this
    // many means the PCs keep undoing each other.
    constexpr int kPasses = 8;
    Note("-- settle: every PC online and signed in, rounds in turns until a pass writes nothing");
    if (open_ >= 0) {
        FinishReplies();
        Close();
    }
    for (int pc = 0; pc < Pcs(); ++pc) {
        SetOffline(pc, false);
    }
    for (int pc = 0; pc < Pcs(); ++pc) {
        if (!pcs_[pc].signedIn) {
            Use(pc);
            SignIn();
        }
    }
    for (int pass = 0; pass < kPasses && !Faulted(); ++pass) {
        const size_t writes = tableWrites_ + objectWrites_;
        for (int pc = 0; pc < Pcs(); ++pc) {
            Use(pc);
            Sync(true);
            for (int round = 0; round < 4 && cloud().WaitingChanges() != 0; ++round) {
                Sync(false);
            }
        }
        Close();
        ++stats_.settlePasses;
        if (tableWrites_ + objectWrites_ == writes) {
            quiet_ = true;
            break;
        }
    }
    stats_.tableReads = tableReads_;
    stats_.tableWrites = tableWrites_;
    stats_.objectRequests = objectRequests_;
    stats_.authRequests = authRequests_;
}

// ---- Replies ----

bool World::StartReplyWith(const std::function<void()>& action, const RecordKey& chat, const std::wstring& owner,
                           bool newLine, int pieces) {
    pieces = std::max(pieces, 1);
    Reply reply;
    reply.text = NewText(L"Respuesta");
    std::vector<std::string> parts;
    std::wstring joined;
    for (int i = 0; i < pieces; ++i) {
        const std::wstring piece = i == 0 ? reply.text : L" parte " + std::to_wstring(i + 1);
        joined += piece;
        parts.push_back(Text::ToUtf8(piece));
        reply.shown.push_back(Text::Trim(joined));
    }
    reply.text = joined;
    reply.gate = provider_.Plan(std::move(parts));
    reply.pieces = pieces;
    const size_t running = state().runningReplies.size();
    action();
    if (state().runningReplies.size() <= running) {
        provider_.Unplan(reply.gate);
        return false;
    }
    const AppState::RunningReply& started = state().runningReplies.back();
    reply.message = started.message;
    reply.chat = chat;
    reply.owner = owner;
    reply.lineId = started.message->line_id;
    reply.newLine = newLine;
    reply.started = step_;
    reply.before = LinesBefore(*started.chat, started.message);
    // The next reply is planned only once this one's request took its plan.
    const Timed timed(stats_.onReplies);
    if (!provider_.WaitForRequests(++providerRequests_)) {
        Fault("the reply's request never reached the provider");
        return false;
    }
    ++stats_.replies;
    replies_.push_back(std::move(reply));
    return true;
}

bool World::ReleaseReply(size_t index, int pieces) {
    if (index >= replies_.size() || !Begin("release " + std::to_string(pieces) + " piece(s) of reply " +
                                           Text::ToUtf8(replies_[index].shown.front()))) {
        return false;
    }
    Reply& reply = replies_[index];
    const int count = std::min(pieces, reply.pieces - reply.released);
    provider_.Release(reply.gate, count);
    reply.released += count;
    const std::shared_ptr<Message> message = reply.message;
    const bool last = reply.released >= reply.pieces;
    const std::wstring shown = reply.shown[static_cast<size_t>(reply.released - 1)];
    const Timed timed(stats_.onReplies);
    const auto running = [message] {
        const auto& all = state().runningReplies;
        return std::any_of(all.begin(), all.end(),
                           [&](const AppState::RunningReply& r) { return r.message == message; });
    };
    if (last) {
        PumpUntil([&] { return !running(); }, "the reply's end");
    } else {
        // Every piece let out is on the line before anything else happens, so that a reply
        // stopped later ends with the same text on every run.
        PumpUntil([&] { return !running() || message->content == shown; }, "the reply's piece");
    }
    AfterAction();
    return true;
}

void World::FinishReplies() {
    while (!replies_.empty() && !Faulted()) {
        ReleaseReply(0, replies_.front().pieces);
    }
}

void World::Reap() {
    if (open_ < 0) {
        return;
    }
    // A reply the program stopped (its line went away) ends by itself; its end is waited for, so
    // that whether a pull finds its chat busy never depends on the machine's speed.
    for (Reply& reply : replies_) {
        for (const AppState::RunningReply& running : state().runningReplies) {
            if (running.message == reply.message && running.cancel.IsSet() && reply.released < reply.pieces) {
                provider_.Release(reply.gate, reply.pieces - reply.released);
                reply.released = reply.pieces;
            }
        }
    }
    PumpUntil(
        [] {
            const auto& all = state().runningReplies;
            return std::none_of(all.begin(), all.end(),
                                [](const AppState::RunningReply& r) { return r.cancel.IsSet(); });
        },
        "the stopped replies");
    for (auto it = replies_.begin(); it != replies_.end();) {
        const auto& all = state().runningReplies;
        const bool running = std::any_of(all.begin(), all.end(),
                                         [&](const AppState::RunningReply& r) { return r.message == it->message; });
        if (running) {
            ++it;
            continue;
        }
        Ended(*it);
        it = replies_.erase(it);
    }
}

std::set<std::wstring> World::LinesBefore(const Chat& chat, const std::shared_ptr<Message>& until) const {
    std::set<std::wstring> before;
    for (const std::shared_ptr<Message>& line : chat.messages) {
        if (line == until) {
            break;
        }
        // A line being regenerated is left out of every save until its new version comes, and
        // stays out when none comes: no order was kept with it.
        const bool regenerating = line->is_typing && std::any_of(replies_.begin(), replies_.end(), [&](const Reply& r) {
                                      return r.message == line && !r.newLine;
                                  });
        if (!regenerating) {
            before.insert(line->line_id);
        }
    }
    return before;
}

void World::Ended(const Reply& reply) {
    std::shared_ptr<Message> line;
    for (const std::shared_ptr<Character>& character : state().characters) {
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            if (ChatKey(*character, *chat) != reply.chat) {
                continue;
            }
            for (const std::shared_ptr<Message>& message : chat->messages) {
                if (message->line_id == reply.lineId && !message->is_typing) {
                    line = message;
                }
            }
        }
    }
    if (!line) {
        Note("   reply " + Text::ToUtf8(reply.shown.front()) + " ended with its line gone");
        return;
    }
    if (!line->error.empty()) {
        Fault("a reply failed: " + Text::ToUtf8(line->error));
        return;
    }
    if (line->content.empty()) {
        return;
    }
    if (reply.newLine) {
        Event made = Make(Event::Kind::LineMade, reply.chat, reply.lineId, L"", reply.owner);
        made.step = reply.started;
        made.before = reply.before;
        ledger_.Add(std::move(made));
    }
    Saved(reply.chat, reply.lineId, line->content, reply.owner);
    Note("   reply applied: " + Quote(line->content));
}

// ---- What a PC holds ----

void World::Observe() {
    if (open_ >= 0) {
        ledger_.Observe(open_, Hold(), step_);
    }
}

Holding World::Hold() const {
    Holding held;
    if (open_ < 0) {
        return held;
    }
    for (const std::shared_ptr<Character>& character : state().characters) {
        const RecordKey record = CharacterKey(*character);
        HoldFields(held, record, *character);
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            const RecordKey key = ChatKey(*character, *chat);
            held.chats.insert(key);
            held.chatOwner[key] = record;
            for (const std::shared_ptr<Message>& line : chat->messages) {
                if (line->is_typing) {
                    continue;
                }
                held.lines.emplace(key, line->line_id);
                held.shown[std::make_tuple(key, line->line_id, line->content)] = step_;
                for (const std::wstring& text : LineTexts(*line)) {
                    held.texts.emplace(key, text);
                }
            }
        }
    }
    for (const std::shared_ptr<Persona>& persona : state().personas) {
        HoldFields(held, PersonaKey(*persona), *persona);
    }
    return held;
}

// ---- Ledger entries ----

Event World::Make(Event::Kind kind, const RecordKey& record, const std::wstring& part, const std::wstring& text,
                  const std::wstring& owner) const {
    Event event;
    event.kind = kind;
    event.pc = open_;
    event.step = step_;
    event.action = action_;
    event.record = record;
    event.part = part;
    event.text = text;
    event.owner = owner;
    return event;
}

void World::Saved(const RecordKey& record, const std::wstring& part, const std::wstring& text,
                  const std::wstring& owner) {
    if (!text.empty()) {
        ledger_.Add(Make(Event::Kind::TextSaved, record, part, text, owner));
    }
}

void World::Removed(const RecordKey& record, const std::wstring& part, const std::vector<std::wstring>& texts,
                    const std::wstring& owner) {
    for (const std::wstring& text : texts) {
        if (!text.empty()) {
            ledger_.Add(Make(Event::Kind::TextRemoved, record, part, text, owner));
        }
    }
}

void World::Deleted(Event::Kind kind, const RecordKey& record, const std::wstring& part, const std::wstring& owner,
                    std::vector<std::wstring> texts, const Holding& held) {
    Event event = Make(kind, record, part, L"", owner);
    event.texts = std::move(texts);
    event.known = ledger_.Seen(open_);
    event.known.texts.insert(held.texts.begin(), held.texts.end());
    event.known.lines.insert(held.lines.begin(), held.lines.end());
    event.known.chats.insert(held.chats.begin(), held.chats.end());
    for (const auto& [line, step] : held.shown) {
        event.known.shown[line] = step_;
    }
    event.held = held;
    event.signedOut = !SignedIn();
    event.queueKey = record;
    ledger_.Add(std::move(event));
}

}  // namespace Lorvex::Testing::Sim

#pragma once
// A simulated world of several PCs that share one cloud account: one data folder per PC, the fake
// cloud backend and the fake language-model provider in this process, and the program's own
// application state and cloud sync playing each PC in turn, as the process-wide singletons allow:
// opening a PC starts it as the program starts (its files loaded, the sync state read), closing
// it ends it as the program exits, and a crash drops every file change after a chosen one, as a
// killed process leaves its files. The world's clock and ids come from the seed: each PC reads
// the world's wall clock shifted by its own offset and zone, the dispatcher's clock stands still
// unless the world lets time pass (Idle), and every id the program makes is drawn from the seed,
// so a seed replays exactly. Replies stream in pieces that the world releases, so a reply may
// run across several rounds; rounds are waited for, or held at one of their requests while the
// users go on working (SyncWhile).
//
// Every user action records in the ledger what it saved and took away and what its PC knew; the
// final checks (Check) compare that with what every PC and the cloud hold after Settle.
// The simulation's thread only (the program's UI thread); one world at a time per process. A
// wait that does not end within 30 s makes the world faulted: every later call does nothing and
// Check reports it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "domain/Records.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/sim/SimLedger.h"
#include "tests/support/sim/SimProvider.h"
#include "tests/support/sim/SimRandom.h"

namespace Lorvex::Services {
class AppState;
}

namespace Lorvex::Testing::Sim {

// What one seed cost.
struct Stats {
    int steps = 0;
    int rounds = 0;
    int turns = 0;     // a PC opened
    int restarts = 0;  // a PC closed and opened again on its own
    int crashes = 0;
    int replies = 0;
    int settlePasses = 0;
    size_t tableReads = 0;
    size_t tableWrites = 0;
    size_t objectRequests = 0;
    size_t authRequests = 0;
    double seconds = 0;
    // Where the time went: the world made and taken down (servers, folders), PCs started and
    // ended, rounds and sign-ins waited for, replies waited for, and the final checks.
    double settingUp = 0;
    double starting = 0;
    double inRounds = 0;
    double onReplies = 0;
    double checking = 0;
};

// One finding of the checks, or a fault of the world itself ("harness").
struct Failure {
    std::string invariant;
    std::string detail;
};

// A field of a character or persona as the users edit it: its name in the record's JSON form.
using FieldEdit = std::pair<std::string, std::wstring>;

class World {
public:
    World(uint64_t seed, int pcs, bool verbose = false);
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    uint64_t Seed() const { return seed_; }
    int Pcs() const { return static_cast<int>(pcs_.size()); }
    int OpenPc() const { return open_; }
    std::string PcName(int pc) const;
    int Step() const { return step_; }
    bool Faulted() const { return !fault_.empty(); }
    const Stats& GetStats() const { return stats_; }
    const std::vector<std::string>& Trace() const { return trace_; }

    // ---- The machines ----

    // Opens the PC as the program starts, closing the one open before.
    void Use(int pc);
    // Ends the open PC's run as the program exits: replies stopped, the open chat and the sync
    // state written.
    void Close();
    void Restart();
    // The PC's clock runs this far off the world's, in this time zone.
    void SetClock(int pc, int64_t skewSeconds, int zoneMinutes);
    // The world's wall clock moves on.
    void AdvanceTime(int64_t seconds);
    // Runs the action on the open PC with only `writes` more file changes reaching the disk, then
    // kills the process and starts the PC again.
    void Crash(int writes, const std::function<void()>& action);
    // Points the PC at a closed port (or back at the backend).
    void SetOffline(int pc, bool offline);
    bool Offline(int pc) const { return pcs_[pc].offline; }
    bool SignedIn() const;
    bool SignIn();
    bool SignOut();
    // A round (full, or upload-only) and any it chains, waited for.
    void Sync(bool full);
    // A round held at its atRequest-th request to the table or the bucket while `during` runs.
    void SyncWhile(bool full, int atRequest, const std::function<void()>& during);
    // The dispatcher's clock moves on: the timers due fire (the state save, the upload after a
    // burst, the full rounds), and the rounds they start are waited for.
    void Idle(double seconds);

    // ---- What the users do on the open PC; false when it cannot be done there ----
    // An empty text or field value stands for a new text of its kind (NewText). Records are taken
    // by value: an action may take them out of the very list they were picked from.

    std::shared_ptr<Character> CreateCharacter(const std::wstring& name, bool withPicture);
    bool EditCharacter(std::shared_ptr<Character> character, const std::vector<FieldEdit>& fields);
    bool SetPicture(std::shared_ptr<Character> character);
    bool DeleteCharacter(std::shared_ptr<Character> character);
    std::shared_ptr<Chat> NewChat(std::shared_ptr<Character> character);
    bool DeleteChat(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat);
    // A message, and the reply it starts, in `pieces` releases.
    bool Send(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, const std::wstring& text, int pieces);
    bool Regenerate(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line,
                    int pieces);
    // What the chat screen's version arrows do, then the save they make.
    bool SwitchVersion(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line,
                       int delta);
    // A user message's edit cuts the lines after it and starts a new reply, in `pieces` releases.
    bool Edit(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line,
              const std::wstring& text, int pieces);
    bool DeleteLine(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line);
    std::shared_ptr<Persona> CreatePersona(const std::wstring& name);
    bool EditPersona(std::shared_ptr<Persona> persona, const std::vector<FieldEdit>& fields);
    bool SetPicture(std::shared_ptr<Persona> persona);
    bool DeletePersona(std::shared_ptr<Persona> persona);

    // Replies still being written on the open PC, oldest first, and the step each started at.
    size_t RunningReplies() const { return replies_.size(); }
    int ReplyStarted(size_t index) const { return replies_[index].started; }
    // Lets `pieces` more pieces of the reply go out; once its last is out, waits for it to be
    // applied.
    bool ReleaseReply(size_t index, int pieces);
    void FinishReplies();

    // ---- Looking things up on the open PC ----

    Services::AppState& State() const;
    std::shared_ptr<Character> FindCharacter(const std::wstring& name) const;
    std::shared_ptr<Persona> FindPersona(const std::wstring& name) const;
    static std::shared_ptr<Message> FindLine(const Chat& chat, const std::wstring& text);
    static std::shared_ptr<Message> FindLineById(const Chat& chat, const std::wstring& lineId);
    // A text no other action of any seed writes: the kind, the seed and the step.
    std::wstring NewText(const std::wstring& kind);
    // The kind of text a new value of the field gets.
    static std::wstring KindOf(const std::string& field, bool persona);

    // ---- The end ----

    // Every PC online and signed in, then rounds on each in turn until a pass over all of them
    // uploads nothing (a bounded number of passes).
    void Settle();
    // The invariants over what every PC and the cloud hold after Settle.
    std::vector<Failure> Check();
    void Note(const std::string& line);

private:
    struct Pc {
        std::string name;
        std::wstring folder;
        int64_t skewMs = 0;
        int zoneMinutes = 60;
        bool offline = false;
        bool signedIn = false;
    };
    struct Reply {
        int gate = 0;
        int pieces = 0;
        int released = 0;
        std::wstring text;                // every piece's text, joined
        std::vector<std::wstring> shown;  // what the line shows after each release
        std::shared_ptr<Message> message;
        RecordKey chat;
        std::wstring owner;
        std::wstring lineId;
        bool newLine = true;
        std::set<std::wstring> before;
        int started = 0;
        std::string what;
    };

    void Open(int pc);
    // The process ends: nothing of it runs from here, whatever it still had to do.
    void EndProcess();
    void PointAtBackend();
    // A step: a new number and a new action of the ledger (Start), and its line of trace (Say).
    bool Begin(const std::string& what);
    bool Start();
    void Say(const std::string& what);
    // The text given, or a new one of that kind when none is.
    std::wstring TextOr(const std::wstring& given, const std::wstring& kind);
    std::vector<FieldEdit> Filled(const std::vector<FieldEdit>& fields, bool persona);
    void Fault(const std::string& what);
    // Runs the dispatcher as the main loop does until done() holds.
    bool PumpUntil(const std::function<bool()>& done, const char* what);
    bool WaitIdle();
    // After a user action: stopped replies gone, ended ones recorded, what the PC holds noted.
    void AfterAction();
    // After rounds: waited for, then what they pulled and uploaded recorded.
    void AfterRounds(int roundsBefore);
    void Reap();
    void Observe();
    // The rows the table was sent and the rows the sync handed to the state, for the trace.
    void TellRows();
    void FollowPulls();
    Holding Hold() const;

    bool Focus(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat);
    // Plans a reply, runs the action that should start it, and follows it when it started.
    bool StartReplyWith(const std::function<void()>& action, const RecordKey& chat, const std::wstring& owner,
                        bool newLine, int pieces);
    void Ended(const Reply& reply);
    // The ids of the chat's lines before `until` (all of them for null), as its PC keeps their order.
    std::set<std::wstring> LinesBefore(const Chat& chat, const std::shared_ptr<Message>& until) const;
    Event Make(Event::Kind kind, const RecordKey& record, const std::wstring& part, const std::wstring& text,
               const std::wstring& owner) const;
    void Saved(const RecordKey& record, const std::wstring& part, const std::wstring& text, const std::wstring& owner);
    // A deletion by the open PC, whose copy held `held` just before.
    void Deleted(Event::Kind kind, const RecordKey& record, const std::wstring& part, const std::wstring& owner,
                 std::vector<std::wstring> texts, const Holding& held);
    void Removed(const RecordKey& record, const std::wstring& part, const std::vector<std::wstring>& texts,
                 const std::wstring& owner);
    // The edits of a record's fields, each taking the place of what its PC held.
    void EditFields(const RecordKey& record, const std::vector<FieldEdit>& fields,
                    const std::function<std::wstring*(const std::string&)>& fieldOf);
    // A picture picked anew for the record, in place of the one its PC held.
    void ReplacePicture(const RecordKey& record, std::optional<std::wstring>& photo, const std::wstring& prefix);
    std::wstring ImportPicture(const std::wstring& prefix);
    std::wstring Describe(const Character& character) const;

    friend class Checker;

    uint64_t seed_;
    bool verbose_;
    Random uuids_;
    std::mutex uuidMutex_;
    std::vector<Pc> pcs_;
    int open_ = -1;
    int step_ = 0;
    int action_ = 0;
    int textsThisStep_ = 0;
    int textStep_ = -1;
    std::string fault_;
    std::vector<std::string> trace_;
    Stats stats_;
    Ledger ledger_;
    std::vector<Reply> replies_;
    size_t providerRequests_ = 0;  // requests the provider has had, as the world expects them
    bool quiet_ = false;

    std::atomic<int64_t> worldMs_;  // the world's wall clock: ms since 1601 UTC
    std::atomic<int64_t> skewMs_{0};
    std::atomic<int> zoneMinutes_{60};

    std::wstring scratch_;  // pictures the users pick, outside every data folder
    std::vector<std::wstring> pictures_;
    int picturesPicked_ = 0;
    std::wstring closedUrl_;
    bool comEntered_ = false;
    std::wstring savedSupabaseUrl_;
    std::wstring savedSupabaseKey_;
    std::wstring savedDeepSeekUrl_;
    std::wstring savedDeepSeekKey_;

    // The backend's requests to the table and the bucket, the gate that can hold one of them,
    // and what arrived; written by the backend's threads.
    std::mutex gateMutex_;
    std::condition_variable gateChanged_;
    int gateAt_ = 0;  // the number of the request to hold; 0 for none
    int arrived_ = 0;
    std::atomic<size_t> tableReads_{0};
    std::atomic<size_t> tableWrites_{0};
    std::atomic<size_t> objectRequests_{0};
    std::atomic<size_t> objectWrites_{0};
    std::atomic<size_t> authRequests_{0};
    std::atomic<size_t> logouts_{0};
    std::vector<std::string> sent_;  // the rows the table was sent since the trace last told them

    Provider provider_;
    FakeSupabase backend_;
};

}  // namespace Lorvex::Testing::Sim

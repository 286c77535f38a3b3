#pragma once
// What the users of a simulated world did and what each PC knew when it did it: every text
// saved (a line's content, a field's value), every text an action took away, every line and chat
// made, every version switch and every deletion, each with the PC and the step. The final checks
// read it to tell which texts must still be somewhere and which deletions must have stuck.
//
// Knowledge decides, never clocks: an action on a PC removes exactly the texts that PC's copy
// held, and a deletion counts as concurrent with a change made on another PC that the deleting PC
// had never seen (a text, line or chat it never held, a switch it never saw, a deletion of
// something it still held), unless that PC made the change after a round that pulled the
// deletion. The world tells the ledger what each PC holds after every step (Observe).
// One thread (the simulation's); nothing fails.

#include <climits>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace Lorvex::Testing::Sim {

// "chat:<owner id>:<chat id>", "character:<id>" or "persona:<id>", as the sync keys its items.
using RecordKey = std::wstring;

// What a PC's copy holds, as the ledger compares it: for each record its texts; for each chat its
// lines and what each line shows.
struct Holding {
    std::set<RecordKey> records;                         // characters and personas
    std::set<std::pair<RecordKey, std::wstring>> texts;  // (record, text): a line's content or version, a field
    std::set<std::pair<RecordKey, std::wstring>> lines;  // (chat, line id)
    std::set<RecordKey> chats;
    std::map<std::wstring, RecordKey> chatOwner;                             // chat key -> "character:<owner>"
    std::map<std::tuple<RecordKey, std::wstring, std::wstring>, int> shown;  // (chat, line, content) -> step
};

struct Event {
    enum class Kind {
        TextSaved,    // record/part (line id or field name) now holds text
        TextRemoved,  // an action took text away from record/part
        LineMade,     // a line of a chat, after the lines in `before`
        ChatMade,
        Switched,  // a line now shows text, one of its versions
        LineDeleted,
        ChatDeleted,
        CharacterDeleted,
        PersonaDeleted,
    };
    Kind kind = Kind::TextSaved;
    int pc = 0;
    int step = 0;
    int action = 0;  // the user action that made it; a crash undoes what of it did not reach the disk
    RecordKey record;
    std::wstring part;
    std::wstring text;
    std::wstring owner;               // the character a chat event belongs to ("character:<id>")
    std::set<std::wstring> before;    // LineMade: ids of the lines before it on its PC
    std::vector<std::wstring> texts;  // LineDeleted: what the line held
    Holding known;                    // deletions: what the PC had seen until then
    Holding held;                     // deletions: what the PC's copy held then
    bool signedOut = false;           // deletions made while signed out (a sign-in merges, keeps all)
    RecordKey queueKey;               // deletions: the queue item that carries it to the cloud
    int uploaded = INT_MAX;           // deletions: the step of the round that took it up
    bool dropped = false;             // undone by a crash before it reached the disk
    std::string what;                 // for reports: "send", "edit", ...
};

class Ledger {
public:
    // ---- Recording (the world calls these as its users act) ----

    int BeginAction();
    void Add(Event event);
    // The PC's copy as it stands after a step: what it now knows.
    void Observe(int pc, const Holding& now, int step);
    const Holding& Seen(int pc) const;
    // A round on the PC succeeded at this step; `deferred` are the chats it left for later.
    void Pulled(int pc, int step, std::set<RecordKey> deferred);
    // The PC's queue after a round: deletions whose item left it have reached the cloud.
    template <class HasKey>
    void Uploaded(int pc, int step, HasKey stillQueued) {
        for (Event& event : events_) {
            if (event.pc == pc && IsDeletion(event.kind) && event.uploaded == INT_MAX && !event.dropped &&
                !stillQueued(event.queueKey)) {
                event.uploaded = step;
            }
        }
    }
    // A crash lost the action's work: each event of the action whose effect the restarted PC's
    // copy does not show is dropped.
    void Undo(int pc, int action, const Holding& afterRestart);

    // ---- Reading (the checks) ----

    static bool IsDeletion(Event::Kind kind);
    const std::vector<Event>& Events() const { return events_; }
    // Texts that must still be somewhere: the last event of each (record, part, text) is a save.
    std::vector<const Event*> KeptTexts() const;
    // Deletions that must have stuck everywhere: made signed in, not undone, and no change of
    // the same thing made concurrently on another PC.
    std::vector<const Event*> StickingDeletions() const;
    // The change that makes a deletion concurrent, or null.
    const Event* ConcurrentChange(const Event& deletion) const;

private:
    // A line deletion that a deletion of its whole record, undone by a change elsewhere, made moot.
    bool UndoneWithItsRecord(const Event& deletion) const;
    bool InScope(const Event& deletion, const Event& change) const;
    bool Unknown(const Event& deletion, const Event& change) const;
    // Whether the PC made this change after a round that pulled the deletion from the cloud.
    bool Learned(const Event& deletion, const Event& change) const;

    struct Pull {
        int step = 0;
        std::set<RecordKey> deferred;
    };

    std::vector<Event> events_;
    std::map<int, Holding> seen_;
    std::map<int, std::vector<Pull>> pulls_;
    int actions_ = 0;
};

}  // namespace Lorvex::Testing::Sim

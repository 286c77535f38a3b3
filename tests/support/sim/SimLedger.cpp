#include "tests/support/sim/SimLedger.h"

#include <algorithm>

namespace Lorvex::Testing::Sim {

namespace {

using Kind = Event::Kind;

bool IsChatChange(Kind kind) {
    return kind == Kind::TextSaved || kind == Kind::Switched || kind == Kind::LineMade || kind == Kind::LineDeleted;
}

template <class Set, class Key>
bool Has(const Set& set, const Key& key) {
    return set.find(key) != set.end();
}

}  // namespace

int Ledger::BeginAction() {
    return ++actions_;
}

void Ledger::Add(Event event) {
    events_.push_back(std::move(event));
}

void Ledger::Observe(int pc, const Holding& now, int step) {
    Holding& seen = seen_[pc];
    seen.records.insert(now.records.begin(), now.records.end());
    seen.texts.insert(now.texts.begin(), now.texts.end());
    seen.lines.insert(now.lines.begin(), now.lines.end());
    seen.chats.insert(now.chats.begin(), now.chats.end());
    for (const auto& [chat, owner] : now.chatOwner) {
        seen.chatOwner[chat] = owner;
    }
    for (const auto& [line, ignored] : now.shown) {
        seen.shown[line] = step;
    }
}

const Holding& Ledger::Seen(int pc) const {
    static const Holding kNothing;
    const auto found = seen_.find(pc);
    return found == seen_.end() ? kNothing : found->second;
}

void Ledger::Pulled(int pc, int step, std::set<RecordKey> deferred) {
    pulls_[pc].push_back({step, std::move(deferred)});
}

bool Ledger::IsDeletion(Kind kind) {
    return kind == Kind::LineDeleted || kind == Kind::ChatDeleted || kind == Kind::CharacterDeleted ||
           kind == Kind::PersonaDeleted;
}

void Ledger::Undo(int pc, int action, const Holding& after) {
    for (Event& event : events_) {
        if (event.pc != pc || event.action != action || event.dropped) {
            continue;
        }
        const std::pair<RecordKey, std::wstring> text{event.record, event.text};
        const std::pair<RecordKey, std::wstring> line{event.record, event.part};
        bool reached = true;
        switch (event.kind) {
        case Kind::TextSaved:
            reached = Has(after.texts, text);
            break;
        case Kind::TextRemoved:
            reached = !Has(after.texts, text);
            break;
        case Kind::LineMade:
            reached = Has(after.lines, line);
            break;
        case Kind::ChatMade:
            reached = Has(after.chats, event.record);
            break;
        case Kind::Switched:
            reached = Has(after.shown, std::make_tuple(event.record, event.part, event.text));
            break;
        case Kind::LineDeleted:
            reached = !Has(after.lines, line);
            break;
        case Kind::ChatDeleted:
            reached = !Has(after.chats, event.record);
            break;
        case Kind::CharacterDeleted:
        case Kind::PersonaDeleted:
            reached = !Has(after.records, event.record);
            break;
        }
        event.dropped = !reached;
    }
}

std::vector<const Event*> Ledger::KeptTexts() const {
    std::map<std::pair<RecordKey, std::wstring>, const Event*> last;
    for (const Event& event : events_) {
        if (!event.dropped && (event.kind == Kind::TextSaved || event.kind == Kind::TextRemoved)) {
            last[{event.record, event.text}] = &event;
        }
    }
    std::vector<const Event*> kept;
    for (const auto& [key, event] : last) {
        if (event->kind == Kind::TextSaved) {
            kept.push_back(event);
        }
    }
    std::sort(kept.begin(), kept.end(), [](const Event* a, const Event* b) { return a->step < b->step; });
    return kept;
}

std::vector<const Event*> Ledger::StickingDeletions() const {
    std::vector<const Event*> sticking;
    for (const Event& event : events_) {
        if (IsDeletion(event.kind) && !event.dropped && !event.signedOut && ConcurrentChange(event) == nullptr &&
            !UndoneWithItsRecord(event)) {
            sticking.push_back(&event);
        }
    }
    return sticking;
}

bool Ledger::UndoneWithItsRecord(const Event& deletion) const {
    if (deletion.kind != Kind::LineDeleted) {
        return false;
    }
    // A line deleted, and its whole chat (or character) deleted later, or elsewhere before the
    // line's PC knew: a change elsewhere that brings the chat back brings it as that PC holds it,
    // which may be from before the line went.
    for (const Event& whole : events_) {
        const bool covers = (whole.kind == Kind::ChatDeleted && whole.record == deletion.record) ||
                            (whole.kind == Kind::CharacterDeleted && whole.record == deletion.owner);
        if (covers && !whole.dropped && (whole.step > deletion.step || !Learned(whole, deletion)) &&
            ConcurrentChange(whole) != nullptr) {
            return true;
        }
    }
    return false;
}

const Event* Ledger::ConcurrentChange(const Event& deletion) const {
    for (const Event& change : events_) {
        if (!change.dropped && change.pc != deletion.pc && InScope(deletion, change) && Unknown(deletion, change) &&
            !Learned(deletion, change)) {
            return &change;
        }
    }
    return nullptr;
}

bool Ledger::InScope(const Event& deletion, const Event& change) const {
    switch (deletion.kind) {
    case Kind::LineDeleted:
        return change.record == deletion.record && change.part == deletion.part &&
               (change.kind == Kind::TextSaved || change.kind == Kind::Switched);
    case Kind::ChatDeleted:
        return change.record == deletion.record && IsChatChange(change.kind);
    case Kind::CharacterDeleted:
        if (change.record == deletion.record) {
            return change.kind == Kind::TextSaved;
        }
        return change.owner == deletion.record &&
               (IsChatChange(change.kind) || change.kind == Kind::ChatMade || change.kind == Kind::ChatDeleted);
    case Kind::PersonaDeleted:
        return change.record == deletion.record && change.kind == Kind::TextSaved;
    default:
        return false;
    }
}

bool Ledger::Unknown(const Event& deletion, const Event& change) const {
    const Holding& known = deletion.known;
    switch (change.kind) {
    case Kind::TextSaved:
        return !Has(known.texts, std::make_pair(change.record, change.text));
    case Kind::LineMade:
        return !Has(known.lines, std::make_pair(change.record, change.part));
    case Kind::ChatMade:
        return !Has(known.chats, change.record);
    case Kind::Switched: {
        const auto seen = known.shown.find(std::make_tuple(change.record, change.part, change.text));
        return seen == known.shown.end() || seen->second < change.step;
    }
    case Kind::LineDeleted:
        return Has(deletion.held.lines, std::make_pair(change.record, change.part));
    case Kind::ChatDeleted:
        return Has(deletion.held.chats, change.record);
    default:
        return false;
    }
}

bool Ledger::Learned(const Event& deletion, const Event& change) const {
    const auto found = pulls_.find(change.pc);
    if (found == pulls_.end() || deletion.uploaded == INT_MAX) {
        return false;
    }
    // A chat a reply was writing into stays out of the pull until the reply ends.
    const bool chatWide = deletion.kind == Kind::LineDeleted || deletion.kind == Kind::ChatDeleted;
    for (const Pull& pull : found->second) {
        if (pull.step > deletion.uploaded && pull.step < change.step &&
            !(chatWide && Has(pull.deferred, deletion.record))) {
            return true;
        }
    }
    return false;
}

}  // namespace Lorvex::Testing::Sim

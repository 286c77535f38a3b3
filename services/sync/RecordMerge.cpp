// Three-way merges of chats, characters and personas.

#include "services/sync/RecordMerge.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "foundation/Text.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Services {

namespace {

using SyncBase::PrintOf;
using SyncBase::RecordBase;

// Which side's value of one member (or line) stands after the merge.
enum class Take { Local, Remote, Both };

// prints of both sides, the base's when it has one.
Take Decide(uint64_t local, uint64_t remote, const uint64_t* base) {
    if (local == remote) {
        return Take::Local;
    }
    if (base != nullptr && local == *base) {
        return Take::Remote;
    }
    if (base != nullptr && remote == *base) {
        return Take::Local;
    }
    return Take::Both;
}

// One side's lines, each under an id of its own: a second line under an id already seen (no
// writer makes one, but an old file may hold one) is told apart by its place, so it is kept.
struct Lines {
    std::vector<std::pair<std::string, const std::shared_ptr<Message>*>> order;
    std::unordered_map<std::string, size_t> at;

    explicit Lines(const Chat& chat) {
        order.reserve(chat.messages.size());
        at.reserve(chat.messages.size());
        for (const std::shared_ptr<Message>& line : chat.messages) {
            if (!line) {
                continue;
            }
            std::string id = Text::ToUtf8(line->line_id);
            for (int n = 2; at.count(id) != 0; ++n) {
                id = Text::ToUtf8(line->line_id) + "#" + std::to_string(n);
            }
            at.emplace(id, order.size());
            order.emplace_back(std::move(id), &line);
        }
    }
    const std::shared_ptr<Message>* Find(const std::string& id) const {
        const auto found = at.find(id);
        return found == at.end() ? nullptr : order[found->second].second;
    }
};

uint64_t PrintOfLine(const Message& line) {
    return PrintOf(Message::ToJson(line));
}

// The texts a line holds: its kept versions, else its content.
std::vector<std::wstring> TextsOf(const Message& line) {
    return line.versions.empty() ? std::vector<std::wstring>{line.content} : line.versions;
}

// A line both sides changed: the local one, holding every text of both.
std::shared_ptr<Message> BothVersions(const std::shared_ptr<Message>& local, const std::shared_ptr<Message>& remote) {
    std::set<std::wstring> texts;
    for (std::wstring& text : TextsOf(*local)) {
        texts.insert(std::move(text));
    }
    for (std::wstring& text : TextsOf(*remote)) {
        texts.insert(std::move(text));
    }
    if (texts.size() < 2) {
        return local;  // the same words; only what surrounds them differs
    }
    auto line = std::make_shared<Message>(*local);
    line->versions.assign(texts.begin(), texts.end());
    if (!line->regeneration_id) {
        line->regeneration_id = remote->regeneration_id ? remote->regeneration_id : std::optional(line->line_id);
    }
    const auto shown = std::find(line->versions.begin(), line->versions.end(), local->content);
    line->regeneration_index = static_cast<int32_t>(shown - line->versions.begin());
    return line;
}

// Lines both sides added at one place: by stamp, then id, whichever side merges.
bool AddedBefore(const Message& a, const std::string& aId, const Message& b, const std::string& bId) {
    if (CloudSync::StampBefore(a.timestamp, b.timestamp)) {
        return true;
    }
    if (CloudSync::StampBefore(b.timestamp, a.timestamp)) {
        return false;
    }
    return aId < bId;
}

}  // namespace

std::shared_ptr<Chat> MergeChats(const RecordBase* base, const Chat& local, const Chat& remote) {
    const Lines mine(local);
    const Lines theirs(remote);
    std::unordered_map<std::string, uint64_t> baseLines;
    std::unordered_map<std::string, size_t> basePlace;
    if (base != nullptr) {
        baseLines.reserve(base->lines.size());
        basePlace.reserve(base->lines.size());
        for (const SyncBase::Fingerprint& line : base->lines) {
            baseLines.emplace(line.name, line.print);
            basePlace.emplace(line.name, basePlace.size());
        }
    }
    auto baseLine = [&](const std::string& id) -> const uint64_t* {
        const auto found = baseLines.find(id);
        return found == baseLines.end() ? nullptr : &found->second;
    };

    // What stands of each line, by id; a line left out here is deleted.
    std::unordered_map<std::string, std::shared_ptr<Message>> kept;
    kept.reserve(mine.order.size() + theirs.order.size());
    for (const auto& [id, line] : mine.order) {
        const Message& here = **line;
        const bool settled = Message::IsSettled(here);
        const uint64_t* agreed = baseLine(id);
        const std::shared_ptr<Message>* there = theirs.Find(id);
        if (there == nullptr) {
            // Not on the other side: deleted there when the base had it, else added here. A
            // deletion there gives way to a change here.
            if (agreed == nullptr || !settled || PrintOfLine(here) != *agreed) {
                kept.emplace(id, *line);
            }
            continue;
        }
        if (!settled) {
            kept.emplace(id, *line);  // being written here: it stays as it is
            continue;
        }
        switch (Decide(PrintOfLine(here), PrintOfLine(**there), agreed)) {
        case Take::Local:
            kept.emplace(id, *line);
            break;
        case Take::Remote:
            kept.emplace(id, *there);
            break;
        case Take::Both:
            kept.emplace(id, BothVersions(*line, *there));
            break;
        }
    }
    for (const auto& [id, line] : theirs.order) {
        if (mine.Find(id) != nullptr) {
            continue;
        }
        const uint64_t* agreed = baseLine(id);
        if (agreed == nullptr || PrintOfLine(**line) != *agreed) {
            kept.emplace(id, *line);
        }
    }

    // The order: lines on both sides are anchors; between two anchors the lines only one side
    // holds keep that side's order, and where both sides added lines at one place the two runs are
    // interleaved by stamp and id.
    auto merged = std::make_shared<Chat>();
    merged->messages.reserve(kept.size());
    std::unordered_set<std::string> placed;
    placed.reserve(kept.size());
    auto survivors = [&](const Lines& side) {
        std::vector<std::string> ids;
        ids.reserve(side.order.size());
        for (const auto& entry : side.order) {
            if (kept.count(entry.first) != 0) {
                ids.push_back(entry.first);
            }
        }
        return ids;
    };
    const std::vector<std::string> left = survivors(mine);
    const std::vector<std::string> right = survivors(theirs);
    auto place = [&](const std::string& id) {
        if (placed.insert(id).second) {
            merged->messages.push_back(kept.at(id));
        }
    };
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        while (i < left.size() && placed.count(left[i]) != 0) {
            ++i;
        }
        while (j < right.size() && placed.count(right[j]) != 0) {
            ++j;
        }
        if (i == left.size() && j == right.size()) {
            break;
        }
        const bool leftOnly = i < left.size() && theirs.Find(left[i]) == nullptr;
        const bool rightOnly = j < right.size() && mine.Find(right[j]) == nullptr;
        if (leftOnly && rightOnly) {
            // A line of the base that one side deleted and the other changed is older than any
            // line added since (lines are only ever added after the last), and base lines keep
            // the base's order; only two added lines are ordered by stamp.
            const auto leftBase = basePlace.find(left[i]);
            const auto rightBase = basePlace.find(right[j]);
            bool first = false;
            if (leftBase != basePlace.end() && rightBase != basePlace.end()) {
                first = leftBase->second < rightBase->second;
            } else if (leftBase != basePlace.end() || rightBase != basePlace.end()) {
                first = leftBase != basePlace.end();
            } else {
                first = AddedBefore(*kept.at(left[i]), left[i], *kept.at(right[j]), right[j]);
            }
            place(first ? left[i++] : right[j++]);
        } else if (leftOnly) {
            place(left[i++]);
        } else if (rightOnly) {
            place(right[j++]);
        } else if (i < left.size()) {
            // An anchor (or, should the two orders disagree, this side's next line).
            place(left[i++]);
        } else {
            place(right[j++]);
        }
    }

    // The chat's own members, each as the lines are.
    const Json::Value localForm = Chat::ToJson(local);
    const Json::Value remoteForm = Chat::ToJson(remote);
    auto member = [&](const char* name) -> const Json::Value& {
        const Json::Value& here = localForm.Find(name);
        const Json::Value& there = remoteForm.Find(name);
        const uint64_t* agreed = base != nullptr ? base->Field(name) : nullptr;
        return Decide(PrintOf(here), PrintOf(there), agreed) == Take::Remote ? there : here;
    };
    merged->id = local.id;
    const Json::Value& stamp = member("timestamp");
    merged->timestamp = stamp.kind == Json::Type::String ? stamp.AsWString() : local.timestamp;
    const Json::Value& persona = member("persona_id");
    merged->persona_id = persona.kind == Json::Type::String ? std::optional(persona.AsWString()) : std::nullopt;
    const Json::Value& memory = member("memory");
    merged->memory = memory.kind == Json::Type::String ? memory.AsWString() : std::wstring();
    return merged;
}

FieldMerge MergeFields(const RecordBase* base, const Json::Value& local, const Json::Value& remote) {
    FieldMerge result;
    Json::Object members;
    auto decide = [&](const std::string& name, const Json::Value& here, const Json::Value& there) {
        const uint64_t* agreed = base != nullptr ? base->Field(name) : nullptr;
        switch (Decide(PrintOf(here), PrintOf(there), agreed)) {
        case Take::Local:
            return here;
        case Take::Remote:
            return there;
        case Take::Both:
            break;
        }
        result.conflicts.push_back(name);
        return here;
    };
    // An absent member reads as null on either side.
    std::unordered_set<std::string> named;
    for (const auto& [name, value] : local.Members()) {
        named.insert(name);
        members.emplace_back(name, decide(name, value, remote.Find(name)));
    }
    for (const auto& [name, value] : remote.Members()) {
        if (named.count(name) == 0) {
            members.emplace_back(name, decide(name, local.Find(name), value));
        }
    }
    result.merged = Json::Value(std::move(members));
    return result;
}

}  // namespace Lorvex::Services

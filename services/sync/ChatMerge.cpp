// Two copies of one chat merged line by line.

#include "services/sync/ChatMerge.h"

#include <map>
#include <string>
#include <vector>

#include "services/sync/CloudSync.h"

namespace Lorvex::Services {

namespace {

std::wstring LineKey(const Message& message) {
    return message.timestamp + L'\x1f' + message.role + L'\x1f' + message.character_id.value_or(L"");
}

bool SameLine(const Message& a, const Message& b) {
    return Message::ToJson(a).Dump(false) == Message::ToJson(b).Dump(false);
}

// Of two versions of one line, the one to keep.
const std::shared_ptr<Message>& Pick(const std::shared_ptr<Message>& local, const std::shared_ptr<Message>& remote,
                                     bool remoteLater) {
    if (SameLine(*local, *remote)) {
        return local;
    }
    if (local->edited_at && remote->edited_at) {
        return CloudSync::StampBefore(*local->edited_at, *remote->edited_at) ? remote : local;
    }
    if (local->edited_at || remote->edited_at) {
        return local->edited_at ? local : remote;
    }
    return remoteLater ? remote : local;
}

}  // namespace

std::shared_ptr<Chat> MergeChats(const Chat& local, const Chat& remote, bool remoteLater) {
    auto merged = std::make_shared<Chat>();
    merged->id = local.id;
    merged->timestamp = local.timestamp;
    const Chat& fields = remoteLater ? remote : local;
    merged->persona_id = fields.persona_id;
    merged->memory = fields.memory;

    // Occurrences of each line on the other side, matched in order.
    std::map<std::wstring, std::vector<size_t>> remoteByKey;
    for (size_t i = 0; i < remote.messages.size(); ++i) {
        if (remote.messages[i]) {
            remoteByKey[LineKey(*remote.messages[i])].push_back(i);
        }
    }
    std::map<std::wstring, size_t> taken;
    std::vector<bool> used(remote.messages.size(), false);
    for (const std::shared_ptr<Message>& line : local.messages) {
        if (!line) {
            continue;
        }
        const std::wstring key = LineKey(*line);
        const auto found = remoteByKey.find(key);
        size_t& next = taken[key];
        if (found == remoteByKey.end() || next >= found->second.size()) {
            merged->messages.push_back(line);
            continue;
        }
        const size_t index = found->second[next++];
        used[index] = true;
        merged->messages.push_back(Pick(line, remote.messages[index], remoteLater));
    }
    // Each line only the other side holds goes after the last line not later than it.
    for (size_t i = 0; i < remote.messages.size(); ++i) {
        if (!remote.messages[i] || used[i]) {
            continue;
        }
        const std::shared_ptr<Message>& line = remote.messages[i];
        auto at = merged->messages.end();
        while (at != merged->messages.begin() && CloudSync::StampBefore(line->timestamp, (*(at - 1))->timestamp)) {
            --at;
        }
        merged->messages.insert(at, line);
    }
    return merged;
}

}  // namespace Lorvex::Services

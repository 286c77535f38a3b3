// Regenerating, editing, deleting and retrying one message of the open chat.

#include "services/state/AppState.h"

#include <algorithm>

#include "foundation/Text.h"
#include "foundation/Time.h"
#include "services/state/AppStateDetail.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

std::shared_ptr<Character> AppState::SpeakerOf(const Message& message) const {
    if (dualMode && message.character_id) {
        if (std::shared_ptr<Character> named = FindCharacter(*message.character_id)) {
            return named;
        }
    }
    return currentCharacter;
}

void AppState::RegenerateReply(const std::shared_ptr<Message>& message) {
    if (!currentChat || !message || message->role != L"assistant" || message->is_typing) {
        return;
    }
    auto& messages = currentChat->messages;
    const auto position = std::find(messages.begin(), messages.end(), message);
    if (position == messages.end() || position == messages.begin()) {
        return;
    }
    const bool answersUser =
        std::any_of(messages.begin(), position, [](const std::shared_ptr<Message>& m) { return m->role == L"user"; });
    const std::shared_ptr<Character> speaker = SpeakerOf(*message);
    if (!answersUser || !speaker) {
        return;
    }

    const std::wstring group = message->regeneration_id ? *message->regeneration_id : Time::NewUuid();
    std::vector<std::wstring>& list = versions[group];
    if (list.empty()) {
        if (!message->versions.empty()) {
            list = message->versions;  // the texts two PCs wrote stay among the versions
        } else if (message->error.empty()) {
            list.push_back(message->content);
        }
    }
    auto fresh = Message::Create(L"assistant", L"");
    // Another version of the same line, not another line.
    fresh->line_id = message->line_id;
    fresh->is_typing = true;
    fresh->typing_id = Time::NewUuid();
    fresh->character_id = message->character_id;
    fresh->character_name = message->character_name;
    fresh->regeneration_id = group;
    fresh->regeneration_index = static_cast<int32_t>(list.size());
    *position = fresh;
    StartReply(fresh, speaker, group);
    Changed();
}

void AppState::EditMessage(const std::shared_ptr<Message>& message, const std::wstring& text) {
    const std::wstring trimmed = Text::Trim(text);
    if (!currentChat || !message || trimmed.empty()) {
        return;
    }
    auto& messages = currentChat->messages;
    const auto position = std::find(messages.begin(), messages.end(), message);
    if (position == messages.end()) {
        return;
    }
    message->content = trimmed;
    message->edited_at = Time::NowIso();
    if (message->role == L"user") {
        messages.erase(position + 1, messages.end());
        CancelDetachedReplies();
        SaveCurrentChat();
        if (!manualReplies) {
            for (const std::shared_ptr<Character>& speaker : NextSpeakers()) {
                StartReply(AppendReplyMessage(speaker), speaker, std::nullopt);
            }
        }
    } else {
        SaveCurrentChat();
    }
    Changed();
}

void AppState::DeleteMessage(const std::shared_ptr<Message>& message) {
    if (!currentChat) {
        return;
    }
    for (RunningReply& running : runningReplies) {
        if (running.message == message) {
            running.cancel.Set();
        }
    }
    EraseItem(currentChat->messages, message);
    SaveCurrentChat();
    Changed();
}

void AppState::RetryReply(const std::shared_ptr<Message>& message) {
    if (!currentChat || !message || message->error.empty() || !Contains(currentChat->messages, message)) {
        return;
    }
    const std::shared_ptr<Character> speaker = SpeakerOf(*message);
    if (!speaker) {
        return;
    }
    message->error.clear();
    message->content.clear();
    message->is_typing = true;
    message->typing_id = Time::NewUuid();
    StartReply(message, speaker, message->regeneration_id);
    Changed();
}

}  // namespace Lorvex::Services

// Sending the user's message and the reply jobs that write the characters' lines.

#include "services/state/AppState.h"

#include <algorithm>
#include <utility>

#include "domain/Settings.h"
#include "domain/SpeakerPrefix.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "services/state/AppStateDetail.h"

namespace Lorvex::Services {

using namespace AppStateDetail;

namespace {

// A worker's copy of a character: the live chat list stays on the UI thread.
Character JobCopy(const Character& character) {
    Character copy = character;
    copy.chats = std::make_shared<ChatList>();
    return copy;
}

}  // namespace

void AppState::SendMessage(const std::wstring& text) {
    const std::wstring trimmed = Text::Trim(text);
    if (!currentChat || trimmed.empty()) {
        return;
    }
    currentChat->messages.push_back(Message::Create(L"user", trimmed));
    SaveCurrentChat();
    if (!manualReplies) {
        for (const std::shared_ptr<Character>& speaker : NextSpeakers()) {
            StartReply(AppendReplyMessage(speaker), speaker, std::nullopt);
        }
    }
    Changed();
}

std::vector<std::shared_ptr<Character>> AppState::NextSpeakers() const {
    std::vector<std::shared_ptr<Character>> speakers;
    if (dualMode) {
        for (const std::wstring& id : participantIds) {
            const std::shared_ptr<Character>& speaker =
                currentCharacter && id == currentCharacter->id ? currentCharacter : dualPartner;
            if (speaker) {
                speakers.push_back(speaker);
            }
        }
    } else if (currentCharacter) {
        speakers.push_back(currentCharacter);
    }
    return speakers;
}

void AppState::ReplyNow(const std::shared_ptr<Character>& speaker) {
    if (!currentChat || !speaker) {
        return;
    }
    StartReply(AppendReplyMessage(speaker), speaker, std::nullopt);
    Changed();
}

std::shared_ptr<Message> AppState::AppendReplyMessage(const std::shared_ptr<Character>& speaker) {
    if (!currentChat) {
        return nullptr;
    }
    auto message = Message::Create(L"assistant", L"");
    message->is_typing = true;
    message->typing_id = Time::NewUuid();
    if (dualMode && speaker) {
        message->character_id = speaker->id;
        message->character_name = speaker->name;
    }
    currentChat->messages.push_back(message);
    return message;
}

void AppState::StartReply(const std::shared_ptr<Message>& message, const std::shared_ptr<Character>& speaker,
                          const std::optional<std::wstring>& versionGroup) {
    if (!currentChat || !speaker || !message) {
        return;
    }
    const std::shared_ptr<Chat> chat = currentChat;
    const auto position = std::find(chat->messages.begin(), chat->messages.end(), message);
    if (position == chat->messages.end()) {
        return;
    }
    const size_t index = static_cast<size_t>(position - chat->messages.begin());

    // The chat's recap is what the character remembers of earlier chats.
    speaker->memory = chat->memory;
    Character speakerCopy = JobCopy(*speaker);
    std::optional<Character> partner;
    if (dualMode) {
        const std::shared_ptr<Character>& other =
            currentCharacter && speaker->id == currentCharacter->id ? dualPartner : currentCharacter;
        if (other) {
            partner = JobCopy(*other);
        }
    }
    std::optional<Persona> persona;
    if (const std::shared_ptr<Persona> seen = Character::ApplyPersonaOverride(currentPersona, *speaker)) {
        persona = *seen;
    }
    std::vector<Message> history = HistoryBefore(index);
    const Settings& settings = Settings::Instance();
    AiOptions options;
    options.temperature = settings.temperature;
    options.maxTokens = settings.max_tokens;
    options.stream = settings.stream_replies;
    std::vector<std::shared_ptr<Character>> owners = CurrentCharacters();

    Async::Cancel cancel;
    runningReplies.push_back(RunningReply{message, chat, cancel});

    // The worker never holds the message: the posted task finds it again, if it still exists.
    std::weak_ptr<Message> target = message;
    ProgressCallback progress = [this, target](const std::wstring& text) {
        Async::Post([this, target, text] {
            const std::shared_ptr<Message> pending = target.lock();
            if (pending && pending->is_typing) {
                pending->content = text;
                if (OnChanged) {
                    OnChanged();
                }
            }
        });
    };

    const DeepSeekService* client = &service;
    const bool dual = dualMode;
    auto work = [client, dual, speakerCopy = std::move(speakerCopy), partner = std::move(partner),
                 history = std::move(history), persona = std::move(persona), versionGroup, options,
                 progress = std::move(progress), cancel]() -> AiReply {
        if (dual) {
            return client->AskDual(speakerCopy, partner, history, persona, options, progress, cancel);
        }
        return client->Ask(speakerCopy, history, persona, versionGroup, options, progress, cancel);
    };
    auto done = [this, chat, message, versionGroup, owners](AiReply&& reply) {
        ApplyReply(chat, message, reply, versionGroup, owners);
    };
    if (!Async::Run(std::move(work), std::move(done))) {
        // Without a worker the message would wait for a reply forever.
        AiReply failed;
        failed.error = L"No se pudo iniciar la respuesta.";
        ApplyReply(chat, message, failed, versionGroup, owners);
    }
}

void AppState::ApplyReply(const std::shared_ptr<Chat>& chat, const std::shared_ptr<Message>& message,
                          const AiReply& reply, const std::optional<std::wstring>& versionGroup,
                          const std::vector<std::shared_ptr<Character>>& owners) {
    runningReplies.erase(std::remove_if(runningReplies.begin(), runningReplies.end(),
                                        [&](const RunningReply& running) { return running.message == message; }),
                         runningReplies.end());
    if (!Contains(chat->messages, message)) {
        // Deleted while it ran: nothing to apply, but the stop button must go.
        Changed();
        return;
    }
    message->is_typing = false;
    message->typing_id.reset();
    message->timestamp = Time::NowIso();

    std::wstring errorText;
    const bool noText = Text::Trim(reply.text).empty();
    const bool lost = noText && (reply.cancelled || !reply.error.empty());
    const std::vector<std::wstring>* earlier = nullptr;
    if (versionGroup) {
        const auto found = versions.find(*versionGroup);
        if (found != versions.end() && !found->second.empty()) {
            earlier = &found->second;
        }
    }
    if (lost && earlier) {
        // A new version that never came must not cost the answer it was meant to replace.
        message->content = earlier->back();
        message->error.clear();
        message->regeneration_id = *versionGroup;
        message->regeneration_index = static_cast<int32_t>(earlier->size()) - 1;
        if (!reply.cancelled) {
            errorText = reply.error;
        }
    } else if (reply.cancelled && noText) {
        EraseItem(chat->messages, message);
    } else if (!reply.error.empty() && noText) {
        message->content.clear();
        message->error = reply.error;
        errorText = reply.error;
    } else {
        message->content = reply.text;
        message->error.clear();
        if (!reply.cancelled && !reply.error.empty()) {
            // Cut after some text: the start is kept as a normal reply, and the user is told, or
            // it would look finished.
            errorText = L"La respuesta quedó incompleta. " + reply.error + L" Puedes regenerarla.";
        }
        if (!dualMode && chat == currentChat && currentCharacter) {
            message->character_name.reset();
            if (!reply.speaker.empty()) {
                const std::optional<std::wstring> name =
                    ResolveSpeaker(*currentCharacter, currentPersona.get(), reply.speaker);
                if (name && *name != currentCharacter->name) {
                    message->character_name = *name;
                }
            }
        }
        if (versionGroup) {
            std::vector<std::wstring>& list = versions[*versionGroup];
            list.push_back(reply.text);
            message->regeneration_id = *versionGroup;
            message->regeneration_index = static_cast<int32_t>(list.size()) - 1;
        }
    }

    WriteChat(owners, chat);
    Changed();
    if (OnReplyFinished) {
        OnReplyFinished(message, errorText);
    }
}

void AppState::CancelRepliesIn(const std::shared_ptr<Chat>& chat) {
    for (RunningReply& running : runningReplies) {
        if (running.chat == chat) {
            running.cancel.Set();
        }
    }
}

void AppState::CancelDetachedReplies() {
    for (RunningReply& running : runningReplies) {
        if (running.chat == currentChat && !Contains(currentChat->messages, running.message)) {
            running.cancel.Set();
        }
    }
}

}  // namespace Lorvex::Services

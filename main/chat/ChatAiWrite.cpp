// AI writing: the model writes or polishes the user's message straight into the composer, one job
// at a time. A job is never stopped: a cancel, a newer job or a change of chat only moves the
// generation on, and whatever the old job still sends is ignored.

#include <memory>
#include <utility>

#include "foundation/Async.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "services/state/AppState.h"

namespace Lorvex::Main {

namespace {

constexpr size_t kContextMessages = 20;

Services::AiReply RunJob(const ChatScreen::AiWriteJob& job) {
    if (job.improve) {
        return Services::DeepSeekService::PolishUserDraft(job.draft, job.messages, job.character, job.persona,
                                                          job.onPartial, job.cancel);
    }
    return Services::DeepSeekService::WriteUserMessage(job.draft, job.messages, job.character, job.persona,
                                                       job.onPartial, job.cancel);
}

// The UI-thread end of a job that still owns the composer.
void Finish(ChatScreen& screen, bool improve, const Services::AiReply& reply) {
    screen.aiBusy = false;
    if (reply.error.empty() && !Text::Trim(reply.text).empty()) {
        screen.composerText = reply.text;
    } else {
        screen.composerText = screen.savedDraft;
        const std::wstring what = improve ? L"No se pudo mejorar el texto: " : L"No se pudo escribir el mensaje: ";
        screen.owner->toasts.Push(what + (reply.error.empty() ? L"respuesta vacía" : reply.error),
                                  Kit::ToastKind::Error);
    }
    screen.owner->dirty = true;
}

}  // namespace

void ChatScreen::AiWrite(bool improve) {
    const Services::AppState& state = Services::AppState::Instance();
    const std::wstring trimmed = Text::Trim(composerText);
    if ((improve && trimmed.empty()) || !state.currentChat || aiBusy) {
        return;
    }
    aiBusy = true;
    savedDraft = composerText;
    const int32_t generation = ++aiGeneration;
    aiChatId = state.currentChat->id;

    AiWriteJob job;
    job.improve = improve;
    job.draft = trimmed;
    const auto& messages = state.currentChat->messages;
    const size_t first = messages.size() > kContextMessages ? messages.size() - kContextMessages : 0;
    for (size_t i = first; i < messages.size(); ++i) {
        job.messages.push_back(*messages[i]);
    }
    if (state.currentCharacter) {
        job.character = *state.currentCharacter;
        // The live chat list stays on the UI thread.
        job.character->chats = std::make_shared<ChatList>();
    }
    if (const std::shared_ptr<Persona> seen =
            Character::ApplyPersonaOverride(state.currentPersona, state.currentCharacter.get())) {
        job.persona = *seen;
    }
    const std::weak_ptr<ChatScreen*> self = aiSelf;
    job.onPartial = [self, generation](const std::wstring& text) {
        Async::Post([self, generation, text] {
            const std::shared_ptr<ChatScreen*> screen = self.lock();
            if (screen && (*screen)->AiJobOwnsComposer(generation)) {
                (*screen)->composerText = text;
                (*screen)->owner->dirty = true;
            }
        });
    };

    const bool started = Async::Run([job = std::move(job)] { return RunJob(job); },
                                    [self, generation, improve](const Services::AiReply& reply) {
                                        const std::shared_ptr<ChatScreen*> screen = self.lock();
                                        if (screen && (*screen)->AiJobOwnsComposer(generation)) {
                                            Finish(**screen, improve, reply);
                                        }
                                    });
    if (!started) {
        Services::AiReply failed;
        failed.error = L"no se pudo iniciar la tarea";
        Finish(*this, improve, failed);
    }
}

void ChatScreen::CancelAiWrite() {
    ++aiGeneration;
    aiBusy = false;
    composerText = savedDraft;
}

bool ChatScreen::AiJobOwnsComposer(int32_t generation) {
    if (!aiBusy || aiGeneration != generation) {
        return false;
    }
    const std::shared_ptr<Chat>& open = Services::AppState::Instance().currentChat;
    if (!open || open->id != aiChatId) {
        CancelAiWrite();
        return false;
    }
    return true;
}

}  // namespace Lorvex::Main

// A character's reply: prompt, request and cleaning, for a single character or one of a duo.

#include "domain/Choices.h"
#include "services/ai/DeepSeekService.h"
#include "services/ai/DuoPrompts.h"
#include "services/ai/ReplyCleaning.h"

namespace Lorvex::Services {

namespace {

std::wstring StyleDescription(const std::wstring& styleName) {
    for (const SpeechStyle& style : SpeechStyles()) {
        if (style.name == styleName) {
            return style.description;
        }
    }
    return {};
}

}  // namespace

AiReply DeepSeekService::Ask(const Character& character, const std::vector<Message>& history,
                             const std::optional<Persona>& persona, const std::optional<std::wstring>& versionGroup,
                             const AiOptions& options, const ProgressCallback& progress,
                             const Async::Cancel& cancel) const {
    const std::wstring prompt =
        SystemPrompt(character, persona ? &*persona : nullptr, character.speech_style,
                     StyleDescription(character.speech_style), character.scenario, character.memory);
    const std::vector<ApiMessage> messages = BuildApiMessages(prompt, history, versionGroup);
    AiReply reply =
        Request(messages, options.maxTokens, options.temperature, options.stream, CleanedProgress(progress), cancel);
    reply.speaker = PrefixSpeaker(reply.text);
    reply.text = CleanReply(reply.text);
    FailWhenEmpty(reply);
    return reply;
}

AiReply DeepSeekService::AskDual(const Character& character, const std::optional<Character>& partner,
                                 const std::vector<Message>& history, const std::optional<Persona>& persona,
                                 const AiOptions& options, const ProgressCallback& progress,
                                 const Async::Cancel& cancel) const {
    const std::wstring prompt = SystemPrompt(character, persona ? &*persona : nullptr, character.speech_style,
                                             StyleDescription(character.speech_style),
                                             DuoScenario(character, partner ? &*partner : nullptr), character.memory);
    const std::vector<ApiMessage> messages = BuildApiMessages(prompt, DuoHistory(history, character.id), std::nullopt);
    ProgressCallback cleaned;
    if (progress) {
        cleaned = [progress, partner](const std::wstring& text) { progress(CleanDualReply(partner, text)); };
    }
    AiReply reply = Request(messages, options.maxTokens, options.temperature, options.stream, cleaned, cancel);
    reply.text = CleanDualReply(partner, reply.text);
    FailWhenEmpty(reply);
    return reply;
}

}  // namespace Lorvex::Services

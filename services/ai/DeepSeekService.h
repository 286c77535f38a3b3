#pragma once
// The language-model client. Turns copies of a chat's records into what the model reads, sends
// one chat-completions request (streamed as server-sent events or received whole) and cleans what
// comes back. Everything runs on a job's worker thread; the object holds no state, so one instance
// serves any number of jobs at once. Failures never throw: they come back as Spanish error texts.

#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Cancel.h"
#include "foundation/net/Http.h"
#include "services/ai/AiReply.h"

namespace Lorvex::Services {

class DeepSeekService {
public:
    struct ApiMessage {
        std::wstring role;  // "system", "user" or "assistant"
        std::wstring content;
    };

    // ---- Prompts (SystemPrompt.cpp; a duo member's inputs in DuoPrompts.h) ----

    // The prompt that tells the model whom it plays, whom it talks to and how to write. persona
    // may be null (a chat without persona).
    static std::wstring SystemPrompt(const Character& character, const Persona* persona,
                                     const std::wstring& speechStyle, const std::wstring& styleDescription,
                                     const std::wstring& scenario, const std::wstring& memory);

    // The system prompt, then the history without pending and failed lines and, when a version
    // group is given, without the assistant lines of that group (the versions being replaced).
    static std::vector<ApiMessage> BuildApiMessages(const std::wstring& systemPrompt,
                                                    const std::vector<Message>& history,
                                                    const std::optional<std::wstring>& excludedGroup);

    // "a; b; c", each item without its trailing dots and semicolons; items left empty are skipped.
    static std::wstring JoinPersonality(const std::vector<std::wstring>& personality);

    // 0 for "Principal", 1 for "Secundario", 2 for anything else.
    static int ImportanceRank(const std::wstring& importance);

    // ---- Character replies (DeepSeekAsk.cpp; cleaning in ReplyCleaning.cpp) ----

    // One reply of a single character. versionGroup is the group being regenerated (its earlier
    // versions are not sent). Fills speaker from the uncleaned reply.
    AiReply Ask(const Character& character, const std::vector<Message>& history, const std::optional<Persona>& persona,
                const std::optional<std::wstring>& versionGroup, const AiOptions& options,
                const ProgressCallback& progress, const Async::Cancel& cancel) const;

    // One reply of a character that speaks together with a duo partner: the prompt carries the
    // group context, the partner's lines reach the model as reports, and echoes of them are cut.
    AiReply AskDual(const Character& character, const std::optional<Character>& partner,
                    const std::vector<Message>& history, const std::optional<Persona>& persona,
                    const AiOptions& options, const ProgressCallback& progress, const Async::Cancel& cancel) const;

    // Long dashes, phrases where the model talks about itself or the roleplay, and a leading
    // speaker prefix removed; trimmed.
    static std::wstring CleanReply(const std::wstring& text);
    // CleanReply, and with a partner also its echoed lines removed and all white space folded.
    static std::wstring CleanDualReply(const std::optional<Character>& partner, const std::wstring& text);

    // ---- Writing for the user (AiWriting.cpp) ----

    // Rewrites the user's draft in better style without changing what happens.
    static AiReply PolishUserDraft(const std::wstring& draft, std::vector<Message> messages,
                                   const std::optional<Character>& character, const std::optional<Persona>& persona,
                                   const ProgressCallback& progress, const Async::Cancel& cancel);

    // Writes the user's next message, following the idea when it is not empty.
    static AiReply WriteUserMessage(const std::wstring& idea, const std::vector<Message>& messages,
                                    const std::optional<Character>& character, const std::optional<Persona>& persona,
                                    const ProgressCallback& progress, const Async::Cancel& cancel);

    // ---- Errors (DeepSeekRequest.cpp, with the exchange itself) ----

    // The Spanish text for a failed exchange: without an answer the sentence for the kind of
    // network failure, for any other status the provider's message (or the start of the body).
    static std::wstring ErrorText(const Http::Response& response);
    // The same for a complete answer with a status outside 200..299.
    static std::wstring ErrorText(const std::string& body, uint32_t status);

private:
    // One chat-completions exchange. Streamed only when stream is asked for and progress is set;
    // progress then receives the uncleaned reply so far after each block that added text. A stream
    // that ends without "[DONE]" and without a finish reason fails with the text that arrived.
    static AiReply Request(const std::vector<ApiMessage>& messages, int maxTokens, double temperature, bool stream,
                           const ProgressCallback& progress, const Async::Cancel& cancel);
};

}  // namespace Lorvex::Services

#pragma once
// The language model writing for the user: polishing the composer's draft, or writing the user's
// next message from an idea or from nothing. The model acts as a writing assistant for the user's
// persona and gets two messages: the task with the persona's sheet, the character's brief and the
// rules, then the recent conversation with the draft or the instruction. These builders are pure
// and callable from any thread; the two requests (DeepSeekService::PolishUserDraft and
// WriteUserMessage) block on a worker and report failure in the reply's error text. An empty
// answer is no error of theirs: the caller decides what it means.

#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "services/ai/DeepSeekService.h"

namespace Lorvex::Services {

// The messages without pending and failed lines.
std::vector<Message> UsableHistory(const std::vector<Message>& messages);

// The last 20 messages as "speaker: text" paragraphs, each followed by a blank line.
std::wstring RecentConversation(const std::vector<Message>& messages, const std::wstring& userName,
                                const std::wstring& characterName);

// The persona's sheet followed by a blank line; empty without a persona.
std::wstring PersonaSheet(const std::optional<Persona>& persona);

// Who the user talks to, followed by a blank line; empty without a character.
std::wstring CharacterBrief(const std::optional<Character>& character);

// "{user}" and then "{char}" replaced by the names; an inserted name is never searched again.
std::wstring FillPlaceholders(const std::wstring& text, const std::wstring& userName,
                              const std::wstring& characterName);

// The system and user messages of each operation.
std::vector<DeepSeekService::ApiMessage> PolishDraftMessages(const std::wstring& draft,
                                                             const std::vector<Message>& messages,
                                                             const std::optional<Character>& character,
                                                             const std::optional<Persona>& persona);
std::vector<DeepSeekService::ApiMessage> WriteMessageMessages(const std::wstring& idea,
                                                              const std::vector<Message>& messages,
                                                              const std::optional<Character>& character,
                                                              const std::optional<Persona>& persona);

}  // namespace Lorvex::Services

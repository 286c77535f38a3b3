#pragma once
// The inputs that turn a single character's prompt into a duo member's: the scenario with the
// group context, and the history in which the other characters' lines become reports. The
// single character's system prompt is DeepSeekService::SystemPrompt (SystemPrompt.cpp). Pure
// functions of copies of the records; any thread.

#include <string>
#include <vector>

#include "domain/Records.h"

namespace Lorvex::Services {

// The character's scenario followed, when there is a partner, by who is present and the rules of
// answering in a group. partner may be null.
std::wstring DuoScenario(const Character& character, const Character* partner);

// The history without pending and failed lines, where every assistant line of another character
// becomes a user line "[name respondio: text]" so the model does not take it as its own.
std::vector<Message> DuoHistory(const std::vector<Message>& history, const std::wstring& speakerId);

}  // namespace Lorvex::Services

#pragma once
// The plain text of a conversation as the chat screen copies it: the character's sheet (and the
// partner's in a duo), the user's persona as that character sees it, then every line that was
// really said. Built from the records alone, so it needs no window; ChatScreen::CopyConversation
// hands it to the clipboard. Pure functions on any thread; nothing fails.

#include <cstddef>
#include <memory>
#include <string>

#include "domain/Records.h"

namespace Lorvex::Main {

struct ConversationCopy {
    std::wstring text;
    size_t entries = 0;  // lines of the conversation in the text; none means nothing to copy
};

// partner: the duo's second character, or null for a single one. persona: the one the user plays
// in the chat (the character's adjustments are applied here), or null.
ConversationCopy BuildConversationCopy(const Character& character, const Character* partner, const Chat& chat,
                                       const std::shared_ptr<Persona>& persona);

}  // namespace Lorvex::Main

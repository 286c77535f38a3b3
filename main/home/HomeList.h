#pragma once
// What the home screen shows of the character list: the query a search text stands for, the
// characters that match it, the two display orders, and the counters of the greeting panel. Pure
// functions over the records, called anew every frame (nothing is kept between frames). Any
// thread for records no other thread changes, which means the UI thread for the live ones;
// nothing fails.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"

namespace Lorvex::Main::Home {

using CharacterList = std::vector<std::shared_ptr<Character>>;

// The search text trimmed of the common whitespace and lower-cased unit by unit (towlower).
std::wstring SearchQuery(std::wstring_view searchText);

// The characters whose lower-cased name contains the query, in the list's order; every one for an
// empty query. Names are not trimmed and accents are not folded.
CharacterList FilterByName(const CharacterList& characters, const std::wstring& query);

// Sorts in place, keeping the list's order among equal keys: by name as the application orders
// names (letter case ignored) when alphabetical, else the newest activity first, characters
// without any last.
void SortForDisplay(CharacterList& list, bool alphabetical);

struct RecordCounts {
    size_t characters = 0;
    size_t chats = 0;     // a chat list shared by a duo counts once
    size_t messages = 0;  // every message of those chats
};
RecordCounts CountRecords(const CharacterList& characters);

}  // namespace Lorvex::Main::Home

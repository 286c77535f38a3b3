#pragma once
// What the home screen shows of the character list: the query a search text stands for, the
// characters that match it, the two display orders, and the counters of the greeting panel, as
// pure functions over the records, and the screen's copy of their results, kept between frames
// until what they depend on changes. Any thread for records no other thread changes, which means
// the UI thread for the live ones; nothing fails.

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

// The shown list and the counters of one screen, filtered, sorted and counted again only when the
// records changed (the application state's revision, or another list of characters), or for the
// list the query or the order: a heavy user's thousand characters are not sorted in every frame.
class ShownCharacters {
public:
    const CharacterList& List(const CharacterList& characters, int revision, const std::wstring& query,
                              bool alphabetical);
    const RecordCounts& Counts(const CharacterList& characters, int revision);

private:
    struct Source {
        const std::shared_ptr<Character>* data = nullptr;
        size_t size = 0;
        int revision = 0;
        bool valid = false;
        bool Same(const CharacterList& characters, int otherRevision) const {
            return valid && data == characters.data() && size == characters.size() && revision == otherRevision;
        }
        void Take(const CharacterList& characters, int otherRevision) {
            *this = {characters.data(), characters.size(), otherRevision, true};
        }
    };
    Source listSource_;
    std::wstring query_;
    bool alphabetical_ = false;
    CharacterList list_;
    Source countsSource_;
    RecordCounts counts_;
};

}  // namespace Lorvex::Main::Home

#include "main/home/HomeList.h"

#include <algorithm>
#include <set>
#include <utility>

#include "foundation/Text.h"

namespace Lorvex::Main::Home {

std::wstring SearchQuery(std::wstring_view searchText) {
    return Text::ToLower(Text::Trim(searchText));
}

CharacterList FilterByName(const CharacterList& characters, const std::wstring& query) {
    if (query.empty()) {
        return characters;
    }
    CharacterList matches;
    for (const std::shared_ptr<Character>& character : characters) {
        if (Text::ToLower(character->name).find(query) != std::wstring::npos) {
            matches.push_back(character);
        }
    }
    return matches;
}

void SortForDisplay(CharacterList& list, bool alphabetical) {
    // Each key is made once per character rather than once per comparison: a heavy user's
    // thousand characters are sorted in every frame. Lower-cased names compared unit by unit
    // are the application's name order (Text::LessNoCase).
    std::vector<std::pair<std::wstring, std::shared_ptr<Character>>> keyed;
    keyed.reserve(list.size());
    for (std::shared_ptr<Character>& character : list) {
        std::wstring key = alphabetical ? Text::ToLower(character->name) : Character::LatestActivity(*character);
        keyed.emplace_back(std::move(key), std::move(character));
    }
    if (alphabetical) {
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    } else {
        // Time stamps of one format sort chronologically as text; no activity is the empty key.
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    }
    for (size_t i = 0; i < list.size(); ++i) {
        list[i] = std::move(keyed[i].second);
    }
}

RecordCounts CountRecords(const CharacterList& characters) {
    RecordCounts counts;
    counts.characters = characters.size();
    std::set<const ChatList*> seen;
    for (const std::shared_ptr<Character>& character : characters) {
        if (!character->chats || !seen.insert(character->chats.get()).second) {
            continue;
        }
        counts.chats += character->chats->size();
        for (const std::shared_ptr<Chat>& chat : *character->chats) {
            counts.messages += chat ? chat->messages.size() : 0;
        }
    }
    return counts;
}

const CharacterList& ShownCharacters::List(const CharacterList& characters, int revision, const std::wstring& query,
                                           bool alphabetical) {
    if (!listSource_.Same(characters, revision) || query != query_ || alphabetical != alphabetical_) {
        list_ = FilterByName(characters, query);
        SortForDisplay(list_, alphabetical);
        listSource_.Take(characters, revision);
        query_ = query;
        alphabetical_ = alphabetical;
    }
    return list_;
}

const RecordCounts& ShownCharacters::Counts(const CharacterList& characters, int revision) {
    if (!countsSource_.Same(characters, revision)) {
        counts_ = CountRecords(characters);
        countsSource_.Take(characters, revision);
    }
    return counts_;
}

}  // namespace Lorvex::Main::Home

#pragma once
// Small helpers shared by the application state's source files.

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "domain/Records.h"

namespace Lorvex::Services::AppStateDetail {

template <class T>
bool Contains(const std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

template <class T>
void EraseItem(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Newest chat first by its stamp (ISO texts sort by time); equal stamps keep their order.
inline void SortChatsNewestFirst(ChatList& chats) {
    std::stable_sort(chats.begin(), chats.end(), [](const std::shared_ptr<Chat>& a, const std::shared_ptr<Chat>& b) {
        return a->timestamp > b->timestamp;
    });
}

// Newest activity first; characters without chats last; ties keep their order.
inline void SortNewestActivityFirst(std::vector<std::shared_ptr<Character>>& characters) {
    // The key walks every chat of a character: compute it once per character, not per comparison.
    std::vector<std::pair<std::wstring, std::shared_ptr<Character>>> keyed;
    keyed.reserve(characters.size());
    for (std::shared_ptr<Character>& character : characters) {
        keyed.emplace_back(Character::LatestActivity(*character), std::move(character));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) {
        characters[i] = std::move(keyed[i].second);
    }
}

}  // namespace Lorvex::Services::AppStateDetail

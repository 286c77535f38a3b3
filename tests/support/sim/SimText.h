#pragma once
// How the simulation names and reads records: the keys the ledger files texts under (the sync's
// own item keys), the fields of characters and personas as the users edit them, the texts a line
// holds, and quoting for the trace. Plain functions; any thread for records no other thread
// changes.

#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "domain/Records.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "services/sync/CloudSync.h"
#include "tests/support/sim/SimLedger.h"

namespace Lorvex::Testing::Sim {

inline RecordKey CharacterKey(const std::wstring& id) {
    return Services::CloudSync::ItemKey(L"character", id);
}
inline RecordKey CharacterKey(const Character& character) {
    return CharacterKey(character.id);
}
inline RecordKey PersonaKey(const Persona& persona) {
    return Services::CloudSync::ItemKey(L"persona", persona.id);
}
inline RecordKey ChatKey(const std::wstring& ownerId, const std::wstring& chatId) {
    return Services::CloudSync::ItemKey(L"chat", Services::CloudSync::ChatItemId(ownerId, chatId));
}
inline RecordKey ChatKey(const Character& owner, const Chat& chat) {
    return ChatKey(owner.id, chat.id);
}

// The field a user edits, by its name in the record's JSON form (const for a const record); null
// for any other name.
template <class Record>
auto EditableField(Record& record, const std::string& name) {
    using Pointer = decltype(&record.name);
    if (name == "name") {
        return &record.name;
    }
    if (name == "traits") {
        return &record.traits;
    }
    if (name == "personality") {
        return &record.personality;
    }
    if constexpr (std::is_same_v<std::remove_const_t<Record>, Character>) {
        if (name == "background") {
            return &record.background;
        }
        if (name == "scenario") {
            return &record.scenario;
        }
        if (name == "initial_message") {
            return &record.initial_message;
        }
    }
    return Pointer{nullptr};
}

inline const std::vector<std::string>& CharacterFieldNames() {
    static const std::vector<std::string> names = {"name",       "traits",   "personality",
                                                   "background", "scenario", "initial_message"};
    return names;
}
inline const std::vector<std::string>& PersonaFieldNames() {
    static const std::vector<std::string> names = {"name", "traits", "personality"};
    return names;
}

inline std::wstring PhotoName(const std::optional<std::wstring>& photo) {
    return photo && !photo->empty() ? Files::FileName(*photo) : std::wstring();
}

// Every field the ledger follows, with the photo as its file name under "photoPath".
template <class Record>
std::vector<std::pair<std::string, std::wstring>> Fields(const Record& record, const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::wstring>> fields;
    for (const std::string& name : names) {
        fields.emplace_back(name, *EditableField(record, name));
    }
    fields.emplace_back("photoPath", PhotoName(record.photoPath));
    return fields;
}
inline std::vector<std::pair<std::string, std::wstring>> Fields(const Character& character) {
    return Fields(character, CharacterFieldNames());
}
inline std::vector<std::pair<std::string, std::wstring>> Fields(const Persona& persona) {
    return Fields(persona, PersonaFieldNames());
}

// The line's content and its versions, each once.
inline std::vector<std::wstring> LineTexts(const Message& line) {
    std::vector<std::wstring> texts;
    if (!line.content.empty()) {
        texts.push_back(line.content);
    }
    for (const std::wstring& version : line.versions) {
        if (!version.empty() && std::find(texts.begin(), texts.end(), version) == texts.end()) {
            texts.push_back(version);
        }
    }
    return texts;
}

inline std::string Quote(const std::wstring& text) {
    return "\xC2\xAB" + Text::ToUtf8(text) + "\xC2\xBB";
}

}  // namespace Lorvex::Testing::Sim

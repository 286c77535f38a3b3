#include "domain/RecordJson.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Text.h"
#include "foundation/Time.h"

namespace Lorvex {

namespace {

// Line breaks as LF. Stored texts rarely hold a CR, and then the second pass over them is skipped.
std::wstring WideWithNewlines(const std::string& utf8) {
    std::wstring text = Text::ToWide(utf8);
    return utf8.find('\r') == std::string::npos ? text : Text::NormalizeNewlines(text);
}

}  // namespace

namespace RecordJsonDetail {

const Json::Value* FindMember(const Json::Value& object, std::string_view key) {
    for (const auto& member : object.Members()) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

std::wstring ReadTextOrMake(const Json::Value& object, std::string_view key, std::wstring (*make)()) {
    const Json::Value* member = FindMember(object, key);
    if (member && member->kind == Json::Type::String) {
        return WideWithNewlines(member->text);
    }
    return make();
}

Json::Value KnownCharactersToJson(const std::vector<KnownCharacter>& known) {
    Json::Array items;
    items.reserve(known.size());
    for (const KnownCharacter& person : known) {
        items.push_back(KnownCharacter::ToJson(person));
    }
    return Json::Value(std::move(items));
}

std::vector<KnownCharacter> ReadKnownCharacters(const Json::Value& object, std::string_view key) {
    std::vector<KnownCharacter> known;
    const Json::Value* member = FindMember(object, key);
    if (!member) {
        return known;
    }
    for (const Json::Value& item : member->Items()) {
        if (item.kind == Json::Type::Object) {
            known.push_back(KnownCharacter::FromJson(item));
        }
    }
    return known;
}

}  // namespace RecordJsonDetail

using RecordJsonDetail::FindMember;

namespace {

Json::Value OptionalText(const std::optional<std::wstring>& text) {
    return text ? Json::Value(*text) : Json::Value();
}

void Add(Json::Object& members, const char* key, Json::Value value) {
    members.emplace_back(key, std::move(value));
}

}  // namespace

std::wstring ReadText(const Json::Value& object, std::string_view key, std::wstring_view fallback) {
    const Json::Value* member = FindMember(object, key);
    if (member && member->kind == Json::Type::String) {
        return WideWithNewlines(member->text);
    }
    return std::wstring(fallback);
}

std::optional<std::wstring> ReadOptionalText(const Json::Value& object, std::string_view key) {
    const Json::Value* member = FindMember(object, key);
    if (member && member->kind == Json::Type::String) {
        return Text::ToWide(member->text);
    }
    return std::nullopt;
}

void PutOptionalText(Json::Value& object, std::string_view key, const std::optional<std::wstring>& text) {
    object[key] = OptionalText(text);
}

bool ReadFlag(const Json::Value& object, std::string_view key) {
    const Json::Value* member = FindMember(object, key);
    if (!member) {
        return false;
    }
    return (member->kind == Json::Type::Bool && member->boolean) ||
           (member->kind == Json::Type::String && member->text == "true");
}

Json::Value KnownCharacter::ToJson(const KnownCharacter& known) {
    Json::Object members;
    members.reserve(8);
    Add(members, "name", Json::Value(known.name));
    Add(members, "age", Json::Value(known.age));
    Add(members, "relationship", Json::Value(known.relationship));
    Add(members, "description", Json::Value(known.description));
    Add(members, "importance", Json::Value(known.importance));
    Add(members, "bubble_name", Json::Value(known.bubble_name));
    if (!known.personality.empty()) {
        Json::Array traits;
        traits.reserve(known.personality.size());
        for (const std::wstring& trait : known.personality) {
            traits.emplace_back(trait);
        }
        Add(members, "personality", Json::Value(std::move(traits)));
    }
    if (known.photoPath && !known.photoPath->empty()) {
        Add(members, "photoPath", Json::Value(*known.photoPath));
    }
    return Json::Value(std::move(members));
}

KnownCharacter KnownCharacter::FromJson(const Json::Value& value) {
    KnownCharacter known;
    known.name = ReadText(value, "name", L"");
    known.age = ReadText(value, "age", L"");
    known.relationship = ReadText(value, "relationship", L"");
    known.description = ReadText(value, "description", L"");
    known.importance = ReadText(value, "importance", L"De fondo");
    known.bubble_name = ReadText(value, "bubble_name", L"");
    if (const Json::Value* traits = FindMember(value, "personality")) {
        for (const Json::Value& trait : traits->Items()) {
            if (trait.kind == Json::Type::String && !trait.text.empty()) {
                known.personality.push_back(Text::ToWide(trait.text));
            }
        }
    }
    known.photoPath = ReadOptionalText(value, "photoPath");
    if (known.photoPath && known.photoPath->empty()) {
        known.photoPath.reset();
    }
    return known;
}

Json::Value Message::ToJson(const Message& message) {
    // Sized once: grown member by member, every message leaves a trail of freed blocks behind.
    Json::Object members;
    members.reserve(10);
    Add(members, "role", Json::Value(message.role));
    Add(members, "content", Json::Value(message.content));
    Add(members, "timestamp", Json::Value(message.timestamp));
    // The pending state is never stored.
    Add(members, "is_typing", Json::Value(false));
    Add(members, "typing_id", Json::Value());
    Add(members, "character_id", OptionalText(message.character_id));
    Add(members, "character_name", OptionalText(message.character_name));
    Add(members, "regeneration_id", OptionalText(message.regeneration_id));
    Add(members, "regeneration_index",
        message.regeneration_index ? Json::Value(*message.regeneration_index) : Json::Value());
    // Only for an edited line, so the files of lines never edited stay as they were.
    if (message.edited_at) {
        Add(members, "edited_at", Json::Value(*message.edited_at));
    }
    return Json::Value(std::move(members));
}

std::shared_ptr<Message> Message::FromJson(const Json::Value& value) {
    auto message = std::make_shared<Message>();
    message->role = ReadText(value, "role", L"");
    message->content = ReadText(value, "content", L"");
    message->timestamp = RecordJsonDetail::ReadTextOrMake(value, "timestamp", &Time::NowIso);
    message->is_typing = ReadFlag(value, "is_typing");
    message->typing_id = ReadOptionalText(value, "typing_id");
    message->character_id = ReadOptionalText(value, "character_id");
    message->character_name = ReadOptionalText(value, "character_name");
    message->regeneration_id = ReadOptionalText(value, "regeneration_id");
    message->edited_at = ReadOptionalText(value, "edited_at");
    const Json::Value* index = FindMember(value, "regeneration_index");
    if (index && index->kind == Json::Type::Number) {
        // Clamped rather than wrapped: a huge stored index must not turn negative. The ends are
        // decided on the number itself, since AsInt64 answers 0 beyond the 64-bit range.
        constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
        constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
        if (index->number >= static_cast<double>(kHigh)) {
            message->regeneration_index = kHigh;
        } else if (index->number <= static_cast<double>(kLow)) {
            message->regeneration_index = kLow;
        } else {
            message->regeneration_index = static_cast<int32_t>(index->AsInt64(0));
        }
    }
    return message;
}

Json::Value Chat::ToJson(const Chat& chat) {
    Json::Array messages;
    messages.reserve(chat.messages.size());
    for (const auto& message : chat.messages) {
        // Pending and failed lines live only as long as the program runs.
        if (message && Message::IsSettled(*message)) {
            messages.push_back(Message::ToJson(*message));
        }
    }
    Json::Object members;
    members.reserve(5);
    Add(members, "id", Json::Value(chat.id));
    Add(members, "timestamp", Json::Value(chat.timestamp));
    Add(members, "messages", Json::Value(std::move(messages)));
    Add(members, "persona_id", OptionalText(chat.persona_id));
    Add(members, "memory", Json::Value(chat.memory));
    return Json::Value(std::move(members));
}

std::shared_ptr<Chat> Chat::FromJson(const Json::Value& value) {
    auto chat = std::make_shared<Chat>();
    chat->id = RecordJsonDetail::ReadTextOrMake(value, "id", &Time::NewUuid);
    chat->timestamp = RecordJsonDetail::ReadTextOrMake(value, "timestamp", &Time::NowIso);
    if (const Json::Value* messages = FindMember(value, "messages")) {
        chat->messages.reserve(messages->Size());
        for (const Json::Value& item : messages->Items()) {
            if (item.kind != Json::Type::Object) {
                continue;
            }
            auto message = Message::FromJson(item);
            if (!message->is_typing) {
                chat->messages.push_back(std::move(message));
            }
        }
    }
    chat->persona_id = ReadOptionalText(value, "persona_id");
    chat->memory = ReadText(value, "memory", L"");
    return chat;
}

}  // namespace Lorvex

#include "domain/RecordJson.h"

#include <utility>

#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Text.h"

namespace Lorvex {

namespace RecordJsonDetail {

std::wstring WideWithNewlines(std::string_view utf8) {
    std::wstring text = Text::ToWide(utf8);
    // Stored texts rarely hold a CR, and then the second pass over them is skipped.
    return utf8.find('\r') == std::string_view::npos ? text : Text::NormalizeNewlines(text);
}

const Json::Value* FindMember(const Json::Value& object, std::string_view key) {
    for (const auto& member : object.Members()) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

Json::Value KnownCharactersToJson(const std::vector<KnownCharacter>& known) {
    Json::Array items;
    items.reserve(known.size());
    for (const KnownCharacter& person : known) {
        items.push_back(KnownCharacter::ToJson(person));
    }
    return Json::Value(std::move(items));
}

}  // namespace RecordJsonDetail

using RecordJsonDetail::FindMember;
using RecordJsonDetail::WideWithNewlines;

namespace {

Json::Value OptionalText(const std::optional<std::wstring>& text) {
    return text ? Json::Value(*text) : Json::Value();
}

void Add(Json::Object& members, const char* key, Json::Value value) {
    members.emplace_back(key, std::move(value));
}

Json::Value Texts(const std::vector<std::wstring>& texts) {
    Json::Array items;
    items.reserve(texts.size());
    for (const std::wstring& text : texts) {
        items.emplace_back(text);
    }
    return Json::Value(std::move(items));
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
        Add(members, "personality", Texts(known.personality));
    }
    if (known.photoPath && !known.photoPath->empty()) {
        Add(members, "photoPath", Json::Value(*known.photoPath));
    }
    return Json::Value(std::move(members));
}

Json::Value Message::ToJson(const Message& message) {
    // Sized once: grown member by member, every message leaves a trail of freed blocks behind.
    Json::Object members;
    members.reserve(12);
    if (!message.line_id.empty()) {
        Add(members, "line_id", Json::Value(message.line_id));
    }
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
    if (!message.versions.empty()) {
        Add(members, "versions", Texts(message.versions));
    }
    return Json::Value(std::move(members));
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

}  // namespace Lorvex

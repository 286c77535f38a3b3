// Every record read from its JSON form by one set of rules over two sources: a parsed value
// (pulled items, whatever holds a value already) or the text itself (the store's files, read
// without building a value tree first, each text converted once into its record).

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "domain/RecordJsonDetail.h"
#include "domain/Records.h"
#include "foundation/Hash.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "foundation/json/Cursor.h"

namespace Lorvex {

namespace {

// ---- Sources: one JSON value as the rules read it ----

class TreeSource {
public:
    explicit TreeSource(const Json::Value& value) : value_(value) {}

    Json::Type Kind() const { return value_.kind; }
    // Only for a string.
    std::string_view Utf8() const { return value_.text; }
    bool Boolean() const { return value_.boolean; }
    double Number() const { return value_.number; }
    // f(key, source) for each member of an object; nothing for another type.
    template <class F>
    void Members(F&& f) const {
        for (const auto& [key, member] : value_.Members()) {
            TreeSource source(member);
            f(std::string_view(key), source);
        }
    }
    // f(source) for each element of an array; nothing for another type.
    template <class F>
    void Elements(F&& f) const {
        for (const Json::Value& element : value_.Items()) {
            TreeSource source(element);
            f(source);
        }
    }

private:
    const Json::Value& value_;
};

// The next value of a cursor. Each value is read once, as the rules ask for it; one they leave
// alone is skipped by Finish. A fault of the text ends every read early, and the caller throws
// the record away.
class TextSource {
public:
    explicit TextSource(Json::Cursor& cursor) : cursor_(cursor), kind_(KindOf(cursor.Peek())) {}

    Json::Type Kind() const { return kind_; }
    // Only for a string; the view lasts until the next read.
    std::string_view Utf8() {
        consumed_ = true;
        std::string_view text;
        cursor_.ReadString(text);
        return text;
    }
    bool Boolean() {
        consumed_ = true;
        bool value = false;
        cursor_.ReadBool(value);
        return value;
    }
    double Number() {
        consumed_ = true;
        double value = 0;
        cursor_.ReadNumber(value);
        return value;
    }
    template <class F>
    void Members(F&& f) {
        if (kind_ != Json::Type::Object) {
            return;
        }
        consumed_ = true;
        if (!cursor_.BeginObject()) {
            return;
        }
        std::string_view key;
        while (cursor_.NextMember(key)) {
            TextSource member(cursor_);
            f(key, member);
            member.Finish();
        }
    }
    template <class F>
    void Elements(F&& f) {
        if (kind_ != Json::Type::Array) {
            return;
        }
        consumed_ = true;
        if (!cursor_.BeginArray()) {
            return;
        }
        while (cursor_.NextElement()) {
            TextSource element(cursor_);
            f(element);
            element.Finish();
        }
    }
    void Finish() {
        if (!consumed_) {
            consumed_ = true;
            cursor_.Skip();
        }
    }

private:
    static Json::Type KindOf(Json::Cursor::Kind kind) {
        switch (kind) {
        case Json::Cursor::Kind::Bool:
            return Json::Type::Bool;
        case Json::Cursor::Kind::Number:
            return Json::Type::Number;
        case Json::Cursor::Kind::String:
            return Json::Type::String;
        case Json::Cursor::Kind::Array:
            return Json::Type::Array;
        case Json::Cursor::Kind::Object:
            return Json::Type::Object;
        case Json::Cursor::Kind::Null:
        case Json::Cursor::Kind::End:
        default:
            return Json::Type::Null;
        }
    }

    Json::Cursor& cursor_;
    Json::Type kind_;
    bool consumed_ = false;
};

// ---- The value rules ----

// Text: a string's text with its line breaks as LF; false (the field keeps its fallback) for
// another type.
template <class Source>
bool ReadText(Source& value, std::wstring& field) {
    if (value.Kind() != Json::Type::String) {
        return false;
    }
    field = RecordJsonDetail::WideWithNewlines(value.Utf8());
    return true;
}

// Optional text: set to a string's text as it stands, also when empty; unset for another type.
template <class Source>
void ReadOptional(Source& value, std::optional<std::wstring>& field) {
    if (value.Kind() == Json::Type::String) {
        field = Text::ToWide(value.Utf8());
    }
}

// Flag: JSON true or the string "true".
template <class Source>
bool ReadFlag(Source& value) {
    if (value.Kind() == Json::Type::Bool) {
        return value.Boolean();
    }
    return value.Kind() == Json::Type::String && value.Utf8() == "true";
}

// Rounded as Json::Value::AsInt64 rounds and clamped rather than wrapped: a huge stored index
// must not turn negative. The ends are decided on the number itself, since AsInt64 answers 0
// beyond the 64-bit range.
int32_t IndexFromNumber(double number) {
    constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
    if (number >= static_cast<double>(kHigh)) {
        return kHigh;
    }
    if (number <= static_cast<double>(kLow)) {
        return kLow;
    }
    return static_cast<int32_t>(Json::Value(number).AsInt64(0));
}

// The first time a key of the form is met: its index among names, else -1 (unknown, or a repeat
// whose first member already counted).
template <size_t N>
int Field(std::string_view key, const std::string_view (&names)[N], uint32_t& seen) {
    for (size_t i = 0; i < N; ++i) {
        if (key.size() == names[i].size() && key == names[i]) {
            const uint32_t bit = 1u << i;
            if (seen & bit) {
                return -1;
            }
            seen |= bit;
            return static_cast<int>(i);
        }
    }
    return -1;
}

// ---- The forms ----

template <class Source>
void ReadKnown(Source& source, KnownCharacter& known) {
    static constexpr std::string_view kNames[] = {"name",       "age",         "relationship", "description",
                                                  "importance", "bubble_name", "personality",  "photoPath"};
    uint32_t seen = 0;
    source.Members([&](std::string_view key, auto& value) {
        switch (Field(key, kNames, seen)) {
        case 0:
            ReadText(value, known.name);
            break;
        case 1:
            ReadText(value, known.age);
            break;
        case 2:
            ReadText(value, known.relationship);
            break;
        case 3:
            ReadText(value, known.description);
            break;
        case 4:
            ReadText(value, known.importance);
            break;
        case 5:
            ReadText(value, known.bubble_name);
            break;
        case 6:
            value.Elements([&](auto& trait) {
                if (trait.Kind() == Json::Type::String) {
                    const std::string_view text = trait.Utf8();
                    if (!text.empty()) {
                        known.personality.push_back(Text::ToWide(text));
                    }
                }
            });
            break;
        case 7:
            ReadOptional(value, known.photoPath);
            if (known.photoPath && known.photoPath->empty()) {
                known.photoPath.reset();
            }
            break;
        default:
            break;
        }
    });
}

template <class Source>
void ReadKnownList(Source& value, std::vector<KnownCharacter>& known) {
    value.Elements([&](auto& element) {
        if (element.Kind() == Json::Type::Object) {
            known.emplace_back();
            ReadKnown(element, known.back());
        }
    });
}

// Returns whether the line carried its own stamp.
template <class Source>
bool ReadMessage(Source& source, Message& message) {
    static constexpr std::string_view kNames[] = {"role",           "content",         "timestamp",
                                                  "is_typing",      "typing_id",       "character_id",
                                                  "character_name", "regeneration_id", "regeneration_index",
                                                  "edited_at",      "line_id",         "versions"};
    uint32_t seen = 0;
    bool stamped = false;
    source.Members([&](std::string_view key, auto& value) {
        switch (Field(key, kNames, seen)) {
        case 0:
            ReadText(value, message.role);
            break;
        case 1:
            ReadText(value, message.content);
            break;
        case 2:
            stamped = ReadText(value, message.timestamp);
            break;
        case 3:
            message.is_typing = ReadFlag(value);
            break;
        case 4:
            ReadOptional(value, message.typing_id);
            break;
        case 5:
            ReadOptional(value, message.character_id);
            break;
        case 6:
            ReadOptional(value, message.character_name);
            break;
        case 7:
            ReadOptional(value, message.regeneration_id);
            break;
        case 8:
            if (value.Kind() == Json::Type::Number) {
                message.regeneration_index = IndexFromNumber(value.Number());
            }
            break;
        case 9:
            ReadOptional(value, message.edited_at);
            break;
        case 10:
            ReadText(value, message.line_id);
            break;
        case 11:
            value.Elements([&](auto& text) {
                if (text.Kind() == Json::Type::String) {
                    message.versions.push_back(RecordJsonDetail::WideWithNewlines(text.Utf8()));
                }
            });
            break;
        default:
            break;
        }
    });
    if (!stamped) {
        message.timestamp = Time::NowIso();
    }
    return stamped;
}

// Lines written before lines had ids: an id from what the line holds that no edit changes (its
// role, stamp and speaker; the text too for a line without a stamp, whose stamp is made up at
// each read), numbered among the chat's lines that share all of it.
class DerivedLineIds {
public:
    void Assign(Message& message, bool stamped) {
        uint64_t h = Hash::Fnv1a64(Hash::kFnvOffsetBasis, message.role);
        h = Hash::Fnv1a64(Hash::Fnv1a64Word(h, 0x1f), stamped ? std::wstring_view(message.timestamp) : L"");
        h = Hash::Fnv1a64(Hash::Fnv1a64Word(h, 0x1f), message.character_id.value_or(L""));
        if (!stamped) {
            h = Hash::Fnv1a64(Hash::Fnv1a64Word(h, 0x1f), message.content);
        }
        const uint64_t occurrence = seen_[h]++;
        message.line_id = L"l" + Text::ToWide(Hash::Hex64(Hash::Fnv1a64Word(h, occurrence)));
    }

private:
    std::map<uint64_t, uint64_t> seen_;
};

template <class Source>
void ReadChat(Source& source, Chat& chat) {
    static constexpr std::string_view kNames[] = {"id", "timestamp", "messages", "persona_id", "memory"};
    uint32_t seen = 0;
    bool named = false;
    bool stamped = false;
    DerivedLineIds derived;
    source.Members([&](std::string_view key, auto& value) {
        switch (Field(key, kNames, seen)) {
        case 0:
            named = ReadText(value, chat.id);
            break;
        case 1:
            stamped = ReadText(value, chat.timestamp);
            break;
        case 2:
            value.Elements([&](auto& element) {
                if (element.Kind() != Json::Type::Object) {
                    return;
                }
                auto message = std::make_shared<Message>();
                const bool lineStamped = ReadMessage(element, *message);
                // Numbered over every line of the file, so that the ids do not depend on which
                // lines this reader keeps.
                if (message->line_id.empty()) {
                    derived.Assign(*message, lineStamped);
                }
                // A reply still being written when the file was saved is not a line that was said.
                if (!message->is_typing) {
                    chat.messages.push_back(std::move(message));
                }
            });
            break;
        case 3:
            ReadOptional(value, chat.persona_id);
            break;
        case 4:
            ReadText(value, chat.memory);
            break;
        default:
            break;
        }
    });
    if (!named) {
        chat.id = Time::NewUuid();
    }
    if (!stamped) {
        chat.timestamp = Time::NowIso();
    }
}

// A present member of any type sets an override's field: null or a number gives the empty text.
template <class Source>
void ReadOverrides(Source& source, std::map<std::wstring, PersonaOverride>& overrides) {
    static constexpr std::string_view kNames[] = {"traits", "personality"};
    source.Members([&](std::string_view key, auto& inner) {
        if (inner.Kind() != Json::Type::Object) {
            return;
        }
        // Taken now: the inner object's keys come through the same scratch.
        std::wstring personaId = Text::ToWide(key);
        PersonaOverride seen;
        uint32_t met = 0;
        inner.Members([&](std::string_view field, auto& value) {
            const int index = Field(field, kNames, met);
            if (index < 0) {
                return;
            }
            std::wstring text;
            ReadText(value, text);
            (index == 0 ? seen.traits : seen.personality) = std::move(text);
        });
        if (seen.traits || seen.personality) {
            // emplace keeps the first of a repeated persona id.
            overrides.emplace(std::move(personaId), std::move(seen));
        }
    });
}

template <class Source>
void ReadCharacter(Source& source, Character& character) {
    static constexpr std::string_view kNames[] = {"id",           "name",
                                                  "age",          "gender",
                                                  "orientation",  "traits",
                                                  "personality",  "background",
                                                  "scenario",     "initial_message",
                                                  "speech_style", "nsfw_allowed",
                                                  "photoPath",    "known_characters",
                                                  "is_dual_mode", "dual_partner_id",
                                                  "memory",       "persona_overrides"};
    uint32_t seen = 0;
    bool named = false;
    source.Members([&](std::string_view key, auto& value) {
        switch (Field(key, kNames, seen)) {
        case 0:
            named = ReadText(value, character.id);
            break;
        case 1:
            ReadText(value, character.name);
            break;
        case 2:
            ReadText(value, character.age);
            break;
        case 3:
            ReadText(value, character.gender);
            break;
        case 4:
            ReadText(value, character.orientation);
            break;
        case 5:
            ReadText(value, character.traits);
            break;
        case 6:
            ReadText(value, character.personality);
            break;
        case 7:
            ReadText(value, character.background);
            break;
        case 8:
            ReadText(value, character.scenario);
            break;
        case 9:
            ReadText(value, character.initial_message);
            break;
        case 10:
            ReadText(value, character.speech_style);
            break;
        case 11:
            character.nsfw_allowed = ReadFlag(value);
            break;
        case 12:
            ReadOptional(value, character.photoPath);
            break;
        case 13:
            ReadKnownList(value, character.known_characters);
            break;
        case 14:
            character.is_dual_mode = ReadFlag(value);
            break;
        case 15:
            ReadOptional(value, character.dual_partner_id);
            break;
        case 16:
            ReadText(value, character.memory);
            break;
        case 17:
            ReadOverrides(value, character.persona_overrides);
            break;
        default:
            break;
        }
    });
    if (!named) {
        character.id = Time::NewUuid();
    }
}

template <class Source>
void ReadPersona(Source& source, Persona& persona) {
    static constexpr std::string_view kNames[] = {
        "id", "name", "age", "gender", "orientation", "traits", "personality", "photoPath", "known_characters"};
    uint32_t seen = 0;
    bool named = false;
    source.Members([&](std::string_view key, auto& value) {
        switch (Field(key, kNames, seen)) {
        case 0:
            named = ReadText(value, persona.id);
            break;
        case 1:
            ReadText(value, persona.name);
            break;
        case 2:
            ReadText(value, persona.age);
            break;
        case 3:
            ReadText(value, persona.gender);
            break;
        case 4:
            ReadText(value, persona.orientation);
            break;
        case 5:
            ReadText(value, persona.traits);
            break;
        case 6:
            ReadText(value, persona.personality);
            break;
        case 7:
            ReadOptional(value, persona.photoPath);
            break;
        case 8:
            ReadKnownList(value, persona.known_characters);
            break;
        default:
            break;
        }
    });
    if (!named) {
        persona.id = Time::NewUuid();
    }
}

template <class Record, void (*Read)(TreeSource&, Record&)>
std::shared_ptr<Record> FromValue(const Json::Value& value) {
    auto record = std::make_shared<Record>();
    TreeSource source(value);
    Read(source, *record);
    return record;
}

// Only a text that is one JSON value, and that value an object, holds a record.
template <class Record, void (*Read)(TextSource&, Record&)>
std::shared_ptr<Record> FromText(std::string_view text) {
    Json::Cursor cursor(text);
    if (cursor.Peek() != Json::Cursor::Kind::Object) {
        return nullptr;
    }
    auto record = std::make_shared<Record>();
    TextSource source(cursor);
    Read(source, *record);
    source.Finish();
    return cursor.Finish() ? record : nullptr;
}

}  // namespace

KnownCharacter KnownCharacter::FromJson(const Json::Value& value) {
    KnownCharacter known;
    TreeSource source(value);
    ReadKnown(source, known);
    return known;
}

std::shared_ptr<Message> Message::FromJson(const Json::Value& value) {
    auto message = std::make_shared<Message>();
    TreeSource source(value);
    ReadMessage(source, *message);
    return message;
}

std::shared_ptr<Chat> Chat::FromJson(const Json::Value& value) {
    return FromValue<Chat, ReadChat<TreeSource>>(value);
}

std::shared_ptr<Chat> Chat::FromJsonText(std::string_view text) {
    return FromText<Chat, ReadChat<TextSource>>(text);
}

std::shared_ptr<Character> Character::FromJson(const Json::Value& value) {
    return FromValue<Character, ReadCharacter<TreeSource>>(value);
}

std::shared_ptr<Character> Character::FromJsonText(std::string_view text) {
    return FromText<Character, ReadCharacter<TextSource>>(text);
}

std::shared_ptr<Persona> Persona::FromJson(const Json::Value& value) {
    return FromValue<Persona, ReadPersona<TreeSource>>(value);
}

std::shared_ptr<Persona> Persona::FromJsonText(std::string_view text) {
    return FromText<Persona, ReadPersona<TextSource>>(text);
}

}  // namespace Lorvex

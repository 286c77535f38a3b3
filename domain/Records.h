#pragma once
// The records of the domain: characters, their chats and messages, the user's personas, the
// people they know, and how a character sees each persona. Plain structures read and written
// directly by the rest of the system; only the UI thread touches the live ones.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/json/Value.h"

namespace Lorvex {

struct Chat;
struct Persona;

// A person whom a character or a persona knows; held by value in its owner's list.
struct KnownCharacter {
    std::wstring name;
    std::wstring age;
    std::wstring relationship;
    std::wstring description;
    std::wstring importance = L"De fondo";
    // Shown and matched as speaker; empty means use name.
    std::wstring bubble_name;
    std::vector<std::wstring> personality;
    std::optional<std::wstring> photoPath;

    static Json::Value ToJson(const KnownCharacter& known);
    static KnownCharacter FromJson(const Json::Value& value);
};

// How one character sees one persona. A set field replaces the persona's text, even when it is
// empty; an unset field keeps the persona's own.
struct PersonaOverride {
    std::optional<std::wstring> traits;
    std::optional<std::wstring> personality;
};

struct Message {
    // The line's identity within its chat, kept through edits, regenerations and version switches,
    // so two PCs' copies of a chat can tell one line changed from one line replaced. New lines get
    // a UUID; lines of files written before it existed get one derived from what they hold, the
    // same on every PC (see Chat::FromJson).
    std::wstring line_id;
    std::wstring role;  // "user" or "assistant"
    std::wstring content;
    std::wstring timestamp;
    bool is_typing = false;
    std::optional<std::wstring> typing_id;
    std::optional<std::wstring> character_id;
    std::optional<std::wstring> character_name;
    std::optional<std::wstring> regeneration_id;
    std::optional<int32_t> regeneration_index;
    // When the user last changed the text; unset for a line never edited. When two PCs changed
    // one line, the later edit wins.
    std::optional<std::wstring> edited_at;
    // Every text the line holds when two PCs changed it apart, content among them, in a fixed
    // order; regeneration_index points at the one shown. Empty for an ordinary line. Stored, so
    // neither text is lost before the user picks one.
    std::vector<std::wstring> versions;
    // Error text of a failed reply; shown while the program runs, never stored.
    std::wstring error;

    // A new line id, stamped now; every other field at its default.
    static std::shared_ptr<Message> Create(const std::wstring& role, const std::wstring& content);

    // Neither pending (its reply still being written) nor failed: a line that was really said,
    // the only kind that is stored or that the model reads.
    static bool IsSettled(const Message& message);

    static Json::Value ToJson(const Message& message);
    static std::shared_ptr<Message> FromJson(const Json::Value& value);
};

struct Chat {
    std::wstring id;
    std::wstring timestamp;
    std::vector<std::shared_ptr<Message>> messages;  // oldest first
    std::optional<std::wstring> persona_id;
    std::wstring memory;

    // New id, stamped now, empty otherwise.
    static std::shared_ptr<Chat> Create();

    // The newest line that is not pending, failed or empty, without markup, on one line and
    // trimmed; empty when there is none.
    static std::wstring LastMessagePreview(const Chat& chat);

    static Json::Value ToJson(const Chat& chat);
    // A line without a stored line id gets one derived from its role, stamp and speaker (and its
    // text when unstamped), numbered among lines that share them: every PC derives the same ids.
    static std::shared_ptr<Chat> FromJson(const Json::Value& value);
    // The chat a file's text holds, read from the text itself by the same rules as FromJson; null
    // unless the text is one JSON value and that value an object. Any thread.
    static std::shared_ptr<Chat> FromJsonText(std::string_view text);
};

using ChatList = std::vector<std::shared_ptr<Chat>>;

struct Character {
    std::wstring id;
    std::wstring name;
    std::wstring age;
    std::wstring gender;
    std::wstring orientation;
    std::wstring traits;
    std::wstring personality;
    std::wstring background;
    std::wstring scenario;
    std::wstring initial_message;
    std::wstring speech_style = L"Normal";
    bool nsfw_allowed = false;
    std::optional<std::wstring> photoPath;
    std::vector<KnownCharacter> known_characters;
    bool is_dual_mode = false;
    std::optional<std::wstring> dual_partner_id;
    std::wstring memory;
    // Keyed by persona id, ascending by UTF-16 code units.
    std::map<std::wstring, PersonaOverride> persona_overrides;
    // Full path of the character's folder; assigned by the store, never saved.
    std::wstring folder;
    // Newest first. Copies share the list, and so do the two characters of a duo; never null.
    std::shared_ptr<ChatList> chats = std::make_shared<ChatList>();

    Character() = default;
    Character(const Character& other) = default;
    Character& operator=(const Character& other) = default;
    // The source is left with a new empty list of its own rather than a null one, and no
    // longer shares the moved list.
    Character(Character&& other) noexcept;
    Character& operator=(Character&& other) noexcept;
    ~Character() = default;

    // New id; every other field at its default.
    static std::shared_ptr<Character> Create();

    // The persona as this character sees it: a new copy with the override's fields applied, or
    // the same persona (also null) when there is nothing to apply. The stored persona is never
    // changed.
    static std::shared_ptr<Persona> ApplyPersonaOverride(std::shared_ptr<Persona> persona, const Character* character);
    static std::shared_ptr<Persona> ApplyPersonaOverride(const std::shared_ptr<Persona>& persona,
                                                         const Character& character);

    // Greatest time stamp (ordinal text order) over each chat's own stamp and its newest line
    // that is not pending; empty without chats.
    static std::wstring LatestActivity(const Character& character);

    static Json::Value ToJson(const Character& character);
    static std::shared_ptr<Character> FromJson(const Json::Value& value);
    // As Chat::FromJsonText.
    static std::shared_ptr<Character> FromJsonText(std::string_view text);
};

struct Persona {
    std::wstring id;
    std::wstring name;
    std::wstring age;
    std::wstring gender;
    std::wstring orientation;
    std::wstring traits;
    std::wstring personality;
    std::optional<std::wstring> photoPath;
    std::vector<KnownCharacter> known_characters;
    // Full path of the persona's file; assigned by the store, never saved.
    std::wstring path;

    static Json::Value ToJson(const Persona& persona);
    static std::shared_ptr<Persona> FromJson(const Json::Value& value);
    // As Chat::FromJsonText.
    static std::shared_ptr<Persona> FromJsonText(std::string_view text);
};

// The picture paths a record refers to: its photo, then each known character's, skipping unset
// and empty ones; duplicates stay.
std::vector<std::wstring> ImagePaths(const Character& character);
std::vector<std::wstring> ImagePaths(const Persona& persona);

}  // namespace Lorvex

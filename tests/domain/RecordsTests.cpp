#include <gtest/gtest.h>

#include <utility>

#include "domain/RecordIds.h"
#include "domain/Records.h"

namespace Lorvex {
namespace {

std::shared_ptr<Message> Line(const std::wstring& stamp, const std::wstring& content = L"hola") {
    auto message = std::make_shared<Message>();
    message->role = L"assistant";
    message->content = content;
    message->timestamp = stamp;
    return message;
}

std::shared_ptr<Message> Pending(const std::wstring& stamp) {
    auto message = Line(stamp, L"");
    message->is_typing = true;
    message->typing_id = L"t1";
    return message;
}

std::shared_ptr<Message> Failed(const std::wstring& stamp, const std::wstring& content) {
    auto message = Line(stamp, content);
    message->error = L"Sin conexión";
    return message;
}

std::shared_ptr<Chat> ChatAt(const std::wstring& stamp, std::vector<std::shared_ptr<Message>> messages = {}) {
    auto chat = std::make_shared<Chat>();
    chat->id = L"c-" + stamp;
    chat->timestamp = stamp;
    chat->messages = std::move(messages);
    return chat;
}

TEST(RecordsDefaults, NewRecordsHoldTheirDefaults) {
    Character character;
    EXPECT_EQ(character.speech_style, L"Normal");
    ASSERT_NE(character.chats, nullptr);
    EXPECT_TRUE(character.chats->empty());
    EXPECT_FALSE(character.photoPath.has_value());

    // Each default-built character gets its own list: adding to one must not show in another.
    Character other;
    EXPECT_NE(character.chats, other.chats);

    KnownCharacter known;
    EXPECT_EQ(known.importance, L"De fondo");
    EXPECT_TRUE(known.personality.empty());
    EXPECT_FALSE(known.photoPath.has_value());
}

TEST(RecordsDefaults, CreateGivesIdsAndStamps) {
    auto first = Character::Create();
    auto second = Character::Create();
    EXPECT_EQ(first->id.size(), 36u);
    EXPECT_NE(first->id, second->id);
    EXPECT_EQ(first->speech_style, L"Normal");
    ASSERT_NE(first->chats, nullptr);
    EXPECT_NE(first->chats, second->chats);

    auto chat = Chat::Create();
    EXPECT_EQ(chat->id.size(), 36u);
    EXPECT_FALSE(chat->timestamp.empty());
    EXPECT_TRUE(chat->messages.empty());
    EXPECT_FALSE(chat->persona_id.has_value());

    auto message = Message::Create(L"user", L"Hola");
    EXPECT_EQ(message->role, L"user");
    EXPECT_EQ(message->content, L"Hola");
    EXPECT_FALSE(message->timestamp.empty());
    EXPECT_FALSE(message->is_typing);
    EXPECT_FALSE(message->regeneration_index.has_value());
}

TEST(RecordsCopy, CopiesShareTheChatListAndKeepTheFolder) {
    Character source;
    source.name = L"Luna";
    source.folder = L"C:\\data\\characters\\Luna";
    source.chats->push_back(ChatAt(L"2025-01-01"));

    Character copy(source);
    EXPECT_EQ(copy.chats, source.chats);
    EXPECT_EQ(copy.folder, source.folder);

    Character assigned;
    assigned = source;
    EXPECT_EQ(assigned.chats, source.chats);

    source.chats->push_back(ChatAt(L"2025-01-02"));
    EXPECT_EQ(copy.chats->size(), 2u);

    Persona persona;
    persona.path = L"C:\\data\\personas\\p.json";
    EXPECT_EQ(Persona(persona).path, persona.path);
}

TEST(RecordsCopy, MovedFromCharacterKeepsAUsableListOfItsOwn) {
    Character source;
    source.id = L"a";
    source.name = L"Luna";
    source.folder = L"f";
    source.persona_overrides[L"p"].traits = L"t";
    source.chats->push_back(ChatAt(L"2025-01-01"));
    auto list = source.chats;

    Character moved(std::move(source));
    EXPECT_EQ(moved.chats, list);
    EXPECT_EQ(moved.name, L"Luna");
    EXPECT_EQ(moved.folder, L"f");
    EXPECT_EQ(moved.persona_overrides.size(), 1u);
    ASSERT_NE(source.chats, nullptr);
    EXPECT_NE(source.chats, list);
    EXPECT_TRUE(source.chats->empty());

    Character target;
    target = std::move(moved);
    EXPECT_EQ(target.chats, list);
    EXPECT_EQ(target.id, L"a");
    ASSERT_NE(moved.chats, nullptr);
    EXPECT_NE(moved.chats, list);

    // Self-move must not drop the list.
    Character& alias = target;
    target = std::move(alias);
    EXPECT_EQ(target.chats, list);
}

TEST(RecordsLatestActivity, TakesTheGreatestOfChatStampsAndNewestSettledLines) {
    struct Case {
        const char* label;
        std::vector<std::shared_ptr<Chat>> chats;
        std::wstring expected;
    };
    const Case cases[] = {
        {"no chats", {}, L""},
        {"chat without messages", {ChatAt(L"2025-03-01T10:00")}, L"2025-03-01T10:00"},
        {"newest settled line wins over chat stamp",
         {ChatAt(L"2025-03-01T10:00", {Line(L"2025-03-02T09:00"), Line(L"2025-03-02T11:00")})},
         L"2025-03-02T11:00"},
        {"pending lines at the end are passed over",
         {ChatAt(L"2025-03-01T10:00", {Line(L"2025-03-02T09:00"), Pending(L"2025-03-09T00:00")})},
         L"2025-03-02T09:00"},
        {"failed lines count",
         {ChatAt(L"2025-03-01T10:00", {Line(L"2025-03-02T09:00"), Failed(L"2025-03-04T00:00", L"x")})},
         L"2025-03-04T00:00"},
        // Only the newest settled line of a chat is looked at, even when an older one is later.
        {"only the newest settled line counts",
         {ChatAt(L"2025-03-01T10:00", {Line(L"2025-03-05T00:00"), Line(L"2025-03-03T00:00")})},
         L"2025-03-03T00:00"},
        {"greatest over several chats",
         {ChatAt(L"2025-01-01", {Line(L"2025-02-01")}), ChatAt(L"2025-04-01"), ChatAt(L"2025-03-01")},
         L"2025-04-01"},
    };
    for (const Case& c : cases) {
        Character character;
        *character.chats = c.chats;
        EXPECT_EQ(Character::LatestActivity(character), c.expected) << c.label;
    }
}

TEST(RecordsPreview, ShowsTheNewestUsableLineOnOneLine) {
    struct Case {
        const char* label;
        std::vector<std::shared_ptr<Message>> messages;
        std::wstring expected;
    };
    const Case cases[] = {
        {"no messages", {}, L""},
        {"only pending lines", {Pending(L"1"), Pending(L"2")}, L""},
        {"failed newest line falls back to the one before", {Line(L"1", L"Antes"), Failed(L"2", L"Roto")}, L"Antes"},
        {"empty content is passed over", {Line(L"1", L"Antes"), Line(L"2", L"")}, L"Antes"},
        {"markup is dropped", {Line(L"1", L"*sonríe* **hola**")}, L"sonríe hola"},
        {"inner CR LF becomes two spaces, outer breaks vanish", {Line(L"1", L"\r\nuno\r\ndos\n")}, L"uno  dos"},
        {"a lone CR becomes a space", {Line(L"1", L"uno\rdos")}, L"uno dos"},
    };
    for (const Case& c : cases) {
        Chat chat;
        chat.messages = c.messages;
        EXPECT_EQ(Chat::LastMessagePreview(chat), c.expected) << c.label;
    }
}

TEST(RecordsPersonaOverride, AppliesSetFieldsToACopyOnly) {
    auto persona = std::make_shared<Persona>();
    persona->id = L"p1";
    persona->name = L"Sam";
    persona->traits = L"Alto";
    persona->personality = L"Calmado";

    Character character;
    EXPECT_EQ(Character::ApplyPersonaOverride(persona, character), persona) << "no entry";
    EXPECT_EQ(Character::ApplyPersonaOverride(persona, nullptr), persona) << "no character";
    EXPECT_EQ(Character::ApplyPersonaOverride(nullptr, &character), nullptr) << "no persona";

    character.persona_overrides[L"p1"] = PersonaOverride{};
    EXPECT_EQ(Character::ApplyPersonaOverride(persona, character), persona) << "entry with nothing set";

    character.persona_overrides[L"p1"].traits = L"";
    auto seen = Character::ApplyPersonaOverride(persona, &character);
    ASSERT_NE(seen, persona);
    EXPECT_EQ(seen->traits, L"");
    EXPECT_EQ(seen->personality, L"Calmado");
    EXPECT_EQ(seen->name, L"Sam");
    EXPECT_EQ(persona->traits, L"Alto") << "the stored persona is untouched";

    character.persona_overrides[L"p1"].personality = L"Nervioso";
    seen = Character::ApplyPersonaOverride(persona, character);
    EXPECT_EQ(seen->traits, L"");
    EXPECT_EQ(seen->personality, L"Nervioso");
    EXPECT_EQ(persona->personality, L"Calmado");

    // Ids compare exactly: another letter case is another persona.
    persona->id = L"P1";
    EXPECT_EQ(Character::ApplyPersonaOverride(persona, character), persona);
}

TEST(RecordsImagePaths, ListsSetNonEmptyPhotosInOrderWithDuplicates) {
    KnownCharacter a;
    a.photoPath = L"C:\\img\\a.png";
    KnownCharacter none;
    KnownCharacter empty;
    empty.photoPath = L"";
    KnownCharacter again;
    again.photoPath = L"C:\\img\\a.png";

    Character character;
    character.photoPath = L"";
    character.known_characters = {a, none, empty, again};
    EXPECT_EQ(ImagePaths(character), (std::vector<std::wstring>{L"C:\\img\\a.png", L"C:\\img\\a.png"}));

    Persona persona;
    persona.photoPath = L"C:\\img\\p.png";
    persona.known_characters = {a};
    EXPECT_EQ(ImagePaths(persona), (std::vector<std::wstring>{L"C:\\img\\p.png", L"C:\\img\\a.png"}));
}

TEST(RecordsIds, AcceptsOnlyPlainFileNameTokens) {
    struct Case {
        std::wstring id;
        bool safe;
    };
    const Case cases[] = {
        {L"0f8fad5b-d9cb-469f-a165-70867728950e", true},
        {L"Abc_123-x", true},
        {L"a", true},
        {std::wstring(kMaxRecordIdLength, L'a'), true},
        {std::wstring(kMaxRecordIdLength + 1, L'a'), false},
        {L"", false},
        {L"..", false},
        {L"..\\x", false},
        {L"../x", false},
        {L"a/b", false},
        {L"C:x", false},
        {L"a.json", false},
        {L"a b", false},
        {L"ñandú", false},
        {std::wstring(L"a\0b", 3), false},
        {L"con", false},
        {L"NUL", false},
        {L"Com1", false},
        {L"LPT9", false},
        {L"COM0", false},
        {L"lpt0", false},
        {L"CONSOLE", true},
        {L"nul_", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeId(c.id), c.safe) << "id: " << std::string(c.id.begin(), c.id.end());
    }
}

}  // namespace
}  // namespace Lorvex

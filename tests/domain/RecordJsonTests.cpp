#include <gtest/gtest.h>

#include <set>
#include <string>

#include "domain/RecordJson.h"
#include "domain/Records.h"

namespace Lorvex {
namespace {

constexpr const char* kAbsent = "<absent>";

Json::Value ParseOrFail(const std::string& text) {
    bool ok = false;
    Json::Value value = Json::Value::Parse(text, &ok);
    EXPECT_TRUE(ok) << text;
    return value;
}

// The compact text of one member, or kAbsent when the object has no member of that key.
std::string MemberText(const Json::Value& object, const std::string& key) {
    for (const auto& member : object.Members()) {
        if (member.first == key) {
            return member.second.Dump(false);
        }
    }
    return kAbsent;
}

KnownCharacter FullKnown() {
    KnownCharacter known;
    known.name = L"Ana María Pérez";
    known.age = L"30";
    known.relationship = L"Hermana";
    known.description = L"Seria";
    known.importance = L"Principal";
    known.bubble_name = L"Ana";
    known.personality = {L"Leal", L"Terca"};
    known.photoPath = L"C:\\img\\ana.png";
    return known;
}

const char* const kFullKnownJson =
    R"({"name":"Ana María Pérez","age":"30","relationship":"Hermana","description":"Seria",)"
    R"("importance":"Principal","bubble_name":"Ana","personality":["Leal","Terca"],"photoPath":"C:\\img\\ana.png"})";

TEST(RecordJsonGolden, FullCharacter) {
    Character character;
    character.id = L"c1";
    character.name = L"Luna Roja";
    character.age = L"25";
    character.gender = L"Mujer";
    character.orientation = L"Bisexual";
    character.traits = L"Alta";
    character.personality = L"Curiosa";
    character.background = L"Nació\nen Lima";
    character.scenario = L"Un café";
    character.initial_message = L"¡Hola!";
    character.speech_style = L"Poetico";
    character.nsfw_allowed = true;
    character.photoPath = L"C:\\img\\luna.png";
    character.known_characters = {FullKnown()};
    character.is_dual_mode = true;
    character.dual_partner_id = L"c2";
    character.memory = L"Recuerda";
    character.persona_overrides[L"a"].personality = L"Tímido";
    character.persona_overrides[L"B"].traits = L"Bajo";
    character.persona_overrides[L"B"].personality = L"";
    character.persona_overrides[L"m"] = PersonaOverride{};  // nothing set: not written
    character.folder = L"C:\\data\\characters\\Luna Roja";
    character.chats->push_back(Chat::Create());

    const std::string expected =
        std::string(R"({"id":"c1","name":"Luna Roja","age":"25","gender":"Mujer","orientation":"Bisexual",)") +
        R"("traits":"Alta","personality":"Curiosa","background":"Nació\nen Lima","scenario":"Un café",)" +
        R"("initial_message":"¡Hola!","speech_style":"Poetico","nsfw_allowed":true,"photoPath":"C:\\img\\luna.png",)" +
        R"("known_characters":[)" + kFullKnownJson + R"(],"is_dual_mode":true,"dual_partner_id":"c2",)" +
        R"("memory":"Recuerda","persona_overrides":{"B":{"traits":"Bajo","personality":""},"a":{"personality":"Tímido"}}})";
    EXPECT_EQ(Character::ToJson(character).Dump(false), expected);

    auto read = Character::FromJson(ParseOrFail(expected));
    EXPECT_EQ(Character::ToJson(*read).Dump(false), expected);
    EXPECT_TRUE(read->folder.empty());
    ASSERT_NE(read->chats, nullptr);
    EXPECT_TRUE(read->chats->empty());
}

TEST(RecordJsonGolden, EmptyCharacterWritesNullsAndAnEmptyKnownList) {
    Character character;
    character.id = L"c1";
    EXPECT_EQ(Character::ToJson(character).Dump(false),
              R"({"id":"c1","name":"","age":"","gender":"","orientation":"","traits":"","personality":"",)"
              R"("background":"","scenario":"","initial_message":"","speech_style":"Normal","nsfw_allowed":false,)"
              R"("photoPath":null,"known_characters":[],"is_dual_mode":false,"dual_partner_id":null,"memory":""})");

    // A map whose entries are all empty still says it is there.
    character.persona_overrides[L"p"] = PersonaOverride{};
    EXPECT_EQ(MemberText(Character::ToJson(character), "persona_overrides"), "{}");
}

TEST(RecordJsonGolden, FullPersonaAndPersonaWithoutKnownPeople) {
    Persona persona;
    persona.id = L"p1";
    persona.name = L"Sam";
    persona.age = L"40";
    persona.gender = L"Otro";
    persona.orientation = L"Otro";
    persona.traits = L"Alto";
    persona.personality = L"Calmado";
    persona.photoPath = L"";
    persona.known_characters = {FullKnown()};
    persona.path = L"C:\\data\\personas\\p1.json";

    const std::string expected =
        std::string(R"({"id":"p1","name":"Sam","age":"40","gender":"Otro","orientation":"Otro","traits":"Alto",)") +
        R"("personality":"Calmado","photoPath":"","known_characters":[)" + kFullKnownJson + "]}";
    EXPECT_EQ(Persona::ToJson(persona).Dump(false), expected);

    auto read = Persona::FromJson(ParseOrFail(expected));
    EXPECT_EQ(Persona::ToJson(*read).Dump(false), expected);
    EXPECT_TRUE(read->path.empty());
    ASSERT_TRUE(read->photoPath.has_value());

    persona.known_characters.clear();
    persona.photoPath.reset();
    EXPECT_EQ(Persona::ToJson(persona).Dump(false),
              R"({"id":"p1","name":"Sam","age":"40","gender":"Otro","orientation":"Otro","traits":"Alto",)"
              R"("personality":"Calmado","photoPath":null})");
}

TEST(RecordJsonGolden, KnownCharacterOmitsEmptyTraitsAndPhoto) {
    KnownCharacter known;
    known.name = L"Marco";
    known.photoPath = L"";
    EXPECT_EQ(
        KnownCharacter::ToJson(known).Dump(false),
        R"({"name":"Marco","age":"","relationship":"","description":"","importance":"De fondo","bubble_name":""})");
}

TEST(RecordJsonGolden, MessageAlwaysWritesNineKeysAndNeverThePendingState) {
    Message message;
    message.role = L"assistant";
    message.content = L"*sonríe* Hola";
    message.timestamp = L"2025-03-07T18:04:09.5120000+01:00";
    message.is_typing = true;
    message.typing_id = L"t9";
    message.character_id = L"c1";
    message.character_name = L"Ana";
    message.regeneration_id = L"g1";
    message.regeneration_index = 2;
    message.error = L"Sin conexión";
    EXPECT_EQ(Message::ToJson(message).Dump(false),
              R"({"role":"assistant","content":"*sonríe* Hola","timestamp":"2025-03-07T18:04:09.5120000+01:00",)"
              R"("is_typing":false,"typing_id":null,"character_id":"c1","character_name":"Ana",)"
              R"("regeneration_id":"g1","regeneration_index":2})");

    EXPECT_EQ(Message::ToJson(Message{}).Dump(false),
              R"({"role":"","content":"","timestamp":"","is_typing":false,"typing_id":null,"character_id":null,)"
              R"("character_name":null,"regeneration_id":null,"regeneration_index":null})");
}

TEST(RecordJsonGolden, ChatLeavesOutPendingAndFailedLines) {
    auto kept = std::make_shared<Message>();
    kept->role = L"user";
    kept->content = L"Hola";
    kept->timestamp = L"t1";
    auto pending = std::make_shared<Message>();
    pending->role = L"assistant";
    pending->is_typing = true;
    auto failed = std::make_shared<Message>();
    failed->role = L"assistant";
    failed->content = L"medio";
    failed->error = L"Error";

    Chat chat;
    chat.id = L"chat1";
    chat.timestamp = L"t0";
    chat.messages = {kept, failed, pending};
    chat.persona_id = L"p1";
    chat.memory = L"Resumen";

    const std::string expected =
        R"({"id":"chat1","timestamp":"t0","messages":[{"role":"user","content":"Hola","timestamp":"t1",)"
        R"("is_typing":false,"typing_id":null,"character_id":null,"character_name":null,"regeneration_id":null,)"
        R"("regeneration_index":null}],"persona_id":"p1","memory":"Resumen"})";
    EXPECT_EQ(Chat::ToJson(chat).Dump(false), expected);
    // Read back, the line of an older file gains the id every PC derives for it, and nothing else.
    const std::shared_ptr<Chat> read = Chat::FromJson(ParseOrFail(expected));
    ASSERT_EQ(read->messages.size(), 1u);
    const std::wstring derived = read->messages[0]->line_id;
    read->messages[0]->line_id.clear();
    EXPECT_EQ(Chat::ToJson(*read).Dump(false), expected);
    EXPECT_FALSE(derived.empty());
}

// Lines of files written before lines had ids: every read of the same text, from a value or from
// the text itself, gives each line the same id; lines alike in role, stamp and speaker are told
// apart by their place among them, an edit does not change a stamped line's id, and a stored id
// and kept versions come back as they were.
TEST(RecordJsonRead, LineIdsOfOlderFilesAreTheSameOnEveryReadAndStoredOnesStay) {
    const std::string older =
        R"({"id":"c","timestamp":"t0","messages":[)"
        R"({"role":"user","content":"Hola","timestamp":"t1"},)"
        R"({"role":"assistant","content":"Uno","timestamp":"t2","character_id":"a"},)"
        R"({"role":"assistant","content":"Dos","timestamp":"t2","character_id":"a"},)"
        R"({"role":"assistant","content":"Tres","timestamp":"t2","character_id":"b"},)"
        R"({"role":"user","content":"Sin hora"}]})";
    const std::shared_ptr<Chat> fromValue = Chat::FromJson(ParseOrFail(older));
    const std::shared_ptr<Chat> fromText = Chat::FromJsonText(older);
    ASSERT_TRUE(fromText);
    ASSERT_EQ(fromValue->messages.size(), 5u);
    std::set<std::wstring> ids;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(fromValue->messages[i]->line_id, fromText->messages[i]->line_id) << i;
        EXPECT_EQ(fromValue->messages[i]->line_id, Chat::FromJson(ParseOrFail(older))->messages[i]->line_id) << i;
        ids.insert(fromValue->messages[i]->line_id);
    }
    EXPECT_EQ(ids.size(), 5u);

    std::string edited = older;
    edited.replace(edited.find("Uno"), 3, "Uno, corregido");
    EXPECT_EQ(Chat::FromJson(ParseOrFail(edited))->messages[1]->line_id, fromValue->messages[1]->line_id);

    const std::string stored =
        R"({"id":"c","timestamp":"t0","messages":[{"line_id":"9f1c","role":"assistant","content":"B",)"
        R"("timestamp":"t1","is_typing":false,"typing_id":null,"character_id":null,"character_name":null,)"
        R"("regeneration_id":"g","regeneration_index":1,"versions":["A","B"]}],"persona_id":null,"memory":""})";
    const std::shared_ptr<Chat> kept = Chat::FromJsonText(stored);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->messages[0]->line_id, L"9f1c");
    EXPECT_EQ(kept->messages[0]->versions, (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(Chat::ToJson(*kept).Dump(false), stored);
}

// Each input is read as a character and written back; the member shows what the reader made of
// it.
TEST(RecordJsonRead, CharacterReaderToleratesWhatItIsGiven) {
    struct Case {
        const char* input;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"nsfw_allowed":true})", "nsfw_allowed", "true"},
        {R"({"nsfw_allowed":"true"})", "nsfw_allowed", "true"},
        {R"({"nsfw_allowed":"TRUE"})", "nsfw_allowed", "false"},
        {R"({"nsfw_allowed":"false"})", "nsfw_allowed", "false"},
        {R"({"nsfw_allowed":1})", "nsfw_allowed", "false"},
        {R"({"is_dual_mode":"true"})", "is_dual_mode", "true"},
        {R"({"is_dual_mode":[true]})", "is_dual_mode", "false"},
        {R"({"name":5})", "name", R"("")"},
        {R"({"name":"A","name":"B"})", "name", R"("A")"},
        {R"({"speech_style":null})", "speech_style", R"("Normal")"},
        {R"({"speech_style":"Inventado"})", "speech_style", R"("Inventado")"},
        {R"({"traits":"a\r\nb\rc\n"})", "traits", R"("a\nb\nc\n")"},
        // Optional texts keep what they hold, line breaks included.
        {R"({"photoPath":"a\r\nb"})", "photoPath", R"("a\r\nb")"},
        {R"({"photoPath":""})", "photoPath", R"("")"},
        {R"({"photoPath":7})", "photoPath", "null"},
        {R"({"dual_partner_id":null})", "dual_partner_id", "null"},
        {R"({"known_characters":{"name":"A"}})", "known_characters", "[]"},
        {R"({"known_characters":[1,"x",null,{"name":"A","importance":3,"photoPath":"",)"
         R"("personality":[" a ","",5,"b\r\nc"]}]})",
         "known_characters",
         R"([{"name":"A","age":"","relationship":"","description":"","importance":"De fondo",)"
         R"("bubble_name":"","personality":[" a ","b\r\nc"]}])"},
        {R"({"persona_overrides":{"p":{"traits":null},"q":{"other":1},"r":5,"s":{"personality":3},)"
         R"("p":{"traits":"second"}}})",
         "persona_overrides", R"({"p":{"traits":""},"s":{"personality":""}})"},
        {R"({"persona_overrides":{"p":{"traits":"a\r\nb"}}})", "persona_overrides", R"({"p":{"traits":"a\nb"}})"},
        {R"({"persona_overrides":{"q":{"other":1}}})", "persona_overrides", kAbsent},
        {R"({"persona_overrides":[{"traits":"x"}]})", "persona_overrides", kAbsent},
        {R"({"unknown":1})", "unknown", kAbsent},
        {R"([{"name":"A"}])", "name", R"("")"},
        {"null", "speech_style", R"("Normal")"},
        {R"("text")", "known_characters", "[]"},
    };
    for (const Case& c : cases) {
        auto character = Character::FromJson(ParseOrFail(c.input));
        EXPECT_EQ(MemberText(Character::ToJson(*character), c.key), c.expected) << c.input;
    }
}

TEST(RecordJsonRead, MessageReaderToleratesWhatItIsGiven) {
    struct Case {
        const char* input;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"regeneration_index":2})", "regeneration_index", "2"},
        {R"({"regeneration_index":2.5})", "regeneration_index", "3"},
        {R"({"regeneration_index":-0.4})", "regeneration_index", "0"},
        {R"({"regeneration_index":"2"})", "regeneration_index", "null"},
        {R"({"regeneration_index":null})", "regeneration_index", "null"},
        // Out of the 32-bit range the index is held at the nearest end, never wrapped.
        {R"({"regeneration_index":1e12})", "regeneration_index", "2147483647"},
        {R"({"regeneration_index":-1e12})", "regeneration_index", "-2147483648"},
        {R"({"regeneration_index":1e30})", "regeneration_index", "2147483647"},
        {R"({"regeneration_index":-1e30})", "regeneration_index", "-2147483648"},
        {R"({"content":"a\r\nb"})", "content", R"("a\nb")"},
        {R"({"character_name":"a\r\nb"})", "character_name", R"("a\r\nb")"},
        {R"({"character_id":""})", "character_id", R"("")"},
        {R"({"role":true})", "role", R"("")"},
        {R"({"typing_id":"t1"})", "typing_id", "null"},
    };
    for (const Case& c : cases) {
        auto message = Message::FromJson(ParseOrFail(c.input));
        EXPECT_EQ(MemberText(Message::ToJson(*message), c.key), c.expected) << c.input;
    }

    auto typing = Message::FromJson(ParseOrFail(R"({"is_typing":"true","typing_id":"t1"})"));
    EXPECT_TRUE(typing->is_typing);
    EXPECT_EQ(typing->typing_id, L"t1");
    EXPECT_TRUE(Message::FromJson(ParseOrFail(R"({"error":"x"})"))->error.empty());
}

TEST(RecordJsonRead, ChatReaderDropsTypingLinesAndSkipsNonObjects) {
    auto chat = Chat::FromJson(ParseOrFail(
        R"({"id":"c","timestamp":"t","messages":[{"content":"uno"},{"content":"dos","is_typing":true},)"
        R"(3,"x",{"content":"tres","is_typing":"true"},{"content":"cuatro","is_typing":"TRUE"}],"persona_id":5})"));
    ASSERT_EQ(chat->messages.size(), 2u);
    EXPECT_EQ(chat->messages[0]->content, L"uno");
    EXPECT_EQ(chat->messages[1]->content, L"cuatro");
    EXPECT_FALSE(chat->persona_id.has_value());

    EXPECT_TRUE(Chat::FromJson(ParseOrFail(R"({"messages":{"content":"uno"}})"))->messages.empty());
}

TEST(RecordJsonRead, MissingIdsAndStampsAreMadeOnEachRead) {
    const Json::Value onlyName = ParseOrFail(R"({"name":"Ana"})");
    auto first = Character::FromJson(onlyName);
    auto second = Character::FromJson(onlyName);
    EXPECT_EQ(first->id.size(), 36u);
    EXPECT_NE(first->id, second->id);
    EXPECT_EQ(first->name, L"Ana");
    EXPECT_EQ(first->speech_style, L"Normal");
    EXPECT_FALSE(first->photoPath.has_value());
    EXPECT_TRUE(first->known_characters.empty());
    EXPECT_FALSE(first->is_dual_mode);
    EXPECT_TRUE(first->persona_overrides.empty());
    ASSERT_NE(first->chats, nullptr);
    EXPECT_NE(first->chats, second->chats);

    // An id of another type counts as missing.
    const Json::Value numericId = ParseOrFail(R"({"id":5})");
    auto chat = Chat::FromJson(numericId);
    EXPECT_EQ(chat->id.size(), 36u);
    EXPECT_FALSE(chat->timestamp.empty());
    EXPECT_NE(Persona::FromJson(numericId)->id, Persona::FromJson(numericId)->id);
    EXPECT_FALSE(Message::FromJson(Json::Value())->timestamp.empty());
}

TEST(RecordJsonHelpers, OptionalTextAndFlagsFollowTheirOwnRules) {
    Json::Value object = ParseOrFail(R"({"a":"x","n":null,"e":""})");
    EXPECT_EQ(ReadOptionalText(object, "a"), L"x");
    EXPECT_EQ(ReadOptionalText(object, "e"), L"");
    EXPECT_FALSE(ReadOptionalText(object, "n").has_value());
    EXPECT_FALSE(ReadOptionalText(object, "missing").has_value());
    EXPECT_EQ(ReadText(object, "n", L"fb"), L"fb");
    EXPECT_EQ(ReadText(Json::Value(Json::Array{}), "a", L"fb"), L"fb");

    // The setter replaces an existing member in place and appends a new one.
    PutOptionalText(object, "a", std::nullopt);
    PutOptionalText(object, "b", std::wstring(L"ñ"));
    EXPECT_EQ(object.Dump(false), R"({"a":null,"n":null,"e":"","b":"ñ"})");

    // Settings read "TRUE" or 1 as their fallback; records read them as false.
    EXPECT_FALSE(ReadFlag(ParseOrFail(R"({"f":"True"})"), "f"));
    EXPECT_FALSE(ReadFlag(ParseOrFail(R"({"f":1})"), "f"));
    EXPECT_TRUE(ReadFlag(ParseOrFail(R"({"f":"true"})"), "f"));
}

}  // namespace
}  // namespace Lorvex

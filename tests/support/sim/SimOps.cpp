// What the users of the world do on the open PC, through the application state as the screens
// call it, each recorded in the ledger with what it saved, what it took away and what it deleted.

#include <algorithm>

#include "domain/Storage.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "main/chat/MessageRows.h"
#include "services/state/AppState.h"
#include "tests/support/sim/SimText.h"
#include "tests/support/sim/SimWorld.h"

namespace Lorvex::Testing::Sim {

namespace {

using Services::AppState;
using Kind = Event::Kind;

AppState& state() {
    return AppState::Instance();
}

template <class T>
bool Holds(const std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
    return item && std::find(list.begin(), list.end(), item) != list.end();
}

template <class Record>
std::shared_ptr<Record> Named(const std::vector<std::shared_ptr<Record>>& records, const std::wstring& name) {
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const std::shared_ptr<Record>& record) { return record->name == name; });
    return found == records.end() ? nullptr : *found;
}

std::vector<std::wstring> ChatTexts(const Chat& chat) {
    std::vector<std::wstring> texts;
    for (const std::shared_ptr<Message>& line : chat.messages) {
        if (!line->is_typing) {
            for (const std::wstring& text : LineTexts(*line)) {
                texts.push_back(text);
            }
        }
    }
    return texts;
}

template <class Record>
std::vector<std::wstring> FieldTexts(const Record& record) {
    std::vector<std::wstring> texts;
    for (const auto& [name, value] : Fields(record)) {
        texts.push_back(value);
    }
    return texts;
}

std::string Short(const std::wstring& text) {
    return Quote(text.size() > 40 ? text.substr(0, 40) + L"…" : text);
}

std::string EditLine(const std::vector<FieldEdit>& fields) {
    std::string line = "edit";
    for (const auto& [field, value] : fields) {
        line += " " + field + "=" + Quote(value);
    }
    return line;
}

}  // namespace

// ---- Lookups and texts ----

std::wstring World::KindOf(const std::string& field, bool persona) {
    if (field == "name") {
        return persona ? L"Persona" : L"Nombre";
    }
    if (field == "traits") {
        return persona ? L"Rasgos de persona" : L"Rasgos";
    }
    if (field == "personality") {
        return persona ? L"Carácter" : L"Personalidad";
    }
    if (field == "background") {
        return L"Historia";
    }
    if (field == "scenario") {
        return L"Escenario";
    }
    return L"Saludo";
}

std::vector<FieldEdit> World::Filled(const std::vector<FieldEdit>& fields, bool persona) {
    std::vector<FieldEdit> filled = fields;
    for (auto& [field, value] : filled) {
        value = TextOr(value, KindOf(field, persona));
    }
    return filled;
}

std::shared_ptr<Character> World::FindCharacter(const std::wstring& name) const {
    return open_ < 0 ? nullptr : Named(state().characters, name);
}

std::shared_ptr<Persona> World::FindPersona(const std::wstring& name) const {
    return open_ < 0 ? nullptr : Named(state().personas, name);
}

std::shared_ptr<Message> World::FindLine(const Chat& chat, const std::wstring& text) {
    for (auto it = chat.messages.rbegin(); it != chat.messages.rend(); ++it) {
        const std::vector<std::wstring> texts = LineTexts(**it);
        if (std::find(texts.begin(), texts.end(), text) != texts.end()) {
            return *it;
        }
    }
    return nullptr;
}

std::shared_ptr<Message> World::FindLineById(const Chat& chat, const std::wstring& lineId) {
    for (const std::shared_ptr<Message>& line : chat.messages) {
        if (line->line_id == lineId) {
            return line;
        }
    }
    return nullptr;
}

std::wstring World::Describe(const Character& character) const {
    return character.name.empty() ? character.id : character.name;
}

bool World::Focus(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat) {
    if (open_ < 0 || !Holds(state().characters, character) || !Holds(*character->chats, chat)) {
        Note("   (not on this PC)");
        return false;
    }
    if (state().currentCharacter != character) {
        state().OpenCharacter(character);
    }
    if (state().currentChat != chat) {
        state().SelectChat(chat);
    }
    return true;
}

void World::EditFields(const RecordKey& record, const std::vector<FieldEdit>& fields,
                       const std::function<std::wstring*(const std::string&)>& fieldOf) {
    for (const auto& [field, value] : fields) {
        std::wstring* target = fieldOf(field);
        if (target == nullptr) {
            continue;
        }
        Removed(record, Text::ToWide(field), {*target}, L"");
        *target = value;
        Saved(record, Text::ToWide(field), value, L"");
    }
}

void World::ReplacePicture(const RecordKey& record, std::optional<std::wstring>& photo, const std::wstring& prefix) {
    Removed(record, L"photoPath", {PhotoName(photo)}, L"");
    photo = ImportPicture(prefix);
    Saved(record, L"photoPath", PhotoName(photo), L"");
}

std::wstring World::ImportPicture(const std::wstring& prefix) {
    const std::wstring& source = pictures_[static_cast<size_t>(picturesPicked_++) % pictures_.size()];
    const std::wstring stored = Storage::ImportImage(source, prefix);
    if (stored.empty()) {
        Fault("a picked picture could not be imported");
    }
    return stored;
}

// ---- Characters ----

std::shared_ptr<Character> World::CreateCharacter(const std::wstring& given, bool withPicture) {
    if (!Start()) {
        return nullptr;
    }
    const std::wstring name = TextOr(given, L"Nombre");
    Say("create character " + Quote(name));
    if (open_ < 0) {
        return nullptr;
    }
    auto character = Character::Create();
    character->name = name;
    character->traits = NewText(KindOf("traits", false));
    character->personality = NewText(KindOf("personality", false));
    character->background = NewText(KindOf("background", false));
    character->initial_message = NewText(KindOf("initial_message", false));
    if (withPicture) {
        character->photoPath = ImportPicture(L"");
    }
    state().characters.insert(state().characters.begin(), character);
    state().SaveCharacter(character);
    for (const auto& [field, value] : Fields(*character)) {
        Saved(CharacterKey(*character), Text::ToWide(field), value, L"");
    }
    AfterAction();
    return character;
}

bool World::EditCharacter(std::shared_ptr<Character> character, const std::vector<FieldEdit>& given) {
    if (!Start()) {
        return false;
    }
    const std::vector<FieldEdit> fields = Filled(given, false);
    Say(EditLine(fields) + (character ? " of " + Short(Describe(*character)) : ""));
    if (open_ < 0 || !Holds(state().characters, character)) {
        Note("   (not on this PC)");
        return false;
    }
    EditFields(CharacterKey(*character), fields,
               [&](const std::string& name) { return EditableField(*character, name); });
    state().SaveCharacter(character);
    AfterAction();
    return true;
}

bool World::SetPicture(std::shared_ptr<Character> character) {
    if (!Begin("new picture" + (character ? " for " + Short(Describe(*character)) : ""))) {
        return false;
    }
    if (open_ < 0 || !Holds(state().characters, character)) {
        Note("   (not on this PC)");
        return false;
    }
    ReplacePicture(CharacterKey(*character), character->photoPath, L"");
    state().SaveCharacter(character);
    AfterAction();
    return true;
}

bool World::DeleteCharacter(std::shared_ptr<Character> character) {
    if (!Begin("delete character" + (character ? " " + Short(Describe(*character)) : ""))) {
        return false;
    }
    if (open_ < 0 || !Holds(state().characters, character)) {
        Note("   (not on this PC)");
        return false;
    }
    const Holding held = Hold();
    const RecordKey record = CharacterKey(*character);
    const std::shared_ptr<ChatList> chats = character->chats;
    state().DeleteCharacter(character);
    Removed(record, L"", FieldTexts(*character), L"");
    for (const std::shared_ptr<Chat>& chat : *chats) {
        Removed(ChatKey(*character, *chat), L"", ChatTexts(*chat), record);
    }
    Deleted(Kind::CharacterDeleted, record, L"", record, {}, held);
    AfterAction();
    return true;
}

// ---- Chats and lines ----

std::shared_ptr<Chat> World::NewChat(std::shared_ptr<Character> character) {
    if (!Begin("new chat" + (character ? " with " + Short(Describe(*character)) : ""))) {
        return nullptr;
    }
    if (open_ < 0 || !Holds(state().characters, character)) {
        Note("   (not on this PC)");
        return nullptr;
    }
    const size_t count = character->chats->size();
    if (state().currentCharacter != character) {
        state().OpenCharacter(character);  // a character without chats starts one
    }
    if (character->chats->size() == count) {
        state().NewChat();
    }
    const std::shared_ptr<Chat> chat = state().currentChat;
    if (!chat) {
        Fault("no chat was made");
        return nullptr;
    }
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    ledger_.Add(Make(Kind::ChatMade, key, L"", L"", owner));
    for (const std::shared_ptr<Message>& line : chat->messages) {
        ledger_.Add(Make(Kind::LineMade, key, line->line_id, L"", owner));
    }
    AfterAction();
    return chat;
}

bool World::DeleteChat(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat) {
    if (!Begin("delete chat" + (character ? " of " + Short(Describe(*character)) : ""))) {
        return false;
    }
    if (open_ < 0 || !Holds(state().characters, character) || !Holds(*character->chats, chat)) {
        Note("   (not on this PC)");
        return false;
    }
    const Holding held = Hold();
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    state().DeleteChat(character, chat);
    Removed(key, L"", ChatTexts(*chat), owner);
    Deleted(Kind::ChatDeleted, key, L"", owner, {}, held);
    AfterAction();
    return true;
}

bool World::Send(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, const std::wstring& given,
                 int pieces) {
    if (!Start()) {
        return false;
    }
    const std::wstring text = TextOr(given, L"Mensaje");
    Say("send " + Quote(text) + (character ? " to " + Short(Describe(*character)) : ""));
    if (!Focus(character, chat)) {
        return false;
    }
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    std::set<std::wstring> before = LinesBefore(*chat, nullptr);
    StartReplyWith([&] { state().SendMessage(text); }, key, owner, true, pieces);
    const std::shared_ptr<Message> sent = FindLine(*chat, Text::Trim(text));
    if (!sent) {
        Fault("the sent line is not in its chat");
        return false;
    }
    Event made = Make(Kind::LineMade, key, sent->line_id, L"", owner);
    made.before = std::move(before);
    ledger_.Add(std::move(made));
    Saved(key, sent->line_id, sent->content, owner);
    AfterAction();
    return true;
}

bool World::Regenerate(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line,
                       int pieces) {
    if (!Begin("regenerate" + (line ? " " + Short(line->content) : "")) || !Focus(character, chat)) {
        return false;
    }
    if (!Holds(chat->messages, line) || line->is_typing || line->role != L"assistant") {
        Note("   (no such reply)");
        return false;
    }
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    const std::vector<std::wstring> texts = LineTexts(*line);
    if (!StartReplyWith([&] { state().RegenerateReply(line); }, key, owner, false, pieces)) {
        Note("   (not regenerated)");
        return false;
    }
    Removed(key, line->line_id, texts, owner);
    AfterAction();
    return true;
}

bool World::SwitchVersion(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat,
                          std::shared_ptr<Message> line, int delta) {
    if (!Begin("switch version " + std::to_string(delta) + (line ? " of " + Short(line->content) : "")) ||
        !Focus(character, chat)) {
        return false;
    }
    if (!Holds(chat->messages, line) || line->is_typing || Main::ChatRows::VersionCount(state().versions, *line) < 2) {
        Note("   (no versions)");
        return false;
    }
    const std::wstring old = line->content;
    if (!Main::ChatRows::StepVersion(state().versions, *line, delta)) {
        Note("   (no version there)");
        return false;
    }
    // What the chat screen does after a step.
    state().SaveCurrentChat();
    ++state().revision;
    if (state().OnChanged) {
        state().OnChanged();
    }
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    Removed(key, line->line_id, {old}, owner);
    ledger_.Add(Make(Kind::Switched, key, line->line_id, line->content, owner));
    Saved(key, line->line_id, line->content, owner);
    AfterAction();
    return true;
}

bool World::Edit(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat, std::shared_ptr<Message> line,
                 const std::wstring& given, int pieces) {
    if (!Start()) {
        return false;
    }
    const std::wstring text = TextOr(given, L"Editado");
    Say("edit " + (line ? Short(line->content) : std::string("?")) + " to " + Quote(text));
    if (!Focus(character, chat)) {
        return false;
    }
    if (!Holds(chat->messages, line) || line->is_typing) {
        Note("   (no such line)");
        return false;
    }
    const Holding held = Hold();
    const RecordKey key = ChatKey(*character, *chat);
    const RecordKey owner = CharacterKey(*character);
    const std::wstring old = line->content;
    // A user message's edit cuts every line after it.
    std::vector<std::shared_ptr<Message>> cut;
    if (line->role == L"user") {
        const auto at = std::find(chat->messages.begin(), chat->messages.end(), line);
        cut.assign(at + 1, chat->messages.end());
        StartReplyWith([&] { state().EditMessage(line, text); }, key, owner, true, pieces);
    } else {
        state().EditMessage(line, text);
    }
    Removed(key, line->line_id, {old}, owner);
    Saved(key, line->line_id, line->content, owner);
    for (const std::shared_ptr<Message>& gone : cut) {
        if (!gone->is_typing) {
            Removed(key, gone->line_id, LineTexts(*gone), owner);
            Deleted(Kind::LineDeleted, key, gone->line_id, owner, LineTexts(*gone), held);
        }
    }
    AfterAction();
    return true;
}

bool World::DeleteLine(std::shared_ptr<Character> character, std::shared_ptr<Chat> chat,
                       std::shared_ptr<Message> line) {
    if (!Begin("delete line" + (line ? " " + Short(line->content) : "")) || !Focus(character, chat)) {
        return false;
    }
    if (!Holds(chat->messages, line)) {
        Note("   (no such line)");
        return false;
    }
    const Holding held = Hold();
    const bool pending = line->is_typing;
    state().DeleteMessage(line);
    if (!pending) {
        const RecordKey key = ChatKey(*character, *chat);
        const RecordKey owner = CharacterKey(*character);
        Removed(key, line->line_id, LineTexts(*line), owner);
        Deleted(Kind::LineDeleted, key, line->line_id, owner, LineTexts(*line), held);
    }
    AfterAction();
    return true;
}

// ---- Personas ----

std::shared_ptr<Persona> World::CreatePersona(const std::wstring& given) {
    if (!Start()) {
        return nullptr;
    }
    const std::wstring name = TextOr(given, L"Persona");
    Say("create persona " + Quote(name));
    if (open_ < 0) {
        return nullptr;
    }
    // As the persona form makes one.
    auto persona = std::make_shared<Persona>();
    persona->id = Time::NewUuid();
    persona->name = name;
    persona->traits = NewText(KindOf("traits", true));
    persona->personality = NewText(KindOf("personality", true));
    state().SavePersona(persona);
    for (const auto& [field, value] : Fields(*persona)) {
        Saved(PersonaKey(*persona), Text::ToWide(field), value, L"");
    }
    AfterAction();
    return persona;
}

bool World::EditPersona(std::shared_ptr<Persona> persona, const std::vector<FieldEdit>& given) {
    if (!Start()) {
        return false;
    }
    const std::vector<FieldEdit> fields = Filled(given, true);
    Say(EditLine(fields) + " of persona" + (persona ? " " + Short(persona->name) : ""));
    if (open_ < 0 || !Holds(state().personas, persona)) {
        Note("   (not on this PC)");
        return false;
    }
    EditFields(PersonaKey(*persona), fields, [&](const std::string& name) { return EditableField(*persona, name); });
    state().SavePersona(persona);
    AfterAction();
    return true;
}

bool World::SetPicture(std::shared_ptr<Persona> persona) {
    if (!Begin("new picture for persona" + (persona ? " " + Short(persona->name) : ""))) {
        return false;
    }
    if (open_ < 0 || !Holds(state().personas, persona)) {
        Note("   (not on this PC)");
        return false;
    }
    ReplacePicture(PersonaKey(*persona), persona->photoPath, L"persona_");
    state().SavePersona(persona);
    AfterAction();
    return true;
}

bool World::DeletePersona(std::shared_ptr<Persona> persona) {
    if (!Begin("delete persona" + (persona ? " " + Short(persona->name) : ""))) {
        return false;
    }
    if (open_ < 0 || !Holds(state().personas, persona)) {
        Note("   (not on this PC)");
        return false;
    }
    const Holding held = Hold();
    const RecordKey record = PersonaKey(*persona);
    state().DeletePersona(persona);
    Removed(record, L"", FieldTexts(*persona), L"");
    Deleted(Kind::PersonaDeleted, record, L"", L"", {}, held);
    AfterAction();
    return true;
}

}  // namespace Lorvex::Testing::Sim

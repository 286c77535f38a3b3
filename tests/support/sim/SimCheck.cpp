// The checks at the end of a world: what every PC's files and the cloud hold, against the ledger.

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "tests/support/sim/SimText.h"
#include "tests/support/sim/SimWorld.h"

namespace Lorvex::Testing::Sim {

namespace {

using Services::CloudSync;
using Kind = Event::Kind;

// Reports of one invariant beyond these are only counted.
constexpr size_t kReportsPerInvariant = 4;

const char* const kSameRecords = "1 same records everywhere";
const char* const kTextsKept = "2 saved texts kept";
const char* const kDeletionsStick = "3 deletions stick";
const char* const kLinesOnce = "4 lines once and in order";
const char* const kQuiet = "5 quiet once converged";

struct Line {
    std::wstring id;
    std::wstring content;
    std::vector<std::wstring> versions;
};

struct ChatCopy {
    RecordKey owner;
    std::vector<Line> lines;
};

// One PC's files, or the cloud's rows, as the checks read them.
struct Copy {
    std::string name;
    std::map<std::wstring, std::string> forms;  // record key (or "image:<name>") -> its form
    std::map<RecordKey, std::map<std::wstring, std::wstring>> fields;
    std::map<RecordKey, ChatCopy> chats;
    std::set<std::wstring> conflicts;  // every text inside the PC's ".conflict" files
};

void AddChat(Copy& copy, const Character& owner, const Chat& chat) {
    const RecordKey key = ChatKey(owner, chat);
    copy.forms[key] = Chat::ToJson(chat).Dump(false);
    ChatCopy& held = copy.chats[key];
    held.owner = CharacterKey(owner);
    for (const std::shared_ptr<Message>& message : chat.messages) {
        held.lines.push_back({message->line_id, message->content, message->versions});
    }
}

// A character or persona: its form as the cloud carries it, its fields, and the pictures it names.
template <class Record>
void AddRecord(Copy& copy, const RecordKey& key, const Record& record, std::set<std::wstring>& pictures) {
    copy.forms[key] = CloudSync::StripPhotoPaths(Record::ToJson(record)).Dump(false);
    for (const auto& [field, value] : Fields(record)) {
        copy.fields[key][Text::ToWide(field)] = value;
    }
    for (const std::wstring& path : ImagePaths(record)) {
        pictures.insert(Files::FileName(path));
    }
}

void CollectTexts(const Json::Value& value, std::set<std::wstring>& texts) {
    if (value.kind == Json::Type::String) {
        texts.insert(value.AsWString());
    } else if (value.kind == Json::Type::Array) {
        for (const Json::Value& item : value.Items()) {
            CollectTexts(item, texts);
        }
    } else if (value.kind == Json::Type::Object) {
        for (const auto& [key, member] : value.Members()) {
            CollectTexts(member, texts);
        }
    }
}

std::string Cut(const std::string& text, size_t length = 600) {
    return text.size() > length ? text.substr(0, length) + "…" : text;
}

bool Holds(const std::vector<std::wstring>& list, const std::wstring& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

class Checker {
public:
    explicit Checker(World& world) : world_(world) {}

    std::vector<Failure> Run() {
        if (world_.Faulted()) {
            failures_.push_back({"harness", world_.fault_});
            return failures_;
        }
        for (int pc = 0; pc < world_.Pcs(); ++pc) {
            copies_.push_back(ReadPc(pc));
        }
        copies_.push_back(ReadCloud());
        for (const Event* kept : world_.ledger_.KeptTexts()) {
            kept_.insert({kept->record, kept->text});
        }
        SameRecords();
        TextsKept();
        DeletionsStick();
        LinesOnceAndInOrder();
        if (!world_.quiet_) {
            Report(kQuiet, "after " + std::to_string(world_.stats_.settlePasses) +
                               " passes over every PC a pass still wrote to the table or the bucket");
        }
        for (const auto& [invariant, count] : unreported_) {
            failures_.push_back({invariant, "and " + std::to_string(count) + " more like these"});
        }
        return failures_;
    }

private:
    Copy ReadPc(int pc) {
        Copy copy;
        copy.name = world_.pcs_[pc].name;
        const std::wstring& folder = world_.pcs_[pc].folder;
        Paths::SetDataDirForTesting(folder);
        std::set<std::wstring> pictures;
        for (const std::shared_ptr<Character>& character : Storage::LoadCharacters()) {
            AddRecord(copy, CharacterKey(*character), *character, pictures);
            for (const std::shared_ptr<Chat>& chat : *character->chats) {
                AddChat(copy, *character, *chat);
            }
        }
        for (const std::shared_ptr<Persona>& persona : Storage::LoadPersonas()) {
            AddRecord(copy, PersonaKey(*persona), *persona, pictures);
        }
        for (const std::wstring& name : pictures) {
            const std::optional<std::string> bytes = Files::ReadBytes(Files::JoinPath(Paths::ImagesDir(), name));
            copy.forms[L"image:" + name] = bytes ? Text::Sha256Hex(*bytes) : "missing";
        }
        for (const std::wstring& path : Files::ListFiles(folder, L"*.conflict", true)) {
            bool parsed = false;
            const Json::Value root = Json::Value::Parse(Files::ReadBytes(path).value_or(""), &parsed);
            if (parsed) {
                CollectTexts(root, copy.conflicts);
            }
        }
        return copy;
    }

    Copy ReadCloud() {
        Copy copy;
        copy.name = "cloud";
        const std::optional<std::string> user = world_.backend_.UserId("sim@example.com");
        if (!user) {
            return copy;
        }
        std::set<std::wstring> pictures;
        const std::vector<FakeRow> rows = world_.backend_.Rows(*user);
        for (const FakeRow& row : rows) {
            if (row.deleted || row.data.kind != Json::Type::Object) {
                continue;
            }
            if (row.kind == "character") {
                std::shared_ptr<Character> character = Character::FromJson(row.data);
                character->id = Text::ToWide(row.id);
                AddRecord(copy, CharacterKey(*character), *character, pictures);
            } else if (row.kind == "persona") {
                std::shared_ptr<Persona> persona = Persona::FromJson(row.data);
                persona->id = Text::ToWide(row.id);
                AddRecord(copy, PersonaKey(*persona), *persona, pictures);
            }
        }
        for (const FakeRow& row : rows) {
            if (row.deleted || row.kind != "chat" || row.data.kind != Json::Type::Object || !row.parentId) {
                continue;
            }
            const std::wstring owner = Text::ToWide(*row.parentId);
            const std::wstring id = Text::ToWide(row.id);
            if (id.size() <= owner.size() + 1 || id.compare(0, owner.size() + 1, owner + L":") != 0) {
                continue;
            }
            std::shared_ptr<Chat> chat = Chat::FromJson(row.data);
            chat->id = id.substr(owner.size() + 1);
            Character holder;
            holder.id = owner;
            AddChat(copy, holder, *chat);
        }
        for (const std::wstring& name : pictures) {
            const std::optional<FakeObject> object = world_.backend_.Object(*user + "/" + Text::ToUtf8(name));
            copy.forms[L"image:" + name] = object ? Text::Sha256Hex(object->bytes) : "missing";
        }
        return copy;
    }

    void Report(const char* invariant, const std::string& detail) {
        if (++reports_[invariant] > kReportsPerInvariant) {
            ++unreported_[invariant];
            return;
        }
        failures_.push_back({invariant, detail});
    }

    // ---- 1: every PC and the cloud hold the same records ----

    void SameRecords() {
        const Copy& first = copies_.front();
        for (size_t i = 1; i < copies_.size(); ++i) {
            const Copy& other = copies_[i];
            std::set<std::wstring> keys;
            for (const auto& [key, form] : first.forms) {
                keys.insert(key);
            }
            for (const auto& [key, form] : other.forms) {
                keys.insert(key);
            }
            for (const std::wstring& key : keys) {
                const auto a = first.forms.find(key);
                const auto b = other.forms.find(key);
                if (a != first.forms.end() && b != other.forms.end() && a->second == b->second) {
                    continue;
                }
                Report(kSameRecords, Text::ToUtf8(key) + " differs between " + first.name + " and " + other.name +
                                         ":\n      " + first.name + ": " +
                                         (a == first.forms.end() ? "(none)" : Cut(a->second)) + "\n      " +
                                         other.name + ": " + (b == other.forms.end() ? "(none)" : Cut(b->second)));
            }
        }
    }

    // ---- 2: every text saved is still somewhere, unless an action took it away ----

    static bool InConflicts(const std::vector<Copy>& copies, const std::wstring& text) {
        return std::any_of(copies.begin(), copies.end(), [&](const Copy& copy) { return copy.conflicts.count(text); });
    }

    static bool Present(const Copy& copy, const Event& saved) {
        if (saved.record.rfind(L"chat:", 0) == 0) {
            const auto chat = copy.chats.find(saved.record);
            if (chat == copy.chats.end()) {
                return false;
            }
            return std::any_of(chat->second.lines.begin(), chat->second.lines.end(), [&](const Line& line) {
                return line.content == saved.text || Holds(line.versions, saved.text);
            });
        }
        const auto record = copy.fields.find(saved.record);
        if (record == copy.fields.end()) {
            return false;
        }
        const auto field = record->second.find(saved.part);
        return field != record->second.end() && field->second == saved.text;
    }

    void TextsKept() {
        for (const Event* saved : world_.ledger_.KeptTexts()) {
            if (InConflicts(copies_, saved->text)) {
                continue;
            }
            std::string missing;
            for (const Copy& copy : copies_) {
                if (!Present(copy, *saved)) {
                    missing += (missing.empty() ? "" : ", ") + copy.name;
                }
            }
            if (!missing.empty()) {
                Report(kTextsKept, Quote(saved->text) + " (" + Text::ToUtf8(saved->part) + " of " +
                                       Text::ToUtf8(saved->record) + "), saved on " + world_.PcName(saved->pc) +
                                       " at p" + std::to_string(saved->step) + ", is missing on " + missing);
            }
        }
    }

    // ---- 3: a deletion nobody changed the thing against sticks everywhere ----

    void DeletionsStick() {
        for (const Event* deletion : world_.ledger_.StickingDeletions()) {
            for (const Copy& copy : copies_) {
                const std::string back = CameBack(copy, *deletion);
                if (!back.empty()) {
                    Report(kDeletionsStick, Describe(*deletion) + " came back on " + copy.name + ": " + back);
                }
            }
        }
    }

    std::string Describe(const Event& deletion) const {
        const char* what = deletion.kind == Kind::LineDeleted        ? "the line "
                           : deletion.kind == Kind::ChatDeleted      ? "the chat "
                           : deletion.kind == Kind::CharacterDeleted ? "the character "
                                                                     : "the persona ";
        std::string text = what + Text::ToUtf8(deletion.kind == Kind::LineDeleted ? deletion.part : deletion.record);
        if (!deletion.texts.empty()) {
            text += " " + Quote(deletion.texts.front());
        }
        return text + " deleted on " + world_.PcName(deletion.pc) + " at p" + std::to_string(deletion.step);
    }

    std::string CameBack(const Copy& copy, const Event& deletion) const {
        switch (deletion.kind) {
        case Kind::LineDeleted: {
            const auto chat = copy.chats.find(deletion.record);
            if (chat == copy.chats.end()) {
                return {};
            }
            for (const Line& line : chat->second.lines) {
                if (line.id == deletion.part) {
                    return "its line id is there, showing " + Quote(line.content);
                }
                for (const std::wstring& text : deletion.texts) {
                    if ((line.content == text || Holds(line.versions, text)) && !kept_.count({deletion.record, text})) {
                        return "its text " + Quote(text) + " is in line " + Text::ToUtf8(line.id);
                    }
                }
            }
            return {};
        }
        case Kind::ChatDeleted:
            return copy.chats.count(deletion.record) ? "the chat is there" : std::string();
        case Kind::CharacterDeleted: {
            if (copy.fields.count(deletion.record)) {
                return "the character is there";
            }
            for (const auto& [key, chat] : copy.chats) {
                if (chat.owner == deletion.record) {
                    return "its chat " + Text::ToUtf8(key) + " is there";
                }
            }
            return {};
        }
        case Kind::PersonaDeleted:
            return copy.fields.count(deletion.record) ? "the persona is there" : std::string();
        default:
            return {};
        }
    }

    // ---- 4: no text in two lines of a chat, and each PC's lines in the order it wrote them ----

    void LinesOnceAndInOrder() {
        std::map<RecordKey, std::vector<const Event*>> made;
        for (const Event& event : world_.ledger_.Events()) {
            if (event.kind == Kind::LineMade && !event.dropped && !event.before.empty()) {
                made[event.record].push_back(&event);
            }
        }
        for (const Copy& copy : copies_) {
            for (const auto& [key, chat] : copy.chats) {
                std::map<std::wstring, size_t> lineOfText;
                std::map<std::wstring, size_t> position;
                for (size_t i = 0; i < chat.lines.size(); ++i) {
                    const Line& line = chat.lines[i];
                    if (!position.emplace(line.id, i).second) {
                        Report(kLinesOnce, "on " + copy.name + ", chat " + Text::ToUtf8(key) + " holds the line " +
                                               Text::ToUtf8(line.id) + " twice");
                    }
                    std::vector<std::wstring> texts = line.versions;
                    texts.push_back(line.content);
                    std::sort(texts.begin(), texts.end());
                    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
                    for (const std::wstring& text : texts) {
                        if (text.empty()) {
                            continue;
                        }
                        const auto [at, fresh] = lineOfText.emplace(text, i);
                        if (!fresh) {
                            Report(kLinesOnce, "on " + copy.name + ", chat " + Text::ToUtf8(key) + " holds " +
                                                   Quote(text) + " in lines " + std::to_string(at->second + 1) +
                                                   " and " + std::to_string(i + 1));
                        }
                    }
                }
                const auto events = made.find(key);
                if (events == made.end()) {
                    continue;
                }
                for (const Event* line : events->second) {
                    const auto at = position.find(line->part);
                    if (at == position.end()) {
                        continue;
                    }
                    for (const std::wstring& earlier : line->before) {
                        const auto was = position.find(earlier);
                        if (was != position.end() && was->second > at->second) {
                            Report(kLinesOnce, "on " + copy.name + ", chat " + Text::ToUtf8(key) + ": line " +
                                                   std::to_string(at->second + 1) + " " +
                                                   Quote(chat.lines[at->second].content) + " (written on " +
                                                   world_.PcName(line->pc) + " at p" + std::to_string(line->step) +
                                                   ") stands before line " + std::to_string(was->second + 1) + " " +
                                                   Quote(chat.lines[was->second].content) + ", which " +
                                                   world_.PcName(line->pc) + " had before it");
                            break;
                        }
                    }
                }
            }
        }
    }

    World& world_;
    std::vector<Copy> copies_;
    std::set<std::pair<RecordKey, std::wstring>> kept_;
    std::vector<Failure> failures_;
    std::map<std::string, size_t> reports_;
    std::map<std::string, size_t> unreported_;
};

std::vector<Failure> World::Check() {
    Close();
    const auto start = std::chrono::steady_clock::now();
    std::vector<Failure> failures = Checker(*this).Run();
    stats_.checking += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return failures;
}

}  // namespace Lorvex::Testing::Sim

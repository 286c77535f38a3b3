// What a round sends and compares: a record's upload form read from its stored file, the same
// form of a pulled row, and their hashes.

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "services/sync/CloudSyncRound.h"

namespace Lorvex::Services::CloudSyncRound {

namespace {

// The record read and written back by its own reader and writer, with the id given when there
// is one: exactly the form the application state holds and hashes.
Json::Value RecordForm(const std::wstring& kind, const Json::Value& data, const std::wstring& id) {
    Json::Value form;
    if (kind == L"character") {
        const std::shared_ptr<Character> record = Character::FromJson(data);
        if (!id.empty()) {
            record->id = id;
        }
        form = Character::ToJson(*record);
    } else if (kind == L"chat") {
        const std::shared_ptr<Chat> record = Chat::FromJson(data);
        if (!id.empty()) {
            record->id = id;
        }
        form = Chat::ToJson(*record);
    } else if (kind == L"persona") {
        const std::shared_ptr<Persona> record = Persona::FromJson(data);
        if (!id.empty()) {
            record->id = id;
        }
        form = Persona::ToJson(*record);
    } else {
        return {};
    }
    return CloudSync::StripPhotoPaths(form);
}

}  // namespace

Json::Value PulledForm(const CloudSync::RemoteItem& row) {
    if (row.deleted || row.data.kind != Json::Type::Object) {
        return {};
    }
    std::wstring id = row.id;
    if (row.kind == L"chat") {
        const std::wstring prefix = row.parentId + L":";
        if (row.id.compare(0, prefix.size(), prefix) != 0) {
            return {};
        }
        id = row.id.substr(prefix.size());
    }
    return RecordForm(row.kind, row.data, id);
}

std::string RowHash(const CloudSync::RemoteItem& row) {
    if (row.deleted) {
        return "deleted";
    }
    const Json::Value form = PulledForm(row);
    return form.kind == Json::Type::Object ? CloudSync::ChangeHash(form) : std::string();
}

StoredRead ReadStoredForm(const CloudSync::QueueItem& item, StoredForm& out) {
    Json::Value stored;
    if (!item.form.empty()) {
        stored = Json::Value::Parse(item.form);
    } else {
        if (item.source.empty() || !Files::IsFile(item.source)) {
            return StoredRead::Gone;
        }
        if (!Storage::ReadJsonFile(item.source, stored)) {
            return StoredRead::Unreadable;  // held open or being replaced: a later round tries again
        }
    }
    // Through the record's reader and writer, as the application state hashes it: a file of an
    // older version gains its lines' derived ids, so both sides agree on what the record holds.
    // The id is the item's (a chat item's carries its owner in front of the chat's own).
    const size_t owner = item.kind == L"chat" ? item.id.find(L':') : std::wstring::npos;
    out.form = RecordForm(item.kind, stored, owner == std::wstring::npos ? item.id : item.id.substr(owner + 1));
    if (out.form.kind != Json::Type::Object) {
        return StoredRead::Gone;
    }
    out.text = out.form.Dump(false);
    out.hash = Text::Sha256Hex(out.text);
    return StoredRead::Ok;
}

}  // namespace Lorvex::Services::CloudSyncRound

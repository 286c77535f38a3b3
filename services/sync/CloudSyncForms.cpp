// What a round sends and compares: a record's upload form read from its stored file, the same
// form of a pulled row, their hashes, and the time of a change.

#include <windows.h>

#include <cstdio>

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
    if (!item.form.empty()) {
        out.text = item.form;
    } else {
        if (item.source.empty() || !Files::IsFile(item.source)) {
            return StoredRead::Gone;
        }
        Json::Value stored;
        if (!Storage::ReadJsonFile(item.source, stored)) {
            return StoredRead::Unreadable;  // held open or being replaced: a later round tries again
        }
        // The file holds the record's form as its writer wrote it, members in order: cut to
        // file names and written compactly it is the upload form, without building the record.
        out.text = CloudSync::StripPhotoPaths(stored).Dump(false);
    }
    out.hash = Text::Sha256Hex(out.text);
    out.changedAt = item.changedAt.empty() ? FileChangedAt(item.source) : item.changedAt;
    return StoredRead::Ok;
}

std::wstring FileChangedAt(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME utc{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &utc)) {
        return {};
    }
    wchar_t text[40];
    std::swprintf(text, 40, L"%04u-%02u-%02uT%02u:%02u:%02u.%03u+00:00", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond, utc.wMilliseconds);
    return text;
}

std::string WithChangedAt(std::string text, const std::wstring& changedAt) {
    if (changedAt.empty() || text.size() < 2 || text.back() != '}') {
        return text;
    }
    text.pop_back();
    if (text.size() > 1) {
        text += ',';
    }
    text += std::string("\"") + kChangedAtKey + "\":" + Json::Value(changedAt).Dump(false) + "}";
    return text;
}

std::wstring RemoteChangedAt(const CloudSync::RemoteItem& row) {
    const Json::Value& sent = row.data.Find(kChangedAtKey);
    if (sent.kind == Json::Type::String && !sent.text.empty()) {
        return sent.AsWString();
    }
    return Text::ToWide(row.updatedAt);
}

}  // namespace Lorvex::Services::CloudSyncRound

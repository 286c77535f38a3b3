// The per-record bases on disk.

#include "services/sync/SyncBase.h"

#include <cstdlib>

#include "foundation/Files.h"
#include "foundation/Hash.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

namespace Lorvex::Services::SyncBase {

namespace {

std::wstring Folder() {
    return Files::JoinPath(Paths::DataDir(), L"sync-base");
}

// Keys hold ':' and ids; the file is named by a hash of the key, and the key inside tells a
// collision from a match.
std::wstring PathOf(const std::wstring& key) {
    const uint64_t h = Hash::Fnv1a64(Hash::kFnvOffsetBasis, std::wstring_view(key));
    return Files::JoinPath(Folder(), Text::ToWide(Hash::Hex64(h)) + L".json");
}

Json::Value PrintsToJson(const std::vector<Fingerprint>& prints) {
    Json::Array flat;
    flat.reserve(prints.size() * 2);
    for (const Fingerprint& print : prints) {
        flat.emplace_back(print.name);
        flat.emplace_back(Hash::Hex64(print.print));
    }
    return Json::Value(std::move(flat));
}

bool PrintsFromJson(const Json::Value& value, std::vector<Fingerprint>& prints) {
    if (value.kind != Json::Type::Array || value.Size() % 2 != 0) {
        return false;
    }
    const auto& items = value.Items();
    prints.reserve(items.size() / 2);
    for (size_t i = 0; i < items.size(); i += 2) {
        if (items[i].kind != Json::Type::String || items[i + 1].kind != Json::Type::String ||
            items[i + 1].text.size() != 16) {
            return false;
        }
        prints.push_back({items[i].text, std::strtoull(items[i + 1].text.c_str(), nullptr, 16)});
    }
    return true;
}

const uint64_t* Find(const std::vector<Fingerprint>& prints, std::string_view name) {
    for (const Fingerprint& print : prints) {
        if (print.name == name) {
            return &print.print;
        }
    }
    return nullptr;
}

}  // namespace

const uint64_t* RecordBase::Field(std::string_view name) const {
    return Find(fields, name);
}

const uint64_t* RecordBase::Line(std::string_view id) const {
    return Find(lines, id);
}

uint64_t PrintOf(const Json::Value& value) {
    return Hash::Fnv1a64(Hash::kFnvOffsetBasis, std::string_view(value.Dump(false)));
}

RecordBase BaseOf(const std::wstring& kind, const Json::Value& form) {
    RecordBase base;
    if (form.kind != Json::Type::Object) {
        return base;
    }
    base.hash = Text::Sha256Hex(form.Dump(false));
    const bool chat = kind == L"chat";
    for (const auto& [name, value] : form.Members()) {
        if (chat && name == "messages") {
            for (const Json::Value& line : value.Items()) {
                base.lines.push_back({line.Find("line_id").AsString(), PrintOf(line)});
            }
            continue;
        }
        base.fields.push_back({name, PrintOf(value)});
    }
    if (!chat) {
        base.form = form;
    }
    return base;
}

std::optional<RecordBase> Load(const std::wstring& key, const std::wstring& userId) {
    const std::optional<std::string> text = Files::ReadBytes(PathOf(key));
    if (!text) {
        return std::nullopt;
    }
    bool parsed = false;
    const Json::Value root = Json::Value::Parse(*text, &parsed);
    if (!parsed || root.kind != Json::Type::Object || root.Find("key").AsWString() != key ||
        root.Find("user").AsWString() != userId) {
        return std::nullopt;
    }
    RecordBase base;
    base.hash = root.Find("hash").AsString();
    if (base.hash.empty() || !PrintsFromJson(root.Find("fields"), base.fields) ||
        !PrintsFromJson(root.Find("lines"), base.lines)) {
        return std::nullopt;
    }
    base.form = root.Find("form");
    return base;
}

bool Save(const std::wstring& key, const std::wstring& userId, const RecordBase& base) {
    Json::Value root(Json::Object{
        {"key", Json::Value(key)},
        {"user", Json::Value(userId)},
        {"hash", Json::Value(base.hash)},
        {"fields", PrintsToJson(base.fields)},
        {"lines", PrintsToJson(base.lines)},
    });
    if (base.form.kind == Json::Type::Object) {
        root["form"] = base.form;
    }
    const std::wstring path = PathOf(key);
    if (Files::WriteReplacing(path, root.Dump(false))) {
        return true;
    }
    // An older base left in place would pass the cloud's changes since for this PC's own; without
    // one the next merge keeps both sides.
    Files::RemoveFile(path);
    return false;
}

void Remove(const std::wstring& key) {
    Files::RemoveFile(PathOf(key));
}

void Clear() {
    Files::RemoveTree(Folder());
}

}  // namespace Lorvex::Services::SyncBase

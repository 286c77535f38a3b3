// Whole-file JSON reads and replace-by-move writes for everything the store keeps.

#include "domain/Storage.h"

#include "foundation/Files.h"

namespace Lorvex::Storage {

bool ReadJsonFile(const std::wstring& path, Json::Value& value) {
    std::string buffer;
    return ReadJsonFile(path, value, buffer);
}

bool ReadJsonFile(const std::wstring& path, Json::Value& value, std::string& buffer) {
    if (!Files::ReadTextUtf8(path, buffer)) {
        return false;
    }
    bool ok = false;
    value = Json::Value::Parse(buffer, &ok);
    return ok && value.kind == Json::Type::Object;
}

bool WriteFileAtomic(const std::wstring& path, const Json::Value& value) {
    if (path.empty()) {
        return false;
    }
    const std::wstring temporary = path + L".tmp";
    std::string text;
    value.Write(text, true, 0);
    if (!Files::WriteBytes(temporary, text)) {
        return false;
    }
    // A read-only target is replaced too (Windows refuses to move over one): the record's file
    // must follow the record.
    return Files::Move(temporary, path, true);
}

}  // namespace Lorvex::Storage

// Whole-file JSON reads and replace-by-move writes for everything the store keeps.

#include "domain/Storage.h"

#include "foundation/Files.h"

namespace Lorvex::Storage {

bool ReadJsonFile(const std::wstring& path, Json::Value& value) {
    std::string buffer;
    return ReadJsonFile(path, value, buffer);
}

namespace {

// Whether the file could be read at all, and whether it holds a JSON object.
struct JsonRead {
    bool read = false;
    bool object = false;
};

JsonRead ReadObject(const std::wstring& path, Json::Value& value, std::string& buffer) {
    if (!Files::ReadTextUtf8(path, buffer)) {
        return {};
    }
    bool ok = false;
    value = Json::Value::Parse(buffer, &ok);
    return {true, ok && value.kind == Json::Type::Object};
}

}  // namespace

bool ReadJsonFile(const std::wstring& path, Json::Value& value, std::string& buffer) {
    const JsonRead read = ReadObject(path, value, buffer);
    if (read.object) {
        return true;
    }
    // A file that is there but torn (cut short, or all zeros after a power cut) gives way to the
    // temporary a save wrote beside it, when that one is whole. A missing file does not: a stale
    // temporary may outlive the record it was written for.
    return read.read && ReadObject(Files::TemporaryFor(path), value, buffer).object;
}

bool WriteFileAtomic(const std::wstring& path, const Json::Value& value) {
    if (path.empty()) {
        return false;
    }
    // One buffer per thread for every file it writes: a character's save writes one file per
    // chat, and a fresh text for each would grow anew from nothing.
    thread_local std::string text;
    text.clear();
    value.Write(text, true, 0);
    // A read-only target is replaced too: the record's file must follow the record.
    const bool written = Files::WriteReplacing(path, text);
    // A rare huge file does not keep its memory for the thread's life.
    constexpr size_t kKeptCapacity = 4 << 20;
    if (text.capacity() > kKeptCapacity) {
        std::string().swap(text);
    }
    return written;
}

}  // namespace Lorvex::Storage

// Folder names for characters: the name as far as Windows accepts it in a file name.

#include "domain/Storage.h"

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

#include <windows.h>

namespace Lorvex::Storage {

namespace {

// Long enough for any real name, short enough that folder, "chats" and a chat file stay far
// from the path limit.
constexpr size_t kMaxFolderNameUnits = 100;

bool IsForbidden(wchar_t c) {
    if (c < 32) {
        return true;
    }
    switch (c) {
    case L'"':
    case L'<':
    case L'>':
    case L'|':
    case L':':
    case L'*':
    case L'?':
    case L'\\':
    case L'/':
        return true;
    default:
        return false;
    }
}

void DropTrailingDotsAndSpaces(std::wstring& name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
        name.pop_back();
    }
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

std::wstring MakeCharacterFolderName(const std::wstring& name) {
    std::wstring kept;
    kept.reserve(name.size());
    for (wchar_t c : name) {
        if (!IsForbidden(c)) {
            kept.push_back(c);
        }
    }
    std::wstring base = Text::Trim(kept);
    DropTrailingDotsAndSpaces(base);
    if (base.size() > kMaxFolderNameUnits) {
        size_t cut = kMaxFolderNameUnits;
        if (IsHighSurrogate(base[cut - 1])) {
            --cut;
        }
        base.resize(cut);
        DropTrailingDotsAndSpaces(base);
    }
    if (base.empty()) {
        base = L"character";
    }
    if (const size_t device = Files::ReservedDeviceLength(base)) {
        base.insert(device, L"_");
    }

    // Any entry of that name, folder or file, is taken: a file would keep the folder from being
    // made, and every save of the character would fail.
    const std::wstring root = Files::JoinPath(Paths::DataDir(), L"characters");
    std::wstring candidate = base;
    for (unsigned n = 1; GetFileAttributesW(Files::JoinPath(root, candidate).c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
        candidate = base + L"_" + std::to_wstring(n);
    }
    return candidate;
}

}  // namespace Lorvex::Storage

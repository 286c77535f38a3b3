// Folder names for characters: the name as far as Windows accepts it in a file name.

#include "domain/Storage.h"

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

#include <windows.h>

#include <array>
#include <string_view>

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

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'a' && x <= L'z') {
            x = static_cast<wchar_t>(x - L'a' + L'A');
        }
        if (y >= L'a' && y <= L'z') {
            y = static_cast<wchar_t>(y - L'a' + L'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// Length of the device name that the name would open instead of a folder, or 0. Windows looks
// at the part before the first dot, trailing spaces ignored: "nul.txt" and "CON " are devices.
size_t ReservedDeviceLength(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    static constexpr std::array<std::wstring_view, 6> kWords = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (std::wstring_view word : kWords) {
        if (EqualsIgnoringAsciiCase(stem, word)) {
            return stem.size();
        }
    }
    if (stem.size() == 4) {
        const wchar_t digit = stem[3];
        const bool numbered =
            (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
        if (numbered && (EqualsIgnoringAsciiCase(stem.substr(0, 3), L"COM") ||
                         EqualsIgnoringAsciiCase(stem.substr(0, 3), L"LPT"))) {
            return stem.size();
        }
    }
    return 0;
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
    if (const size_t device = ReservedDeviceLength(base)) {
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

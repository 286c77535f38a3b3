// Path text of Lorvex::Files: pure string work, no file-system access.

#include "foundation/Files.h"

#include "foundation/Text.h"

#include <array>

namespace Lorvex::Files {

namespace {

std::size_t LastSeparator(const std::wstring& path) {
    return path.find_last_of(L"\\/");
}

}  // namespace

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::size_t ReservedDeviceLength(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    static constexpr std::array<std::wstring_view, 6> kWords = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (std::wstring_view word : kWords) {
        if (Text::EqualsAsciiNoCase(stem, word)) {
            return stem.size();
        }
    }
    if (stem.size() == 4) {
        const wchar_t digit = stem[3];
        const bool numbered =
            (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
        if (numbered && (Text::EqualsAsciiNoCase(stem.substr(0, 3), L"COM") ||
                         Text::EqualsAsciiNoCase(stem.substr(0, 3), L"LPT"))) {
            return stem.size();
        }
    }
    return 0;
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& child) {
    if (base.empty()) {
        return child;
    }
    if (child.empty()) {
        return base;
    }
    // A drive path or a UNC path stands on its own.
    if (child.size() >= 2 && (child[1] == L':' || (child[0] == L'\\' && child[1] == L'\\'))) {
        return child;
    }
    std::wstring joined = base;
    if (!IsSeparator(joined.back())) {
        joined += L'\\';
    }
    std::size_t start = 0;
    while (start < child.size() && IsSeparator(child[start])) {
        ++start;
    }
    joined.append(child, start, std::wstring::npos);
    for (wchar_t& c : joined) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return joined;
}

std::wstring ParentPath(const std::wstring& path) {
    const std::size_t cut = LastSeparator(path);
    if (cut == std::wstring::npos) {
        return {};
    }
    // "D:\x" has the parent "D:\", not the drive-relative "D:".
    if (cut == 2 && path[1] == L':') {
        return path.substr(0, 3);
    }
    return path.substr(0, cut);
}

std::wstring FileName(const std::wstring& path) {
    const std::size_t cut = LastSeparator(path);
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring Extension(const std::wstring& path) {
    const std::wstring name = FileName(path);
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

}  // namespace Lorvex::Files

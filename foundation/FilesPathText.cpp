// Path text of Lorvex::Files: pure string work, no file-system access.

#include "foundation/Files.h"

namespace Lorvex::Files {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::size_t LastSeparator(const std::wstring& path) {
    return path.find_last_of(L"\\/");
}

}  // namespace

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

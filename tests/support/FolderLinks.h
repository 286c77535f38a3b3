#pragma once
// Symbolic links to folders, made and removed by tests on Windows and under Wine alike. Wine 8's
// CreateSymbolicLinkW reports success and creates nothing, and a link cannot be removed from the
// Windows side there (RemoveDirectoryW removes an empty target instead, and fails on a full one),
// so under Wine both are done by the system's own ln and rm, which Wine starts as Unix programs.
// Wine then shows such a link as a folder with the reparse-point attribute and no reparse tag.

#include <windows.h>

#include <string>

#include "foundation/Files.h"
#include "foundation/Text.h"

namespace Lorvex::Testing {

namespace Detail {

// Wine's path translations, exported by its kernel32 only; both null on Windows.
struct WinePaths {
    using UnixName = char*(CDECL*)(const wchar_t*);
    using DosName = wchar_t*(CDECL*)(const char*);
    UnixName unixName = nullptr;
    DosName dosName = nullptr;

    WinePaths() {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        unixName =
            reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
        dosName = reinterpret_cast<DosName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    }
    bool Present() const { return unixName != nullptr && dosName != nullptr; }

    std::wstring Unix(const std::wstring& path) const {
        char* name = unixName(path.c_str());
        if (name == nullptr) {
            return {};
        }
        std::wstring text = Text::ToWide(name);
        HeapFree(GetProcessHeap(), 0, name);
        return text;
    }

    std::wstring Dos(const char* unixPath) const {
        wchar_t* name = dosName(unixPath);
        if (name == nullptr) {
            return {};
        }
        std::wstring text = name;
        HeapFree(GetProcessHeap(), 0, name);
        return text;
    }
};

// Runs a Unix shell command through Wine and waits for it. Wine starts a Unix program without a
// process handle, so the command leaves a marker file behind when it is done.
inline bool RunShell(const WinePaths& wine, const std::wstring& command) {
    static int counter = 0;
    const std::wstring marker =
        Files::JoinPath(Files::TempDir(), L"lorvex-shell-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                              std::to_wstring(counter++) + L".done");
    const std::wstring shell = wine.Dos("/bin/sh");
    const std::wstring unixMarker = wine.Unix(marker);
    if (shell.empty() || unixMarker.empty()) {
        return false;
    }
    std::wstring commandLine = L"sh -c \"" + command + L"; touch '" + unixMarker + L"'\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    for (int i = 0; i < 1000; ++i) {
        if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileW(marker.c_str());
            return true;
        }
        Sleep(10);
    }
    return false;
}

inline bool IsLinkEntry(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace Detail

// Makes link a symbolic link to the folder target. A relative target ("..\\x") is kept relative,
// so it is resolved from the link's own folder. False when no link can be made here (on Windows
// that takes the right to create symbolic links, or developer mode).
inline bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    const Detail::WinePaths wine;
    if (!wine.Present()) {
        const DWORD allowUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
        CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | allowUnprivileged);
        return Detail::IsLinkEntry(link);
    }
    const bool relative = !target.empty() && target[0] != L'\\' && !(target.size() >= 2 && target[1] == L':');
    std::wstring unixTarget = relative ? target : wine.Unix(target);
    for (wchar_t& c : unixTarget) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    const std::wstring unixLink = wine.Unix(link);
    return !unixTarget.empty() && !unixLink.empty() &&
           Detail::RunShell(wine, L"ln -s '" + unixTarget + L"' '" + unixLink + L"'") && Detail::IsLinkEntry(link);
}

// Removes the link itself, never what it leads to, also when it leads nowhere any more (Wine
// then no longer shows it at all). True when it is gone.
inline bool RemoveFolderLink(const std::wstring& link) {
    const Detail::WinePaths wine;
    if (!wine.Present()) {
        RemoveDirectoryW(link.c_str());
        return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    const std::wstring unixLink = wine.Unix(link);
    return !unixLink.empty() && Detail::RunShell(wine, L"rm -f '" + unixLink + L"'");
}

}  // namespace Lorvex::Testing

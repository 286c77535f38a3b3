#pragma once
// Starting the built Lorvex.exe from a test or benchmark program and finding its window. The
// program lies in the build folder, the given number of folders above the running program.

#include <windows.h>

#include <string>

namespace Lorvex::Testing {

// A started process with both handles closed however the caller ends; empty when it could not
// be started.
class ChildProcess {
public:
    explicit ChildProcess(const std::wstring& exe) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + exe + L"\"";
        if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info_)) {
            info_ = {};
        }
    }
    ~ChildProcess() {
        if (info_.hProcess) {
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE Handle() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }

    // The exit code once the process has ended within waitMs, else STILL_ACTIVE.
    DWORD ExitCode(DWORD waitMs) const {
        DWORD code = STILL_ACTIVE;
        if (info_.hProcess && WaitForSingleObject(info_.hProcess, waitMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(info_.hProcess, &code);
        }
        return code;
    }

    // The process's visible window of class "Lorvex.Window" (other programs make windows of the
    // same class), or null when none appeared within about 30 s or the process ended.
    HWND WaitForWindow() const {
        for (int i = 0; i < 600 && info_.hProcess; ++i) {
            Search search = {info_.dwProcessId, nullptr};
            EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
            if (search.found && IsWindowVisible(search.found)) {
                return search.found;
            }
            if (WaitForSingleObject(info_.hProcess, 50) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
        return nullptr;
    }

private:
    struct Search {
        DWORD processId;
        HWND found;
    };
    static BOOL CALLBACK FindWindowOf(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = {};
        if (owner == search->processId && GetClassNameW(window, name, 64) && std::wstring(name) == L"Lorvex.Window") {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    PROCESS_INFORMATION info_ = {};
};

// The build folder's Lorvex.exe, for a program that runs levelsUp folders below the build folder.
inline std::wstring ProgramPath(int levelsUp) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    for (int i = 0; i <= levelsUp; ++i) {
        folder.resize(folder.find_last_of(L'\\'));
    }
    return folder + L"\\Lorvex.exe";
}

}  // namespace Lorvex::Testing

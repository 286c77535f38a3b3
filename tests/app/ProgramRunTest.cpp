// Starts the real Lorvex.exe on a fresh data folder, waits for its window, starts a second copy
// (which must find the first and end with 0), closes the first with WM_CLOSE and checks that it
// ends with 0 and wrote its settings. Prints what failed and returns 1 on a failure.

#include <windows.h>

#include <cstdio>
#include <string>

#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) {
        ++failures;
    }
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\'));  // tests\app
    folder.resize(folder.find_last_of(L'\\'));  // tests
    folder.resize(folder.find_last_of(L'\\'));  // the build folder
    return folder + L"\\Lorvex.exe";
}

PROCESS_INFORMATION Start(const std::wstring& exe) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        process = {};
    }
    return process;
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM param) {
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

// The program's window (other test programs make windows of the same class), or null when it
// did not appear in time or the program ended.
HWND WaitForWindow(const PROCESS_INFORMATION& process) {
    for (int i = 0; i < 600; ++i) {
        Search search = {process.dwProcessId, nullptr};
        EnumWindows(&FindProgramWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found && IsWindowVisible(search.found)) {
            return search.found;
        }
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
            return nullptr;
        }
    }
    return nullptr;
}

DWORD ExitCode(const PROCESS_INFORMATION& process, DWORD waitMs) {
    if (WaitForSingleObject(process.hProcess, waitMs) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

}  // namespace

int main() {
    // A fresh data folder: the program's own, in this prefix.
    const std::wstring dataDir = Lorvex::Paths::ComputeDataDir();
    Lorvex::Files::RemoveTree(dataDir);

    const std::wstring exe = ProgramPath();
    const PROCESS_INFORMATION first = Start(exe);
    Check(first.hProcess != nullptr, "Lorvex.exe starts");
    if (!first.hProcess) {
        return 1;
    }
    const HWND window = WaitForWindow(first);
    Check(window != nullptr, "its window appears");

    const PROCESS_INFORMATION second = Start(exe);
    Check(second.hProcess && ExitCode(second, 30000) == 0, "a second copy ends at once with 0");
    Check(ExitCode(first, 0) == STILL_ACTIVE, "the first copy still runs");

    if (window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const DWORD code = ExitCode(first, 60000);
    if (code == STILL_ACTIVE) {
        TerminateProcess(first.hProcess, 3);
    }
    Check(code == 0, "closing the window ends the program with 0");
    const std::string settings = Lorvex::Files::ReadBytes(dataDir + L"\\settings.json").value_or("");
    Check(settings.find("3.0.2") != std::string::npos, "the settings file holds the version");

    for (const PROCESS_INFORMATION* p : {&first, &second}) {
        if (p->hProcess) {
            CloseHandle(p->hThread);
            CloseHandle(p->hProcess);
        }
    }
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

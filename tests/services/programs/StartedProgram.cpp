// A stand-in for the program an update installs, for the install-script test: once started it
// leaves "started.txt" beside its own file and ends. The mark is written under another name and
// then renamed, so a test that sees it never reads half of it. A window program, so that starting
// it opens no console.

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return 1;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    const std::wstring draft = folder + L"started.tmp";
    const HANDLE file =
        CreateFileW(draft.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, "ok", 2, &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(draft.c_str(), (folder + L"started.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

#include "App/SingleInstance.h"

#include <cwchar>

namespace Lorvex::App {

UniqueHandle ClaimSingleInstance() {
    UniqueHandle former(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Velmorin.SingleInstance"));
    if (former) {
        return {};
    }
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Local\\Lorvex.SingleInstance"));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        return {};
    }
    return mutex;
}

BOOL CALLBACK ActivateExistingWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() || GetWindow(window, GW_OWNER)) {
        return TRUE;
    }
    wchar_t name[64] = {};
    if (GetClassNameW(window, name, 64) == 0) {
        return TRUE;
    }
    if (std::wcscmp(name, L"Lorvex.Window") != 0 && std::wcscmp(name, L"Velmorin.Window") != 0) {
        return TRUE;
    }
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    return FALSE;
}

void ActivateExistingInstance() {
    EnumWindows(&ActivateExistingWindow, 0);
}

}  // namespace Lorvex::App

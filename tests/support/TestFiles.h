#pragma once
// File-system helpers shared by the test programs: a fresh folder per test, a handle held open to
// provoke sharing violations, and plain existence checks that bypass the code under test.

#include <windows.h>

#include <atomic>
#include <string>

#include "foundation/Files.h"
#include "foundation/Handle.h"

namespace Lorvex::Testing {

// A file the test holds open (to provoke sharing violations), closed however the test ends.
class HeldFile : public UniqueHandle {
public:
    HeldFile(const std::wstring& path, DWORD access, DWORD share)
        : UniqueHandle(
              CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    void Close() { Reset(); }
};

inline bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string Content(const std::wstring& path) {
    return Files::ReadBytes(path).value_or("<unreadable>");
}

// A new, empty folder under the temporary folder, unique per process and per call.
inline std::wstring MakeTempFolder(const std::wstring& prefix) {
    static std::atomic<int> counter{0};
    const std::wstring root = Files::JoinPath(
        Files::TempDir(), prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
    Files::RemoveTree(root);
    Files::EnsureDir(root);
    return root;
}

}  // namespace Lorvex::Testing

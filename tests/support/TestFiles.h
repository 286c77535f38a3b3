#pragma once
// File-system helpers shared by the test programs: a fresh folder per test, a handle held open to
// provoke sharing violations and a watch on the waits it causes, and plain existence checks that
// bypass the code under test.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>

#include "foundation/Files.h"
#include "foundation/Handle.h"
#include "foundation/Retry.h"

namespace Lorvex::Testing {

// A file the test holds open (to provoke sharing violations), closed however the test ends.
class HeldFile : public UniqueHandle {
public:
    HeldFile(const std::wstring& path, DWORD access, DWORD share)
        : UniqueHandle(
              CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    void Close() { Reset(); }
};

// Counts the pauses that a held file or clipboard makes the code under test take, calling
// `onPause` before each (to let go of what the test holds at the moment another program would).
// Gone with the watch. Any thread.
class PauseWatch {
public:
    explicit PauseWatch(std::function<void()> onPause = {}) : onPause_(std::move(onPause)) {
        Retry::SetPauseHookForTesting([this] {
            ++pauses_;
            if (onPause_) {
                onPause_();
            }
        });
    }
    ~PauseWatch() { Retry::SetPauseHookForTesting({}); }
    PauseWatch(const PauseWatch&) = delete;
    PauseWatch& operator=(const PauseWatch&) = delete;

    int Pauses() const { return pauses_.load(); }

private:
    std::function<void()> onPause_;
    std::atomic<int> pauses_{0};
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

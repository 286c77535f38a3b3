#pragma once
// Owners of Win32 handles, closed exactly once. Both null and INVALID_HANDLE_VALUE mean "none",
// since CreateFileW and FindFirstFileW fail with the one and CreateEventW with the other.

#include <windows.h>

#include <utility>

namespace Lorvex {

template <auto CloseFn>
class BasicHandle {
public:
    BasicHandle() = default;
    explicit BasicHandle(HANDLE handle) : handle_(handle) {}
    ~BasicHandle() { Reset(); }
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

    void Reset(HANDLE handle = nullptr) {
        if (IsOpen()) {
            CloseFn(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

using UniqueHandle = BasicHandle<&CloseHandle>;
using FindHandle = BasicHandle<&FindClose>;

}  // namespace Lorvex

#pragma once
// One owner for every kind of platform handle, closed exactly once. A kind is a traits type that
// names the handle type, says which values mean "none" and closes an open one. Any thread; the
// owner itself reports nothing (IsOpen says whether the call that filled it succeeded).

#include <windows.h>

#include <utility>

namespace Lorvex {

template <typename Traits>
class BasicHandle {
public:
    using Type = typename Traits::Type;

    BasicHandle() = default;
    explicit BasicHandle(Type handle) : handle_(handle) {}
    ~BasicHandle() { Reset(); }
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : handle_(std::exchange(other.handle_, Type{})) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, Type{});
        }
        return *this;
    }

    bool IsOpen() const { return !Traits::IsNone(handle_); }
    explicit operator bool() const { return IsOpen(); }
    Type Get() const { return handle_; }

    void Reset(Type handle = Type{}) {
        if (IsOpen()) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }

private:
    Type handle_ = Type{};
};

// Kernel and find handles: both null and INVALID_HANDLE_VALUE mean "none", since CreateFileW and
// FindFirstFileW fail with the one and CreateEventW with the other.
template <auto CloseFn>
struct Win32HandleTraits {
    using Type = HANDLE;
    static bool IsNone(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseFn(handle); }
};

using UniqueHandle = BasicHandle<Win32HandleTraits<&CloseHandle>>;
using FindHandle = BasicHandle<Win32HandleTraits<&FindClose>>;

}  // namespace Lorvex

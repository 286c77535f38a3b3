#pragma once
// Owner of memory that a platform call allocated with the COM task allocator (shell display names,
// known-folder paths): freed with CoTaskMemFree exactly once, also when the call that filled it
// failed. Any thread.

#include <objbase.h>

#include <utility>

namespace Lorvex {

template <typename T>
class CoTaskMemPtr {
public:
    CoTaskMemPtr() = default;
    ~CoTaskMemPtr() { Reset(); }
    CoTaskMemPtr(const CoTaskMemPtr&) = delete;
    CoTaskMemPtr& operator=(const CoTaskMemPtr&) = delete;
    CoTaskMemPtr(CoTaskMemPtr&& other) noexcept : memory_(std::exchange(other.memory_, nullptr)) {}
    CoTaskMemPtr& operator=(CoTaskMemPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            memory_ = std::exchange(other.memory_, nullptr);
        }
        return *this;
    }

    T* Get() const { return memory_; }
    explicit operator bool() const { return memory_ != nullptr; }

    // Frees what is held and returns the slot for an allocating call to fill.
    T** Put() {
        Reset();
        return &memory_;
    }

    void Reset() { CoTaskMemFree(std::exchange(memory_, nullptr)); }

private:
    T* memory_ = nullptr;
};

}  // namespace Lorvex

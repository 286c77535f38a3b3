#pragma once
// Owner of one reference to a COM object: released when the pointer is reset, replaced or
// destroyed. Copies add a reference; moves hand it over. The thread rules are the object's own.
//
// Only the interface id type is included here: a header may hold a ComPtr of an interface it
// merely forward-declares, as long as the files that create, copy or destroy it see the whole
// interface.

#include <guiddef.h>

#include <cstddef>
#include <utility>

namespace Lorvex {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference on an object the caller keeps owning.
    explicit ComPtr(T* object) : object_(object) {
        if (object_) {
            object_->AddRef();
        }
    }
    ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        if (this != &other) {
            ComPtr copy(other);
            std::swap(object_, copy.object_);
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Releases the held object and returns the slot for a creation call to fill.
    T** Put() {
        Reset();
        return &object_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Adopts a reference that the caller already owns (no AddRef).
    void Attach(T* object) {
        Reset();
        object_ = object;
    }

    void Reset() {
        // Cleared before the release so that nothing reached from the destructor sees it.
        if (T* object = std::exchange(object_, nullptr)) {
            object->Release();
        }
    }

    // QueryInterface for the interface with the given id; empty when the object does not answer.
    template <typename U>
    ComPtr<U> Query(const IID& iid) const {
        ComPtr<U> result;
        if (object_) {
            object_->QueryInterface(iid, result.PutVoid());
        }
        return result;
    }

private:
    T* object_ = nullptr;
};

}  // namespace Lorvex

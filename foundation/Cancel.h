#pragma once
// A cancel flag shared between the party that may stop a job and the worker doing it.

#include <atomic>
#include <memory>

namespace Lorvex::Async {

// Copies share one flag. Long operations take it by constant reference and test it between
// chunks of work; the owner keeps a copy and sets it.
class Cancel {
public:
    Cancel() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

    // Declared so that moves copy: a moved-from Cancel would have no flag to test.
    Cancel(const Cancel&) = default;
    Cancel& operator=(const Cancel&) = default;

    void Set() { flag_->store(true); }
    bool IsSet() const { return flag_->load(); }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

}  // namespace Lorvex::Async

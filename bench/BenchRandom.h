#pragma once
// The benchmarks' number source: deterministic, so every run measures the same data.

#include <cstddef>
#include <cstdint>

namespace Lorvex::Bench {

class Random {
public:
    uint32_t Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    size_t Below(size_t n) { return Next() % n; }

private:
    uint64_t state_ = 0x5EED;
};

}  // namespace Lorvex::Bench

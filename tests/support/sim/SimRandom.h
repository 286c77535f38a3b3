#pragma once
// The simulation's one source of chance: splitmix64 from the seed, so a seed replays the same
// choices on every run and machine. Never the clock or the system's entropy. Not thread-safe: one
// generator per thread of use.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Lorvex::Testing::Sim {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1; 0 when n is 0.
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
    // lo .. hi, both included.
    int64_t Between(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(Below(static_cast<size_t>(hi - lo + 1)));
    }
    // True with probability percent / 100.
    bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

    template <class T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }

private:
    uint64_t state_;
};

}  // namespace Lorvex::Testing::Sim

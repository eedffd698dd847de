#pragma once
#include <cstdint>

namespace gaugemon::sim {

// A small seeded generator (splitmix64). The standard distributions differ
// between library versions; this one gives the same faults, noise and stray
// bytes for the same seed everywhere, so a failing run can be replayed.
class Rng {
public:
    explicit Rng(uint64_t seed = 1) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [0, n); 0 when n is 0.
    uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(next() % n); }
    uint8_t byte() { return static_cast<uint8_t>(next() >> 56); }

    // A value that depends only on the inputs: noise that does not change with
    // the order or the number of requests that sample it.
    static uint64_t mix(uint64_t a, uint64_t b, uint64_t c) {
        Rng r(a ^ (b * 0xD6E8FEB86659FD93ull) ^ (c * 0xA0761D6478BD642Full));
        r.next();
        return r.next();
    }

private:
    uint64_t state_;
};

}  // namespace gaugemon::sim

// Small deterministic random generator for the asset generator: same seed, same pictures and sounds.
#pragma once

#include <cstdint>

// SplitMix64: tiny, fast and fully specified, so the output never depends on the C++ library.
class Rng {
public:
    explicit Rng(uint64_t seed)
        : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 24 bits of resolution.
    float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    // Uniform in [-1, 1).
    float signed_unit() { return unit() * 2.0f - 1.0f; }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

// Hash of integer coordinates to [0, 1): lattice values for noise that must not depend on call order.
inline float hash_unit(int x, int y, uint32_t seed) {
    uint64_t h = static_cast<uint64_t>(static_cast<uint32_t>(x)) * 0x8DA6B343ull ^
                 static_cast<uint64_t>(static_cast<uint32_t>(y)) * 0xD8163841ull ^
                 static_cast<uint64_t>(seed) * 0xCB1AB31Full;
    Rng r(h);
    return r.unit();
}

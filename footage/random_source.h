// A small random source of our own: the standard library's distributions differ between
// implementations, and a clip must be the same picture on every machine for a given seed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace ruvovav::footage {

// SplitMix64's finaliser: a good 64-bit mix, used both to seed and to hash coordinates.
inline uint64_t mix64(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Independent streams for (seed, what, index): a scene, frame 3's noise, ...
inline uint64_t streamKey(uint32_t seed, uint32_t what, uint32_t index = 0) {
    return mix64(mix64(mix64(seed) ^ what) ^ index);
}

// xoshiro256**: fast, and good enough for hundreds of millions of draws.
class RandomSource {
public:
    explicit RandomSource(uint64_t key) {
        for (uint64_t& word : s_) word = key = mix64(key);
    }

    uint64_t next() {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // In (0, 1): never 0, so that log() is always finite.
    double uniform() { return (double(next() >> 11) + 0.5) * 0x1.0p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int integer(int lo, int hi) { return lo + int(uniform() * (hi - lo + 1)); }  // [lo, hi]

    double gaussian() {
        if (hasSpare_) {
            hasSpare_ = false;
            return spare_;
        }
        const double radius = std::sqrt(-2.0 * std::log(uniform()));
        const double angle = 2.0 * std::numbers::pi * uniform();
        spare_ = radius * std::sin(angle);
        hasSpare_ = true;
        return radius * std::cos(angle);
    }

    // Exact for the small counts where the skew of the distribution matters (inversion by
    // sequential search); a rounded normal for large ones, where it is indistinguishable.
    double poisson(double mean) {
        if (mean <= 0.0) return 0.0;
        if (mean > kExactPoissonLimit)
            return std::max(0.0, std::round(mean + std::sqrt(mean) * gaussian()));
        const double u = uniform();
        double p = std::exp(-mean), cumulative = p;
        int k = 0;
        while (u > cumulative && p > 0.0) {
            ++k;
            p *= mean / k;
            cumulative += p;
        }
        return k;
    }

private:
    static constexpr double kExactPoissonLimit = 50.0;
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    uint64_t s_[4];
    double spare_ = 0.0;
    bool hasSpare_ = false;
};

}  // namespace ruvovav::footage

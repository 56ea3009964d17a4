// Inputs and a hash that are the same on every platform, for the tests that
// compare output bits across compilers, standard libraries and CPUs: a
// splitmix64 generator with doubles built from its bits by exact operations
// (the standard library's distributions differ between implementations),
// and FNV-1a over the little-endian bytes of each double.
#ifndef MEXTK_PORTABLE_BITS_H
#define MEXTK_PORTABLE_BITS_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace portable_bits {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n), n > 0 (the slight bias of a modulus is of no
    // concern here).
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

    // Uniform in [-1, 1) with a full 53-bit significand grid: every step is
    // exact.
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-52 - 1.0; }

private:
    std::uint64_t state_;
};

inline double fromBits(std::uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

inline std::uint64_t toBits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// FNV-1a, 64 bits, fed the eight bytes of each value's bits, least
// significant first.
class Fnv1a {
public:
    void add(double v)
    {
        const std::uint64_t b = toBits(v);
        for (int i = 0; i < 8; ++i) {
            hash_ = (hash_ ^ ((b >> (8 * i)) & 0xFFu)) * 0x100000001B3u;
        }
    }
    void add(const std::vector<double> &values)
    {
        for (double v : values) {
            add(v);
        }
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325u;
};

}  // namespace portable_bits

#endif

#pragma once

#include <cstdint>

namespace qzr::test {

// FNV-1a 64 over 16-bit values taken little-endian, the hash our render goldens pin: a change
// in any sample changes it.
class FrameHash {
public:
    void AddByte(std::uint8_t byte) {
        hash_ ^= byte;
        hash_ *= 1099511628211ull;
    }
    void Add(std::int16_t v) {
        const auto u = static_cast<std::uint16_t>(v);
        AddByte(static_cast<std::uint8_t>(u & 0xFFu));
        AddByte(static_cast<std::uint8_t>(u >> 8));
    }
    // A stereo frame, left first.
    void Add(std::int16_t left, std::int16_t right) {
        Add(left);
        Add(right);
    }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace qzr::test

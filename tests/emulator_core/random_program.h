#pragma once

#include <cstdint>
#include <string>

namespace qzr::emulator::test {

// A long random register program for the whole chip, the same for the same seed on every
// platform: writes to every register (the unused addresses too), one write per sample at most,
// rows of writes with gaps of up to 11 ms between them, about 30 writes a millisecond; a key
// change about every 4 ms; voices, pitches, connections, the LFO, noise, timers, CSM and the LFO
// reset bit change all along.
class RandomProgram {
public:
    explicit RandomProgram(std::uint64_t seed) : state_(seed) {}

    struct Write {
        std::uint64_t sample;  // made just before this sample; increasing from write to write
        std::uint8_t reg;
        std::uint8_t value;
    };
    Write Next();

private:
    std::uint32_t Random();  // 32 random bits
    std::uint32_t Below(std::uint32_t n) { return Random() % n; }

    std::uint64_t state_;
    std::uint64_t next_ = 0;
};

// The seed of the pinned renders, and helpers for them.
inline constexpr std::uint64_t kPinnedSeed = 20'240'613;
inline constexpr double kNativeRateHz = 3'579'545.0 / 64.0;
inline std::uint64_t Seconds(double s) { return static_cast<std::uint64_t>(s * kNativeRateHz); }
std::string Hex(std::uint64_t v);

// Renders `samples` samples of the program with `seed` on a fresh chip and returns the hash of
// its frames (test::FrameHash, left first).
std::uint64_t RandomProgramHash(std::uint64_t seed, std::uint64_t samples);

}  // namespace qzr::emulator::test

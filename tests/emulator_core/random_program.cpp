#include "random_program.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <vector>

#include "qzr/emulator_core/ym2151.h"
#include "qzr/test_support/frame_hash.h"

namespace qzr::emulator::test {

std::uint32_t RandomProgram::Random() {
    // SplitMix64: fixed integer arithmetic, so every platform draws the same program.
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
}

RandomProgram::Write RandomProgram::Next() {
    // Half of the writes follow in the next sample (a row of writes), the rest after a gap.
    const std::uint32_t gapKind = Below(16);
    const std::uint64_t gap = gapKind < 8 ? 0 : gapKind < 15 ? Below(64) : Below(640);
    const std::uint64_t sample = next_ + gap;
    next_ = sample + 1;

    const std::uint32_t kind = Below(100);
    std::uint8_t reg;
    std::uint32_t value = Random() & 0xFF;
    if (kind < 16) {
        // Key on or off: any channel, any operators; mostly all four or none.
        reg = 0x08;
        const std::uint32_t ops = Below(4);
        const std::uint32_t mask = ops == 0 ? 0x78 : ops == 1 ? 0 : (value & 0x78);
        value = mask | Below(8);
    } else if (kind < 66) {
        reg = static_cast<std::uint8_t>(0x40 + Below(192));
        // Total levels lean loud, so most of the program is heard.
        if ((reg & 0xE0) == 0x60 && Below(4) != 0) value &= 0x1F;
    } else if (kind < 86) {
        reg = static_cast<std::uint8_t>(0x20 + Below(32));
    } else {
        // The global registers, and now and then an address that holds nothing.
        constexpr std::array<std::uint8_t, 12> kGlobals{0x01, 0x0F, 0x0F, 0x10, 0x11, 0x12,
                                                        0x14, 0x18, 0x19, 0x19, 0x1B, 0x00};
        reg = kGlobals[Below(kGlobals.size())];
        if (reg == 0x00) {
            constexpr std::array<std::uint8_t, 22> kEmpty{
                0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x0C,
                0x0D, 0x0E, 0x13, 0x15, 0x16, 0x17, 0x1A, 0x1C, 0x1D, 0x1E, 0x1F};
            reg = kEmpty[Below(kEmpty.size())];
        } else if (reg == 0x01) {
            value &= 0x02;  // the LFO reset bit; the factory test bits stay 0
        } else if (reg == 0x14 && Below(4) != 0) {
            value &= 0x7F;  // CSM now and then only
        }
    }
    return Write{sample, reg, static_cast<std::uint8_t>(value)};
}

std::string Hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

std::uint64_t RandomProgramHash(std::uint64_t seed, std::uint64_t samples) {
    RandomProgram program(seed);
    YM2151 chip;
    qzr::test::FrameHash hash;
    std::vector<StereoSample> frames(4096);
    RandomProgram::Write next = program.Next();
    std::uint64_t n = 0;
    while (n < samples) {
        std::size_t count = 1;
        if (next.sample == n) {
            chip.Write(next.reg, next.value);
            next = program.Next();
        } else {
            count = static_cast<std::size_t>(
                std::min({next.sample - n, samples - n, std::uint64_t{frames.size()}}));
        }
        const std::span<StereoSample> block(frames.data(), count);
        chip.Generate(block);
        for (const StereoSample& f : block) hash.Add(f.left, f.right);
        n += count;
    }
    return hash.Value();
}

}  // namespace qzr::emulator::test

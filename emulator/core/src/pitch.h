#pragma once

#include <cstdint>

namespace qzr::emulator::detail {

// Inputs of the phase generator for one slot, as sampled for one sample.
struct PitchInputs {
    std::uint8_t keyCode;      // KC register, 7 bits (octave, note code)
    std::uint8_t keyFraction;  // KF, 6 bits
    std::uint8_t pms;          // 0..7; 0 = no pitch modulation
    bool pmEnabled;            // PMD was non-zero when the slot looked
    std::uint8_t pmValue;      // latched PM value: bit 7 sign (1 = down), bits 6-0 magnitude
    std::uint8_t dt2;          // 0..3
    std::uint8_t dt1;          // 0..7
    std::uint8_t mul;          // 0..15
};

struct Pitch {
    std::uint32_t increment;  // phase increment per sample, 20 bits
    std::uint8_t keyCode5;    // key code after PM and DT2, used by DT1 and key scaling
};

// The chip works on the 13-bit code 64 * KC + KF with the unused note codes in place; these are
// the steps it takes, kept apart so each can be checked on its own.
std::uint32_t ModulatedPitchCode(std::uint32_t code13, std::uint8_t pms, std::uint8_t pmValue);
std::uint32_t ApplyDetune2(std::uint32_t code13, std::uint8_t dt2);
Pitch ComputePitch(const PitchInputs& in);
// ComputePitch in its two halves: the part the four slots of a channel share (KC, KF and PM,
// giving the 13-bit code), and the slot's own part (DT2, the frequency number, DT1, MUL).
std::uint32_t ChannelPitchCode(std::uint8_t keyCode, std::uint8_t keyFraction, std::uint8_t pms,
                               bool pmEnabled, std::uint8_t pmValue);
Pitch SlotPitch(std::uint32_t channelCode, std::uint8_t dt2, std::uint8_t dt1, std::uint8_t mul);

}  // namespace qzr::emulator::detail

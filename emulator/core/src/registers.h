#pragma once

#include <cstdint>

namespace qzr::emulator::detail {

// Register addresses. Per-channel registers are base + channel, per-slot registers base + slot.
inline constexpr std::uint8_t kRegTest = 0x01;
inline constexpr std::uint8_t kRegKeyOn = 0x08;
inline constexpr std::uint8_t kRegNoise = 0x0F;
inline constexpr std::uint8_t kRegTimerAHigh = 0x10;
inline constexpr std::uint8_t kRegTimerALow = 0x11;
inline constexpr std::uint8_t kRegTimerB = 0x12;
inline constexpr std::uint8_t kRegTimerControl = 0x14;
inline constexpr std::uint8_t kRegLfoRate = 0x18;
inline constexpr std::uint8_t kRegLfoDepth = 0x19;
inline constexpr std::uint8_t kRegControlWave = 0x1B;
inline constexpr std::uint8_t kRegRoutingBase = 0x20;      // RL, FB, CON
inline constexpr std::uint8_t kRegKeyCodeBase = 0x28;      // KC
inline constexpr std::uint8_t kRegKeyFractionBase = 0x30;  // KF
inline constexpr std::uint8_t kRegModSensBase = 0x38;      // PMS, AMS
inline constexpr std::uint8_t kRegDetuneMulBase = 0x40;    // DT1, MUL
inline constexpr std::uint8_t kRegTotalLevelBase = 0x60;   // TL
inline constexpr std::uint8_t kRegAttackBase = 0x80;       // KS, AR
inline constexpr std::uint8_t kRegDecay1Base = 0xA0;       // AMS-EN, D1R
inline constexpr std::uint8_t kRegDecay2Base = 0xC0;       // DT2, D2R
inline constexpr std::uint8_t kRegReleaseBase = 0xE0;      // D1L, RR

// Field `n` bits wide starting at bit `at`.
constexpr std::uint8_t Bits(std::uint32_t v, int at, int n) {
    return static_cast<std::uint8_t>((v >> at) & ((1u << n) - 1u));
}

inline constexpr int kSlotCount = 32;
inline constexpr int kChannelCount = 8;

}  // namespace qzr::emulator::detail

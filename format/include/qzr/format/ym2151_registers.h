#pragma once

#include <cstdint>

// The YM2151's register map: the one list of addresses and fields that the chip core, the
// player and the tools share.
//
//   reg        bit 7   bit 6   bit 5   bit 4   bit 3   bit 2   bit 1   bit 0
//   0x01       test --------------------------------------------- LFO reset --
//   0x08       -       C2      M2      C1      M1      channel ----------------
//   0x0F       NE      -       -       NFRQ ----------------------------------
//   0x10       NA bits 9-2 -----------------------------------------------------
//   0x11       -       -       -       -       -       -       NA bits 1-0 ----
//   0x12       NB --------------------------------------------------------------
//   0x14       CSM     -       F-RST B F-RST A IRQEN B IRQEN A LOAD B  LOAD A
//   0x18       LFRQ ------------------------------------------------------------
//   0x19       0: AMD / 1: PMD, then bits 6-0 the depth ---------------------------
//   0x1B       CT2     CT1     -       -       -       -       W ---------------
//   0x20 + ch  R       L       FB ---------------------- CON --------------------
//   0x28 + ch  -       KC: octave -------------  note code ----------------------
//   0x30 + ch  KF --------------------------------------------- -       -
//   0x38 + ch  -       PMS ----------------------  -       -       AMS ---------
//   0x40 + s   -       DT1 ----------------------  MUL -----------------------------
//   0x60 + s   -       TL ----------------------------------------------------------
//   0x80 + s   KS -----------  -       AR ------------------------------------------
//   0xA0 + s   AMS-EN  -       -       D1R -----------------------------------------
//   0xC0 + s   DT2 ----------  -       D2R -----------------------------------------
//   0xE0 + s   D1L ----------------------------  RR --------------------------------
//
// ch is a channel 0 to 7; s a slot 0 to 31: slot = 8 x group + channel, the groups being M1, M2,
// C1 and C2 in that order.
namespace qzr::ym2151 {

inline constexpr int kChannelCount = 8;
inline constexpr int kSlotCount = 32;

// Global registers.
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

// Per-channel registers: base + channel.
inline constexpr std::uint8_t kRegChannelControlBase = 0x20;  // R, L, FB, CON
inline constexpr std::uint8_t kRegKeyCodeBase = 0x28;         // KC
inline constexpr std::uint8_t kRegKeyFractionBase = 0x30;     // KF
inline constexpr std::uint8_t kRegModSensBase = 0x38;         // PMS, AMS

// Per-slot registers: base + slot. A voice's 24 operator bytes are these six kinds for the four
// operators of a channel, in this order: operator byte j goes to kRegOperatorBase + 8 j + ch.
inline constexpr std::uint8_t kRegDetuneMulBase = 0x40;   // DT1, MUL
inline constexpr std::uint8_t kRegTotalLevelBase = 0x60;  // TL
inline constexpr std::uint8_t kRegAttackBase = 0x80;      // KS, AR
inline constexpr std::uint8_t kRegDecay1Base = 0xA0;      // AMS-EN, D1R
inline constexpr std::uint8_t kRegDecay2Base = 0xC0;      // DT2, D2R
inline constexpr std::uint8_t kRegReleaseBase = 0xE0;     // D1L, RR
inline constexpr std::uint8_t kRegOperatorBase = kRegDetuneMulBase;

// Key-on (0x08): the channel in bits 0-2, one bit per operator in bits 3-6.
inline constexpr std::uint8_t kKeyOnChannelMask = 0x07;
inline constexpr std::uint8_t kKeyOnSlotMask = 0x78;  // all four operators keyed on

// Field `n` bits wide starting at bit `at`.
constexpr std::uint8_t Bits(std::uint32_t v, int at, int n) {
    return static_cast<std::uint8_t>((v >> at) & ((1u << n) - 1u));
}

}  // namespace qzr::ym2151

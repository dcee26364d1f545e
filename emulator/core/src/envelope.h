#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "qzr/emulator_core/ym2151.h"

namespace qzr::emulator::detail {

// Envelope level: 10 bits, 0 loudest, 1023 silent.
inline constexpr std::uint16_t kLevelSilent = 1023;
inline constexpr std::uint16_t kLevelOff = 1008;  // from here the level jumps to silent

struct EnvelopeRegs {
    std::uint8_t ar;            // attack rate 0..31
    std::uint8_t d1r;           // first decay rate 0..31
    std::uint8_t d2r;           // second decay (sustain) rate 0..31
    std::uint8_t rr;            // release rate 0..15
    std::uint8_t d1l;           // sustain level 0..15
    std::uint8_t ks;            // key scaling 0..3
    std::uint8_t sustainBlock;  // level >> 4 at the sustain level: 2 * D1L, 62 for D1L 15
};

struct EnvelopeSlot {
    std::uint16_t level = kLevelSilent;
    EnvelopePhase phase = EnvelopePhase::Release;
};

// Step sizes of the 64 effective rates at one envelope tick, for tick counter k (the number of
// earlier ticks). 0 means no step. The chip spreads the steps of the slow rates over the
// trailing-zero pattern of k, so their average is (4 + R mod 4) * 2^(R/4 - 14) per tick.
using StepTable = std::array<std::uint8_t, 64>;

constexpr StepTable BuildStepTable(std::uint16_t k) {
    StepTable steps{};
    const int p = k == 0 ? -1 : std::countr_zero(k);
    for (int rate = 2; rate < 64; ++rate) {
        const int q = rate >> 2;
        const int f = rate & 3;
        int size = 0;
        if (rate < 48) {
            if (p >= 0 &&
                (p == 11 - q || (p == 12 - q && f >= 2) || (p == 13 - q && (f & 1) != 0))) {
                size = 1;
            }
        } else {
            size = 1 << (q - 12);
            const bool doubled =
                (f == 1 && (k & 3) == 1) || (f == 2 && (k & 1) == 1) || (f == 3 && (k & 3) != 2);
            if (doubled && size < 8) size *= 2;
        }
        steps[static_cast<std::size_t>(rate)] = static_cast<std::uint8_t>(size);
    }
    return steps;
}

// The table depends on k only through its trailing zeros, and for odd k on bit 1, so every
// table the chip can use is built at compile time: entries 0..15 for k = 2^i, 16 for k = 0 and
// 17 for k = 3 stand for all k alike.
constexpr std::array<StepTable, 18> BuildAllStepTables() {
    std::array<StepTable, 18> tables{};
    for (int i = 0; i < 16; ++i) {
        tables[static_cast<std::size_t>(i)] = BuildStepTable(static_cast<std::uint16_t>(1u << i));
    }
    tables[16] = BuildStepTable(0);
    tables[17] = BuildStepTable(3);
    return tables;
}
inline constexpr std::array<StepTable, 18> kStepTables = BuildAllStepTables();

constexpr std::size_t StepTableIndex(std::uint16_t k) {
    if (k == 0) return 16;
    if ((k & 3) == 3) return 17;
    return static_cast<std::size_t>(std::countr_zero(k));
}
constexpr const StepTable& StepTableFor(std::uint16_t k) { return kStepTables[StepTableIndex(k)]; }

// For each table, bit R set when rate R steps: the slots to look at on a tick, found at once.
constexpr std::array<std::uint64_t, 18> BuildSteppingRates() {
    std::array<std::uint64_t, 18> rates{};
    for (std::size_t t = 0; t < kStepTables.size(); ++t) {
        for (std::size_t rate = 0; rate < 64; ++rate) {
            if (kStepTables[t][rate] != 0) rates[t] |= std::uint64_t{1} << rate;
        }
    }
    return rates;
}
inline constexpr std::array<std::uint64_t, 18> kSteppingRates = BuildSteppingRates();

// Effective rate 0..63 for register rate r (5 bits; 0 = never steps) and key code kc5.
constexpr std::uint8_t EffectiveRate(std::uint8_t r, std::uint8_t ks, std::uint8_t keyCode5) {
    if (r == 0) return 0;
    const int scaled = 2 * r + (keyCode5 >> (3 - ks));
    return static_cast<std::uint8_t>(scaled > 63 ? 63 : scaled);
}

// The effective rate of the slot's present state (the rate a tick without a key-on edge uses).
inline std::uint8_t CurrentRate(const EnvelopeSlot& slot, const EnvelopeRegs& regs,
                                std::uint8_t keyCode5) {
    std::uint8_t r;
    switch (slot.phase) {
        case EnvelopePhase::Attack:
            r = regs.ar;
            break;
        case EnvelopePhase::Decay:
            r = regs.d1r;
            break;
        case EnvelopePhase::Sustain:
            r = regs.d2r;
            break;
        default:
            r = static_cast<std::uint8_t>(2 * regs.rr + 1);
            break;
    }
    return EffectiveRate(r, regs.ks, keyCode5);
}

// One sample of one slot's envelope, after its output attenuation has been taken from the level
// as it stood. `steps` is null outside tick samples; `rate` is CurrentRate of the slot as it
// stands (the sample loop keeps it formed).
inline void UpdateEnvelope(EnvelopeSlot& slot, const EnvelopeRegs& regs, bool keyOn, bool keyOnEdge,
                           std::uint8_t keyCode5, const StepTable* steps, std::uint8_t rate) {
    const int level = slot.level;
    const EnvelopePhase phase = slot.phase;
    const bool off = level >= kLevelOff;
    const bool zero = level == 0;
    // The sustain level is D1L * 32 (D1L 15 means 992); the test is equality on the top bits.
    const bool reach = (level >> 4) == regs.sustainBlock;

    if (keyOnEdge) {
        // No step is made in the sample of the edge; only the two fastest rates jump to 0.
        if (EffectiveRate(regs.ar, regs.ks, keyCode5) >= 62) slot.level = 0;
    } else if (off && phase != EnvelopePhase::Attack) {
        slot.level = kLevelSilent;
    } else if (steps != nullptr) {
        const int size = (*steps)[rate];
        if (size != 0) {
            if (phase == EnvelopePhase::Attack) {
                if (keyOn && rate < 62 && level != 0) {
                    // Sizes 1, 2, 4, 8 scale the remaining distance by 2, 4, 8, 16 over 32.
                    slot.level = static_cast<std::uint16_t>(level + ((-level - 1) * size * 2 >> 5));
                }
            } else if (phase != EnvelopePhase::Decay || !reach) {
                slot.level = static_cast<std::uint16_t>(level + size);
            }
        }
    }

    if (keyOnEdge) {
        slot.phase = EnvelopePhase::Attack;
    } else if (!keyOn) {
        slot.phase = EnvelopePhase::Release;
    } else if (phase == EnvelopePhase::Attack && zero) {
        slot.phase = EnvelopePhase::Decay;
    } else if (phase == EnvelopePhase::Decay && off) {
        slot.phase = EnvelopePhase::Release;
    } else if (phase == EnvelopePhase::Decay && reach) {
        slot.phase = EnvelopePhase::Sustain;
    } else if (phase == EnvelopePhase::Sustain && off) {
        slot.phase = EnvelopePhase::Release;
    }
}

inline void UpdateEnvelope(EnvelopeSlot& slot, const EnvelopeRegs& regs, bool keyOn, bool keyOnEdge,
                           std::uint8_t keyCode5, const StepTable* steps) {
    UpdateEnvelope(slot, regs, keyOn, keyOnEdge, keyCode5, steps,
                   CurrentRate(slot, regs, keyCode5));
}

// True when, with the key unchanged, a sample without a tick leaves the envelope as it is: no
// jump to silence pending, and no phase change due (leaving the attack at level 0, the decay at
// the sustain level or the top, the sustain at the top, anything but release at key-off).
// Silent released slots and notes held at full level are then skipped in most samples.
inline bool EnvelopeSettled(const EnvelopeSlot& slot, const EnvelopeRegs& regs, bool keyOn) {
    const int level = slot.level;
    const bool off = level >= kLevelOff;
    if (off && level != kLevelSilent && slot.phase != EnvelopePhase::Attack) return false;
    if (!keyOn) return slot.phase == EnvelopePhase::Release;
    switch (slot.phase) {
        case EnvelopePhase::Attack:
            return level != 0;
        case EnvelopePhase::Decay:
            return !off && (level >> 4) != regs.sustainBlock;
        case EnvelopePhase::Sustain:
            return !off;
        default:
            return true;
    }
}

}  // namespace qzr::emulator::detail

#include "qzr/emulator_core/ym2151.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <optional>

#include "envelope.h"
#include "lfo.h"
#include "mix.h"
#include "noise_generator.h"
#include "operator_output.h"
#include "pitch.h"
#include "qzr/emulator_core/write_pacer.h"
#include "qzr/format/ym2151_registers.h"
#include "tables.h"
#include "timers.h"

namespace qzr::emulator {

using namespace detail;
using namespace qzr::ym2151;

namespace {

struct ChannelRegs {
    std::uint8_t rl = 0;   // bit 1 right, bit 0 left
    std::uint8_t fb = 0;   // 0..7
    std::uint8_t con = 0;  // connection 0..7
    std::uint8_t kc = 0;   // 7 bits
    std::uint8_t kf = 0;   // 6 bits
    std::uint8_t pms = 0;
    std::uint8_t ams = 0;
};

struct SlotRegs {
    std::uint8_t dt1 = 0;
    std::uint8_t mul = 0;
    std::uint8_t tl = 0;
    std::uint8_t amsEnable = 0;
    std::uint8_t dt2 = 0;
    EnvelopeRegs envelope{};
};

// What a slot's pitch last saw of the PM: bit 8 PM on (PMD non-zero and PMS non-zero), bits 7-0
// the latched PM value.
constexpr std::uint16_t PmSeenAs(std::uint8_t depth, std::uint8_t value) {
    return static_cast<std::uint16_t>(depth != 0 ? 0x100 | value : 0);
}

// The operator outputs a slot can take as its modulation input. Slots are worked M1, M2, C1,
// C2 in turn, and a slot can use another's output of the same sample only if it was formed at
// least 16 cycles (two groups) earlier; otherwise it gets that slot's output of the previous
// sample ("prev"). M1 itself always takes its feedback.
enum ModulationInput : std::uint8_t {
    kFromM1 = 1,      // M1 of this sample (C1 and C2 only)
    kFromM1Prev = 2,  // M1 of the previous sample (M2 only)
    kFromM2 = 4,      // M2 of this sample (C2 only)
    kFromC1Prev = 8,  // C1 of the previous sample (M2 and C2)
};
// Operators heard: bit k for group k.
enum Carrier : std::uint8_t { kM1 = 1, kM2 = 2, kC1 = 4, kC2 = 8 };

// One connection (CON) of the chip's operator graph. Each modulated operator adds the outputs
// marked for it and halves the sum (out >> 1 for one input).
struct Connection {
    std::uint8_t m2;  // inputs of M2, C1 and C2
    std::uint8_t c1;
    std::uint8_t c2;
    std::uint8_t carriers;
};
constexpr std::array<Connection, 8> kConnections{{
    // 0: M1 -> C1 -> M2 -> C2
    {.m2 = kFromC1Prev, .c1 = kFromM1, .c2 = kFromM2, .carriers = kC2},
    // 1: (M1 + C1) -> M2 -> C2
    {.m2 = kFromM1Prev | kFromC1Prev, .c1 = 0, .c2 = kFromM2, .carriers = kC2},
    // 2: (M1 + (C1 -> M2)) -> C2
    {.m2 = kFromC1Prev, .c1 = 0, .c2 = kFromM1 | kFromM2, .carriers = kC2},
    // 3: ((M1 -> C1) + M2) -> C2
    {.m2 = 0, .c1 = kFromM1, .c2 = kFromC1Prev | kFromM2, .carriers = kC2},
    // 4: M1 -> C1 and M2 -> C2, two voices
    {.m2 = 0, .c1 = kFromM1, .c2 = kFromM2, .carriers = kC1 | kC2},
    // 5: M1 -> each of M2, C1, C2
    {.m2 = kFromM1Prev, .c1 = kFromM1, .c2 = kFromM1, .carriers = kM2 | kC1 | kC2},
    // 6: M1 -> C1, and M2, C2 alone
    {.m2 = 0, .c1 = kFromM1, .c2 = 0, .carriers = kM2 | kC1 | kC2},
    // 7: four sines
    {.m2 = 0, .c1 = 0, .c2 = 0, .carriers = kM1 | kM2 | kC1 | kC2},
}};

// All ones where `inputs` has `bit`: the routing is applied by masking, without a branch.
constexpr std::int32_t InputMask(std::uint8_t inputs, ModulationInput bit) {
    return -static_cast<std::int32_t>((inputs & bit) != 0);
}

constexpr std::uint32_t kGroupSlots = 0xFFu;  // slots of group 0; << 8 * group for the others

// One channel's part of each output side, for the channel tap: the same slots at the same
// samples as the chip's own sums, and the same delay.
struct ChannelSums {
    std::array<std::int32_t, kChannelCount> now{};
    std::array<std::int32_t, kChannelCount> next{};
    std::array<std::int32_t, kChannelCount> before{};
};

}  // namespace

// The sample loop works the slots of one kind (M1, M2, C1, C2) as a batch across the eight
// channels: the chip's order, since every slot of a group is worked before any of the next.
// Per-slot values live in arrays of 32 (slot = channel + 8 * group) so each batch is a plain
// loop over eight. What changes rarely is kept formed: the increment (formed again when a pitch
// input or the PM the slot sees changes), the attenuation 4 * E (when the level, TL, AMS or the
// AM value changes) and the envelope's rate; envelopes that cannot move outside a tick are
// skipped. Each cache is formed by the same code as before, so the samples are those of the
// plain computation.
struct YM2151::State {
    State() : operatorTables(OperatorLookup()) {
        attenuation4.fill(4 * kLevelSilent);
        rate.fill(CurrentRate(EnvelopeSlot{}, EnvelopeRegs{}, 0));
        slotsAtRate[rate[0]] = 0xFFFFFFFFu;
        ratesInUse = std::uint64_t{1} << rate[0];
        for (std::size_t c = 0; c < kChannelCount; ++c) Route(c);
    }

    const OperatorTables& operatorTables;

    // Register file.
    std::uint8_t test = 0;
    std::uint8_t noiseEnable = 0;
    std::uint8_t nfrq = 0;
    std::uint16_t na = 0;
    std::uint8_t nb = 0;
    std::uint8_t timerControl = 0;
    std::uint8_t lfoRate = 0;
    std::uint8_t amd = 0;
    std::uint8_t pmd = 0;
    std::uint8_t controlPins = 0;
    LfoWave lfoWave = LfoWave::Saw;
    std::array<ChannelRegs, kChannelCount> channels{};
    std::array<SlotRegs, kSlotCount> slotRegs{};
    std::uint32_t keyBits = 0;     // per slot, the key register as copied to the operators
    std::uint32_t keyLatched = 0;  // per slot, the key state latched in the last sample
    // Per slot: all ones when the slot is a carrier sent to that side.
    std::array<std::int32_t, kSlotCount> leftMask{};
    std::array<std::int32_t, kSlotCount> rightMask{};
    // Per channel, from its connection: all ones where the input is taken (kConnections).
    std::array<std::int32_t, kChannelCount> m2FromM1Prev{}, m2FromC1Prev{}, c1FromM1{};
    std::array<std::int32_t, kChannelCount> c2FromM1{}, c2FromM2{}, c2FromC1Prev{};
    // Per channel: the feedback shift 10 - FB, and all ones when FB is not 0.
    std::array<std::int32_t, kChannelCount> feedbackShift{};
    std::array<std::int32_t, kChannelCount> feedbackMask{};

    // Per slot.
    std::array<std::uint32_t, kSlotCount> phase{};      // 20-bit accumulator
    std::array<std::uint32_t, kSlotCount> increment{};  // formed in the last sample
    std::array<std::int32_t, kSlotCount> out{};         // operator output of the last sample
    std::array<EnvelopeSlot, kSlotCount> envelope{};
    std::array<std::uint8_t, kSlotCount> keyCode5{};
    std::array<std::uint16_t, kSlotCount> tl8{};           // TL in envelope units (8 a step)
    std::array<std::uint16_t, kSlotCount> amScale{};       // AM multiplier: 0, or 1, 2, 4 for AMS
    std::array<std::uint16_t, kSlotCount> attenuation4{};  // 4 * E
    std::array<std::uint8_t, kSlotCount> rate{};           // effective rate of the envelope's state
    std::array<std::uint32_t, 64> slotsAtRate{};           // the slots at each rate
    std::uint64_t ratesInUse = 0;                          // bit R when some slot is at rate R
    std::array<std::uint8_t, 4> amUsed{};                  // AM in attenuation4, per group
    std::uint32_t pitchDirty = 0xFFFFFFFFu;                // increment to form again
    std::uint32_t pmSlots = 0;                             // slots of channels with PMS non-zero
    // Per channel: the inputs and the result of the pitch code the channel's slots share.
    std::array<std::uint32_t, kChannelCount> channelPitchKey{
        {~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u}};  // none yet
    std::array<std::uint32_t, kChannelCount> channelPitchCode{};
    std::uint32_t attenuationDirty = 0;  // attenuation4 to form again
    // Envelopes that may change in a sample without a tick (key change, jump, phase change).
    std::uint32_t unsettled = 0xFFFFFFFFu;
    std::array<std::uint16_t, 3> pmViewsBefore{};  // the PM views of the last sample

    // Units.
    NoiseGenerator noise;
    Lfo lfo;
    Timers timers;
    std::uint16_t envelopeTicks = 0;
    std::uint8_t tickPhase = 0;  // sample index mod 3, plus one
    std::uint32_t noiseBitsBefore = 0;

    // The previous outputs of M1 (its feedback, M2's input) and C1 (C2's input in CON 3), kept
    // when the slot forms its new one.
    std::array<std::int32_t, kChannelCount> m1Before{};
    std::array<std::int32_t, kChannelCount> c1Before{};
    bool csmPulseBefore = false;

    // Slot 31's envelope output and noise bit of the last sample: its noise switch is looked at
    // only in the next sample.
    std::uint32_t lastSlotAttenuation = kLevelSilent;
    bool lastNoiseBit = false;

    // Mix. Left gathers slots 15..31 of sample n - 1 and 0..14 of n; right slot 31 of n - 1 and
    // 0..30 of n; the DAC latches both two samples later.
    std::int32_t leftNow = 0;                // L(n) being gathered
    std::int32_t leftNext = 0;               // L(n + 1) being gathered
    std::int32_t rightBefore = 0;            // R(n - 1), waiting for its last carriers
    std::array<std::int16_t, 2> leftDone{};  // L(n - 1), L(n - 2) after the DAC
    std::int16_t rightDone = 0;              // R(n - 2) after the DAC

    // The channel tap's sums, in step with the mix; only Step<true> touches them.
    ChannelSums tapLeft, tapRight;
    std::array<std::array<StereoSample, kChannelCount>, 2> tapLeftDone{};
    std::array<StereoSample, kChannelCount> tapRightDone{};

    std::uint64_t sampleIndex = 0;

    WritePacer writes;

    template <bool kTap>
    StereoSample Step(std::span<StereoSample, kChannelCount> channelsOut);
    void ApplyGlobal(std::uint8_t reg, std::uint8_t value);
    void ApplyChannel(std::uint8_t reg, std::uint8_t value);
    // The masks that carry out channel c's connection and output enables.
    void Route(std::size_t c);
    void ApplySlot(std::uint8_t reg, std::uint8_t value);
    void ApplyKeyOn(std::uint8_t value);
    // Forms the increments of `slots` again where the PM they see (`pmFor(s)`) has changed or
    // a pitch input was written.
    template <typename PmFor>
    void UpdatePitch(std::uint32_t slots, PmFor pmFor);
    // Forms 4 * E of group `group`'s slots where needed, with the group's AM value `am`.
    template <int Group>
    [[gnu::always_inline]] inline void UpdateAttenuation(std::uint8_t am);
    void FormAttenuation(std::size_t s, std::uint8_t am);
    void SetRate(std::size_t s, std::uint8_t r) {
        const std::uint8_t old = rate[s];
        if (old == r) return;
        const std::uint32_t bit = 1u << s;
        if ((slotsAtRate[old] &= ~bit) == 0) ratesInUse &= ~(std::uint64_t{1} << old);
        slotsAtRate[r] |= bit;
        ratesInUse |= std::uint64_t{1} << r;
        rate[s] = r;
    }
    // The operator outputs of one group, with their modulation inputs; moves their phases on.
    // Returns the group's carriers sent to each side.
    struct Sums {
        std::int32_t left = 0;
        std::int32_t right = 0;
    };
    template <int Group>
    [[gnu::always_inline]] inline Sums RunGroup();
};

void YM2151::State::ApplyGlobal(std::uint8_t reg, std::uint8_t value) {
    switch (reg) {
        case kRegTest:
            test = value;
            break;
        case kRegNoise:
            noiseEnable = Bits(value, 7, 1);
            nfrq = Bits(value, 0, 5);
            break;
        case kRegTimerAHigh:
            na = static_cast<std::uint16_t>((na & 3) | value << 2);
            break;
        case kRegTimerALow:
            na = static_cast<std::uint16_t>((na & ~3u) | Bits(value, 0, 2));
            break;
        case kRegTimerB:
            nb = value;
            break;
        case kRegTimerControl:
            timerControl = value;
            timers.ClearFlags(value);
            break;
        case kRegLfoRate:
            lfoRate = value;
            lfo.RequestRateReload();
            break;
        case kRegLfoDepth:
            if (value & 0x80) {
                pmd = Bits(value, 0, 7);
            } else {
                amd = Bits(value, 0, 7);
            }
            break;
        case kRegControlWave:
            controlPins = Bits(value, 6, 2);
            lfoWave = static_cast<LfoWave>(Bits(value, 0, 2));
            break;
        default:
            break;  // 0x08 is handled apart; other addresses hold nothing
    }
}

void YM2151::State::ApplyChannel(std::uint8_t reg, std::uint8_t value) {
    const std::size_t c = reg & 7u;
    ChannelRegs& ch = channels[c];
    const std::uint32_t channelSlots = 0x01010101u << c;
    switch (reg & 0x38) {
        case kRegChannelControlBase:
            ch.rl = Bits(value, 6, 2);
            ch.fb = Bits(value, 3, 3);
            ch.con = Bits(value, 0, 3);
            Route(c);
            break;
        case kRegKeyCodeBase:
            ch.kc = Bits(value, 0, 7);
            pitchDirty |= channelSlots;
            break;
        case kRegKeyFractionBase:
            ch.kf = Bits(value, 2, 6);
            pitchDirty |= channelSlots;
            break;
        default:
            ch.pms = Bits(value, 4, 3);
            ch.ams = Bits(value, 0, 2);
            pitchDirty |= channelSlots;
            pmSlots = ch.pms != 0 ? pmSlots | channelSlots : pmSlots & ~channelSlots;
            for (int group = 0; group < 4; ++group) {
                const std::size_t slot = c + 8u * static_cast<unsigned>(group);
                const unsigned ams = slotRegs[slot].amsEnable != 0 ? ch.ams : 0u;
                amScale[slot] = static_cast<std::uint16_t>((1u << ams) >> 1);
            }
            attenuationDirty |= channelSlots;
            break;
    }
}

void YM2151::State::Route(std::size_t c) {
    const ChannelRegs& ch = channels[c];
    const Connection& connection = kConnections[ch.con];
    for (int group = 0; group < 4; ++group) {
        const std::size_t slot = c + 8u * static_cast<unsigned>(group);
        const bool carrier = ((connection.carriers >> group) & 1) != 0;
        leftMask[slot] = carrier && (ch.rl & 1) ? -1 : 0;
        rightMask[slot] = carrier && (ch.rl & 2) ? -1 : 0;
    }
    m2FromM1Prev[c] = InputMask(connection.m2, kFromM1Prev);
    m2FromC1Prev[c] = InputMask(connection.m2, kFromC1Prev);
    c1FromM1[c] = InputMask(connection.c1, kFromM1);
    c2FromM1[c] = InputMask(connection.c2, kFromM1);
    c2FromM2[c] = InputMask(connection.c2, kFromM2);
    c2FromC1Prev[c] = InputMask(connection.c2, kFromC1Prev);
    feedbackShift[c] = 10 - ch.fb;
    feedbackMask[c] = ch.fb != 0 ? -1 : 0;
}

void YM2151::State::ApplySlot(std::uint8_t reg, std::uint8_t value) {
    const std::size_t si = reg & 31u;
    SlotRegs& s = slotRegs[si];
    switch (reg & 0xE0) {
        case kRegDetuneMulBase:
            s.dt1 = Bits(value, 4, 3);
            s.mul = Bits(value, 0, 4);
            pitchDirty |= 1u << si;
            break;
        case kRegTotalLevelBase:
            s.tl = Bits(value, 0, 7);
            tl8[si] = static_cast<std::uint16_t>(8 * s.tl);
            attenuationDirty |= 1u << si;
            break;
        case kRegAttackBase:
            s.envelope.ks = Bits(value, 6, 2);
            s.envelope.ar = Bits(value, 0, 5);
            break;
        case kRegDecay1Base: {
            s.amsEnable = Bits(value, 7, 1);
            const unsigned ams = s.amsEnable != 0 ? channels[reg & 7u].ams : 0u;
            amScale[si] = static_cast<std::uint16_t>((1u << ams) >> 1);
            attenuationDirty |= 1u << si;
            s.envelope.d1r = Bits(value, 0, 5);
            break;
        }
        case kRegDecay2Base:
            s.dt2 = Bits(value, 6, 2);
            s.envelope.d2r = Bits(value, 0, 5);
            pitchDirty |= 1u << si;
            break;
        default:
            s.envelope.d1l = Bits(value, 4, 4);
            s.envelope.sustainBlock =
                static_cast<std::uint8_t>(2 * (s.envelope.d1l == 15 ? 31 : s.envelope.d1l));
            unsettled |= 1u << si;
            s.envelope.rr = Bits(value, 0, 4);
            break;
    }
    SetRate(si, CurrentRate(envelope[si], s.envelope, keyCode5[si]));
}

void YM2151::State::ApplyKeyOn(std::uint8_t value) {
    const int ch = value & 7;
    // Register bits 3..6 are M1, C1, M2, C2; slots go M1, M2, C1, C2.
    const std::array<int, 4> bitOfGroup{3, 5, 4, 6};
    for (int group = 0; group < 4; ++group) {
        const std::uint32_t mask = 1u << (ch + 8 * group);
        keyBits = (value >> bitOfGroup[static_cast<std::size_t>(group)]) & 1 ? keyBits | mask
                                                                             : keyBits & ~mask;
    }
}

template <typename PmFor>
void YM2151::State::UpdatePitch(std::uint32_t slots, PmFor pmFor) {
    for (std::uint32_t bits = slots; bits != 0; bits &= bits - 1) {
        const auto s = static_cast<std::size_t>(std::countr_zero(bits));
        const std::size_t c = s & 7;
        const ChannelRegs& ch = channels[c];
        const std::uint16_t pmHere = ch.pms != 0 ? pmFor(s) : 0;
        // The channel's part is shared by its slots (and kept from sample to sample): formed
        // again only for other inputs.
        const std::uint32_t key = static_cast<std::uint32_t>(ch.kc) << 24 |
                                  static_cast<std::uint32_t>(ch.kf) << 16 |
                                  static_cast<std::uint32_t>(ch.pms) << 12 | pmHere;
        if (key != channelPitchKey[c]) {
            channelPitchKey[c] = key;
            channelPitchCode[c] = ChannelPitchCode(ch.kc, ch.kf, ch.pms, pmHere != 0,
                                                   static_cast<std::uint8_t>(pmHere & 0xFF));
        }
        const SlotRegs& regs = slotRegs[s];
        const Pitch pitch = SlotPitch(channelPitchCode[c], regs.dt2, regs.dt1, regs.mul);
        increment[s] = pitch.increment;
        if (keyCode5[s] != pitch.keyCode5) {
            keyCode5[s] = pitch.keyCode5;
            SetRate(s, CurrentRate(envelope[s], regs.envelope, keyCode5[s]));
        }
    }
    pitchDirty &= ~slots;
}

void YM2151::State::FormAttenuation(std::size_t s, std::uint8_t am) {
    // One clamp gives the same as clamping after AM and again after TL.
    const std::uint32_t e = std::min<std::uint32_t>(
        1023u, envelope[s].level + tl8[s] + static_cast<std::uint32_t>(am) * amScale[s]);
    attenuation4[s] = static_cast<std::uint16_t>(4 * e);
}

template <int Group>
void YM2151::State::UpdateAttenuation(std::uint8_t am) {
    constexpr std::uint32_t kSlots = kGroupSlots << (8 * Group);
    if (amUsed[Group] != am) {
        amUsed[Group] = am;
        attenuationDirty |= kSlots;
    }
    for (std::uint32_t bits = attenuationDirty & kSlots; bits != 0; bits &= bits - 1) {
        FormAttenuation(static_cast<std::size_t>(std::countr_zero(bits)), am);
    }
    attenuationDirty &= ~kSlots;
}

template <int Group>
YM2151::State::Sums YM2151::State::RunGroup() {
    constexpr std::size_t kFirst = 8 * Group;
    const OperatorTables& t = operatorTables;
    // Plain loops over the eight channels, each step apart, so the compiler can work the
    // arithmetic steps on all eight at once; only the two table look-ups go one by one.
    // The modulation input: M2 is worked before C1 of this sample, so out[] still holds C1's
    // previous output for it; M1's output of this sample is already in out[] when M2, C1 and C2
    // are worked, its previous one in m1Before.
    std::array<std::int32_t, kChannelCount> index;
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        std::int32_t mod;
        if constexpr (Group == 0) {
            // Feedback from M1's own outputs of the two previous samples.
            mod = ((out[c] + m1Before[c]) >> feedbackShift[c]) & feedbackMask[c];
        } else if constexpr (Group == 1) {
            mod = ((m1Before[c] & m2FromM1Prev[c]) + (out[16 + c] & m2FromC1Prev[c])) >> 1;
        } else if constexpr (Group == 2) {
            mod = (out[c] & c1FromM1[c]) >> 1;
        } else {
            mod = ((out[c] & c2FromM1[c]) + (out[8 + c] & c2FromM2[c]) +
                   (c1Before[c] & c2FromC1Prev[c])) >>
                  1;
        }
        index[c] = static_cast<std::int32_t>(phase[kFirst + c] >> 10) + mod;
    }
    if constexpr (Group == 0) {
        for (std::size_t c = 0; c < kChannelCount; ++c) m1Before[c] = out[c];
    }
    if constexpr (Group == 2) {
        for (std::size_t c = 0; c < kChannelCount; ++c) c1Before[c] = out[16 + c];
    }
    // The same evaluation as OperatorOutput, through the rearranged tables.
    std::array<std::int32_t, kChannelCount> magnitude;
#pragma GCC unroll 8
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const auto x = static_cast<std::uint32_t>(index[c]) & 511u;
        magnitude[c] = t.magnitude[std::size_t{t.halfWaveLog[x]} + attenuation4[kFirst + c]];
    }
    Sums sums;
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const std::size_t s = kFirst + c;
        // Bit 9 of the index chooses the negative half wave: -magnitude.
        const std::int32_t negative = -((index[c] >> 9) & 1);
        const std::int32_t value = (magnitude[c] ^ negative) - negative;
        out[s] = value;
        // The phase moves on after the slot has read it (a key-on edge zeroes it later).
        phase[s] = (phase[s] + increment[s]) & 0xFFFFFu;
        // M1's routing may change right after it (a channel write lands between M1 and M2),
        // and C2's is looked at only in the next sample: they are summed apart.
        if constexpr (Group == 1 || Group == 2) {
            sums.left += value & leftMask[s];
            sums.right += value & rightMask[s];
        }
    }
    return sums;
}

template <bool kTap>
StereoSample YM2151::State::Step(std::span<StereoSample, kChannelCount> channelsOut) {
    const std::uint64_t n = sampleIndex;

    // The write made before this sample is accepted on the last cycle of the previous one.
    // Global registers act from then on; reads on that very cycle still see the old value.
    const std::optional<RegisterWrite> taken = writes.TakeForSample();
    const bool haveWrite = taken.has_value();
    const RegisterWrite write = taken.value_or(RegisterWrite{});
    const std::uint8_t pmdBefore = pmd;
    const std::uint8_t nfrqBefore = nfrq;
    const LfoControl lfoBefore{lfoWave, (test & 2) != 0};
    if (haveWrite && write.reg < kRegChannelControlBase && write.reg != kRegKeyOn) {
        ApplyGlobal(write.reg, write.value);
    }

    // Timers look at their run bits at cycle 1; a CSM key-on pulse formed there reaches slots
    // 5..31 in this sample and slots 0..4 in the next.
    const bool loadA = timers.RunSample(timerControl, na, nb);
    const bool csmPulse = loadA && (timerControl & 0x80) != 0;

    const std::uint32_t noiseBits = noise.RunSample(nfrqBefore, nfrq);
    const std::uint8_t amBefore = lfo.Am();
    const std::uint8_t pmBefore = lfo.Pm();
    lfo.RunSample(n, lfoRate, amd, pmd, lfoBefore, LfoControl{lfoWave, (test & 2) != 0},
                  noiseBitsBefore, noiseBits);
    noiseBitsBefore = noiseBits;

    const StepTable* steps = nullptr;
    std::uint64_t steppingRates = 0;
    // Envelope ticks come in samples 2, 5, 8, ...
    if (++tickPhase == 3) {
        tickPhase = 0;
        const std::size_t table = StepTableIndex(envelopeTicks);
        steps = &kStepTables[table];
        steppingRates = kSteppingRates[table];
        ++envelopeTicks;
    }

    // Key state latched by each slot: register 8 as copied to the operators, or a CSM pulse,
    // which reaches slots 5..31 in its own sample and slots 0..4 in the next.
    const std::uint32_t keys =
        keyBits | (csmPulse ? 0xFFFFFFE0u : 0u) | (csmPulseBefore ? 0x1Fu : 0u);
    const std::uint32_t changed = keys ^ keyLatched;
    keyLatched = keys;
    unsettled |= changed;

    // Each slot looks at PM seven cycles before its slot time and at AM at its slot time; a
    // value latched at cycle 15 is seen from cycle 16 on. PMD is looked at with the PM value.
    // So slots 0..6 see the PM view `early`, 7..22 `middle`, 23..31 `late`.
    const std::uint8_t lfoPm = lfo.Pm();
    const std::array<std::uint16_t, 3> pmViews{PmSeenAs(pmdBefore, pmBefore),
                                               PmSeenAs(pmd, pmBefore), PmSeenAs(pmd, lfoPm)};
    // The slots whose view changed, among those with PM at all: their increments, and those
    // whose pitch inputs were written, are formed again (forming one again from the same inputs
    // gives the same increment, so no other needs it).
    std::uint32_t pmChanged = 0;
    if (pmViews[0] != pmViewsBefore[0]) pmChanged |= 0x0000007Fu;
    if (pmViews[1] != pmViewsBefore[1]) pmChanged |= 0x007FFF80u;
    if (pmViews[2] != pmViewsBefore[2]) pmChanged |= 0xFF800000u;
    pmViewsBefore = pmViews;
    auto pmFor = [&pmViews](std::size_t s) { return pmViews[s < 7 ? 0 : s < 23 ? 1 : 2]; };

    UpdatePitch(((pmChanged & pmSlots) | pitchDirty) & kGroupSlots, pmFor);
    UpdateAttenuation<0>(amBefore);
    RunGroup<0>();
    // Channel registers are stored on the channel's own cycle: after its M1 has sampled them,
    // before everything else of this sample.
    const bool channelWrite =
        haveWrite && write.reg >= kRegChannelControlBase && write.reg < kRegDetuneMulBase;
    if (channelWrite) ApplyChannel(write.reg, write.value);
    Sums m1;
    for (std::size_t s = 0; s < 8; ++s) {
        m1.left += out[s] & leftMask[s];
        m1.right += out[s] & rightMask[s];
    }

    // The last sample's C2 outputs reach the mix only now, gated by the new routing.
    const std::int32_t lastSlot =
        noiseEnable != 0 ? NoiseOutput(lastNoiseBit, lastSlotAttenuation) : out[31];
    std::int32_t c2Left = 0, c2Right = 0;
    for (std::size_t s = 24; s < 32; ++s) {
        c2Left += out[s] & leftMask[s];
        c2Right += out[s] & rightMask[s];
    }
    // Slot 31 is summed above as its operator; the noise value may take its place.
    leftNow += c2Left - (out[31] & leftMask[31]) + (lastSlot & leftMask[31]);
    rightBefore += c2Right - (out[31] & rightMask[31]);
    std::int32_t rightNow = lastSlot & rightMask[31];
    const std::int32_t rightFinished = rightBefore;
    if constexpr (kTap) {
        for (std::size_t c = 0; c < 7; ++c) {
            tapLeft.now[c] += out[24 + c] & leftMask[24 + c];
            tapRight.before[c] += out[24 + c] & rightMask[24 + c];
        }
        tapLeft.now[7] += lastSlot & leftMask[31];
        tapRight.now[7] += lastSlot & rightMask[31];
    }

    const std::uint8_t lfoAm = lfo.Am();
    // After a channel write, which may ask for more.
    UpdatePitch(((pmChanged & pmSlots) | pitchDirty) & ~kGroupSlots, pmFor);
    UpdateAttenuation<1>(amBefore);
    const Sums m2 = RunGroup<1>();
    UpdateAttenuation<2>(lfoAm);
    const Sums c1 = RunGroup<2>();
    UpdateAttenuation<3>(lfoAm);
    lastSlotAttenuation = attenuation4[31] / 4u;
    RunGroup<3>();  // C2 reaches the mix in the next sample
    lastNoiseBit = ((noiseBits >> 12) & 1) != 0;

    // Envelopes, after every slot has formed its output from the level as it stood: those that
    // may move without a tick, and on a tick those whose rate steps now.
    std::uint32_t moving = unsettled;
    if (steps != nullptr) {
        for (std::uint64_t rates = steppingRates & ratesInUse; rates != 0; rates &= rates - 1) {
            moving |= slotsAtRate[static_cast<std::size_t>(std::countr_zero(rates))];
        }
    }
    for (std::uint32_t bits = moving; bits != 0; bits &= bits - 1) {
        const auto s = static_cast<std::size_t>(std::countr_zero(bits));
        const auto bit = 1u << s;
        const bool keyOn = (keys & bit) != 0;
        const bool edge = keyOn && (changed & bit) != 0;
        const EnvelopeRegs& regs = slotRegs[s].envelope;
        const EnvelopePhase state = envelope[s].phase;
        UpdateEnvelope(envelope[s], regs, keyOn, edge, keyCode5[s], steps, rate[s]);
        unsettled = EnvelopeSettled(envelope[s], regs, keyOn) ? unsettled & ~bit : unsettled | bit;
        if (envelope[s].phase != state) SetRate(s, CurrentRate(envelope[s], regs, keyCode5[s]));
    }
    attenuationDirty |= moving;
    // A key-on edge starts the slot's phase from 0 in the next sample.
    for (std::uint32_t bits = keys & changed; bits != 0; bits &= bits - 1) {
        phase[static_cast<std::size_t>(std::countr_zero(bits))] = 0;
    }

    // Left takes slots 0..14 into this sample's sum and 15..23 into the next one's.
    const std::int32_t slot15Left = out[15] & leftMask[15];
    leftNow += m1.left + m2.left - slot15Left;
    leftNext += slot15Left + c1.left;
    rightNow += m1.right + m2.right + c1.right;
    if constexpr (kTap) {
        for (std::size_t s = 0; s < 24; ++s) {
            auto& left = s < 15 ? tapLeft.now : tapLeft.next;
            left[s & 7] += out[s] & leftMask[s];
            tapRight.now[s & 7] += out[s] & rightMask[s];
        }
    }

    // Per-slot registers are stored on the slot's own cycle, after it has read them; the key
    // register is copied to the channel's operators late in the sample.
    if (haveWrite && write.reg >= kRegDetuneMulBase) ApplySlot(write.reg, write.value);
    if (haveWrite && write.reg == kRegKeyOn) ApplyKeyOn(write.value);
    csmPulseBefore = csmPulse;

    const StereoSample frame{leftDone[1], rightDone};
    leftDone[1] = leftDone[0];
    leftDone[0] = DacValue(WrapAndSaturate(leftNow));
    rightDone = DacValue(WrapAndSaturate(rightFinished));
    leftNow = leftNext;
    leftNext = 0;
    rightBefore = rightNow;
    if constexpr (kTap) {
        // Each channel's sums, delayed like the mix, without the DAC's rounding.
        for (std::size_t c = 0; c < kChannelCount; ++c) {
            channelsOut[c] = StereoSample{tapLeftDone[1][c].left, tapRightDone[c].right};
            tapLeftDone[1][c].left = tapLeftDone[0][c].left;
            tapLeftDone[0][c].left = static_cast<std::int16_t>(tapLeft.now[c]);
            tapRightDone[c].right = static_cast<std::int16_t>(tapRight.before[c]);
        }
        tapLeft.now = tapLeft.next;
        tapLeft.next = {};
        tapRight.before = tapRight.now;
        tapRight.now = {};
    }
    ++sampleIndex;
    return frame;
}

YM2151::YM2151() : state_(std::make_unique<State>()) {}
YM2151::~YM2151() = default;
YM2151::YM2151(YM2151&&) noexcept = default;
YM2151& YM2151::operator=(YM2151&&) noexcept = default;

void YM2151::Reset() { state_ = std::make_unique<State>(); }

void YM2151::Write(std::uint8_t reg, std::uint8_t value) {
    state_->writes.Push(RegisterWrite{reg, value});
}

StereoSample YM2151::Generate() {
    std::array<StereoSample, kChannelCount> unused{};
    return state_->Step<false>(unused);
}

void YM2151::Generate(std::span<StereoSample> out) {
    State& st = *state_;
    std::array<StereoSample, kChannelCount> unused{};
    for (auto& frame : out) frame = st.Step<false>(unused);
}

void YM2151::Generate(std::span<StereoSample> out, std::span<ChannelFrame> channels) {
    assert(channels.size() == out.size());
    State& st = *state_;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = st.Step<true>(channels[i]);
}

StereoSample YM2151::ChannelAlone(StereoSample part) {
    return StereoSample{DacValue(WrapAndSaturate(part.left)),
                        DacValue(WrapAndSaturate(part.right))};
}

std::uint8_t YM2151::Status() const { return state_->timers.Flags(); }

bool YM2151::IrqPending() const { return state_->timers.Flags() != 0; }

std::uint64_t YM2151::SampleIndex() const { return state_->sampleIndex; }

SlotView YM2151::InspectSlot(int slot) const {
    assert(slot >= 0 && slot < kSlotCount);
    const auto si = static_cast<std::size_t>(slot & 31);
    const State& s = *state_;
    return SlotView{s.phase[si],          s.increment[si], s.envelope[si].level,
                    s.envelope[si].phase, s.keyCode5[si],  static_cast<std::int16_t>(s.out[si])};
}

}  // namespace qzr::emulator

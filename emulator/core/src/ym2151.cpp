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
    std::uint16_t tl8 = 0;  // TL in envelope units (0.75 dB = 8 units)
    std::uint8_t amsEnable = 0;
    std::uint8_t dt2 = 0;
    EnvelopeRegs envelope{};
};

constexpr std::uint16_t kPitchDirty = 0xFFFF;

// The attenuation AM adds at AM sensitivity 0..3: none, AM, 2 AM, 4 AM.
using AmTerms = std::array<std::uint32_t, 4>;
constexpr AmTerms MakeAmTerms(std::uint8_t am) { return {0u, am, 2u * am, 4u * am}; }

struct SlotState {
    std::uint32_t phase = 0;
    std::uint32_t increment = 0;
    EnvelopeSlot envelope{};
    std::uint8_t keyCode5 = 0;
    // The increment is formed again only when a pitch register was written or the PM the slot
    // sees has changed: bit 8 PM on, bits 7-0 the PM value; kPitchDirty after a write.
    std::uint16_t pmSeen = kPitchDirty;
    // Set when the envelope will not change in a sample without a tick or a key change; most
    // samples then skip the envelope entirely.
    bool envelopeSettled = false;
    // AM sensitivity as this slot applies it: AMS when AMS-EN is set, else 0.
    std::uint8_t amShift = 0;
};

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

// The outputs that `inputs` marks, summed; each is masked in without a branch.
constexpr std::int32_t SumOfInputs(std::uint8_t inputs, std::int32_t m1, std::int32_t m1Prev,
                                   std::int32_t m2, std::int32_t c1Prev) {
    auto take = [inputs](ModulationInput bit, std::int32_t value) {
        return value & -static_cast<std::int32_t>((inputs & bit) != 0);
    };
    return take(kFromM1, m1) + take(kFromM1Prev, m1Prev) + take(kFromM2, m2) +
           take(kFromC1Prev, c1Prev);
}

}  // namespace

struct YM2151::State {
    State() : operatorTables(OperatorLookup()) {}

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

    // Units.
    std::array<SlotState, kSlotCount> slots{};
    NoiseGenerator noise;
    Lfo lfo;
    Timers timers;
    std::uint16_t envelopeTicks = 0;
    std::uint8_t tickPhase = 0;  // sample index mod 3, plus one
    std::uint32_t noiseBitsBefore = 0;

    // Operator outputs: the current sample's, and the previous one's for the modulators that
    // are worked before the slot that uses them.
    std::array<std::int32_t, kSlotCount> out{};
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

    std::uint64_t sampleIndex = 0;

    WritePacer writes;

    StereoSample Step();
    void ApplyGlobal(std::uint8_t reg, std::uint8_t value);
    void ApplyChannel(std::uint8_t reg, std::uint8_t value);
    void ApplySlot(std::uint8_t reg, std::uint8_t value);
    void ApplyKeyOn(std::uint8_t value);
    // pm: bit 8 PM on (PMD non-zero as the slot saw it), bits 7-0 the latched value; am: the
    // latched AM value; keys: the key state each slot latches, changed: which differ from the
    // last sample.
    template <int Group>
    void RunSlot(int slot, std::uint16_t pm, const AmTerms& am, std::uint32_t keys,
                 std::uint32_t changed, const StepTable* steps);
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
    ChannelRegs& ch = channels[reg & 7];
    if ((reg & 0x38) != kRegChannelControlBase) {
        for (int group = 0; group < 4; ++group)
            slots[(reg & 7u) + 8u * static_cast<unsigned>(group)].pmSeen = kPitchDirty;
    }
    switch (reg & 0x38) {
        case kRegChannelControlBase:
            ch.rl = Bits(value, 6, 2);
            ch.fb = Bits(value, 3, 3);
            ch.con = Bits(value, 0, 3);
            for (int group = 0; group < 4; ++group) {
                const std::size_t slot = (reg & 7u) + 8u * static_cast<unsigned>(group);
                const bool carrier = ((kConnections[ch.con].carriers >> group) & 1) != 0;
                leftMask[slot] = carrier && (ch.rl & 1) ? -1 : 0;
                rightMask[slot] = carrier && (ch.rl & 2) ? -1 : 0;
            }
            break;
        case kRegKeyCodeBase:
            ch.kc = Bits(value, 0, 7);
            break;
        case kRegKeyFractionBase:
            ch.kf = Bits(value, 2, 6);
            break;
        default:
            ch.pms = Bits(value, 4, 3);
            ch.ams = Bits(value, 0, 2);
            for (int group = 0; group < 4; ++group) {
                const std::size_t slot = (reg & 7u) + 8u * static_cast<unsigned>(group);
                slots[slot].amShift = slotRegs[slot].amsEnable != 0 ? ch.ams : 0;
            }
            break;
    }
}

void YM2151::State::ApplySlot(std::uint8_t reg, std::uint8_t value) {
    SlotRegs& s = slotRegs[reg & 31];
    slots[reg & 31].pmSeen = kPitchDirty;
    switch (reg & 0xE0) {
        case kRegDetuneMulBase:
            s.dt1 = Bits(value, 4, 3);
            s.mul = Bits(value, 0, 4);
            break;
        case kRegTotalLevelBase:
            s.tl = Bits(value, 0, 7);
            s.tl8 = static_cast<std::uint16_t>(8 * s.tl);
            break;
        case kRegAttackBase:
            s.envelope.ks = Bits(value, 6, 2);
            s.envelope.ar = Bits(value, 0, 5);
            break;
        case kRegDecay1Base:
            s.amsEnable = Bits(value, 7, 1);
            slots[reg & 31].amShift =
                static_cast<std::uint8_t>(s.amsEnable != 0 ? channels[reg & 7].ams : 0);
            s.envelope.d1r = Bits(value, 0, 5);
            break;
        case kRegDecay2Base:
            s.dt2 = Bits(value, 6, 2);
            s.envelope.d2r = Bits(value, 0, 5);
            break;
        default:
            s.envelope.d1l = Bits(value, 4, 4);
            s.envelope.sustainBlock =
                static_cast<std::uint8_t>(2 * (s.envelope.d1l == 15 ? 31 : s.envelope.d1l));
            slots[reg & 31].envelopeSettled = false;
            s.envelope.rr = Bits(value, 0, 4);
            break;
    }
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

template <int Group>
void YM2151::State::RunSlot(int s, std::uint16_t pm, const AmTerms& am, std::uint32_t keys,
                            std::uint32_t changed, const StepTable* steps) {
    const auto si = static_cast<std::size_t>(s);
    const int chIndex = s & 7;
    const auto ci = static_cast<std::size_t>(chIndex);
    const ChannelRegs& ch = channels[ci];
    const SlotRegs& regs = slotRegs[si];
    SlotState& slot = slots[si];

    const std::uint16_t pmHere = ch.pms != 0 ? pm : 0;
    if (pmHere != slot.pmSeen) {
        const Pitch pitch = ComputePitch(PitchInputs{ch.kc, ch.kf, ch.pms, pmHere != 0,
                                                     static_cast<std::uint8_t>(pmHere & 0xFF),
                                                     regs.dt2, regs.dt1, regs.mul});
        slot.pmSeen = pmHere;
        slot.increment = pitch.increment;
        slot.keyCode5 = pitch.keyCode5;
    }

    // One clamp gives the same as clamping after AM and again after TL.
    const std::uint32_t e = std::min(1023u, slot.envelope.level + regs.tl8 + am[slot.amShift]);

    // M2 is worked before C1 of this sample, so out[] still holds C1's previous output for it,
    // and M1's output of this sample is already in out[] (its previous one in m1Before).
    std::int32_t mod;
    const Connection& connection = kConnections[ch.con];
    if constexpr (Group == 0) {
        // Feedback from M1's own outputs of the two previous samples.
        mod = ch.fb != 0 ? (out[ci] + m1Before[ci]) >> (10 - ch.fb) : 0;
    } else if constexpr (Group == 1) {
        mod = SumOfInputs(connection.m2, 0, m1Before[ci], 0, out[16 + ci]) >> 1;
    } else if constexpr (Group == 2) {
        mod = SumOfInputs(connection.c1, out[ci], 0, 0, 0) >> 1;
    } else {
        mod = SumOfInputs(connection.c2, out[ci], 0, out[8 + ci], c1Before[ci]) >> 1;
    }

    const std::int32_t value =
        FastOperatorOutput(operatorTables, static_cast<std::int32_t>(slot.phase >> 10) + mod, e);
    if constexpr (Group == 0) m1Before[ci] = out[si];
    if constexpr (Group == 2) c1Before[ci] = out[si];
    out[si] = value;

    // A settled envelope changes only by a step on a tick, or by a key change (which Step marks
    // unsettled before the slots run). A key-on edge's phase reset is made after all slots.
    if (!slot.envelopeSettled ||
        (steps != nullptr && StepSize(slot.envelope, regs.envelope, slot.keyCode5, *steps) != 0)) {
        const bool keyOn = ((keys >> s) & 1) != 0;
        const bool edge = keyOn && ((changed >> s) & 1) != 0;
        UpdateEnvelope(slot.envelope, regs.envelope, keyOn, edge, slot.keyCode5, steps);
        slot.envelopeSettled = EnvelopeSettled(slot.envelope, regs.envelope, keyOn);
    }
    slot.phase = (slot.phase + slot.increment) & 0xFFFFFu;

    if (Group == 3 && s == 31) lastSlotAttenuation = e;
}

// Everything a sample does is inlined into one loop body: the per-slot work is small and
// called 32 times a sample.
[[gnu::flatten]] StereoSample YM2151::State::Step() {
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
    // Envelope ticks come in samples 2, 5, 8, ...
    if (++tickPhase == 3) {
        tickPhase = 0;
        steps = &StepTableFor(envelopeTicks);
        ++envelopeTicks;
    }

    // Key state latched by each slot: register 8 as copied to the operators, or a CSM pulse,
    // which reaches slots 5..31 in its own sample and slots 0..4 in the next.
    const std::uint32_t keys =
        keyBits | (csmPulse ? 0xFFFFFFE0u : 0u) | (csmPulseBefore ? 0x1Fu : 0u);
    const std::uint32_t changed = keys ^ keyLatched;
    keyLatched = keys;
    for (std::uint32_t bits = changed; bits != 0; bits &= bits - 1) {
        slots[static_cast<std::size_t>(std::countr_zero(bits))].envelopeSettled = false;
    }

    // The slot loops are unrolled: every slot number is then a constant.
    // Each slot looks at PM seven cycles before its slot time and at AM at its slot time; a
    // value latched at cycle 15 is seen from cycle 16 on. PMD is looked at with the PM value.
    auto pmSeenAs = [](std::uint8_t depth, std::uint8_t value) {
        return static_cast<std::uint16_t>(depth != 0 ? 0x100 | value : 0);
    };
    const AmTerms amOld = MakeAmTerms(amBefore);
#pragma GCC unroll 8
    for (int s = 0; s < 8; ++s) {
        RunSlot<0>(s, pmSeenAs(s < 7 ? pmdBefore : pmd, pmBefore), amOld, keys, changed, steps);
    }
    // Channel registers are stored on the channel's own cycle: after its M1 has sampled them,
    // before everything else of this sample.
    const bool channelWrite =
        haveWrite && write.reg >= kRegChannelControlBase && write.reg < kRegDetuneMulBase;
    if (channelWrite) ApplyChannel(write.reg, write.value);

    // The last sample's C2 outputs reach the mix only now, gated by the new routing.
    const std::int32_t lastSlot =
        noiseEnable != 0 ? NoiseOutput(lastNoiseBit, lastSlotAttenuation) : out[31];
    for (std::size_t s = 24; s < 31; ++s) {
        leftNow += out[s] & leftMask[s];
        rightBefore += out[s] & rightMask[s];
    }
    leftNow += lastSlot & leftMask[31];
    std::int32_t rightNow = lastSlot & rightMask[31];
    const std::int32_t rightFinished = rightBefore;

    const std::uint8_t lfoAm = lfo.Am();
    const std::uint8_t lfoPm = lfo.Pm();
    const std::uint16_t pmOld = pmSeenAs(pmd, pmBefore);
    const std::uint16_t pmNew = pmSeenAs(pmd, lfoPm);
    const AmTerms amNew = MakeAmTerms(lfoAm);
#pragma GCC unroll 8
    for (int s = 8; s < 16; ++s) RunSlot<1>(s, pmOld, amOld, keys, changed, steps);
#pragma GCC unroll 8
    for (int s = 16; s < 24; ++s)
        RunSlot<2>(s, s >= 23 ? pmNew : pmOld, amNew, keys, changed, steps);
#pragma GCC unroll 8
    for (int s = 24; s < 32; ++s) RunSlot<3>(s, pmNew, amNew, keys, changed, steps);
    lastNoiseBit = ((noiseBits >> 12) & 1) != 0;
    // A key-on edge starts the slot's phase from 0 in the next sample.
    for (std::uint32_t bits = keys & changed; bits != 0; bits &= bits - 1) {
        slots[static_cast<std::size_t>(std::countr_zero(bits))].phase = 0;
    }

    for (std::size_t s = 0; s < 15; ++s) {
        leftNow += out[s] & leftMask[s];
        rightNow += out[s] & rightMask[s];
    }
    for (std::size_t s = 15; s < 24; ++s) {
        leftNext += out[s] & leftMask[s];
        rightNow += out[s] & rightMask[s];
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

StereoSample YM2151::Generate() { return state_->Step(); }

void YM2151::Generate(std::span<StereoSample> out) {
    State& st = *state_;
    for (auto& frame : out) frame = st.Step();
}

std::uint8_t YM2151::Status() const { return state_->timers.Flags(); }

bool YM2151::IrqPending() const { return state_->timers.Flags() != 0; }

std::uint64_t YM2151::SampleIndex() const { return state_->sampleIndex; }

SlotView YM2151::InspectSlot(int slot) const {
    assert(slot >= 0 && slot < kSlotCount);
    const auto si = static_cast<std::size_t>(slot & 31);
    const SlotState& s = state_->slots[si];
    return SlotView{s.phase,          s.increment, s.envelope.level,
                    s.envelope.phase, s.keyCode5,  static_cast<std::int16_t>(state_->out[si])};
}

}  // namespace qzr::emulator

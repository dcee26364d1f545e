#include "pitch.h"

#include <array>

#include "tables.h"

namespace qzr::emulator::detail {
namespace {

// PM amount in gapped pitch-code units. For the two largest sensitivities whole semitones of
// the magnitude are spread over the gapped note codes (three used codes in every four).
std::uint32_t PitchModulationAmount(std::uint8_t pms, std::uint32_t m) {
    constexpr std::array<std::uint32_t, 4> kSemitoneGroups6{0, 1, 2, 4};
    constexpr std::array<std::uint32_t, 8> kSemitoneGroups7{0, 1, 2, 4, 5, 6, 8, 9};
    switch (pms) {
        case 1:
            return m >> 5;
        case 2:
            return m >> 4;
        case 3:
            return m >> 3;
        case 4:
            return m >> 2;
        case 5:
            return m >> 1;
        case 6:
            return 2 * (32 * kSemitoneGroups6[m >> 5] + (m & 31));
        case 7:
            return 4 * (16 * kSemitoneGroups7[m >> 4] + (m & 15));
        default:
            return 0;
    }
}

constexpr std::uint32_t kTopCode = 8127;  // octave 7, C, KF 63

}  // namespace

std::uint32_t ModulatedPitchCode(std::uint32_t k, std::uint8_t pms, std::uint8_t pmValue) {
    const std::uint32_t a = PitchModulationAmount(pms, pmValue & 0x7Fu);
    if ((pmValue & 0x80u) == 0) {
        // Going up the adder skips the unused fourth note code of each group, once.
        std::uint32_t s = k + a;
        const bool carry = (k & 255) + (a & 255) >= 256;
        const bool inGap = ((s >> 6) & 3) == 3;
        bool passedTop = s > 8191;
        if (carry || inGap) {
            s += 64;
            passedTop = passedTop || s > 8191;
        }
        return passedTop ? kTopCode : s;
    }
    // Going down there is no gap check, so an unused note code can survive.
    if (a > k) return 0;
    std::uint32_t s = k - a;
    if ((k & 255) < (a & 255)) s = s >= 64 ? s - 64 : 0;
    return s;
}

std::uint32_t ApplyDetune2(std::uint32_t s, std::uint8_t dt2) {
    std::uint32_t code = s >> 6;
    std::uint32_t f = s & 63;
    const std::uint32_t p = code & 3;
    switch (dt2) {
        case 1:
            code += 8;
            break;
        case 2:
            f += 52;
            if (f < 64) {
                code += p < 2 ? 9 : 10;
            } else {
                f &= 63;
                code += p == 0 ? 10 : 11;
            }
            break;
        case 3:
            f += 32;
            if (f < 64) {
                code += 12;
            } else {
                f &= 63;
                code += p < 2 ? 13 : 14;
            }
            break;
        default:
            break;
    }
    if (code >= 128) {
        code = 126;
        f = 63;
    }
    return code << 6 | f;
}

std::uint32_t ChannelPitchCode(std::uint8_t keyCode, std::uint8_t keyFraction, std::uint8_t pms,
                               bool pmEnabled, std::uint8_t pmValue) {
    const std::uint32_t k = static_cast<std::uint32_t>(keyCode & 0x7F) << 6 | (keyFraction & 63u);
    // With no PM the chip still runs the "up" path with amount 0: that is what moves an unused
    // note code to the next note.
    const bool pm = pmEnabled && pms != 0;
    return ModulatedPitchCode(k, pm ? pms : 0, pm ? pmValue : 0);
}

Pitch SlotPitch(std::uint32_t channelCode, std::uint8_t dt2, std::uint8_t dt1, std::uint8_t mul) {
    const std::uint32_t s = ApplyDetune2(channelCode, dt2);
    const std::uint32_t code = s >> 6;
    const std::uint32_t f = s & 63;
    const std::uint32_t octave = code >> 4;
    const std::uint32_t p = code & 3;
    std::uint32_t fnum;
    if (p == 3) {
        fnum = kGapFrequencyNumbers[f & 15];
    } else {
        const std::uint32_t semitone = 3 * ((code >> 2) & 3) + p;
        fnum = kFrequencyNumbers[64 * semitone + f];
    }
    const auto keyCode5 = static_cast<std::uint8_t>(code >> 2);
    std::uint32_t base = (fnum << octave) >> 2;
    const std::uint32_t d = kDetuneTable[keyCode5][dt1 & 3u];
    base = ((dt1 & 4u) != 0 ? base - d : base + d) & 0x1FFFFu;
    const std::uint32_t inc = mul == 0 ? base >> 1 : base * mul;
    return Pitch{inc & 0xFFFFFu, keyCode5};
}

Pitch ComputePitch(const PitchInputs& in) {
    return SlotPitch(ChannelPitchCode(in.keyCode, in.keyFraction, in.pms, in.pmEnabled, in.pmValue),
                     in.dt2, in.dt1, in.mul);
}

}  // namespace qzr::emulator::detail

#include "lfo.h"

#include <bit>

namespace qzr::emulator::detail {
namespace {

std::uint16_t PrescalerReload(std::uint8_t rate) {
    const int hi = rate >> 4;
    return static_cast<std::uint16_t>(32768 - (1 << (15 - hi)));
}

// The multiplier's 8-bit waveform inputs. The half-wave bits (V7, and V8 for the triangle's
// AM) are latched at the round's first cycle from V as it stands; the rest is formed bit by bit
// from V, or from 0 while the LFO reset bit is set, even before the reset has cleared V.
std::uint32_t AmInput(std::uint16_t v, LfoWave wave, bool reset) {
    const std::uint32_t low = reset ? 0u : (v & 255u);
    switch (wave) {
        case LfoWave::Square:
            return (v & 0x80u) != 0 ? 0u : 255u;
        case LfoWave::Triangle:
            return (v & 0x100u) != 0 ? low : 255u - low;
        default:
            return 255u - low;
    }
}

std::uint32_t PmInput(std::uint16_t v, LfoWave wave, bool clocked, bool reset) {
    if (wave == LfoWave::Square) return 128;
    // While noise refills V the multiplier sees only the old sign bit, spread over all bits.
    const bool asZero = reset || (wave == LfoWave::Noise && clocked);
    const std::uint32_t low = asZero ? 0u : (v & 255u);
    // V mod 128, or 127 - (V mod 128) in the second half wave; bit 7 is V's own bit 7 (or 0)
    // against the latched V7.
    return low ^ ((v & 0x80u) != 0 ? 0xFFu : 0u);
}

std::uint32_t PmSign(std::uint16_t v, LfoWave wave) {
    return wave == LfoWave::Triangle ? (v >> 8) & 1u : (v >> 7) & 1u;
}

}  // namespace

void Lfo::RunSample(std::uint64_t n, std::uint8_t rate, std::uint8_t amd, std::uint8_t pmd,
                    LfoControl before, LfoControl now, std::uint32_t noiseBefore,
                    std::uint32_t noiseNow) {
    const std::uint64_t noiseWindow = noiseBefore | static_cast<std::uint64_t>(noiseNow) << 32;
    if (n >= 1) {
        bool mainClock = false;
        if (n % 8 == 0) {
            // The prescaler counts at cycle 30 of the last sample of each 8-sample cycle; its
            // wrap clocks round 14 and reloads it two cycles later.
            if (++prescaler_ > 32767) {
                prescaler_ = PrescalerReload(rate);
                mainClock = true;
                const int trailingOnes = std::countr_one(static_cast<unsigned>(mainClocks_));
                const int lo = rate & 15;
                extraClock_ = trailingOnes < 4 && ((lo >> (3 - trailingOnes)) & 1) != 0;
                mainClocks_ = static_cast<std::uint8_t>((mainClocks_ + 1) & 15);
            } else {
                extraClock_ = false;
            }
        }
        if (rateReloadPending_) prescaler_ = PrescalerReload(rate);
        RunRound(static_cast<int>((2 * n - 2) & 15), mainClock, before, now, amd, pmd, noiseWindow,
                 30);
    } else if (rateReloadPending_) {
        prescaler_ = PrescalerReload(rate);
    }
    rateReloadPending_ = false;
    const int r = static_cast<int>((2 * n + 15) & 15);
    RunRound(r, r == 15 && extraClock_, now, now, amd, pmd, noiseWindow, 46);
    if (r == 15) extraClock_ = false;
}

void Lfo::RunRound(int r, bool clock, LfoControl first, LfoControl rest, std::uint8_t amd,
                   std::uint8_t pmd, std::uint64_t noiseWindow, int noiseAt) {
    const int b = r & 7;
    if (r == 7) am_ = static_cast<std::uint8_t>(product_ >> 8);
    if (r == 15) {
        // The sign comes from V after a round-14 clock; the magnitude came from V before it.
        pm_ = static_cast<std::uint8_t>((product_ >> 8) ^ (PmSign(v_, rest.wave) << 7));
    }
    if (b == 0) product_ = 0;
    if (b <= 6) {
        const std::uint8_t depth = r < 8 ? amd : pmd;
        if ((depth >> (6 - b)) & 1) {
            // The input is formed bit by bit: bit 0 with the controls of the round's first cycle.
            auto input = [&](LfoControl c) {
                return r < 8 ? AmInput(v_, c.wave, c.reset) : PmInput(v_, c.wave, clock, c.reset);
            };
            const std::uint32_t xRest = input(rest);
            const bool same = first.wave == rest.wave && first.reset == rest.reset;
            const std::uint32_t x = ((same ? xRest : input(first)) & 1u) | (xRest & 0xFEu);
            product_ = static_cast<std::uint16_t>(product_ + (x << (7 - b)));
        }
    }

    if (!clock && !first.reset && !rest.reset) return;
    if (!first.reset && !rest.reset && first.wave == rest.wave) {
        // A clock with the controls unchanged: the bit-serial update below, all at once.
        if (first.wave == LfoWave::Noise) {
            v_ = static_cast<std::uint16_t>(noiseWindow >> noiseAt);
        } else {
            v_ = static_cast<std::uint16_t>(v_ + (first.wave == LfoWave::Triangle ? 2 : 1));
        }
        return;
    }
    // V is rewritten bit-serially, bit k at round-cycle k. The size of the step (+1, +2) is
    // settled at the first cycle.
    const std::uint32_t step = !clock                            ? 0u
                               : first.wave == LfoWave::Triangle ? 2u
                               : first.wave == LfoWave::Noise    ? 0u
                                                                 : 1u;
    std::uint32_t carry = 0;
    std::uint32_t next = 0;
    for (int k = 0; k < 16; ++k) {
        const LfoControl& c = k == 0 ? first : rest;
        const std::uint32_t old = c.reset ? 0u : (v_ >> k) & 1u;
        std::uint32_t bit;
        if (c.wave == LfoWave::Noise) {
            bit = clock ? static_cast<std::uint32_t>((noiseWindow >> (noiseAt + k)) & 1u) : old;
            carry = 0;
        } else {
            const std::uint32_t sum = old + ((step >> k) & 1u) + carry;
            bit = sum & 1u;
            carry = sum >> 1;
        }
        next |= bit << k;
    }
    v_ = static_cast<std::uint16_t>(next);
}

}  // namespace qzr::emulator::detail

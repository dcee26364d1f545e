#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzr::test {

// One side of interleaved stereo frames.
std::vector<double> Channel(std::span<const std::int16_t> interleaved, int channel);

// The fundamental of a steady tone, from the first and last rising zero crossings (each placed
// between its two samples by linear interpolation). 0 when fewer than two crossings.
double ToneFrequency(std::span<const double> samples, double sampleRate);

// Distance from `reference` in cents (100 to a semitone).
double Cents(double frequency, double reference);

// Largest absolute sample value.
double Peak(std::span<const double> samples);

// The fundamental of one side of interleaved frames at `sampleRate`, after the first 100 ms
// (attack and resampler start-up); expects the tone to be loud (peak above 1000).
double SteadyFrequency(std::span<const std::int16_t> interleaved, int channel, int sampleRate);

// The chip's key code that the player's table gives o4 a (0x4C, A# at the usual clock): at the
// library's clock it sounds at 440 Hz.
inline constexpr int kKeyCodeO4A = 0x4C;

// A single sine on channel 0 through `write(reg, value)`: connection 7, only C2 heard, both
// outputs, MUL 1, full level, keyed on at `keyCode`.
template <typename WriteFn>
void KeyOnSine(WriteFn write, int keyCode) {
    write(0x20, 0xC7);                                                   // RL both, FB 0, CON 7
    for (const int slot : {0x00, 0x08, 0x10}) write(0x60 + slot, 0x7F);  // M1, M2, C1 silent
    write(0x40 + 0x18, 0x01);                                            // DT1 0, MUL 1
    write(0x60 + 0x18, 0x00);                                            // TL 0
    write(0x80 + 0x18, 0x1F);                                            // AR 31
    write(0xE0 + 0x18, 0x0F);                                            // D1L 0, RR 15
    write(0x28, keyCode);
    write(0x08, 0x40);  // key on C2 of channel 0
}

}  // namespace qzr::test

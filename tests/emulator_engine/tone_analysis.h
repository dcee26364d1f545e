#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qzr::emulator::test {

// One side of interleaved stereo frames.
std::vector<double> Channel(std::span<const std::int16_t> interleaved, int channel);

// The fundamental of a steady tone, from the first and last rising zero crossings (each placed
// between its two samples by linear interpolation). 0 when fewer than two crossings.
double ToneFrequency(std::span<const double> samples, double sampleRate);

// Distance from `reference` in cents (100 to a semitone).
double Cents(double frequency, double reference);

// Largest absolute sample value.
double Peak(std::span<const double> samples);

}  // namespace qzr::emulator::test

#pragma once

#include <cstdint>
#include <span>
#include <string>

// The level of a render as it is written: its peak and the samples at full scale, which on a
// 16-bit output are the ones the music lost (clipped by the gain or already by the mix).
namespace qzr::tools {

class SoundLevel {
public:
    void Measure(std::span<const std::int16_t> samples);

    int Peak() const { return peak_; }
    std::uint64_t Clipped() const { return clipped_; }
    // "peak -6.0 dBFS, 0 samples clipped"; a silent render says "silent".
    std::string Describe() const;

private:
    int peak_ = 0;
    std::uint64_t clipped_ = 0;
};

// 10^(dB / 20): the factor a gain in decibels multiplies the samples by.
double GainFactor(double decibels);

// Scales each sample by `factor`, rounded, saturating at the 16-bit range.
void ApplyGain(std::span<std::int16_t> samples, double factor);

}  // namespace qzr::tools

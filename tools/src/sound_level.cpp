#include "sound_level.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace qzr::tools {
namespace {

constexpr int kFullScale = std::numeric_limits<std::int16_t>::max();

}  // namespace

void SoundLevel::Measure(std::span<const std::int16_t> samples) {
    for (const std::int16_t sample : samples) {
        // -32768 is as loud as 32767: both are the end of the range.
        const int magnitude = std::min(std::abs(int{sample}), kFullScale);
        peak_ = std::max(peak_, magnitude);
        if (magnitude == kFullScale) ++clipped_;
    }
}

std::string SoundLevel::Describe() const {
    std::array<char, 96> text{};
    const unsigned long long clipped = clipped_;
    if (peak_ == 0) {
        std::snprintf(text.data(), text.size(), "silent");
    } else {
        const double dbfs = 20.0 * std::log10(static_cast<double>(peak_) / kFullScale);
        std::snprintf(text.data(), text.size(), "peak %.1f dBFS, %llu sample%s clipped", dbfs,
                      clipped, clipped == 1 ? "" : "s");
    }
    return text.data();
}

double GainFactor(double decibels) { return std::pow(10.0, decibels / 20.0); }

void ApplyGain(std::span<std::int16_t> samples, double factor) {
    constexpr double kLowest = std::numeric_limits<std::int16_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int16_t>::max();
    for (std::int16_t& sample : samples) {
        const double scaled = std::round(static_cast<double>(sample) * factor);
        sample = static_cast<std::int16_t>(std::clamp(scaled, kLowest, kHighest));
    }
}

}  // namespace qzr::tools

#include "qzr/test_support/tone_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace qzr::test {

std::vector<double> Channel(std::span<const std::int16_t> interleaved, int channel) {
    std::vector<double> out;
    out.reserve(interleaved.size() / 2);
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += 2) {
        out.push_back(interleaved[i]);
    }
    return out;
}

double ToneFrequency(std::span<const double> samples, double sampleRate) {
    double first = -1.0;
    double last = -1.0;
    long crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const double a = samples[i - 1];
        const double b = samples[i];
        if (a < 0.0 && b >= 0.0) {
            const double at = static_cast<double>(i - 1) + (-a) / (b - a);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return static_cast<double>(crossings - 1) * sampleRate / (last - first);
}

double Cents(double frequency, double reference) {
    return 1200.0 * std::log2(frequency / reference);
}

double Peak(std::span<const double> samples) {
    double peak = 0.0;
    for (const double v : samples) peak = std::max(peak, std::abs(v));
    return peak;
}

double SteadyFrequency(std::span<const std::int16_t> interleaved, int channel, int sampleRate) {
    const auto side = Channel(interleaved, channel);
    const auto skip = std::min(side.size(), static_cast<std::size_t>(sampleRate / 10));
    const std::span<const double> steady(side.begin() + static_cast<std::ptrdiff_t>(skip),
                                         side.end());
    EXPECT_GT(Peak(steady), 1000.0);
    return ToneFrequency(steady, sampleRate);
}

}  // namespace qzr::test

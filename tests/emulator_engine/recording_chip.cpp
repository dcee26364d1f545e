#include "recording_chip.h"

#include <cmath>
#include <numbers>

#include "qzr/emulator_engine/engine.h"

namespace qzr::emulator::test {

RecordingChip::RecordingChip(double amplitude, double frequencyHz)
    : amplitude_(amplitude), step_(2.0 * std::numbers::pi * frequencyHz / kNativeRateHz) {
    events_.reserve(1 << 16);
}

void RecordingChip::Reset() { events_.push_back({generated_, true, 0, 0}); }

void RecordingChip::Write(std::uint8_t reg, std::uint8_t value) {
    if (lastWriteSample_ == generated_) twoInOneSample_ = true;
    lastWriteSample_ = generated_;
    events_.push_back({generated_, false, reg, value});
}

StereoSample RecordingChip::Generate() {
    const auto value = static_cast<std::int16_t>(std::lround(amplitude_ * std::sin(phase_)));
    phase_ = std::fmod(phase_ + step_, 2.0 * std::numbers::pi);
    ++generated_;
    return {value, value};
}

}  // namespace qzr::emulator::test

#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "qzr/emulator_engine/chip.h"

namespace qzr::emulator::test {

// What reached the chip before which native sample.
struct ChipEvent {
    std::uint64_t sample = 0;  // the Generate() call it preceded, counted from 0
    bool reset = false;
    std::uint8_t reg = 0;
    std::uint8_t value = 0;
    friend bool operator==(const ChipEvent&, const ChipEvent&) = default;
    friend std::ostream& operator<<(std::ostream& out, const ChipEvent& e) {
        if (e.reset) return out << "{" << e.sample << ": reset}";
        return out << "{" << e.sample << ": " << int{e.reg} << " = " << int{e.value} << "}";
    }
};

// A chip that records every reset and write with the sample it preceded, and sounds a fixed
// waveform so the output path can be measured: a sine of `amplitude` at `frequencyHz` of the
// native rate on both sides. Only the rendering thread touches it while the engine runs.
class RecordingChip final : public Chip {
public:
    RecordingChip(double amplitude = 0.0, double frequencyHz = 1000.0);

    void Reset() override;
    void Write(std::uint8_t reg, std::uint8_t value) override;
    StereoSample Generate() override;

    const std::vector<ChipEvent>& Events() const { return events_; }
    std::uint64_t SamplesGenerated() const { return generated_; }
    // More than one write before the same sample: the engine broke its pacing.
    bool SawTwoWritesInOneSample() const { return twoInOneSample_; }

private:
    double amplitude_;
    double step_;
    double phase_ = 0.0;
    std::vector<ChipEvent> events_;
    std::uint64_t generated_ = 0;
    std::uint64_t lastWriteSample_ = UINT64_MAX;
    bool twoInOneSample_ = false;
};

}  // namespace qzr::emulator::test

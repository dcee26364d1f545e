#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "qzr/emulator_core/ym2151.h"

namespace qzr::emulator::test {

// A register program: each write is made just before the sample it is placed at, one write
// per sample, as a program waiting for the busy flag would make them.
class Program {
public:
    // The next write goes before sample `sample` (never earlier than the last one).
    Program& At(std::uint64_t sample);
    Program& Wait(std::uint64_t samples) { return At(next_ + samples); }
    Program& Write(std::uint8_t reg, std::uint8_t value);
    // The sample the next write will be made before.
    std::uint64_t Next() const { return next_; }

    // A plain sine on one operator slot: MUL 1, no detune, TL, instant attack, no decay,
    // release rate rr.
    Program& SineSlot(int slot, std::uint8_t tl = 0, std::uint8_t rr = 15);
    // Channel routing: RL (bit 1 right, bit 0 left), feedback, connection.
    Program& Channel(int ch, std::uint8_t rl, std::uint8_t fb, std::uint8_t con);
    Program& Pitch(int ch, std::uint8_t kc, std::uint8_t kf = 0);
    // Key register 0x08: operator mask bit 0 M1, 1 M2, 2 C1, 3 C2.
    Program& Key(int ch, std::uint8_t operators);

    struct TimedWrite {
        std::uint64_t sample;
        std::uint8_t reg;
        std::uint8_t value;
    };
    const std::vector<TimedWrite>& Writes() const { return writes_; }

private:
    std::uint64_t next_ = 0;
    std::vector<TimedWrite> writes_;
};

// Runs the program on `chip` for `samples` samples; `afterSample(n, frame)` sees each frame.
void Run(YM2151& chip, const Program& program, std::uint64_t samples,
         const std::function<void(std::uint64_t, StereoSample)>& afterSample);

// Renders on a fresh chip.
std::vector<StereoSample> Render(const Program& program, std::uint64_t samples);

std::vector<double> Left(const std::vector<StereoSample>& frames, std::size_t from = 0);

// Frequency of a periodic signal from its rising zero crossings (linear interpolation), in
// cycles per sample; 0 when fewer than two crossings.
double CrossingFrequency(const std::vector<double>& signal);

// Magnitude of the signal's component at `cyclesPerSample` (Hann-windowed DFT bin).
double ToneMagnitude(const std::vector<double>& signal, double cyclesPerSample);

inline constexpr double kNativeRate = 3'579'545.0 / 64.0;

}  // namespace qzr::emulator::test

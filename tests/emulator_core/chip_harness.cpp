#include "chip_harness.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace qzr::emulator::test {

Program& Program::At(std::uint64_t sample) {
    assert(sample >= next_);
    next_ = sample;
    return *this;
}

Program& Program::Write(std::uint8_t reg, std::uint8_t value) {
    writes_.push_back({next_, reg, value});
    ++next_;
    return *this;
}

Program& Program::SineSlot(int slot, std::uint8_t tl, std::uint8_t rr) {
    const auto s = static_cast<std::uint8_t>(slot);
    Write(static_cast<std::uint8_t>(0x40 + s), 0x01);  // DT1 0, MUL 1
    Write(static_cast<std::uint8_t>(0x60 + s), tl);
    Write(static_cast<std::uint8_t>(0x80 + s), 0x1F);  // KS 0, AR 31
    Write(static_cast<std::uint8_t>(0xA0 + s), 0x00);
    Write(static_cast<std::uint8_t>(0xC0 + s), 0x00);
    return Write(static_cast<std::uint8_t>(0xE0 + s), rr);
}

Program& Program::Channel(int ch, std::uint8_t rl, std::uint8_t fb, std::uint8_t con) {
    return Write(static_cast<std::uint8_t>(0x20 + ch),
                 static_cast<std::uint8_t>(rl << 6 | fb << 3 | con));
}

Program& Program::Pitch(int ch, std::uint8_t kc, std::uint8_t kf) {
    Write(static_cast<std::uint8_t>(0x28 + ch), kc);
    return Write(static_cast<std::uint8_t>(0x30 + ch), static_cast<std::uint8_t>(kf << 2));
}

Program& Program::Key(int ch, std::uint8_t operators) {
    const int m1 = operators & 1, m2 = (operators >> 1) & 1, c1 = (operators >> 2) & 1,
              c2 = (operators >> 3) & 1;
    return Write(0x08, static_cast<std::uint8_t>(ch | m1 << 3 | c1 << 4 | m2 << 5 | c2 << 6));
}

void Run(YM2151& chip, const Program& program, std::uint64_t samples,
         const std::function<void(std::uint64_t, StereoSample)>& afterSample) {
    std::size_t next = 0;
    const auto& writes = program.Writes();
    for (std::uint64_t n = 0; n < samples; ++n) {
        while (next < writes.size() && writes[next].sample == n) {
            chip.Write(writes[next].reg, writes[next].value);
            ++next;
        }
        const StereoSample frame = chip.Generate();
        if (afterSample) afterSample(n, frame);
    }
}

std::vector<StereoSample> Render(const Program& program, std::uint64_t samples) {
    YM2151 chip;
    std::vector<StereoSample> frames;
    frames.reserve(static_cast<std::size_t>(samples));
    Run(chip, program, samples, [&](std::uint64_t, StereoSample f) { frames.push_back(f); });
    return frames;
}

std::vector<double> Left(const std::vector<StereoSample>& frames, std::size_t from) {
    std::vector<double> out;
    for (std::size_t i = from; i < frames.size(); ++i) out.push_back(frames[i].left);
    return out;
}

double CrossingFrequency(const std::vector<double>& signal) {
    double first = -1.0, last = -1.0;
    int count = 0;
    for (std::size_t i = 1; i < signal.size(); ++i) {
        if (signal[i - 1] < 0.0 && signal[i] >= 0.0) {
            const double t =
                static_cast<double>(i - 1) + -signal[i - 1] / (signal[i] - signal[i - 1]);
            if (count == 0) first = t;
            last = t;
            ++count;
        }
    }
    return count < 2 ? 0.0 : (count - 1) / (last - first);
}

double ToneMagnitude(const std::vector<double>& signal, double cyclesPerSample) {
    double re = 0.0, im = 0.0;
    const double n = static_cast<double>(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double t = static_cast<double>(i);
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / n);
        const double angle = 2.0 * std::numbers::pi * cyclesPerSample * t;
        re += w * signal[i] * std::cos(angle);
        im -= w * signal[i] * std::sin(angle);
    }
    return std::sqrt(re * re + im * im) / (0.25 * n);
}

}  // namespace qzr::emulator::test

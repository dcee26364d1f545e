#pragma once

// The loads the core's benchmarks run: a full chord (eight channels, four operators each) and the
// worst case the chip can be asked for.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "qzr/emulator_core/ym2151.h"

namespace qzr::bench {

using qzr::emulator::StereoSample;
using qzr::emulator::YM2151;

// Writes one register and computes the sample it precedes, as a program waiting for the busy
// flag would.
inline void Write(YM2151& chip, std::uint8_t reg, std::uint8_t value) {
    chip.Write(reg, value);
    chip.Generate();
}

// Eight channels, four operators each, all sounding: a sustained chord with slow decays, so
// every operator stays audible and every envelope keeps stepping.
inline void KeyOnFullChord(YM2151& chip) {
    Write(chip, 0x18, 0xC8);
    Write(chip, 0x19, 0x20);
    Write(chip, 0x19, 0x90);
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        Write(chip, static_cast<std::uint8_t>(0x20 + ch),
              static_cast<std::uint8_t>(0xC0 | 5 << 3 | ch));
        Write(chip, static_cast<std::uint8_t>(0x28 + ch), static_cast<std::uint8_t>(0x30 + ch * 5));
        Write(chip, static_cast<std::uint8_t>(0x38 + ch), 0x21);
        for (std::uint8_t op = 0; op < 4; ++op) {
            const auto slot = static_cast<std::uint8_t>(ch + 8 * op);
            Write(chip, static_cast<std::uint8_t>(0x40 + slot),
                  static_cast<std::uint8_t>(0x31 + op));
            Write(chip, static_cast<std::uint8_t>(0x60 + slot), op == 3 ? 8 : 30);
            Write(chip, static_cast<std::uint8_t>(0x80 + slot), 0x5F);
            Write(chip, static_cast<std::uint8_t>(0xA0 + slot), 0x83);
            Write(chip, static_cast<std::uint8_t>(0xC0 + slot), 0x02);
            Write(chip, static_cast<std::uint8_t>(0xE0 + slot), 0x24);
        }
        Write(chip, 0x08, static_cast<std::uint8_t>(0x78 | ch));
    }
}

// The most the chip can be asked to do: the LFO at its fastest with full depths and every
// channel at the largest sensitivities (so every slot's pitch moves at each PM latch and its
// level at each AM latch), noise on, all 32 operators loud with moving envelopes, every
// connection once, and the keys of every channel changed every 2.3 ms (see RunWorstCase).
inline void SetUpWorstCase(YM2151& chip) {
    Write(chip, 0x18, 0xFF);
    Write(chip, 0x19, 0x7F);
    Write(chip, 0x19, 0xFF);
    Write(chip, 0x1B, 0x02);
    Write(chip, 0x0F, 0x80 | 28);
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        Write(chip, static_cast<std::uint8_t>(0x20 + ch),
              static_cast<std::uint8_t>(0xC0 | 7 << 3 | ch));
        Write(chip, static_cast<std::uint8_t>(0x28 + ch), static_cast<std::uint8_t>(0x20 + ch * 9));
        Write(chip, static_cast<std::uint8_t>(0x30 + ch), static_cast<std::uint8_t>(ch * 28));
        Write(chip, static_cast<std::uint8_t>(0x38 + ch), 0x73);
        for (std::uint8_t op = 0; op < 4; ++op) {
            const auto slot = static_cast<std::uint8_t>(ch + 8 * op);
            Write(chip, static_cast<std::uint8_t>(0x40 + slot),
                  static_cast<std::uint8_t>((op + ch) % 8 << 4 | (op + 1)));
            Write(chip, static_cast<std::uint8_t>(0x60 + slot), static_cast<std::uint8_t>(4 * op));
            Write(chip, static_cast<std::uint8_t>(0x80 + slot), static_cast<std::uint8_t>(0xDA));
            Write(chip, static_cast<std::uint8_t>(0xA0 + slot), 0x8C);
            Write(chip, static_cast<std::uint8_t>(0xC0 + slot),
                  static_cast<std::uint8_t>(op << 6 | 0x06));
            Write(chip, static_cast<std::uint8_t>(0xE0 + slot), 0x36);
        }
        Write(chip, 0x08, static_cast<std::uint8_t>(0x78 | ch));
    }
}

// Every 16 samples one channel's keys change, in turn: off, then on again 128 samples later.
inline void RunWorstCase(YM2151& chip, std::span<StereoSample> buffer, unsigned& turn) {
    constexpr std::size_t kBlock = 16;
    for (std::size_t at = 0; at + kBlock <= buffer.size(); at += kBlock) {
        const unsigned ch = turn % 8;
        const bool on = (turn / 8) % 2 == 0;
        chip.Write(0x08, static_cast<std::uint8_t>((on ? 0x78 : 0) | ch));
        ++turn;
        chip.Generate(buffer.subspan(at, kBlock));
    }
}

inline void Report(benchmark::State& state, std::size_t samplesPerIteration) {
    const double samples =
        static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.SetItemsProcessed(static_cast<std::int64_t>(samples));
    // Real-time factor at the native rate of the usual clock.
    const double nativeRate = 3'579'545.0 / 64.0;
    state.counters["realtime_x"] =
        benchmark::Counter(samples / nativeRate, benchmark::Counter::kIsRate);
}

}  // namespace qzr::bench

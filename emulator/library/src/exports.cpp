#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>

#include "library_engine.h"
#include "qzr/emulator_engine/engine.h"
#include "qzr/x68sound.h"

namespace {

using qzr::emulator::Engine;
using qzr::emulator::Output;
using qzr::emulator::StartOptions;
using qzr::emulator::StartResult;

// Each thread keeps its own selected register, so writes from two threads never mix halves.
thread_local std::uint8_t tSelectedRegister = 0;

// Words from the caller, narrowed without overflow.
int ToInt(std::intptr_t word) {
    return static_cast<int>(std::clamp<std::intptr_t>(word, INT_MIN, INT_MAX));
}

std::uint8_t LowByte(std::intptr_t word) { return static_cast<std::uint8_t>(word & 0xFF); }

int StartWith(Output output, std::intptr_t rate, std::intptr_t fm, std::intptr_t tickPeriodMs,
              std::intptr_t bufferCount, std::intptr_t latencyMs) {
    StartOptions options;
    options.sampleRate = ToInt(rate);
    options.fmEnabled = fm != 0;
    options.tickPeriodMs = ToInt(tickPeriodMs);
    options.bufferCount = ToInt(bufferCount);
    options.latencyMs = ToInt(latencyMs);
    options.output = output;
    if (qzr::emulator::LibraryEngine().Start(options) != StartResult::Started) return -1;
    qzr::emulator::OutputStarted();
    return 0;
}

}  // namespace

extern "C" QZR_X68SOUND_API int X68Sound_Start(std::intptr_t rate, std::intptr_t fm,
                                               std::intptr_t /*other*/, std::intptr_t tickPeriodMs,
                                               std::intptr_t bufferCount, std::intptr_t latencyMs,
                                               std::intptr_t /*reserved*/) noexcept {
    return StartWith(Output::DeviceOrSilentClock, rate, fm, tickPeriodMs, bufferCount, latencyMs);
}

extern "C" QZR_X68SOUND_API int X68Sound_Free() noexcept {
    qzr::emulator::Engine& engine = qzr::emulator::LibraryEngine();
    engine.Stop();
    // From inside a tick nothing stopped, and the threads still run.
    if (engine.Active() == qzr::emulator::ActiveOutput::None) qzr::emulator::OutputStopped();
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_Reset() noexcept {
    qzr::emulator::LibraryEngine().Reset();
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_OpmReg(std::intptr_t reg) noexcept {
    tSelectedRegister = LowByte(reg);
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_OpmPoke(std::intptr_t data) noexcept {
    qzr::emulator::LibraryEngine().Write(tSelectedRegister, LowByte(data));
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_TotalVolume(std::intptr_t volume) noexcept {
    qzr::emulator::LibraryEngine().SetTotalVolume(ToInt(volume));
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_BetwInt(std::intptr_t tickProcedure) noexcept {
    qzr::emulator::LibraryEngine().SetTickProcedure(
        reinterpret_cast<qzr::emulator::TickProcedure>(tickProcedure));
    return 0;
}

extern "C" QZR_X68SOUND_API int X68Sound_StartOffline(
    std::intptr_t rate, std::intptr_t fm, std::intptr_t /*other*/, std::intptr_t tickPeriodMs,
    std::intptr_t bufferCount, std::intptr_t latencyMs, std::intptr_t /*reserved*/) noexcept {
    return StartWith(Output::Offline, rate, fm, tickPeriodMs, bufferCount, latencyMs);
}

extern "C" QZR_X68SOUND_API int X68Sound_Render(std::intptr_t buffer,
                                                std::intptr_t frames) noexcept {
    if (buffer == 0 || frames <= 0) return 0;
    const auto count = static_cast<std::size_t>(ToInt(frames));
    auto* samples = reinterpret_cast<std::int16_t*>(buffer);
    return static_cast<int>(
        qzr::emulator::LibraryEngine().Render(std::span<std::int16_t>(samples, count * 2)));
}

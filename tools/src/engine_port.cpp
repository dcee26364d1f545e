#include "qzr/tools/engine_port.h"

#include "qzr/format/ym2151_registers.h"

namespace qzr::tools {
namespace {

using ym2151::kRegKeyOn;
constexpr std::uint8_t kChannelBits = ym2151::kKeyOnChannelMask;
constexpr std::uint8_t kSlotBits = ym2151::kKeyOnSlotMask;

// The engine calls a plain procedure; these carry the player's tick and the observer to it.
std::atomic<player::TickProcedure> gPlayerTick{nullptr};
std::atomic<player::TickProcedure> gAfterTick{nullptr};
// The tick limit: ticks the player has had since the hand-over, and the port to silence.
std::atomic<std::uint64_t> gTickLimit{0};
std::atomic<std::uint64_t> gTicksGiven{0};
std::atomic<EnginePort*> gLimitedPort{nullptr};

void RelayTick() {
    const player::TickProcedure tick = gPlayerTick.load();
    if (tick == nullptr) return;
    const std::uint64_t limit = gTickLimit.load();
    const std::uint64_t given = gTicksGiven.fetch_add(1) + 1;
    if (limit != 0 && given > limit) {
        if (given == limit + 1) {
            if (EnginePort* port = gLimitedPort.load()) port->KeyOffAll();
        }
        return;
    }
    tick();
    if (const player::TickProcedure observer = gAfterTick.load()) observer();
}

// The tick and the host may select registers at the same time; each keeps its own.
thread_local std::uint8_t tSelected = 0;

int ToStartResult(emulator::StartResult result) {
    return result == emulator::StartResult::Started ? 0 : -1;
}

}  // namespace

EnginePort::EnginePort(emulator::Engine& engine, emulator::Output output)
    : engine_(engine), output_(output) {}

void EnginePort::SetAfterTick(player::TickProcedure observer) { gAfterTick.store(observer); }

int EnginePort::Start(const player::StartArguments& arguments) {
    emulator::StartOptions options;
    options.sampleRate = arguments.sampleRate;
    options.fmEnabled = arguments.fmEnabled != 0;
    options.tickPeriodMs = arguments.tickPeriod;
    options.bufferCount = arguments.bufferCount;
    options.latencyMs = arguments.latency;
    options.output = output_;
    options.channelStems = stems_;
    options.channelMeters = meters_;
    const int result = ToStartResult(engine_.Start(options));
    // Stop forgets the tick procedure; the relay has to be in place for the next song.
    engine_.SetTickProcedure(&RelayTick);
    return result;
}

int EnginePort::Free() {
    gPlayerTick.store(nullptr);
    gLimitedPort.store(nullptr);
    gTickLimit.store(0);
    engine_.Stop();
    sounding_.store(0);
    return 0;
}

int EnginePort::Reset() {
    engine_.Reset();
    sounding_.store(0);
    return 0;
}

int EnginePort::OpmReg(std::uint8_t reg) {
    tSelected = reg;
    return 0;
}

int EnginePort::OpmPoke(std::uint8_t data) {
    WriteRegister(tSelected, data);
    return 0;
}

void EnginePort::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    if (reg == kRegKeyOn) {
        const auto bit = static_cast<std::uint8_t>(1u << (value & kChannelBits));
        if ((muted_.load() & bit) != 0) value &= kChannelBits;
        if ((value & kSlotBits) != 0) {
            sounding_.fetch_or(bit);
        } else {
            sounding_.fetch_and(static_cast<std::uint8_t>(~bit));
        }
    }
    engine_.Write(reg, value);
}

int EnginePort::TotalVolume(std::int32_t volume) {
    engine_.SetTotalVolume(volume);
    return 0;
}

void EnginePort::SetTickLimit(std::uint64_t ticks) {
    gTickLimit.store(ticks);
    gLimitedPort.store(ticks != 0 ? this : nullptr);
}

void EnginePort::KeyOffAll() {
    for (std::uint8_t channel = 0; channel < ym2151::kChannelCount; ++channel)
        WriteRegister(kRegKeyOn, channel);
}

int EnginePort::BetwInt(player::TickProcedure tick) {
    gTicksGiven.store(0);
    gPlayerTick.store(tick);
    engine_.SetTickProcedure(&RelayTick);
    return 0;
}

}  // namespace qzr::tools

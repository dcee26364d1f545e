#pragma once

#include <atomic>
#include <cstdint>

#include "qzr/emulator_engine/engine.h"
#include "qzr/player_core/chip_port.h"

namespace qzr::tools {

// The player's chip port bound straight to an in-process emulator engine, so qzr runs exactly
// the player and chip code the window plays, without loading either by name.
//
// It also sees every key write, which gives muting (a muted channel's key-ons become key-offs)
// and the set of channels sounding. Channel bits: bit c is chip channel c (MML "ch" c + 1).
class EnginePort final : public player::ChipPort {
public:
    EnginePort(emulator::Engine& engine, emulator::Output output);

    void SetMutedChannels(std::uint8_t mask) { muted_.store(mask); }
    // Offline only, before the player starts the engine: each channel's stem beside the mix
    // (Engine::RenderWithStems).
    void SetChannelStems(bool stems) { stems_ = stems; }
    // Before the player starts the engine: each channel's level kept for a meter
    // (Engine::TakeChannelPeaks).
    void SetChannelMeters(bool meters) { meters_ = meters; }
    // Channels keyed on and not keyed off since; any thread.
    std::uint8_t SoundingChannels() const { return sounding_.load(); }
    // Writes straight to the chip from the host, e.g. key-offs once the tick is detached.
    void WriteRegister(std::uint8_t reg, std::uint8_t value);

    int Start(const player::StartArguments& arguments) override;
    int Free() override;
    int Reset() override;
    int OpmReg(std::uint8_t reg) override;
    int OpmPoke(std::uint8_t data) override;
    int TotalVolume(std::int32_t volume) override;
    int BetwInt(player::TickProcedure tick) override;

    // Called on the rendering thread after every player tick; null for none. One observer per
    // process, as there is one player.
    static void SetAfterTick(player::TickProcedure observer);

    // Lets only the first `ticks` ticks after the next hand-over reach the player; the tick after
    // them keys every channel off, so the song ends with its release instead of starting over.
    // 0: no limit. Set before the song is handed over.
    void SetTickLimit(std::uint64_t ticks);
    void KeyOffAll();

private:
    emulator::Engine& engine_;
    emulator::Output output_;
    bool stems_ = false;
    bool meters_ = false;
    std::atomic<std::uint8_t> muted_{0};
    std::atomic<std::uint8_t> sounding_{0};
};

}  // namespace qzr::tools

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "qzr/emulator_engine/engine.h"
#include "qzr/format/song_image.h"

namespace qzr::tools {

// A song playing in real time through the player on the in-process engine (the sound device, or
// the silent clock where there is none), which another song can take over at the row playing:
// what `qzr play --watch` and the studio's live editing share. One at a time in a process, as
// there is one player.
//
// The player always starts a song at row 0, so a song played from a later row is handed over
// with its rows turned (RotateRowsKeepingHeldNotes): notes held at that row sound at once.
class LivePlayback {
public:
    explicit LivePlayback(emulator::Output output = emulator::Output::DeviceOrSilentClock);
    ~LivePlayback();  // stops as Stop does
    LivePlayback(const LivePlayback&) = delete;
    LivePlayback& operator=(const LivePlayback&) = delete;

    // Starts the emulator (a short latency, so an edit is heard soon); false when it cannot.
    // With meters, each channel's level is kept for ChannelLevels.
    bool Start(bool meters = false);
    bool Started() const;
    bool OnSilentClock() const;

    // Plays `song` from its row `first` (below its row count, or 0). False with the reason when
    // the song cannot be handed over; the song playing before plays on.
    bool Play(const SongImage& song, int first, std::string& error);
    // Plays `song` from the row the one playing has reached (its row count permitting); the row
    // it took over at in `from`.
    bool TakeOver(const SongImage& song, int& from, std::string& error);

    // The song's row the player plays next, the passes since Play (each wrap to row 0), the
    // ticks since Play; any thread.
    int Row() const;
    int Passes() const;
    std::int64_t Ticks() const;
    // Chip channels keyed on and not keyed off since (bit c: channel c).
    std::uint8_t SoundingChannels() const;
    // Muted channels are silent from now on: a note sounding in one is keyed off at once, and
    // its key-ons become key-offs (bit c: chip channel c).
    void SetMutedChannels(std::uint8_t mask);
    std::uint8_t MutedChannels() const;
    // Each chip channel's loudest value (0 to 32,768) since the last call; all 0 unless started
    // with meters.
    emulator::Engine::ChannelPeaks TakeChannelLevels();
    // How the output keeps up since Start (the engine's OutputLoad); any thread.
    emulator::OutputLoad Load() const;
    // Lets only the first `ticks` ticks of the next Play reach the player, then releases the
    // notes (0: no limit).
    void SetTickLimit(std::uint64_t ticks);

    // No more rows, every note released, the level brought down over 150 ms (a cut would click),
    // then the emulator stopped. Harmless when not started.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qzr::tools

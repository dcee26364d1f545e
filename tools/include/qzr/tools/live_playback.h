#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
    // Rows of a song played over and over: `count` of them from `first` on.
    struct RowLoop {
        int first = 0;
        int count = 0;
        friend bool operator==(const RowLoop&, const RowLoop&) = default;
    };
    // Plays the rows of `loop` (cut at the song's end) over and over, from its row `from` (from
    // its first row when `from` is not one of them); each return to the loop's first row is a
    // pass. False with the reason when the rows are not in the song or it cannot be handed over.
    bool PlayLoop(const SongImage& song, RowLoop loop, int from, std::string& error);
    // The rows looped; nullopt when a whole song plays (Play ends a loop).
    std::optional<RowLoop> Loop() const;
    // Plays `song` from the row the one playing has reached (its row count permitting), the loop
    // going on over the same rows if one plays and the song has them; the row it took over at in
    // `from`.
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
    // The latest samples of each channel's stem (Engine::CopyChannelSamples); none unless
    // started with meters.
    std::size_t CopyChannelSamples(std::span<emulator::ChannelSamples> out) const;
    // How the output keeps up since Start (the engine's OutputLoad); any thread.
    emulator::OutputLoad Load() const;
    // Lets only the first `ticks` ticks of the next Play reach the player, then releases the
    // notes (0: no limit).
    void SetTickLimit(std::uint64_t ticks);

    // No more rows, every note released, the level brought down over 150 ms (a cut would click),
    // then the emulator stopped. Harmless when not started.
    void Stop();

private:
    // How the player's rows map to the song's (see PlayPosition).
    struct Mapping {
        int base = 0;
        int shift = 0;
        int period = 0;
    };
    bool Hand(const SongImage& song, const std::vector<std::uint8_t>& played,
              const Mapping& mapping, std::string& error);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qzr::tools

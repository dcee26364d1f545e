#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include "player_state.h"
#include "qzr/common/file_reading.h"
#include "qzr/format/player_timing.h"
#include "qzr/format/song_image.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/player_core/player.h"
#include "row_writers.h"
#include "song_loading.h"

namespace qzr::player {
namespace {

constexpr std::int32_t kAudioBuffers = 5;
constexpr auto kStartSettle = std::chrono::milliseconds(2);
// Lets the emulator settle after the reset and the voice writes before ticks start.
constexpr auto kHandOverDelay = std::chrono::milliseconds(15);

// How the player plays a song of one kind: where its rows start and which tick plays them.
struct SongPlayback {
    SongKind kind;
    std::int32_t PlayerState::*rowsOffset;
    TickProcedure tick;
};

constexpr SongPlayback kOPMSong{SongKind::OPM, &PlayerState::opmRowsOffset, &TickOPM};
constexpr SongPlayback kOPN2Song{SongKind::OPN2, &PlayerState::opn2RowsOffset, &TickOPN2};

int Play(ChipPort& port, const char* path, const SongPlayback& playback) {
    // Read first: a path that cannot be read must leave a playing song alone.
    auto bytes =
        path != nullptr ? ReadFileBytes(path, MaxPlayedImageSize(playback.kind)) : std::nullopt;
    if (!bytes) {
        std::fprintf(stderr, "Can't open file %s\n", path != nullptr ? path : "");
        return 0;
    }
    PlayerState& p = gPlayer;
    CloseGate(p);
    p.port.store(&port);
    p.tickCount = 0;
    p.subTickCount = 0;
    p.eventArea.fill(0);
    port.Reset();
    const SongImage song{playback.kind, std::move(*bytes)};
    ProgramVoices(song, port);
    ReadHeader(song, p);
    LoadRows(song, p.*playback.rowsOffset, p);
    p.readOffset = 0;
    p.position.store(0);
    p.tickProcedure = playback.tick;
    std::this_thread::sleep_for(kHandOverDelay);
    const int result = port.BetwInt(p.tickProcedure);
    // Only now: until the hand-over the previous song's tick is still the one being called.
    p.playing.store(1);
    return result;
}

}  // namespace

int InitOPM(ChipPort& port, std::int32_t sampleRate, std::int32_t latency) {
    PlayerState& p = gPlayer;
    {
        // The OPN2 tick owns subTickCount while a song plays: take it over for the reset.
        const std::int32_t wasPlaying = p.playing.exchange(0);
        while (p.tickBusy.load()) std::this_thread::yield();
        p.subTickCount = 0;
        p.playing.store(wasPlaying);
    }
    p.tickInterval = kTickPeriodMs;
    p.opmRowsOffset = kOPMTarget.rowsStart;
    p.opn2RowsOffset = kOPN2Target.rowsStart;
    const int result = port.Start({.sampleRate = sampleRate,
                                   .fmEnabled = 1,
                                   .otherSource = 0,
                                   .tickPeriod = p.tickInterval,
                                   .bufferCount = kAudioBuffers,
                                   .latency = latency,
                                   .reserved = 1});
    std::this_thread::sleep_for(kStartSettle);
    return result;
}

int ReleaseOPM(ChipPort& port) { return port.Free(); }

int PlaySong(ChipPort& port, const char* path) { return Play(port, path, kOPMSong); }

int PlaySong2(ChipPort& port, const char* path) { return Play(port, path, kOPN2Song); }

int StopSong(ChipPort& port) {
    PlayerState& p = gPlayer;
    CloseGate(p);
    p.position.store(0);
    p.tickCount = 0;
    p.subTickCount = 0;
    p.readOffset = 0;
    for (int channel = 0; channel < kChannels; ++channel)
        WriteOPMReg(port, ym2151::kRegKeyOn, channel);
    return port.Reset();
}

int GetSongPosition() { return gPlayer.position.load(); }

}  // namespace qzr::player

#include <chrono>
#include <cstdio>
#include <mutex>
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

// The operations below run one at a time, whichever host threads call them: a host that calls
// from several threads at once (which the interface does not allow) gets them in some order,
// each whole. The ticks never take it; an operation shuts the gate for them as before.
std::mutex gOperations;  // not constinit: MinGW's std::mutex has no constant constructor

// How the player plays a song of one kind: where its rows start and which tick plays them.
struct SongPlayback {
    SongKind kind;
    std::int32_t PlayerState::*rowsOffset;
    TickProcedure tick;
};

constexpr SongPlayback kOPMSong{SongKind::OPM, &PlayerState::opmRowsOffset, &TickOPM};
constexpr SongPlayback kOPN2Song{SongKind::OPN2, &PlayerState::opn2RowsOffset, &TickOPN2};

const SongPlayback& PlaybackOf(SongKind kind) {
    return kind == SongKind::OPM ? kOPMSong : kOPN2Song;
}

int PlayImage(ChipPort& port, const SongImage& song) {
    const std::scoped_lock lock{gOperations};
    const SongPlayback& playback = PlaybackOf(song.Kind());
    PlayerState& p = gPlayer;
    CloseGate(p);
    p.port.store(&port);
    p.tickCount = 0;
    p.subTickCount = 0;
    p.eventArea.fill(0);
    port.Reset();
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
    const std::scoped_lock lock{gOperations};
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

int ReleaseOPM(ChipPort& port) {
    const std::scoped_lock lock{gOperations};
    return port.Free();
}

// Reads first: a path that cannot be read must leave a playing song alone.
int PlayFile(ChipPort& port, const char* path, SongKind kind) {
    auto bytes = path != nullptr ? ReadFileBytes(path, MaxPlayedImageSize(kind)) : std::nullopt;
    if (!bytes) {
        std::fprintf(stderr, "Can't open file %s\n", path != nullptr ? path : "");
        return 0;
    }
    return PlayImage(port, SongImage{kind, std::move(*bytes)});
}

int PlaySong(ChipPort& port, const char* path) { return PlayFile(port, path, SongKind::OPM); }

int PlaySong2(ChipPort& port, const char* path) { return PlayFile(port, path, SongKind::OPN2); }

int PlaySongImage(ChipPort& port, const SongImage& song) { return PlayImage(port, song); }

int StopSong(ChipPort& port) {
    const std::scoped_lock lock{gOperations};
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

#include <chrono>
#include <cstdio>
#include <thread>

#include "player_state.h"
#include "qzr/player/player.h"
#include "qzr/format/song_target.h"
#include "row_writers.h"
#include "song_loading.h"

namespace qzr::player {
namespace {

constexpr std::int32_t kTickInterval = 5;  // ms
constexpr std::int32_t kAudioBuffers = 5;
constexpr auto kStartSettle = std::chrono::milliseconds(2);
// Lets the emulator settle after the reset and the voice writes before ticks start.
constexpr auto kHandOverDelay = std::chrono::milliseconds(15);

struct SongKind {
    const SongTarget& target;
    std::int32_t PlayerState::*rowsOffset;
    void (*readHeader)(SongReader&, PlayerState&);
    TickProcedure tick;
};

constexpr SongKind kOPMSong{kOPMTarget, &PlayerState::opmRowsOffset, &ReadHeaderOPM, &TickOPM};
constexpr SongKind kOPN2Song{kOPN2Target, &PlayerState::opn2RowsOffset, &ReadHeaderOPN2, &TickOPN2};

int Play(ChipPort& port, const char* path, const SongKind& kind) {
    // Opened first: a path that cannot be read must leave a playing song alone.
    const FilePtr file = OpenSongFile(path);
    if (!file) {
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
    SongReader song{file.get()};
    ProgramVoices(kind.target, song, port);
    kind.readHeader(song, p);
    LoadRows(kind.target, p.*kind.rowsOffset, song, p);
    p.readOffset = 0;
    p.position.store(0);
    p.tickProcedure = kind.tick;
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
    p.tickInterval = kTickInterval;
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
    for (int channel = 0; channel < kChannels; ++channel) WriteOPMReg(port, kRegKeyOn, channel);
    return port.Reset();
}

int GetSongPosition() { return gPlayer.position.load(); }

}  // namespace qzr::player

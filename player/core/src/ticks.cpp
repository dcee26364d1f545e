#include <cassert>

#include "player_state.h"
#include "qzr/format/song_target.h"
#include "qzr/player_core/player.h"
#include "row_writers.h"

namespace qzr::player {
namespace {

// Takes the next row's bytes for its rowSize / 2 channels; the others keep theirs.
void TakeRow(PlayerState& p, int rowSize) {
    assert(p.readOffset + static_cast<std::uint32_t>(rowSize) <= p.eventArea.size());
    for (int c = 0; c < rowSize / 2; ++c) {
        const auto channel = static_cast<std::size_t>(c);
        p.channelNote[channel] = p.eventArea[p.readOffset + 2 * channel];
        p.channelKey[channel] = p.eventArea[p.readOffset + 2 * channel + 1];
    }
    p.readOffset += static_cast<std::uint32_t>(rowSize);
}

// Key codes first, so a note that starts in this row starts at this row's pitch.
void PlayRow(PlayerState& p, ChipPort& port, int rowSize) {
    TakeRow(p, rowSize);
    WriteKeyCodes(p, port);
    WriteKeyStates(p, port);
}

// The next position is stored once, already wrapped at rowCount, so GetSongPosition never
// sees a row outside the song.
void AdvanceAfterRow(PlayerState& p) {
    p.tickCount = 0;
    auto next = static_cast<std::uint16_t>(p.position.load() + 1);
    if (next == p.rowCount) {
        next = 0;
        p.readOffset = 0;
    }
    p.position.store(next);
}

// A row every `speed` ticks. With speed 0 the count passes 0 before it is compared, so no row
// plays until the 32-bit count wraps.
void StepOPM(PlayerState& p, ChipPort& port) {
    ++p.tickCount;
    if (p.tickCount == p.speed) {
        PlayRow(p, port, kOPMTarget.RowSize());
        AdvanceAfterRow(p);
    }
}

// A row every 3 x `speed` ticks. The group count is compared on every tick, so speed 0 plays a
// row on each of the first two ticks and then none.
void StepOPN2(PlayerState& p, ChipPort& port) {
    if (++p.subTickCount == 3) {
        ++p.tickCount;
        p.subTickCount = 0;
    }
    if (p.tickCount == p.speed) {
        PlayRow(p, port, kOPN2Target.RowSize());
        AdvanceAfterRow(p);
    }
}

// The gate's tick side: announce the tick, then test `playing` (see PlayerState).
template <void (*Step)(PlayerState&, ChipPort&)>
void GatedTick() noexcept {
    PlayerState& p = gPlayer;
    p.tickBusy.store(true);
    // A song without rows plays nothing, and position < rowCount keeps every read inside the
    // rows loaded.
    if (p.playing.load() == 1 && p.rowCount != 0) {
        if (ChipPort* port = p.port.load()) Step(p, *port);
    }
    p.tickBusy.store(false);
}

}  // namespace

void TickOPM() noexcept { GatedTick<StepOPM>(); }
void TickOPN2() noexcept { GatedTick<StepOPN2>(); }

}  // namespace qzr::player

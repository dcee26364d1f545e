#include "song_loading.h"

#include <algorithm>

#include "qzr/common/text_helpers.h"
#include "row_writers.h"

namespace qzr::player {

void ProgramVoices(const SongTarget& target, SongReader& song, ChipPort& port) {
    song.MoveTo(target.ControlByteOffset(0));
    port.TotalVolume(kTotalVolume);
    for (int v = 0; v < target.VoiceCount(); ++v) {
        WriteOPMReg(port, kRegControlBase + v, song.ByteAtOr255(target.ControlByteOffset(v)));
        song.MoveTo(target.VoiceRecordOffset(v));
        for (int j = 0; j < kOperatorBytes; ++j) {
            WriteOPMReg(port, kRegOperatorBase + 8 * j + v, song.NextOr255());
        }
    }
}

void ReadHeaderOPM(SongReader& song, PlayerState& state) {
    state.speed = static_cast<std::uint8_t>(song.ByteAtOr255(kOPMTarget.speedOffset));
    // Little-endian; a byte that lies past the end of the file counts as 255.
    const char pair[2] = {static_cast<char>(song.ByteAtOr255(kOPMTarget.rowCountOffset)),
                          static_cast<char>(song.NextOr255())};
    const auto declared = static_cast<std::uint16_t>(IntFromPair(pair) & 0xFFFF);
    // A longer song plays the rows that fit and loops after them.
    state.rowCount = std::min(declared, kMaxRowsOPM);
}

void ReadHeaderOPN2(SongReader& song, PlayerState& state) {
    state.speed = static_cast<std::uint8_t>(song.ByteAtOr255(kOPN2Target.speedOffset));
    // Big-endian. Here a missing byte counts as -1, so a file ending before the count gives
    // 0xFEFF rows; whatever comes out fits eventArea, which holds 65,535 rows of this kind.
    const int high = song.ByteAt(kOPN2Target.rowCountOffset);
    const int low = song.Next();
    state.rowCount = static_cast<std::uint16_t>((256 * high + low) & 0xFFFF);
}

void LoadRows(const SongTarget& target, long rowsOffset, SongReader& song, PlayerState& state) {
    song.MoveTo(rowsOffset);
    const std::uint32_t end = state.rowCount * static_cast<std::uint32_t>(target.RowSize());
    for (state.readOffset = 0; state.readOffset < end; ++state.readOffset) {
        state.eventArea[state.readOffset] = static_cast<std::uint8_t>(song.NextOr255());
    }
}

}  // namespace qzr::player

#include "qzr/tools/song_rotation.h"

#include <algorithm>
#include <cassert>
#include <span>

#include "qzr/format/rows.h"

namespace qzr::tools {

std::vector<std::uint8_t> RotateRows(const SongImage& song, int first) {
    const SongTarget& target = song.Target();
    const auto bytes = song.Bytes();
    const auto rowsStart = static_cast<std::size_t>(target.rowsStart);
    std::vector<std::uint8_t> rotated(
        bytes.begin(),
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(rowsStart, bytes.size())));
    rotated.resize(rowsStart, 0xFF);
    const int rowCount = song.RowCount();
    assert(first >= 0 && (first < rowCount || rowCount == 0));
    const int rowSize = target.RowSize();
    for (int r = 0; r < rowCount; ++r) {
        const int row = (first + r) % rowCount;
        for (int c = 0; c < rowSize / 2; ++c) {
            rotated.push_back(song.Note(row, c));
            rotated.push_back(song.Key(row, c));
        }
    }
    return rotated;
}

namespace {

constexpr auto kKeyOn = static_cast<std::uint8_t>(KeyByte::On);
constexpr auto kKeyOff = static_cast<std::uint8_t>(KeyByte::Off);

// The pitch of the note a channel still holds at `row` (keyed on before it, not keyed off
// since), 0 when it holds none.
std::uint8_t HeldPitch(const SongImage& song, int row, int channel) {
    std::uint8_t pitch = 0;
    for (int r = row - 1; r >= 0; --r) {
        const std::uint8_t key = song.Key(r, channel);
        if (pitch == 0 && IsNote(song.Note(r, channel))) pitch = song.Note(r, channel);
        if (key == kKeyOff) return 0;
        if (key == kKeyOn) return pitch;
    }
    return 0;
}

// The song's row `row`, as placed in a new song: a channel with nothing new there is keyed on
// again with the note it holds, or (with `silenceTheRest`) keyed off.
void KeyHeldNotes(const SongImage& song, int row, std::span<std::uint8_t> placed,
                  bool silenceTheRest) {
    for (int c = 0; c < song.Target().channelCount; ++c) {
        const auto at = 2 * static_cast<std::size_t>(c);
        if (placed[at] != 0 || placed[at + 1] != 0) continue;
        const std::uint8_t pitch = HeldPitch(song, row, c);
        if (pitch != 0) {
            placed[at] = pitch;
            placed[at + 1] = kKeyOn;
        } else if (silenceTheRest) {
            placed[at + 1] = kKeyOff;
        }
    }
}

}  // namespace

std::vector<std::uint8_t> RotateRowsKeepingHeldNotes(const SongImage& song, int first) {
    std::vector<std::uint8_t> rotated = RotateRows(song, first);
    const SongTarget& target = song.Target();
    const auto rowZero = static_cast<std::size_t>(target.rowsStart);
    const auto rowSize = static_cast<std::size_t>(target.RowSize());
    if (song.RowCount() == 0 || rotated.size() < rowZero + rowSize) return rotated;
    KeyHeldNotes(song, first, std::span(rotated).subspan(rowZero, rowSize), false);
    return rotated;
}

std::vector<std::uint8_t> LoopRows(const SongImage& song, int first, int count, int from) {
    assert(first >= 0 && count >= 1 && first + count <= song.RowCount());
    assert(from >= first && from < first + count);
    const SongTarget& target = song.Target();
    const auto rowsStart = static_cast<std::size_t>(target.rowsStart);
    const auto rowSize = static_cast<std::size_t>(target.RowSize());
    std::vector<std::uint8_t> looped(rowsStart + static_cast<std::size_t>(count) * rowSize);
    song.CopyBytes(0, std::span(looped).first(rowsStart));
    looped[static_cast<std::size_t>(target.RowCountLowOffset())] =
        static_cast<std::uint8_t>(count & 0xFF);
    looped[static_cast<std::size_t>(target.RowCountHighOffset())] =
        static_cast<std::uint8_t>(count >> 8);
    const auto placed = [&](int index) {
        return std::span(looped).subspan(rowsStart + static_cast<std::size_t>(index) * rowSize,
                                         rowSize);
    };
    for (int i = 0; i < count; ++i) {
        song.CopyBytes(
            static_cast<std::size_t>(target.RowOffset(first + (from - first + i) % count)),
            placed(i));
    }
    const int loopStart = (count - (from - first)) % count;
    KeyHeldNotes(song, first, placed(loopStart), true);
    if (loopStart != 0) KeyHeldNotes(song, from, placed(0), false);
    return looped;
}

}  // namespace qzr::tools

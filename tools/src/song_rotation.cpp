#include "qzr/tools/song_rotation.h"

#include <algorithm>
#include <cassert>

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

std::vector<std::uint8_t> RotateRowsKeepingHeldNotes(const SongImage& song, int first) {
    std::vector<std::uint8_t> rotated = RotateRows(song, first);
    const SongTarget& target = song.Target();
    const auto rowZero = static_cast<std::size_t>(target.rowsStart);
    if (song.RowCount() == 0 ||
        rotated.size() < rowZero + static_cast<std::size_t>(target.RowSize())) {
        return rotated;
    }
    constexpr auto kKeyOn = static_cast<std::uint8_t>(KeyByte::On);
    constexpr auto kKeyOff = static_cast<std::uint8_t>(KeyByte::Off);
    for (int c = 0; c < target.channelCount; ++c) {
        const auto at = rowZero + 2 * static_cast<std::size_t>(c);
        if (rotated[at] != 0 || rotated[at + 1] != 0) continue;
        std::uint8_t pitch = 0;
        std::uint8_t key = 0;
        for (int row = first - 1; row >= 0 && key == 0; --row) {
            const std::uint8_t k = song.Key(row, c);
            if (pitch == 0 && IsNote(song.Note(row, c))) pitch = song.Note(row, c);
            if (k == kKeyOn || k == kKeyOff) key = k;
        }
        if (key == kKeyOn && pitch != 0) {
            rotated[at] = pitch;
            rotated[at + 1] = kKeyOn;
        }
    }
    return rotated;
}

}  // namespace qzr::tools

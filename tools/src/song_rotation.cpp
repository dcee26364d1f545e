#include "qzr/tools/song_rotation.h"

#include <algorithm>
#include <cassert>

namespace qzr::tools {

std::vector<std::uint8_t> RotateRows(const SongView& song, int first) {
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

}  // namespace qzr::tools

#pragma once

#include <cstdint>
#include <vector>

#include "qzr/tools/song_view.h"

namespace qzr::tools {

// The song's bytes with its rows turned so that row `first` comes first: the player, which
// always starts at row 0, then plays on from `first` and reaches the song's own row 0 after
// RowCount() - first rows. Rows missing at the end of the file are filled as the player fills
// them (bytes of 255). `first` must be below RowCount().
std::vector<std::uint8_t> RotateRows(const SongView& song, int first);

}  // namespace qzr::tools

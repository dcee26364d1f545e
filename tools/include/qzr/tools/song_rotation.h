#pragma once

#include <cstdint>
#include <vector>

#include "qzr/format/song_image.h"

namespace qzr::tools {

// The song's bytes with its rows turned so that row `first` comes first: the player, which
// always starts at row 0, then plays on from `first` and reaches the song's own row 0 after
// RowCount() - first rows. Rows missing at the end of the file are filled as the player fills
// them (bytes of 255). `first` must be below RowCount().
std::vector<std::uint8_t> RotateRows(const SongImage& song, int first);

// RotateRows for a song taken over mid-way: a channel whose note is still held at row `first`
// (keyed on before it and not keyed off since) and that has nothing new in that row is keyed on
// again there, with the pitch it had, so the new song sounds at once rather than from each
// channel's next note.
std::vector<std::uint8_t> RotateRowsKeepingHeldNotes(const SongImage& song, int first);

}  // namespace qzr::tools

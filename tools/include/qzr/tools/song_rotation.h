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

// The `count` rows from `first` on as a song of their own, which the player loops: its row 0 is
// the song's row `from` (one of them), and each pass begins at `first` again. Where the loop
// starts, and at row 0, a note the song still holds there is keyed on again as
// RotateRowsKeepingHeldNotes does; where the loop starts a channel that holds nothing is keyed
// off, so a note ringing at the loop's end does not sound on into its start. Needs
// 0 <= first, 1 <= count, first + count <= RowCount() and first <= from < first + count.
std::vector<std::uint8_t> LoopRows(const SongImage& song, int first, int count, int from);

}  // namespace qzr::tools

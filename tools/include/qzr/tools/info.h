#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "qzr/format/song_image.h"

namespace qzr::tools {

// Rows counted from 0, both ends included.
struct RowRange {
    std::optional<int> first;
    std::optional<int> last;
};

// "A:B", "A:", ":B" or ":"; nullopt for anything else.
std::optional<RowRange> ParseRowRange(std::string_view text);

// The header, the voices as YM2151 parameters, the timing, and the rows in the range as a
// tracker view (one column per channel). `name` is how the song is named in the first line.
std::string DescribeSong(const SongImage& song, std::string_view name, const RowRange& rows);

}  // namespace qzr::tools

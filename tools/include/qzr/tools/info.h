#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/format/song_image.h"
#include "qzr/format/song_sanity.h"

namespace qzr::tools {

// Rows counted from 0, both ends included.
struct RowRange {
    std::optional<int> first;
    std::optional<int> last;
};

// "A:B", "A:", ":B" or ":"; nullopt for anything else.
std::optional<RowRange> ParseRowRange(std::string_view text);

// The header, the timing, what the sanity rules found ("warning" for a finding that makes the
// file no song of its kind, "note" for the others), the voices as YM2151 parameters, and the rows
// in the range as a tracker view (one column per channel). `name` is how the song is named in the
// first line.
std::string DescribeSong(const SongImage& song, std::string_view name, const RowRange& rows,
                         const std::vector<SongFinding>& findings = {});

}  // namespace qzr::tools

// qzr info's input: a --rows text (up to the first line feed, at most 16 bytes) and a song.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "qzr/format/song_sanity.h"
#include "qzr/tools/info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto [kind, bytes] = qzr::fuzz::SplitKind(data, size);
    const std::string_view text = qzr::fuzz::AsText(bytes);
    const std::size_t feed = std::min<std::size_t>(text.find('\n'), 16);
    auto range = qzr::tools::ParseRowRange(text.substr(0, std::min(feed, text.size())));
    bytes = bytes.subspan(std::min(bytes.size(), feed + 1));
    const qzr::SongImage song(kind, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    // Hundreds of rows say as much as tens of thousands, and print faster.
    qzr::tools::RowRange rows{0, 255};
    if (range) {
        rows.first = std::min(range->first.value_or(0), 1 << 20);
        rows.last = std::min(range->last.value_or(*rows.first + 255), *rows.first + 255);
    }
    const auto text2 =
        qzr::tools::DescribeSong(song, "fuzz.qzr", rows, qzr::CheckSongImage(song, bytes.size()));
    return text2.empty() ? 1 : 0;
}

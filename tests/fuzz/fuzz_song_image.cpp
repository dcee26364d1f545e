// The one song reader and its sanity rules over any bytes, as every reader of songs uses them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "qzr/format/song_image.h"
#include "qzr/format/song_sanity.h"
#include "qzr/tools/song_rotation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [kind, bytes] = qzr::fuzz::SplitKind(data, size);
    const qzr::SongImage song(kind, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    std::uint64_t sum = static_cast<std::uint64_t>(song.Speed()) + song.Title().size();
    for (int v = 0; v < song.Target().VoiceCount(); ++v) sum += song.Voice(v).control;
    const int rows = song.RowCount();
    if (rows > song.DeclaredRowCount() || rows > qzr::PlayedRowLimit(kind)) __builtin_trap();
    for (int row = 0; row < rows && row < 64; ++row) {
        for (int c = 0; c < song.Target().channelCount; ++c) {
            sum += song.Note(row, c) + song.Key(row, c);
        }
    }
    const auto findings = qzr::CheckSongImage(song, bytes.size());
    sum += findings.size() + (qzr::PassesSanityRules(findings) ? 1 : 0);
    // The rows turned as qzr play --watch turns them, for songs small enough to turn quickly.
    if (rows > 0 && rows <= 512) {
        const auto first = static_cast<int>(sum % static_cast<std::uint64_t>(rows));
        sum += qzr::tools::RotateRowsKeepingHeldNotes(song, first).size();
    }
    return sum == 0x5eed ? 0 : 0;
}

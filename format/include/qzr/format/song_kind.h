#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "qzr/format/song_target.h"

namespace qzr {

// Which of the two song layouts a file has: written by opmcomp (OPM) or opn2comp (OPN2), played
// by PlaySong or PlaySong2. Both kinds play on the same chip.
enum class SongKind : std::uint8_t { OPM, OPN2 };

constexpr const SongTarget& TargetFor(SongKind kind) {
    return kind == SongKind::OPM ? kOPMTarget : kOPN2Target;
}

constexpr SongKind KindOf(const SongTarget& target) {
    return target.channelCount == kOPMTarget.channelCount ? SongKind::OPM : SongKind::OPN2;
}
static_assert(KindOf(kOPMTarget) == SongKind::OPM && KindOf(kOPN2Target) == SongKind::OPN2);

constexpr std::string_view SongKindName(SongKind kind) {
    return kind == SongKind::OPM ? "OPM" : "OPN2";
}

// "opm" or "opn2", as typed on a command line; nullopt for anything else.
constexpr std::optional<SongKind> ParseSongKind(std::string_view text) {
    if (text == "opm") return SongKind::OPM;
    if (text == "opn2") return SongKind::OPN2;
    return std::nullopt;
}

// The kind a file name announces with ".opm." or ".opn2."; nullopt when it says neither or both.
inline std::optional<SongKind> SongKindFromFileName(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const bool opm = name.find(".opm.") != std::string::npos;
    const bool opn2 = name.find(".opn2.") != std::string::npos;
    if (opm == opn2) return std::nullopt;
    return opm ? SongKind::OPM : SongKind::OPN2;
}

}  // namespace qzr

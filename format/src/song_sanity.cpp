#include "qzr/format/song_sanity.h"

#include <algorithm>

namespace qzr {
namespace {

SongKind OtherKind(SongKind kind) { return kind == SongKind::OPM ? SongKind::OPN2 : SongKind::OPM; }

std::string Number(std::uint64_t value) { return std::to_string(value); }

// What of the header lies past the end of a file of `size` bytes: "voices 3 to 8, the speed and
// the row count are missing".
std::string MissingHeaderParts(const SongTarget& target, std::uint64_t size) {
    std::vector<std::string> parts;
    const int voices = target.VoiceCount();
    for (int v = 0; v < voices; ++v) {
        if (size >= static_cast<std::uint64_t>(target.VoiceRecordOffset(v + 1))) continue;
        const std::string first = std::to_string(v + 1);
        parts.push_back(v + 1 == voices ? "voice " + first
                                        : "voices " + first + " to " + std::to_string(voices));
        break;
    }
    if (size <= static_cast<std::uint64_t>(target.speedOffset)) parts.emplace_back("the speed");
    parts.emplace_back("the row count");
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
        text += parts[i];
    }
    return text + (parts.size() == 1 ? " is missing" : " are missing");
}

// "so the speed is 255 and 49151 rows play"
std::string WhatPlays(const SongImage& song) {
    return "so the speed is " + std::to_string(song.Speed()) + " and " +
           std::to_string(song.RowCount()) + " rows play";
}

}  // namespace

bool FitsLayout(SongKind kind, std::span<const std::uint8_t> bytes, std::uint64_t fileSize) {
    const SongTarget& target = TargetFor(kind);
    const auto rowsStart = static_cast<std::size_t>(target.rowsStart);
    if (fileSize < rowsStart || bytes.size() < rowsStart) return false;
    const SongImage header(
        kind, std::vector<std::uint8_t>(bytes.begin(),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(rowsStart)));
    const int declared = header.DeclaredRowCount();
    return header.Speed() != 0 && declared != 0 &&
           fileSize <= static_cast<std::uint64_t>(target.RowOffset(declared));
}

std::vector<SongFinding> CheckSongImage(const SongImage& song, std::uint64_t fileSize) {
    std::vector<SongFinding> found;
    const SongTarget& target = song.Target();
    const auto rowsStart = static_cast<std::uint64_t>(target.rowsStart);
    const auto rowSize = static_cast<std::uint64_t>(target.RowSize());
    if (fileSize == 0) {
        found.push_back({SongFault::Empty, true, "the file is empty, " + WhatPlays(song)});
    } else if (fileSize < rowsStart) {
        found.push_back(
            {SongFault::HeaderPastEnd, true,
             "the file ends after " + Number(fileSize) + " bytes, inside its " + Number(rowsStart) +
                 "-byte header: " + MissingHeaderParts(target, fileSize) + ", " + WhatPlays(song)});
    } else {
        const std::uint64_t played = static_cast<std::uint64_t>(song.RowCount());
        const std::uint64_t held = (fileSize - rowsStart) / rowSize;
        if (played > held) {
            found.push_back({SongFault::RowsPastEnd, false,
                             "the file holds " + Number(held) + " whole rows of the " +
                                 Number(played) + " played; the rest read as bytes of 255 (a " +
                                 "compiler leaves silent rows at the end out)"});
        }
    }
    const auto layoutEnd = static_cast<std::uint64_t>(MaxImageSize(song.Kind()));
    if (fileSize > layoutEnd) {
        found.push_back({SongFault::BytesPastLayout, false,
                         "the file goes on after row " +
                             Number(static_cast<std::uint64_t>(kRowLimit) - 1) +
                             ", which no row count reaches; the bytes there are never read"});
    }
    const SongKind other = OtherKind(song.Kind());
    if (!FitsLayout(song.Kind(), song.Bytes(), fileSize) &&
        FitsLayout(other, song.Bytes(), fileSize)) {
        found.push_back({SongFault::OtherKindLayout, true,
                         "the file has the shape of an " + std::string(SongKindName(other)) +
                             " song and not of an " + std::string(SongKindName(song.Kind())) +
                             " one: is the chip right?"});
    }
    return found;
}

bool PassesSanityRules(const std::vector<SongFinding>& findings) {
    return std::none_of(findings.begin(), findings.end(),
                        [](const SongFinding& f) { return f.disqualifies; });
}

}  // namespace qzr

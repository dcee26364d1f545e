#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "qzr/format/song_image.h"

// Whether a file is a song of its kind at all: the rules every program that reads songs applies
// on top of the player's reading rules. They never change what the player plays; they tell a user
// what the player will make of a file, and keep the tools from taking a file that is no song of
// its kind (an empty or cut-off file, another kind's song) for a 17-hour one.
namespace qzr {

enum class SongFault : std::uint8_t {
    Empty,            // no bytes: everything reads as 255
    HeaderPastEnd,    // the file ends inside its header: voices, speed or row count read as 255
    RowsPastEnd,      // the rows played reach past the end of the file and read as 255
    BytesPastLayout,  // bytes after the last row any row count reaches; never read
    OtherKindLayout,  // the size fits the other kind's layout and not this one's
};

struct SongFinding {
    SongFault fault;
    // True when the file is not taken for a song of its kind: its length says nothing, so a
    // render needs --seconds. Silent rows left out at the end (RowsPastEnd) and unread bytes are
    // ordinary and do not disqualify.
    bool disqualifies;
    std::string message;  // one sentence, no final full stop
    friend bool operator==(const SongFinding&, const SongFinding&) = default;
};

// The largest file the layout gives a meaning to: the header and rows 0 to 65,535, the most a
// 16-bit row count reaches. Song readers read no further.
constexpr std::size_t MaxImageSize(SongKind kind) {
    return static_cast<std::size_t>(TargetFor(kind).RowOffset(kRowLimit));
}

// Whether a file of `fileSize` bytes starting with `bytes` has the shape of a song of this kind:
// its whole header, a speed and a row count other than 0, and no byte after the rows its count
// declares.
bool FitsLayout(SongKind kind, std::span<const std::uint8_t> bytes, std::uint64_t fileSize);

// The findings for a song image read from a file of `fileSize` bytes (the image may hold fewer:
// readers stop at MaxImageSize), in the order of the faults above.
std::vector<SongFinding> CheckSongImage(const SongImage& song, std::uint64_t fileSize);

// True when no finding disqualifies the file.
bool PassesSanityRules(const std::vector<SongFinding>& findings);

}  // namespace qzr

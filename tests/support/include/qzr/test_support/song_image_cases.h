#pragma once

#include <string>
#include <vector>

#include "qzr/format/song_kind.h"
#include "qzr/format/song_sanity.h"
#include "qzr/test_support/song_bytes.h"

namespace qzr::test {

// Song images at the edges of the reading rules, with what the player makes of each, worked out
// by hand. The reader, the player and `qzr info` are each checked against this one table.
struct SongImageCase {
    std::string name;
    SongKind kind;
    SongBytes song;
    int speed;
    int rowCount;      // rows played before the song wraps
    bool wrapChecked;  // few enough ticks to play a whole pass in a test
    // What the sanity rules find, in their order; the file passes unless one disqualifies it.
    std::vector<SongFault> faults;
};

std::vector<SongImageCase> SongImageCases();

}  // namespace qzr::test

#pragma once

#include <optional>
#include <vector>

#include "qzr/compiler/qmml_compile.h"

// From the source to the rows and back, through the compile's event map.
namespace qzr::studio {

struct SourcePlace {
    int line = 0;    // from 1
    int column = 0;  // from 1, in bytes
    friend bool operator==(const SourcePlace&, const SourcePlace&) = default;
};

// The row of the event at the cursor: the last note or rest that starts at or before the cursor
// on its line (the line's first when the cursor stands before it); a token that a repeat plays
// more than once gives its first row. nullopt when the line plays nothing.
std::optional<int> RowAtCursor(const std::vector<qmml::MappedEvent>& events, SourcePlace cursor);

// The tokens sounding at `row`: each channel's event that covers it, in channel order.
std::vector<SourcePlace> TokensPlayingAt(const std::vector<qmml::MappedEvent>& events, int row);

}  // namespace qzr::studio

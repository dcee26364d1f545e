#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "qmml_program.h"
#include "qmml_report.h"

namespace qzr::qmml {

// One note or rest of a channel, as it reaches the rows.
struct Event {
    std::int32_t rows = 0;
    std::uint8_t code = 0;  // note code 1 to 96; 0 for a rest
    bool noKeyOff = false;  // legato, or joined to the next note by '&'
    bool slurIn = false;    // reached by '&': no new key on
    Position at;            // the note or rest that starts it in the source
};

struct BarMark {
    std::int64_t row = 0;  // where the bar line stands
    Position at;
};

struct ChannelMusic {
    std::vector<Event> events;
    std::int64_t rows = 0;  // where the channel ends
    std::optional<int> voice;
    Position voiceAt;
    std::optional<Pan> pan;
    Position panAt;
    std::optional<Position> firstNote;
    std::vector<BarMark> bars;
    bool overflowed = false;  // ran past the capacity; its music after that point is dropped
};

struct Expansion {
    std::vector<ChannelMusic> channels;
    std::vector<int> voicesNamed;  // every @N a channel line reaches, sorted
    int slurs = 0;
    Position firstSlur;
};

struct ExpansionTarget {
    int channelCount = 8;
    std::int64_t capacityRows = 0;  // the most rows a channel may reach
    std::string_view chipName;      // "OPM", for messages
    std::int64_t barRows = 64;
};

// Plays every channel line through its channels, each channel with its own octave (from o4),
// default length (l4), transposition, key signature and legato, carried from line to line.
// Repeats and macros are walked, never copied; the walk stops at kMaxExpansionSteps and a
// channel stops at its capacity, both with an error, so time and memory stay bounded.
Expansion Expand(const Program& program, const ExpansionTarget& target, Report& report);

// Bar lines: a bar of a channel that is not barRows long, and channels out of step with the
// others at a bar line; one warning a channel for each, with a count of the bars like it.
void CheckBars(const Expansion& expansion, std::int64_t barRows, Report& report);

}  // namespace qzr::qmml

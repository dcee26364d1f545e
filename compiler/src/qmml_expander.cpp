#include "qmml_expander.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "qmml_parser.h"
#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/format/rows.h"

namespace qzr::qmml {

namespace {

constexpr int kFirstOctave = 4;
constexpr std::int32_t kFirstDefaultLength = RowsOfSuffix("4");  // a quarter note
constexpr int kLowestCode = 1;                                   // o0 c
constexpr int kHighestCode = kHighestNote;                       // o7 b
constexpr std::int64_t kOctaveBound = 1'000'000;  // far past any note; keeps the sums small

std::string ChannelName(int channel) { return "ch" + std::to_string(channel + 1); }

struct ChannelState {
    int index = 0;
    std::int64_t octave = kFirstOctave;
    std::int32_t defaultLength = kFirstDefaultLength;
    int transpose = 0;
    KeySignature key = 0;
    bool legato = false;
    std::optional<Event> pending;  // the last note or rest, still open to '^' and '&'
    bool slurNext = false;
    Position slurAt;
    bool stopped = false;
    ChannelMusic music;
};

class Expander {
public:
    Expander(const Program& program, const ExpansionTarget& target, Report& report)
        : program_(program), target_(target), report_(report) {
        channels_.resize(static_cast<std::size_t>(target.channelCount));
        for (int c = 0; c < target.channelCount; ++c) {
            channels_[static_cast<std::size_t>(c)].index = c;
        }
    }

    Expansion Run() {
        for (const ChannelLine& line : program_.lines) {
            for (const int channel : line.channels) {
                if (channel >= target_.channelCount) {
                    report_.Error(line.at, ChannelName(channel) + ": an " +
                                               std::string(target_.chipName) +
                                               " song has channels ch1 to ch" +
                                               std::to_string(target_.channelCount));
                    continue;
                }
                ChannelState& state = channels_[static_cast<std::size_t>(channel)];
                if (!state.stopped && !stopAll_) Walk(line.body, state);
            }
        }
        Expansion expansion;
        for (ChannelState& state : channels_) {
            Close(state);
            if (state.slurNext) {
                report_.Error(state.slurAt,
                              "'&' at the end of " + ChannelName(state.index) + " joins no note");
            }
            expansion.channels.push_back(std::move(state.music));
        }
        expansion.voicesNamed.assign(voicesNamed_.begin(), voicesNamed_.end());
        expansion.slurs = slurs_;
        expansion.firstSlur = firstSlur_;
        return expansion;
    }

private:
    // One error for a node and channel, however often a repeat or macro reaches it; the
    // message is made only the first time.
    template <typename MakeMessage>
    void ErrorOnce(std::uint32_t node, const ChannelState& state, MakeMessage make) {
        const std::uint64_t key =
            std::uint64_t{node} * 16 + static_cast<std::uint64_t>(state.index);
        if (reported_.insert(key).second) report_.Error(program_.nodes[node].at, make());
    }

    bool Step() {
        if (++steps_ <= kMaxExpansionSteps) return true;
        if (!stopAll_) {
            report_.Error({0, 0}, "the expansion passes " + Grouped(kMaxExpansionSteps) +
                                      " steps (repeats and macros); nothing more is expanded");
        }
        stopAll_ = true;
        return false;
    }

    void Walk(NodeRange range, ChannelState& state, int macroDepth = 0) {
        for (std::uint32_t i = range.begin; i < range.end; ++i) {
            if (state.stopped || !Step()) return;
            const Node& node = program_.nodes[i];
            switch (node.kind) {
                case NodeKind::RepeatOpen:
                    if (node.a >= 0) {
                        Repeat(i, state, macroDepth);
                        i = static_cast<std::uint32_t>(node.a);
                    }
                    break;
                case NodeKind::RepeatBreak:
                case NodeKind::RepeatClose:
                    break;
                case NodeKind::Macro: {
                    const Macro& macro = program_.macros[static_cast<std::size_t>(node.a)];
                    if (macro.defined.line != 0 && !macro.broken) {
                        Walk(macro.body, state, macroDepth + 1);
                    }
                    break;
                }
                default:
                    Apply(i, state);
                    break;
            }
        }
    }

    void Repeat(std::uint32_t open, ChannelState& state, int macroDepth) {
        const Node& node = program_.nodes[open];
        const auto close = static_cast<std::uint32_t>(node.a);
        const std::int32_t passes = program_.nodes[close].a;
        for (std::int32_t pass = 0; pass < passes; ++pass) {
            if (state.stopped || !Step()) return;
            const bool last = pass == passes - 1;
            const std::uint32_t end =
                last && node.b >= 0 ? static_cast<std::uint32_t>(node.b) : close;
            Walk({open + 1, end}, state, macroDepth);
        }
    }

    void Close(ChannelState& state) {
        if (!state.pending) return;
        Event& event = *state.pending;
        std::vector<Event>& events = state.music.events;
        // Rests side by side are one rest: the rows are the same, the lowered source shorter.
        if (event.code == 0 && !events.empty() && events.back().code == 0 &&
            std::int64_t{events.back().rows} + event.rows <= kMaxLengthRows) {
            events.back().rows += event.rows;
        } else {
            events.push_back(event);
        }
        state.pending.reset();
    }

    void Advance(std::uint32_t node, ChannelState& state, std::int32_t rows) {
        state.music.rows += rows;
        if (state.music.rows <= target_.capacityRows) return;
        ErrorOnce(node, state, [&] {
            return ChannelName(state.index) + " runs past the " + Grouped(target_.capacityRows) +
                   " rows an " + std::string(target_.chipName) + " song can play, in bar " +
                   Grouped(target_.capacityRows / target_.barRows + 1) +
                   "; the music after it is left out";
        });
        state.music.overflowed = true;
        state.stopped = true;
    }

    void Note(std::uint32_t index, ChannelState& state) {
        const Node& node = program_.nodes[index];
        const int letter = node.a;
        const int accidental = node.flag ? node.b : KeyOffset(state.key, letter);
        const std::int64_t code =
            state.octave * 12 + LetterSemitone(letter) + accidental + state.transpose + 1;
        const std::int32_t rows = node.rows != 0 ? node.rows : state.defaultLength;
        Event event{.rows = rows, .at = node.at};
        if (code < kLowestCode || code > kHighestCode) {
            ErrorOnce(index, state, [&] {
                const std::int64_t beyond =
                    code < kLowestCode ? kLowestCode - code : code - kHighestCode;
                return "this note is " + std::to_string(beyond) + " semitone" +
                       (beyond == 1 ? "" : "s") +
                       (code < kLowestCode ? " below o0 c, the lowest"
                                           : " above o7 b, the highest") +
                       " note (octave " + std::to_string(state.octave) + ", k" +
                       (state.transpose < 0 ? "" : "+") + std::to_string(state.transpose) + ")";
            });
        } else {
            event.code = static_cast<std::uint8_t>(code);
            event.noKeyOff = state.legato;
            event.slurIn = state.slurNext;
            if (state.slurNext) {
                if (slurs_++ == 0) firstSlur_ = state.slurAt;
            }
            if (!state.music.firstNote) state.music.firstNote = node.at;
        }
        state.slurNext = false;
        Close(state);
        state.pending = event;
        Advance(index, state, rows);
    }

    void Apply(std::uint32_t index, ChannelState& state) {
        const Node& node = program_.nodes[index];
        switch (node.kind) {
            case NodeKind::Note:
                Note(index, state);
                break;
            case NodeKind::Rest: {
                if (state.slurNext) {
                    ErrorOnce(index, state,
                              [] { return std::string("'&' joins two notes; a rest follows it"); });
                    state.slurNext = false;
                }
                const std::int32_t rows = node.rows != 0 ? node.rows : state.defaultLength;
                Close(state);
                state.pending = Event{.rows = rows, .at = node.at};
                Advance(index, state, rows);
                break;
            }
            case NodeKind::Tie: {
                const std::int32_t rows = node.rows != 0 ? node.rows : state.defaultLength;
                if (!state.pending || state.slurNext) {
                    ErrorOnce(index, state, [&] {
                        return std::string(state.slurNext
                                               ? "'^' cannot follow '&': '&' joins two notes"
                                               : "'^' extends a note or rest, and none comes "
                                                 "before it in ") +
                               (state.slurNext ? "" : ChannelName(state.index));
                    });
                } else if (std::int64_t{state.pending->rows} + rows > kMaxLengthRows) {
                    ErrorOnce(index, state, [] {
                        return "a note tied longer than " + Grouped(kMaxLengthRows) + " rows";
                    });
                } else {
                    state.pending->rows += rows;
                }
                Advance(index, state, rows);
                break;
            }
            case NodeKind::Slur:
                if (!state.pending || state.pending->code == 0 || state.slurNext) {
                    ErrorOnce(index, state, [&] {
                        return std::string(
                            state.slurNext ? "a second '&'"
                                           : "'&' joins two notes, and no note comes before it");
                    });
                } else {
                    state.pending->noKeyOff = true;
                    state.slurNext = true;
                    state.slurAt = node.at;
                }
                break;
            case NodeKind::DefaultLength:
                state.defaultLength = node.rows;
                break;
            case NodeKind::Octave:
                state.octave = node.a;
                break;
            case NodeKind::OctaveUp:
                state.octave = std::min(state.octave + 1, kOctaveBound);
                break;
            case NodeKind::OctaveDown:
                state.octave = std::max(state.octave - 1, -kOctaveBound);
                break;
            case NodeKind::Transpose:
                state.transpose = node.a;
                break;
            case NodeKind::KeySignature:
                state.key = node.key;
                break;
            case NodeKind::LegatoOn:
                state.legato = true;
                break;
            case NodeKind::LegatoOff:
                state.legato = false;
                break;
            case NodeKind::Voice:
                voicesNamed_.insert(node.a);
                SetOnce(index, state, state.music.voice, state.music.voiceAt, node.a, [&] {
                    return ChannelName(state.index) + " already plays voice @" +
                           std::to_string(*state.music.voice) + " (line " +
                           std::to_string(state.music.voiceAt.line) +
                           "): a voice change is not representable in a song file, which holds "
                           "one voice a channel";
                });
                break;
            case NodeKind::Pan:
                SetOnce(index, state, state.music.pan, state.music.panAt, static_cast<Pan>(node.a),
                        [&] {
                            return ChannelName(state.index) + " already has its pan (line " +
                                   std::to_string(state.music.panAt.line) +
                                   "): a pan change is not representable in a song file, which "
                                   "holds one pan a channel";
                        });
                break;
            case NodeKind::Bar: {
                // A bar line where the last one stands (or at row 0) says nothing new; keeping at
                // most one a row also bounds the list by the channel's rows.
                const std::int64_t last =
                    state.music.bars.empty() ? 0 : state.music.bars.back().row;
                if (state.music.rows != last)
                    state.music.bars.push_back({state.music.rows, node.at});
                break;
            }
            default:
                break;
        }
    }

    template <typename T, typename MakeMessage>
    void SetOnce(std::uint32_t index, ChannelState& state, std::optional<T>& field,
                 Position& fieldAt, T value, MakeMessage make) {
        if (!field) {
            field = value;
            fieldAt = program_.nodes[index].at;
        } else if (*field != value) {
            ErrorOnce(index, state, make);
        }
    }

    const Program& program_;
    const ExpansionTarget& target_;
    Report& report_;
    std::vector<ChannelState> channels_;
    std::unordered_set<std::uint64_t> reported_;
    std::int64_t steps_ = 0;
    bool stopAll_ = false;
    int slurs_ = 0;
    Position firstSlur_;
    std::set<int> voicesNamed_;
};

std::string RowsText(std::int64_t rows) {
    return Grouped(rows) + (rows == 1 || rows == -1 ? " row" : " rows");
}

}  // namespace

Expansion Expand(const Program& program, const ExpansionTarget& target, Report& report) {
    return Expander(program, target, report).Run();
}

void CheckBars(const Expansion& expansion, std::int64_t barRows, Report& report) {
    const auto& channels = expansion.channels;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const auto& bars = channels[c].bars;
        std::int64_t start = 0;
        int wrong = 0;
        std::optional<std::size_t> first;
        for (std::size_t b = 0; b < bars.size(); ++b) {
            if (bars[b].row - start != barRows) {
                if (!first) first = b;
                ++wrong;
            }
            start = bars[b].row;
        }
        if (!first) continue;
        const std::size_t b = *first;
        const std::int64_t length = bars[b].row - (b == 0 ? 0 : bars[b - 1].row);
        const std::int64_t gap = barRows - length;
        std::string message = "bar " + Grouped(static_cast<std::int64_t>(b + 1)) + " of " +
                              ChannelName(static_cast<int>(c)) + " is " + RowsText(length) + ", " +
                              RowsText(gap < 0 ? -gap : gap) +
                              (gap > 0 ? " short of" : " longer than") + " #bar " +
                              Grouped(barRows) +
                              (gap > 0 ? "; fill it with r%" + std::to_string(gap)
                                       : "; shorten it by " + RowsText(-gap)) +
                              ", or set #bar";
        if (wrong > 1) {
            message += " (" + std::to_string(wrong - 1) + " more bar" +
                       (wrong > 2 ? "s of " + ChannelName(static_cast<int>(c)) + " are"
                                  : " of " + ChannelName(static_cast<int>(c)) + " is") +
                       " not " + Grouped(barRows) + " rows)";
        }
        report.Warning(bars[b].at, std::move(message));
    }

    // At each bar line, the row most channels reach is where the song is (on a tie, the row
    // that whole bars of #bar reach, else the lowest channel's); each channel elsewhere is
    // reported where it first leaves it.
    std::size_t most = 0;
    for (const auto& channel : channels) most = std::max(most, channel.bars.size());
    std::vector<bool> reported(channels.size(), false);
    for (std::size_t b = 0; b < most; ++b) {
        std::map<std::int64_t, std::pair<int, std::size_t>> votes;  // row: channels, lowest
        for (std::size_t c = 0; c < channels.size(); ++c) {
            if (b >= channels[c].bars.size()) continue;
            auto [it, added] = votes.try_emplace(channels[c].bars[b].row, 0, c);
            it->second.first += 1;
        }
        if (votes.size() < 2) continue;
        auto song = votes.begin();
        const std::int64_t grid = static_cast<std::int64_t>(b + 1) * barRows;
        auto better = [grid](const auto& x, const auto& y) {
            if (x.second.first != y.second.first) return x.second.first > y.second.first;
            if ((x.first == grid) != (y.first == grid)) return x.first == grid;
            return x.second.second < y.second.second;
        };
        for (auto it = votes.begin(); it != votes.end(); ++it) {
            if (better(*it, *song)) song = it;
        }
        const std::int64_t row = song->first;
        const int reference = static_cast<int>(song->second.second);
        for (std::size_t c = 0; c < channels.size(); ++c) {
            if (reported[c] || b >= channels[c].bars.size() || channels[c].bars[b].row == row) {
                continue;
            }
            reported[c] = true;
            const std::int64_t gap = row - channels[c].bars[b].row;
            report.Warning(channels[c].bars[b].at,
                           ChannelName(static_cast<int>(c)) + " is " +
                               RowsText(gap < 0 ? -gap : gap) + (gap > 0 ? " short" : " long") +
                               " at bar " + Grouped(static_cast<std::int64_t>(b + 1)) + " (" +
                               ChannelName(reference) + " is at row " + Grouped(row) + " there); " +
                               (gap > 0 ? "add r%" + std::to_string(gap) + " before this bar line"
                                        : "take " + RowsText(-gap) + " out before this bar line"));
        }
    }
}

}  // namespace qzr::qmml

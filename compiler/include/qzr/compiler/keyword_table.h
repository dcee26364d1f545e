#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "qzr/format/song_target.h"

namespace qzr {

// The body keywords are derived from two small tables and the target's channel count, so the
// 285 (OPM) or 283 (OPN2) spellings are never typed by hand.

struct LengthSuffix {
    std::string_view text;
    int rows;  // one row is a sixty-fourth note
};

// There is no dotted sixty-fourth: it would be a row and a half.
inline constexpr std::array<LengthSuffix, 13> kLengthSuffixes{{{"64", 1},
                                                               {"32", 2},
                                                               {"32.", 3},
                                                               {"16", 4},
                                                               {"16.", 6},
                                                               {"8", 8},
                                                               {"8.", 12},
                                                               {"4", 16},
                                                               {"4.", 24},
                                                               {"2", 32},
                                                               {"2.", 48},
                                                               {"1", 64},
                                                               {"1.", 96}}};

// The rows a length suffix spells ("1" is a whole note, 64 rows); 0 for no suffix.
constexpr int RowsOfSuffix(std::string_view suffix) {
    for (const LengthSuffix& s : kLengthSuffixes) {
        if (s.text == suffix) return s.rows;
    }
    return 0;
}

struct NoteName {
    std::string_view text;
    int semitone;  // 1 = c to 12 = b
};

// Sharps are "+", flats "-"; e+, f-, b+ and c- are not spelled.
inline constexpr std::array<NoteName, 17> kNoteNames{{{"c", 1},
                                                      {"c+", 2},
                                                      {"d-", 2},
                                                      {"d", 3},
                                                      {"d+", 4},
                                                      {"e-", 4},
                                                      {"e", 5},
                                                      {"f", 6},
                                                      {"f+", 7},
                                                      {"g-", 7},
                                                      {"g", 8},
                                                      {"g+", 9},
                                                      {"a-", 9},
                                                      {"a", 10},
                                                      {"a+", 11},
                                                      {"b-", 11},
                                                      {"b", 12}}};

enum class KeywordKind : std::uint8_t {
    Channel,  // value: channel index from 0
    LegatoOn,
    LegatoOff,
    DefaultLength,  // rows: the new default length
    Octave,         // value: the octave
    OctaveUp,
    OctaveDown,
    Rest,  // rows: 0 means the default length
    Note,  // value: semitone; rows: 0 means the default length
};

struct Keyword {
    std::array<char, 12> chars{};
    std::uint8_t size = 0;
    KeywordKind kind{};
    std::int16_t value = 0;
    std::int16_t rows = 0;

    constexpr std::string_view Text() const { return {chars.data(), size}; }
};

inline constexpr std::size_t kMaxKeywords = 285;

// Keywords sorted by their bytes, for a binary search by the whole line.
struct KeywordTable {
    std::array<Keyword, kMaxKeywords> entries{};
    int count = 0;

    constexpr std::span<const Keyword> Entries() const {
        return {entries.data(), static_cast<std::size_t>(count)};
    }

    // The keyword that the whole line spells exactly (case-sensitive), or nullptr.
    constexpr const Keyword* Find(std::string_view line) const {
        const Keyword* first = entries.data();
        const Keyword* last = first + count;
        const Keyword* found = std::lower_bound(
            first, last, line,
            [](const Keyword& k, std::string_view text) { return k.Text() < text; });
        return (found != last && found->Text() == line) ? found : nullptr;
    }
};

namespace keyword_detail {

consteval Keyword Make(std::string_view a, std::string_view b, KeywordKind kind, int value,
                       int rows) {
    Keyword k{};
    for (char c : a) k.chars[k.size++] = c;
    for (char c : b) k.chars[k.size++] = c;
    k.kind = kind;
    k.value = static_cast<std::int16_t>(value);
    k.rows = static_cast<std::int16_t>(rows);
    return k;
}

}  // namespace keyword_detail

consteval KeywordTable BuildKeywordTable(const SongTarget& target) {
    using keyword_detail::Make;
    KeywordTable table{};
    auto add = [&table](const Keyword& k) {
        table.entries[static_cast<std::size_t>(table.count++)] = k;
    };
    constexpr std::string_view kDigits = "0123456789";

    for (int channel = 0; channel < target.channelCount; ++channel) {
        add(Make("ch", kDigits.substr(static_cast<std::size_t>(channel + 1), 1),
                 KeywordKind::Channel, channel, 0));
    }
    add(Make("legato on", "", KeywordKind::LegatoOn, 0, 0));
    add(Make("legato off", "", KeywordKind::LegatoOff, 0, 0));
    for (const auto& suffix : kLengthSuffixes) {
        add(Make("l", suffix.text, KeywordKind::DefaultLength, 0, suffix.rows));
    }
    for (int octave = 0; octave <= 7; ++octave) {
        add(Make("o", kDigits.substr(static_cast<std::size_t>(octave), 1), KeywordKind::Octave,
                 octave, 0));
    }
    add(Make("o+", "", KeywordKind::OctaveUp, 0, 0));
    add(Make("o-", "", KeywordKind::OctaveDown, 0, 0));
    add(Make("r", "", KeywordKind::Rest, 0, 0));
    for (const auto& suffix : kLengthSuffixes) {
        add(Make("r", suffix.text, KeywordKind::Rest, 0, suffix.rows));
    }
    for (const auto& note : kNoteNames) {
        add(Make(note.text, "", KeywordKind::Note, note.semitone, 0));
        for (const auto& suffix : kLengthSuffixes) {
            add(Make(note.text, suffix.text, KeywordKind::Note, note.semitone, suffix.rows));
        }
    }

    std::sort(table.entries.begin(), table.entries.begin() + table.count,
              [](const Keyword& x, const Keyword& y) { return x.Text() < y.Text(); });
    for (int i = 1; i < table.count; ++i) {
        // Two equal spellings would make the meaning of a line depend on the search order.
        if (table.entries[static_cast<std::size_t>(i - 1)].Text() ==
            table.entries[static_cast<std::size_t>(i)].Text()) {
            throw "duplicate keyword";
        }
    }
    return table;
}

inline constexpr KeywordTable kOPMKeywords = BuildKeywordTable(kOPMTarget);
inline constexpr KeywordTable kOPN2Keywords = BuildKeywordTable(kOPN2Target);
static_assert(kOPMKeywords.count == 285 && BuildKeywordTable(kOPN2Target).count == 283);
static_assert(kOPMKeywords.count == kOPMTarget.keywordCount);
static_assert(kOPN2Keywords.count == kOPN2Target.keywordCount);

// The table for a target's channel count (8: OPM, 6: OPN2).
const KeywordTable& KeywordsFor(const SongTarget& target);

}  // namespace qzr

#include "qzr/tools/diff.h"

#include <algorithm>
#include <array>

#include "qzr/format/rows.h"
#include "qzr/tools/song_input.h"

namespace qzr::tools {
namespace {

constexpr std::array<const char*, 6> kGroupNames{"DT1/MUL",    "TL",      "KS/AR",
                                                 "AMS-EN/D1R", "DT2/D2R", "D1L/RR"};
constexpr std::array<const char*, 4> kSlotNames{"M1", "M2", "C1", "C2"};

std::string Hex(int value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "0x%02X", value & 0xFF);
    return text.data();
}

// One line a voice: how many of its bytes differ and the first of them.
void CompareVoices(const SongImage& a, const SongImage& b, std::string& text) {
    // Songs of the two chips hold 8 and 6 voices: those both hold compare.
    const int voices = std::min(a.Target().VoiceCount(), b.Target().VoiceCount());
    for (int v = 0; v < voices; ++v) {
        const VoiceRecord x = a.Voice(v);
        const VoiceRecord y = b.Voice(v);
        int count = x.control != y.control ? 1 : 0;
        std::string first =
            count != 0 ? "control (pan, FB, CON) " + Hex(x.control) + " vs " + Hex(y.control) : "";
        for (std::size_t j = 0; j < x.operatorBytes.size(); ++j) {
            if (x.operatorBytes[j] == y.operatorBytes[j]) continue;
            if (count++ == 0) {
                first = std::string(kGroupNames[j / 4]) + " " + kSlotNames[j % 4] + " " +
                        Hex(x.operatorBytes[j]) + " vs " + Hex(y.operatorBytes[j]);
            }
        }
        if (count == 0) continue;
        text += "voice " + std::to_string(v + 1) + ": " + std::to_string(count) +
                (count == 1 ? " byte differs: " : " bytes differ, first ") + first + "\n";
    }
}

// The event of a row the song does not have reads as an empty one.
struct Event {
    std::uint8_t note = 0;
    std::uint8_t key = 0;
    friend bool operator==(const Event&, const Event&) = default;
};
Event EventAt(const SongImage& song, int row, int channel) {
    if (row >= song.RowCount()) return {};
    return {song.Note(row, channel), song.Key(row, channel)};
}
std::string EventText(const Event& event) { return TrackerEventText(event.note, event.key); }

std::string Trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// Row by row, as the player reads each song, over the channels both have: the first event that
// differs, named as a tracker shows it, and how many differ.
void CompareRows(const SongImage& a, const SongImage& b, std::string& text) {
    const int rows = std::max(a.RowCount(), b.RowCount());
    const int channels = std::min(a.Target().channelCount, b.Target().channelCount);
    long long differing = 0;
    // A row held whole by two songs of one layout with the same bytes holds the same events.
    const bool oneLayout = a.Kind() == b.Kind();
    const auto bytesA = a.Bytes();
    const auto bytesB = b.Bytes();
    const auto rowSize = static_cast<std::size_t>(a.Target().RowSize());
    const auto sameRow = [&](int row) {
        if (!oneLayout || row >= a.RowCount() || row >= b.RowCount()) return false;
        const auto at = static_cast<std::size_t>(a.Target().RowOffset(row));
        return at + rowSize <= bytesA.size() && at + rowSize <= bytesB.size() &&
               std::equal(bytesA.begin() + static_cast<std::ptrdiff_t>(at),
                          bytesA.begin() + static_cast<std::ptrdiff_t>(at + rowSize),
                          bytesB.begin() + static_cast<std::ptrdiff_t>(at));
    };
    const auto note = [&](int row, int c, const Event& x, const Event& y, long long count) {
        if (differing == 0) {
            text += "first difference in the rows: row " + std::to_string(row) + ", ch" +
                    std::to_string(c + 1) + ": " + Trimmed(EventText(x)) + " vs " +
                    Trimmed(EventText(y)) + "\n";
        }
        differing += count;
    };
    // Past both files' bytes every row of a song reads alike (255s within its row count, empty
    // after), so from there on the rows are compared a stretch at a time; before it, one by one.
    const auto firstRowPastBytes = [](const SongImage& song) {
        const SongTarget& target = song.Target();
        const auto size = static_cast<std::int64_t>(song.Bytes().size());
        const auto past = (size - target.rowsStart + target.RowSize() - 1) / target.RowSize();
        return static_cast<int>(std::clamp<std::int64_t>(past, 0, song.RowCount()));
    };
    const int alike = std::min(rows, std::max(firstRowPastBytes(a), firstRowPastBytes(b)));
    for (int row = 0; row < alike; ++row) {
        if (sameRow(row)) continue;
        for (int c = 0; c < channels; ++c) {
            // Compared as bytes; only the first difference is put in words.
            const Event x = EventAt(a, row, c);
            const Event y = EventAt(b, row, c);
            if (x != y) note(row, c, x, y, 1);
        }
    }
    std::vector<int> bounds{alike, rows};
    for (const int count : {a.RowCount(), b.RowCount()}) {
        if (count > alike && count < rows) bounds.push_back(count);
    }
    std::sort(bounds.begin(), bounds.end());
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const int from = bounds[i];
        const int length = bounds[i + 1] - from;
        if (length == 0) continue;
        for (int c = 0; c < channels; ++c) {
            const Event x = EventAt(a, from, c);
            const Event y = EventAt(b, from, c);
            if (x != y) note(from, c, x, y, length);
        }
    }
    if (differing != 0) {
        text +=
            std::to_string(differing) + (differing == 1 ? " event differs\n" : " events differ\n");
    }
}

// Songs of one chip share a layout, so their bytes compare too (bytes past the end of the
// shorter file count as differing).
std::size_t DifferingBytes(const SongImage& a, const SongImage& b) {
    const auto x = a.Bytes();
    const auto y = b.Bytes();
    const std::size_t common = std::min(x.size(), y.size());
    std::size_t differing = std::max(x.size(), y.size()) - common;
    for (std::size_t i = 0; i < common; ++i) differing += x[i] != y[i] ? 1 : 0;
    return differing;
}

}  // namespace

std::string DescribeDifferences(const SongImage& a, const SongImage& b) {
    std::string text;
    const bool sameChip = a.Kind() == b.Kind();
    if (!sameChip) {
        text += "chip: " + std::string(SongKindName(a.Kind())) + " vs " +
                std::string(SongKindName(b.Kind())) + "\n";
    }
    if (a.Title() != b.Title()) text += "title: \"" + a.Title() + "\" vs \"" + b.Title() + "\"\n";
    CompareVoices(a, b, text);
    if (a.Speed() != b.Speed()) {
        text += "speed: " + std::to_string(a.Speed()) + " vs " + std::to_string(b.Speed()) + "\n";
    }
    if (a.DeclaredRowCount() != b.DeclaredRowCount()) {
        text += "row count: " + std::to_string(a.DeclaredRowCount()) + " vs " +
                std::to_string(b.DeclaredRowCount()) + "\n";
    }
    CompareRows(a, b, text);
    if (sameChip) {
        if (const std::size_t bytes = DifferingBytes(a, b); bytes != 0) {
            text += std::to_string(bytes) + (bytes == 1 ? " byte differs\n" : " bytes differ\n");
        }
    }
    return text;
}

int RunDiff(const DiffInput& a, const DiffInput& b, std::FILE* out, std::FILE* err) {
    const auto first = LoadSongImage(a.path, a.kind, err);
    if (!first) return 2;
    const auto second = LoadSongImage(b.path, b.kind, err);
    if (!second) return 2;
    const std::string text = DescribeDifferences(*first, *second);
    std::fputs(text.c_str(), out);
    return text.empty() ? 0 : 1;
}

}  // namespace qzr::tools

#include "qzr/tools/diff.h"

#include <algorithm>
#include <array>

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
    for (int v = 0; v < a.Target().VoiceCount(); ++v) {
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

}  // namespace

std::string DescribeDifferences(const SongImage& a, const SongImage& b) {
    std::string text;
    if (a.Title() != b.Title()) text += "title: \"" + a.Title() + "\" vs \"" + b.Title() + "\"\n";
    CompareVoices(a, b, text);
    if (a.Speed() != b.Speed()) {
        text += "speed: " + std::to_string(a.Speed()) + " vs " + std::to_string(b.Speed()) + "\n";
    }
    if (a.DeclaredRowCount() != b.DeclaredRowCount()) {
        text += "row count: " + std::to_string(a.DeclaredRowCount()) + " vs " +
                std::to_string(b.DeclaredRowCount()) + "\n";
    }

    const auto x = a.Bytes();
    const auto y = b.Bytes();
    const std::size_t common = std::min(x.size(), y.size());
    std::size_t differing = std::max(x.size(), y.size()) - common;
    for (std::size_t i = 0; i < common; ++i) differing += x[i] != y[i] ? 1 : 0;

    const SongTarget& target = a.Target();
    const auto rowsStart = static_cast<std::size_t>(target.rowsStart);
    const auto rowSize = static_cast<std::size_t>(target.RowSize());
    for (std::size_t i = rowsStart; i < std::max(x.size(), y.size()); ++i) {
        const bool inX = i < x.size();
        const bool inY = i < y.size();
        if (inX && inY && x[i] == y[i]) continue;
        const std::size_t row = (i - rowsStart) / rowSize;
        const std::size_t byte = (i - rowsStart) % rowSize;
        text += "first difference in the rows: row " + std::to_string(row) + ", ch" +
                std::to_string(byte / 2 + 1) + ", " + (byte % 2 == 0 ? "note" : "key") +
                " byte: " + (inX ? Hex(x[i]) : std::string("end of file")) + " vs " +
                (inY ? Hex(y[i]) : std::string("end of file")) + "\n";
        break;
    }
    if (differing != 0) text += std::to_string(differing) + " bytes differ\n";
    return text;
}

int RunDiff(const std::string& a, const std::string& b, SongKind kind, std::FILE* out,
            std::FILE* err) {
    const auto first = LoadSongImage(a, kind, err);
    if (!first) return 2;
    const auto second = LoadSongImage(b, kind, err);
    if (!second) return 2;
    const std::string text = DescribeDifferences(*first, *second);
    std::fputs(text.c_str(), out);
    return text.empty() ? 0 : 1;
}

}  // namespace qzr::tools

#include "qzr/tools/song_view.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

namespace qzr::tools {
namespace {

// The OPM player's event area holds this many rows; a longer song loops after them.
constexpr int kMaxRowsOPM = 49'151;
constexpr int kHighestNote = 96;

}  // namespace

const SongTarget& TargetFor(Chip chip) { return chip == Chip::OPM ? kOPMTarget : kOPN2Target; }

std::string_view ChipName(Chip chip) { return chip == Chip::OPM ? "OPM" : "OPN2"; }

std::optional<Chip> ParseChip(std::string_view text) {
    if (text == "opm") return Chip::OPM;
    if (text == "opn2") return Chip::OPN2;
    return std::nullopt;
}

std::optional<Chip> ChipFromFileName(std::string_view path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const bool opm = name.find(".opm.") != std::string::npos;
    const bool opn2 = name.find(".opn2.") != std::string::npos;
    if (opm == opn2) return std::nullopt;
    return opm ? Chip::OPM : Chip::OPN2;
}

SongView::SongView(Chip chip, std::vector<std::uint8_t> bytes)
    : chip_(chip), bytes_(std::move(bytes)) {}

int SongView::ByteOr255(std::size_t offset) const {
    return offset < bytes_.size() ? bytes_[offset] : 255;
}

std::string SongView::Title() const {
    std::string title;
    for (std::size_t i = 0; i < kTitleSize && i < bytes_.size() && bytes_[i] != 0; ++i) {
        title.push_back(static_cast<char>(bytes_[i]));
    }
    return title;
}

VoiceRecord SongView::Voice(int voice) const {
    const SongTarget& target = Target();
    VoiceRecord record;
    const auto start = static_cast<std::size_t>(target.VoiceRecordOffset(voice));
    for (std::size_t j = 0; j < record.operatorBytes.size(); ++j) {
        record.operatorBytes[j] = static_cast<std::uint8_t>(ByteOr255(start + j));
    }
    record.control = static_cast<std::uint8_t>(
        ByteOr255(static_cast<std::size_t>(target.ControlByteOffset(voice))));
    return record;
}

int SongView::Speed() const { return ByteOr255(static_cast<std::size_t>(Target().speedOffset)); }

int SongView::DeclaredRowCount() const {
    const SongTarget& target = Target();
    const auto low = static_cast<std::size_t>(target.RowCountLowOffset());
    const auto high = static_cast<std::size_t>(target.RowCountHighOffset());
    if (chip_ == Chip::OPN2 && bytes_.size() <= high) {
        // The OPN2 player reads a missing byte as -1 here, not as 255.
        const int h = high < bytes_.size() ? bytes_[high] : -1;
        const int l = low < bytes_.size() ? bytes_[low] : -1;
        return (256 * h + l) & 0xFFFF;
    }
    return 256 * ByteOr255(high) + ByteOr255(low);
}

int SongView::RowCount() const {
    const int declared = DeclaredRowCount();
    return chip_ == Chip::OPM ? std::min(declared, kMaxRowsOPM) : declared;
}

std::uint8_t SongView::Note(int row, int channel) const {
    return static_cast<std::uint8_t>(ByteOr255(static_cast<std::size_t>(Target().RowOffset(row)) +
                                               2 * static_cast<std::size_t>(channel)));
}

std::uint8_t SongView::Key(int row, int channel) const {
    return static_cast<std::uint8_t>(ByteOr255(static_cast<std::size_t>(Target().RowOffset(row)) +
                                               2 * static_cast<std::size_t>(channel) + 1));
}

std::int64_t SongView::TicksPerRow() const {
    // The OPN2 tick counts groups of three ticks.
    return chip_ == Chip::OPM ? Speed() : 3 * Speed();
}

std::int64_t SongView::TicksPerPass() const { return TicksPerRow() * RowCount(); }

std::string NoteName(std::uint8_t code) {
    static constexpr std::array<const char*, 12> kNames{"C-", "C#", "D-", "D#", "E-", "F-",
                                                        "F#", "G-", "G#", "A-", "A#", "B-"};
    if (code == 0) return "---";
    if (code > kHighestNote) {
        std::array<char, 8> text{};
        std::snprintf(text.data(), text.size(), "?%02X", code);
        return text.data();
    }
    const int index = code - 1;
    return std::string(kNames[static_cast<std::size_t>(index % 12)]) +
           static_cast<char>('0' + index / 12);
}

}  // namespace qzr::tools

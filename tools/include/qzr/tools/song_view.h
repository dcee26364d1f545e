#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/format/song_target.h"

namespace qzr::tools {

enum class Chip : std::uint8_t { OPM, OPN2 };

const SongTarget& TargetFor(Chip chip);
std::string_view ChipName(Chip chip);
// "opm" or "opn2" (as typed on the command line); nullopt for anything else.
std::optional<Chip> ParseChip(std::string_view text);
// The chip a file name announces with ".opm." or ".opn2."; nullopt when it says neither or both.
std::optional<Chip> ChipFromFileName(std::string_view path);

// One voice record, in the order the player writes it into the chip.
struct VoiceRecord {
    std::array<std::uint8_t, kOperatorBytes> operatorBytes{};  // group g, slot s at 4 g + s
    std::uint8_t control = 0;  // register 0x20 layout: pan R, L, feedback, connection
};

// A song file as the player reads it: missing header bytes count as 255, the OPM row count is
// held at what the player can load, and rows missing at the end of the file are 255 bytes.
class SongView {
public:
    SongView(Chip chip, std::vector<std::uint8_t> bytes);

    Chip GetChip() const { return chip_; }
    const SongTarget& Target() const { return TargetFor(chip_); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    std::string Title() const;  // up to the first zero byte, at most 24 bytes
    VoiceRecord Voice(int voice) const;
    int Speed() const;
    int DeclaredRowCount() const;  // as the file says it
    int RowCount() const;          // the rows the player plays before it wraps
    // Note and key byte of a channel (from 0) in a row (below RowCount()).
    std::uint8_t Note(int row, int channel) const;
    std::uint8_t Key(int row, int channel) const;

    // Ticks (5 ms each) from the start to the end of one pass; 0 when the song never wraps.
    std::int64_t TicksPerRow() const;
    std::int64_t TicksPerPass() const;

private:
    int ByteOr255(std::size_t offset) const;
    Chip chip_;
    std::vector<std::uint8_t> bytes_;
};

inline constexpr int kTickPeriodMs = 5;

// "C-4", "C#4" ... for note codes 1 to 96; "---" for 0, "?xx" (hex) for codes the player ignores.
std::string NoteName(std::uint8_t code);

}  // namespace qzr::tools

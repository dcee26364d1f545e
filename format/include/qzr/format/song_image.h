#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "qzr/format/player_timing.h"
#include "qzr/format/song_kind.h"

namespace qzr {

// One voice record, in the order the player writes it into the chip.
struct VoiceRecord {
    std::array<std::uint8_t, kOperatorBytes> operatorBytes{};  // group g, slot s at 4 g + s
    std::uint8_t control = 0;  // register 0x20's layout: R, L, feedback, connection
};

// A song file's bytes read as the player reads them. This is the one place that says what a
// song image means; the player's loading and every tool go through it.
//  - A header or row byte past the end of the image reads as 255.
//  - The OPN2 row count reads a missing byte as -1 instead, so an image that ends before the
//    count gives 0xFEFF rows, and one that ends between its two bytes 256 x high - 1.
//  - The OPM row count is held at the rows the player can hold (PlayedRowLimit); the OPN2 count
//    always fits.
class SongImage {
public:
    SongImage(SongKind kind, std::vector<std::uint8_t> bytes);

    SongKind Kind() const { return kind_; }
    const SongTarget& Target() const { return TargetFor(kind_); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    // The byte at an absolute offset; 255 past the end.
    std::uint8_t ByteAt(std::size_t offset) const;
    // `out.size()` bytes from `offset` on, 255 past the end.
    void CopyBytes(std::size_t offset, std::span<std::uint8_t> out) const;

    std::string Title() const;  // up to the first zero byte, at most 24 bytes
    VoiceRecord Voice(int voice) const;
    int Speed() const;
    int DeclaredRowCount() const;  // what the file says, by the rules above
    int RowCount() const;          // the rows the player plays before it wraps
    // Note and key byte of a channel (from 0) in a row.
    std::uint8_t Note(int row, int channel) const;
    std::uint8_t Key(int row, int channel) const;

    // Ticks (kTickPeriodMs each) from one row to the next and over one pass; 0 when the song
    // never wraps.
    std::int64_t TicksPerRow() const;
    std::int64_t TicksPerPass() const;

private:
    SongKind kind_;
    std::vector<std::uint8_t> bytes_;
};

// The bytes of a song file the player may read: the header and the most rows it can hold. Rows
// past them are never played.
constexpr std::size_t MaxPlayedImageSize(SongKind kind) {
    const SongTarget& target = TargetFor(kind);
    return static_cast<std::size_t>(target.RowOffset(PlayedRowLimit(kind)));
}

}  // namespace qzr

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "qzr/compiler/byte_sink.h"
#include "qzr/format/song_target.h"

namespace qzr {

struct ByteWrite {
    std::size_t offset;
    std::uint8_t value;
};

// Writes note and key bytes into the rows area, and only there: a write for a row below row 0
// or at kRowLimit or beyond is skipped (not moved), so the header stays intact and no source can
// make a file larger than the rows a player can reach. Remembers the writes of the current line.
class RowWriter {
public:
    RowWriter(ByteSink& sink, const SongTarget& target) : sink_(sink), target_(target) {}

    void Put(std::int64_t row, int byteInRow, std::uint8_t value);

    void StartLine() {
        writeCount_ = 0;
        skipped_ = 0;
    }
    std::span<const ByteWrite> LineWrites() const {
        return {writes_.data(), static_cast<std::size_t>(writeCount_)};
    }
    int LineSkipped() const { return skipped_; }

private:
    ByteSink& sink_;
    const SongTarget& target_;
    std::array<ByteWrite, 4> writes_{};
    int writeCount_ = 0;
    int skipped_ = 0;
};

}  // namespace qzr

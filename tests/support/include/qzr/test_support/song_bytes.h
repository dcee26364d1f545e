#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "qzr/format/song_target.h"
#include "qzr/test_support/byte_diff.h"

namespace qzr::test {

using VoiceRecordBytes = std::array<std::uint8_t, 28>;  // the OPM record uses the first 27

// A voice whose bytes differ from voice to voice and from byte to byte, so a write to the wrong
// register or from the wrong offset shows.
VoiceRecordBytes DistinctVoice(int voice);

// Builds a song file of either layout byte by byte; bytes not set are zero.
class SongBytes {
public:
    explicit SongBytes(const SongTarget& target);

    SongBytes& Speed(std::uint8_t speed);
    SongBytes& RowCount(std::uint16_t rows);  // in the target's byte order
    SongBytes& Voice(int voice, const VoiceRecordBytes& record);
    SongBytes& DistinctVoices();
    // Makes sure the file holds `rows` whole rows.
    SongBytes& Rows(int rows);
    SongBytes& Event(int row, int channel, std::uint8_t note, std::uint8_t key);
    SongBytes& At(std::size_t offset, std::uint8_t value);
    SongBytes& Truncate(std::size_t size);

    const Bytes& Get() const { return bytes_; }
    void WriteTo(const std::filesystem::path& path) const;

private:
    const SongTarget& target_;
    Bytes bytes_;
};

}  // namespace qzr::test

#include "qzr/test_support/song_bytes.h"

#include "qzr/test_support/file_bytes.h"

namespace qzr::test {

VoiceRecordBytes DistinctVoice(int voice) {
    VoiceRecordBytes record{};
    for (std::size_t j = 0; j < record.size(); ++j) {
        record[j] = static_cast<std::uint8_t>(voice * 29 + static_cast<int>(j) * 7 + 1);
    }
    return record;
}

SongBytes::SongBytes(const SongTarget& target)
    : target_(target), bytes_(static_cast<std::size_t>(target.rowsStart), 0) {}

SongBytes& SongBytes::Speed(std::uint8_t speed) {
    return At(static_cast<std::size_t>(target_.speedOffset), speed);
}

SongBytes& SongBytes::RowCount(std::uint16_t rows) {
    const auto low = static_cast<std::uint8_t>(rows & 0xFF);
    const auto high = static_cast<std::uint8_t>(rows >> 8);
    const auto at = static_cast<std::size_t>(target_.rowCountOffset);
    const bool little = target_.rowCountOrder == ByteOrder::Little;
    return At(at, little ? low : high).At(at + 1, little ? high : low);
}

SongBytes& SongBytes::Voice(int voice, const VoiceRecordBytes& record) {
    const auto start = static_cast<std::size_t>(target_.VoiceRecordOffset(voice));
    for (std::size_t j = 0; j < static_cast<std::size_t>(target_.voiceRecordSize); ++j) {
        At(start + j, record[j]);
    }
    return *this;
}

SongBytes& SongBytes::DistinctVoices() {
    for (int v = 0; v < target_.VoiceCount(); ++v) Voice(v, DistinctVoice(v));
    return *this;
}

SongBytes& SongBytes::Rows(int rows) {
    const auto size = static_cast<std::size_t>(target_.RowOffset(rows));
    if (bytes_.size() < size) bytes_.resize(size, 0);
    return *this;
}

SongBytes& SongBytes::Event(int row, int channel, std::uint8_t note, std::uint8_t key) {
    const auto at = static_cast<std::size_t>(target_.RowOffset(row) + 2 * channel);
    return At(at, note).At(at + 1, key);
}

SongBytes& SongBytes::At(std::size_t offset, std::uint8_t value) {
    if (bytes_.size() <= offset) bytes_.resize(offset + 1, 0);
    bytes_[offset] = value;
    return *this;
}

SongBytes& SongBytes::Truncate(std::size_t size) {
    bytes_.resize(size);
    return *this;
}

void SongBytes::WriteTo(const std::filesystem::path& path) const { WriteBytes(path, bytes_); }

}  // namespace qzr::test

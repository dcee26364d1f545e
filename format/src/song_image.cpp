#include "qzr/format/song_image.h"

#include <algorithm>

#include "qzr/format/player_timing.h"

namespace qzr {

SongImage::SongImage(SongKind kind, std::vector<std::uint8_t> bytes)
    : kind_(kind), bytes_(std::move(bytes)) {}

std::uint8_t SongImage::ByteAt(std::size_t offset) const {
    return offset < bytes_.size() ? bytes_[offset] : 255;
}

void SongImage::CopyBytes(std::size_t offset, std::span<std::uint8_t> out) const {
    const std::size_t present = offset < bytes_.size() ? bytes_.size() - offset : 0;
    const std::size_t copied = std::min(present, out.size());
    // Only an offset inside the image may be added to its start.
    if (copied > 0) {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), copied, out.begin());
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(copied), out.end(), std::uint8_t{255});
}

std::string SongImage::Title() const {
    std::string title;
    for (std::size_t i = 0; i < kTitleSize && i < bytes_.size() && bytes_[i] != 0; ++i) {
        title.push_back(static_cast<char>(bytes_[i]));
    }
    return title;
}

VoiceRecord SongImage::Voice(int voice) const {
    const SongTarget& target = Target();
    VoiceRecord record;
    CopyBytes(static_cast<std::size_t>(target.VoiceRecordOffset(voice)), record.operatorBytes);
    record.control = ByteAt(static_cast<std::size_t>(target.ControlByteOffset(voice)));
    return record;
}

int SongImage::Speed() const { return ByteAt(static_cast<std::size_t>(Target().speedOffset)); }

int SongImage::DeclaredRowCount() const {
    const SongTarget& target = Target();
    const auto low = static_cast<std::size_t>(target.RowCountLowOffset());
    const auto high = static_cast<std::size_t>(target.RowCountHighOffset());
    if (kind_ == SongKind::OPN2) {
        const int h = high < bytes_.size() ? bytes_[high] : -1;
        const int l = low < bytes_.size() ? bytes_[low] : -1;
        return (256 * h + l) & 0xFFFF;
    }
    return 256 * ByteAt(high) + ByteAt(low);
}

int SongImage::RowCount() const {
    return std::min(DeclaredRowCount(), static_cast<int>(PlayedRowLimit(kind_)));
}

std::uint8_t SongImage::Note(int row, int channel) const {
    return ByteAt(static_cast<std::size_t>(Target().RowOffset(row)) +
                  2 * static_cast<std::size_t>(channel));
}

std::uint8_t SongImage::Key(int row, int channel) const {
    return ByteAt(static_cast<std::size_t>(Target().RowOffset(row)) +
                  2 * static_cast<std::size_t>(channel) + 1);
}

std::int64_t SongImage::TicksPerRow() const { return qzr::TicksPerRow(kind_, Speed()); }

std::int64_t SongImage::TicksPerPass() const { return TicksPerRow() * RowCount(); }

}  // namespace qzr

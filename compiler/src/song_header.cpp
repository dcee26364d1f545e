#include "qzr/compiler/song_header.h"

#include <algorithm>
#include <cstddef>

namespace qzr {

namespace {

std::uint8_t Low8(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

void WriteSongHeader(ByteSink& sink, const SongTarget& target, std::string_view title,
                     std::int32_t speedValue, std::int32_t rowCountValue) {
    // Only 24 bytes belong to the title; more would spill into the voice records.
    const std::string_view kept = title.substr(0, std::min<std::size_t>(title.size(), kTitleSize));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        sink.Put(i, static_cast<std::uint8_t>(kept[i]));
    }
    sink.Put(static_cast<std::size_t>(target.speedOffset), Low8(speedValue));
    const std::int32_t high = rowCountValue > 255 ? rowCountValue / 256 : 0;
    const std::int32_t low = rowCountValue > 255 ? rowCountValue % 256 : rowCountValue;
    sink.Put(static_cast<std::size_t>(target.RowCountLowOffset()), Low8(low));
    sink.Put(static_cast<std::size_t>(target.RowCountHighOffset()), Low8(high));
}

void SetPan(CompilerState& state, std::string_view panLine) {
    if (panLine == "11") {
        state.panLeft = 1;
        state.panRight = 1;
    } else if (panLine == "10") {
        state.panLeft = 1;
        state.panRight = 0;
    } else if (panLine == "01") {
        state.panLeft = 0;
        state.panRight = 1;
    }
}

std::uint8_t ControlByte(std::uint8_t fbConnection, std::uint8_t panLeft, std::uint8_t panRight) {
    const int high = fbConnection / 16;
    const int low = fbConnection % 16;
    return Low8(8 * high + low + 64 * panLeft + 128 * panRight);
}

void WriteVoiceRecord(ByteSink& sink, const SongTarget& target, int voice,
                      const std::array<std::uint8_t, kVoiceFileBytes>& voiceBytes,
                      const CompilerState& state) {
    const auto record = static_cast<std::size_t>(target.VoiceRecordOffset(voice));
    for (std::size_t i = 0; i < static_cast<std::size_t>(target.voiceBytesCopied); ++i) {
        sink.Put(record + i, voiceBytes[i]);
    }
    sink.Put(static_cast<std::size_t>(target.ControlByteOffset(voice)),
             ControlByte(voiceBytes[kVoiceFileBytes - 1], state.panLeft, state.panRight));
}

}  // namespace qzr

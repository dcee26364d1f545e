#pragma once

#include <cstdint>

namespace qzr {

enum class ByteOrder : std::uint8_t { Little, Big };

// Everything that tells an OPM song file from an OPN2 one. Offsets are absolute file offsets;
// the rows start right after the header and hold one note byte and one key byte per channel.
struct SongTarget {
    int channelCount;         // "ch1" .. "chN"; also the number of voices
    int voiceTableStart;      // offset of voice record 0
    int voiceRecordSize;      // bytes per voice record in the file
    int voiceBytesCopied;     // bytes copied unchanged from the voice file into the record
    int controlByteIndex;     // record byte that holds the control byte (pan, feedback, connection)
    int speedOffset;          // ticks per row (OPN2: groups of three ticks)
    int rowCountOffset;       // first of the two row count bytes
    ByteOrder rowCountOrder;  // byte order of the 16-bit row count
    int rowsStart;            // offset of row 0
    int keywordCount;         // how many body keywords the target knows

    constexpr int RowSize() const { return 2 * channelCount; }
    constexpr int VoiceCount() const { return channelCount; }
    constexpr int VoiceLineCount() const { return 2 * channelCount; }
    constexpr int FirstBodyLine() const { return 4 + VoiceLineCount(); }  // one-based
    constexpr int VoiceRecordOffset(int voice) const {
        return voiceTableStart + voiceRecordSize * voice;
    }
    constexpr int ControlByteOffset(int voice) const {
        return VoiceRecordOffset(voice) + controlByteIndex;
    }
    constexpr long long RowOffset(long long row) const { return rowsStart + RowSize() * row; }
    constexpr int RowCountLowOffset() const {
        return rowCountOrder == ByteOrder::Little ? rowCountOffset : rowCountOffset + 1;
    }
    constexpr int RowCountHighOffset() const {
        return rowCountOrder == ByteOrder::Little ? rowCountOffset + 1 : rowCountOffset;
    }
};

inline constexpr int kTitleSize = 24;
inline constexpr int kVoiceFileBytes = 25;  // 24 operator bytes, then feedback/connection
inline constexpr int kOperatorBytes = 24;
// A 16-bit row count reaches rows 0 to 65,535; no player can play a row beyond them.
inline constexpr long long kRowLimit = 65536;

inline constexpr SongTarget kOPMTarget{.channelCount = 8,
                                       .voiceTableStart = 24,
                                       .voiceRecordSize = 27,
                                       .voiceBytesCopied = 24,
                                       .controlByteIndex = 24,
                                       .speedOffset = 269,
                                       .rowCountOffset = 270,
                                       .rowCountOrder = ByteOrder::Little,
                                       .rowsStart = 272,
                                       .keywordCount = 285};

inline constexpr SongTarget kOPN2Target{.channelCount = 6,
                                        .voiceTableStart = 24,
                                        .voiceRecordSize = 28,
                                        .voiceBytesCopied = 25,
                                        .controlByteIndex = 25,
                                        .speedOffset = 213,
                                        .rowCountOffset = 214,
                                        .rowCountOrder = ByteOrder::Big,
                                        .rowsStart = 216,
                                        .keywordCount = 283};

static_assert(kOPMTarget.rowsStart == kOPMTarget.speedOffset + 3);
static_assert(kOPN2Target.rowsStart == kOPN2Target.speedOffset + 3);
static_assert(kOPMTarget.rowCountOffset == kOPMTarget.speedOffset + 1);
static_assert(kOPN2Target.rowCountOffset == kOPN2Target.speedOffset + 1);
static_assert(kOPMTarget.VoiceRecordOffset(8) <= 240);
static_assert(kOPN2Target.VoiceRecordOffset(6) <= 192);
static_assert(kOPMTarget.RowSize() == 16 && kOPN2Target.RowSize() == 12);

}  // namespace qzr

#include <algorithm>
#include <limits>

#include "byte_order.h"
#include "qzr/vgm/vgm_file.h"
#include "qzr/vgm/vgm_layout.h"

namespace qzr::vgm {
namespace {

constexpr std::uint64_t kMost32 = std::numeric_limits<std::uint32_t>::max();

class CommandStream {
public:
    explicit CommandStream(std::vector<std::uint8_t>& out) : out_(out) {}

    // Waits from the stream's position to `sample`, in as few commands as the format allows.
    void WaitUntil(std::uint64_t sample) {
        while (now_ < sample) {
            const std::uint64_t left = sample - now_;
            if (left <= kLongestShortWait) {
                out_.push_back(static_cast<std::uint8_t>(kShortWaitBase + left - 1));
                now_ += left;
            } else {
                const auto step =
                    static_cast<std::uint16_t>(std::min<std::uint64_t>(left, kLongestWait));
                out_.push_back(kWait);
                Append16(out_, step);
                now_ += step;
            }
        }
    }

    void Write(const TimedWrite& write) {
        WaitUntil(write.sample);
        out_.insert(out_.end(), {kWriteYM2151, write.reg, write.value});
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t now_ = 0;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> WriteVgm(const VgmSong& song, std::string& error) {
    if (song.totalSamples > kMost32) {
        error = "the stream lasts " + std::to_string(song.totalSamples) +
                " samples, more than the header's 32 bits count";
        return std::nullopt;
    }
    if (song.loopSample && *song.loopSample >= song.totalSamples) {
        error = "the loop starts at sample " + std::to_string(*song.loopSample) +
                ", not before the end at " + std::to_string(song.totalSamples);
        return std::nullopt;
    }
    if (!std::is_sorted(
            song.writes.begin(), song.writes.end(),
            [](const TimedWrite& a, const TimedWrite& b) { return a.sample < b.sample; }) ||
        (!song.writes.empty() && song.writes.back().sample > song.totalSamples)) {
        error = "the writes are out of order or past the end";
        return std::nullopt;
    }
    if (song.clockHz == 0 || song.clockHz > kClockMask) {
        error = "the YM2151 clock " + std::to_string(song.clockHz) + " Hz cannot be written";
        return std::nullopt;
    }

    std::vector<std::uint8_t> out(kHeaderSize, 0);
    std::copy(kIdentText, kIdentText + 4, out.begin());
    Put32(out, kVersion, kWrittenVersion);
    Put32(out, kYM2151Clock, song.clockHz);
    Put32(out, kTotalSamples, static_cast<std::uint32_t>(song.totalSamples));
    Put32(out, kDataOffset, static_cast<std::uint32_t>(kHeaderSize - kDataOffset));

    CommandStream stream(out);
    std::optional<std::size_t> loopAt;
    const auto markLoop = [&] {
        stream.WaitUntil(*song.loopSample);
        loopAt = out.size();
    };
    for (const TimedWrite& write : song.writes) {
        if (song.loopSample && !loopAt && write.sample >= *song.loopSample) markLoop();
        stream.Write(write);
    }
    if (song.loopSample && !loopAt) markLoop();
    stream.WaitUntil(song.totalSamples);
    out.push_back(kEndOfData);
    if (loopAt) {
        Put32(out, kLoopOffset, static_cast<std::uint32_t>(*loopAt - kLoopOffset));
        Put32(out, kLoopSamples, static_cast<std::uint32_t>(song.LoopSamples()));
    }
    if (song.tag) {
        Put32(out, kGd3Offset, static_cast<std::uint32_t>(out.size() - kGd3Offset));
        const std::vector<std::uint8_t> tag = EncodeTag(*song.tag);
        out.insert(out.end(), tag.begin(), tag.end());
    }
    if (out.size() > kMost32) {
        error = "the file would be larger than its header's 32-bit offsets reach";
        return std::nullopt;
    }
    Put32(out, kEofOffset, static_cast<std::uint32_t>(out.size() - kEofOffset));
    return out;
}

}  // namespace qzr::vgm

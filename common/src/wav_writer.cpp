#include "qzr/common/wav_writer.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

namespace qzr {
namespace {

void PutLE16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v & 0xFF);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLE32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

void PutTag(std::uint8_t* at, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(tag[i]);
}

}  // namespace

std::array<std::uint8_t, kWavHeaderBytes> WavHeader(std::uint64_t frames, std::uint32_t rate) {
    assert(frames <= kMaxWavFrames);
    const auto dataBytes = static_cast<std::uint32_t>(frames * kWavBytesPerFrame);
    std::array<std::uint8_t, kWavHeaderBytes> h{};
    PutTag(&h[0], "RIFF");
    PutLE32(&h[4], 36 + dataBytes);
    PutTag(&h[8], "WAVE");
    PutTag(&h[12], "fmt ");
    PutLE32(&h[16], 16);
    PutLE16(&h[20], 1);  // PCM
    PutLE16(&h[22], 2);  // channels
    PutLE32(&h[24], rate);
    PutLE32(&h[28], rate * kWavBytesPerFrame);  // bytes per second
    PutLE16(&h[32], kWavBytesPerFrame);         // bytes per frame
    PutLE16(&h[34], 16);                        // bits per sample
    PutTag(&h[36], "data");
    PutLE32(&h[40], dataBytes);
    return h;
}

WavStreamWriter::WavStreamWriter(std::uint64_t frames, std::uint32_t rate, ByteSink sink)
    : frames_(frames), rate_(rate), sink_(std::move(sink)) {
    assert(frames_ <= kMaxWavFrames);
}

bool WavStreamWriter::WriteHeaderOnce() {
    if (headerWritten_) return true;
    headerWritten_ = true;
    const auto header = WavHeader(frames_, rate_);
    if (!sink_(header)) failed_ = true;
    return !failed_;
}

bool WavStreamWriter::Write(std::span<const std::int16_t> interleaved) {
    if (failed_ || !WriteHeaderOnce()) return false;
    const std::uint64_t frames = interleaved.size() / 2;
    if (frames > frames_ - written_) {
        failed_ = true;
        return false;
    }
    std::vector<std::uint8_t> bytes(interleaved.size() * 2);
    for (std::size_t i = 0; i < interleaved.size(); ++i) {
        PutLE16(&bytes[2 * i], static_cast<std::uint16_t>(interleaved[i]));
    }
    if (!sink_(bytes)) {
        failed_ = true;
        return false;
    }
    written_ += frames;
    return true;
}

bool WavStreamWriter::Finish() { return WriteHeaderOnce() && !failed_ && written_ == frames_; }

}  // namespace qzr

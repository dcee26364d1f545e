#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

// The project's one WAV writer: 16-bit PCM stereo (left first), written as it goes. The header
// states the whole length before the first frame, so the file can go to a pipe and is never held
// in memory; the length is therefore planned first.
namespace qzr {

inline constexpr std::size_t kWavHeaderBytes = 44;
inline constexpr std::uint32_t kWavBytesPerFrame = 4;
// A RIFF size is 32 bits and counts the 36 header bytes after it: the most frames a WAV holds
// (about 6 h 45 min at 44.1 kHz).
inline constexpr std::uint64_t kMaxWavFrames = (0xFFFF'FFFFull - 36) / kWavBytesPerFrame;

// The 44 header bytes of a WAV of `frames` frames (at most kMaxWavFrames) at `rate` Hz.
std::array<std::uint8_t, kWavHeaderBytes> WavHeader(std::uint64_t frames, std::uint32_t rate);

class WavStreamWriter {
public:
    // Where the bytes go, in order; false when they cannot be written.
    using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

    // A WAV of exactly `frames` frames (at most kMaxWavFrames) at `rate` Hz into `sink`.
    WavStreamWriter(std::uint64_t frames, std::uint32_t rate, ByteSink sink);

    // Interleaved left, right frames; the header goes out before the first. False on a sink
    // error or past the planned length.
    bool Write(std::span<const std::int16_t> interleaved);

    // True when exactly the planned frames went out (the header too, for an empty WAV).
    bool Finish();

private:
    bool WriteHeaderOnce();

    std::uint64_t frames_;
    std::uint32_t rate_;
    ByteSink sink_;
    std::uint64_t written_ = 0;
    bool headerWritten_ = false;
    bool failed_ = false;
};

}  // namespace qzr

#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "qzr/format/song_image.h"

namespace qzr::tools {

inline constexpr int kDefaultSampleRate = 44'100;
inline constexpr double kReleaseTailSeconds = 2.0;

struct RenderOptions {
    std::filesystem::path song;
    SongKind kind = SongKind::OPM;
    std::string output;  // empty: beside the song, last extension replaced by ".wav"; "-": stdout
    int loops = 1;       // passes before the release tail
    std::optional<double> seconds;  // caps the length
    double fadeSeconds = 0;         // fades out the last seconds
    int sampleRate = kDefaultSampleRate;
    std::uint8_t mutedChannels = 0;  // bit c: chip channel c
    bool progressBar = false;        // drawn on `err`
};

// How long a render is, in output frames.
struct RenderLength {
    std::int64_t frames = 0;
    std::int64_t fadeFrames = 0;
};

// nullopt with the reason in `error` when the song never wraps and no --seconds was given.
std::optional<RenderLength> PlanRender(const SongImage& song, const RenderOptions& options,
                                       std::string& error);

// Runs the player on the in-process emulator offline and hands the frames (interleaved stereo)
// to `sink` as they are made; `progress` gets the fraction done. False (with the reason) when
// the emulator cannot start or the sink fails.
using FrameSink = std::function<bool(std::span<const std::int16_t>)>;
bool RenderFrames(const SongImage& song, const std::filesystem::path& songPath,
                  const RenderOptions& options, const RenderLength& length, const FrameSink& sink,
                  const std::function<void(double)>& progress, std::string& error);

// The whole `qzr render`: messages on `err`, a WAV on `out` for "-o -". Returns the exit status:
// 0 done, 1 the output could not be written, 2 bad arguments or an unreadable song.
int RunRender(const RenderOptions& options, std::FILE* out, std::FILE* err);

// The default output: the song's path with its last extension replaced by ".wav".
std::filesystem::path DefaultRenderOutput(const std::filesystem::path& song);

}  // namespace qzr::tools

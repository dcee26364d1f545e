#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "qzr/format/song_image.h"
#include "qzr/tools/sound_file.h"

namespace qzr::tools {

inline constexpr int kDefaultSampleRate = 44'100;
inline constexpr double kReleaseTailSeconds = 2.0;
// Renders longer than this need --max-seconds: a song read wrongly (or --loops 1000) would
// otherwise fill a disk without a word.
inline constexpr double kDefaultMaxSeconds = 3600;
// What a FLAC stream header can count: 36 bits of frames.
inline constexpr std::uint64_t kMaxFlacFrames = (std::uint64_t{1} << 36) - 1;

// The most frames a file of the format holds (kMaxWavFrames for WAV).
std::uint64_t MaxFrames(SoundFormat format);

struct RenderOptions {
    std::filesystem::path song;
    SongKind kind = SongKind::OPM;
    std::string output;  // empty: beside the song, last extension replaced by ".wav"; "-": stdout
    SoundFormat format = SoundFormat::WAV;   // what the output holds; RunRender takes it from there
    int loops = 1;                           // passes before the release tail, at least 1
    std::optional<double> seconds;           // caps the length; finite and above 0
    double maxSeconds = kDefaultMaxSeconds;  // the longest render allowed; finite and above 0
    // Fades out over the last seconds while the music plays on (no release tail then); finite,
    // 0 or more.
    double fadeSeconds = 0;
    double gainDb = 0;                    // -96 to 96 dB
    int sampleRate = kDefaultSampleRate;  // 8,000 to 192,000 Hz
    std::uint8_t mutedChannels = 0;       // bit c: chip channel c
    // When set, the mix and one file per channel of the song go into this folder (made when
    // missing): the output's name for the mix, and NAME.chN.EXT for channel N (from 1).
    std::filesystem::path stemsFolder;
    bool progressBar = false;  // drawn on `err`
    // Told the fraction done as the render goes (from the thread rendering); null for none.
    std::function<void(double)> progress;
    std::string author;  // the GD3 tag's author of a .vgm/.vgz output
};

inline constexpr double kMostGainDb = 96;

// How long a render is, in output frames.
struct RenderLength {
    std::int64_t frames = 0;
    std::int64_t fadeFrames = 0;
};

// Plans the render before anything is rendered: N passes and then the 2 s release tail, or with
// a fade N passes and the fade, the player playing on into the next pass as far as it reaches.
// nullopt with the reason in `error` for a number out of range (non-finite included), a song that
// never wraps without --seconds, and a length above --max-seconds or above what the output format
// holds (the message gives the planned length and size).
std::optional<RenderLength> PlanRender(const SongImage& song, const RenderOptions& options,
                                       std::string& error);

// Runs the player on the in-process emulator offline over the song as read (no file is opened)
// and hands the frames (interleaved stereo, after the gain and the fade) to `sink` as they are
// made; `progress` gets the fraction done. False (with the reason) when the emulator cannot start
// or the sink fails.
// With `stems`, each channel of the song (chip channels 0 to N - 1) is rendered alone beside the
// mix, from the same pass, with the same gain and fade, and handed over after the mix's frames.
using FrameSink = std::function<bool(std::span<const std::int16_t>)>;
using StemSink = std::function<bool(int channel, std::span<const std::int16_t>)>;
bool RenderFrames(const SongImage& song, const RenderOptions& options, const RenderLength& length,
                  const FrameSink& sink, const std::function<void(double)>& progress,
                  std::string& error, const StemSink& stems = {});

// The stem file of channel `channel` (from 0) beside the mix's file: NAME.ch1.EXT for channel 0.
std::filesystem::path StemPath(const std::filesystem::path& mix, int channel);

// The whole `qzr render`: the song read once, the length planned, then the frames written as they
// come: to a FileReplacement of the output, or for "-o -" as a WAV on `out` (never held in
// memory). Messages on `err`, and after the render its level: the peak in dBFS and the samples
// clipped, with a warning when any were. Returns the exit status: 0 done, 1 the output could not be
// written, 2 bad arguments, an unreadable song or a render refused by its plan.
int RunRender(const RenderOptions& options, std::FILE* out, std::FILE* err);

// The default output: the song's path with its last extension replaced by ".wav".
std::filesystem::path DefaultRenderOutput(const std::filesystem::path& song);

}  // namespace qzr::tools

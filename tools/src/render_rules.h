#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "qzr/common/wav_writer.h"
#include "qzr/tools/render.h"
#include "qzr/tools/song_input.h"
#include "sound_level.h"

// What every render of `qzr render` shares, of a song or of a VGM: the numbers it takes, how its
// planned length is told and bounded, its fade and the level line after it.
namespace qzr::tools {

inline constexpr std::size_t kRenderChunkFrames = 4096;
inline constexpr int kMostLoops = 1000;

// "1:02:03.5"
std::string Duration(double seconds);

// Empty when every number of the options is in range (finite, --loops, --rate, --gain), else
// what is wrong with the first that is not.
std::string CheckRenderNumbers(const RenderOptions& options);

// Empty when a render of `seconds` fits the output format and --max-seconds, else the refusal
// with the planned length and size.
std::string CheckPlannedLength(double seconds, const RenderOptions& options);

// The last length.fadeFrames frames fall linearly to silence; `firstFrame` is the chunk's first.
void ApplyFade(std::span<std::int16_t> interleaved, std::int64_t firstFrame,
               const RenderLength& length);

// A song that fails the sanity rules has no length to trust: without --seconds it is refused,
// with its faults and "qzr: SONG: this is no OPM song as it stands" + `advice` on `err`. True
// when it may go on.
bool MayRenderWithoutSeconds(const LoadedSong& loaded, const RenderOptions& options,
                             const char* advice, std::FILE* err);

// A WAV of `frames` frames written as it goes to `out` (standard output).
WavStreamWriter WavToStream(std::uint64_t frames, int sampleRate, std::FILE* out);

// "qzr: OUT: peak -6.0 dBFS, 0 samples clipped", and a warning when any sample clipped.
void ReportLevel(std::FILE* err, const std::string& outputName, const SoundLevel& level);

}  // namespace qzr::tools

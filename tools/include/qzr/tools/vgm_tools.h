#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "qzr/format/song_image.h"
#include "qzr/tools/render.h"
#include "qzr/vgm/vgm_file.h"

// qzr and VGM: a song exported as the player plays it, and any YM2151 VGM played, rendered and
// shown through the same emulator.
namespace qzr::tools {

// ".vgm" or ".vgz", any case.
bool IsVgmPath(const std::filesystem::path& path);

// Where the player's tick k (k = 1, 2, ...; 0: the song's loading) falls on the VGM's 44,100 Hz
// clock: k x 5 ms, rounded to the nearest sample (halves up). Exact for any tick.
std::uint64_t TickSample(std::int64_t tick);

struct VgmExportOptions {
    std::string title;              // the GD3 tag's track name
    std::string author;             // the tag's author; may be empty
    std::optional<double> seconds;  // the length of a song that never wraps (finite, above 0)
};

// The register writes the player makes for one pass of the song, from its loading on, in its
// order, each at its tick's sample; the loop from row 0's first write over one pass. A song that
// never wraps gets no loop and lasts `seconds`. The real player core runs over a recording port
// (one song at a time, as the player is one per process). nullopt with the reason when the
// length would not fit a VGM's 32-bit sample counts, or a song that never wraps has no seconds.
std::optional<vgm::VgmSong> ExportVgm(const SongImage& song, const VgmExportOptions& options,
                                      std::string& error);

// `qzr render SONG -o OUT.vgm|.vgz`: the song read once and checked as for a sound render, the
// export written through a FileReplacement (gzip for .vgz). Exit status as RunRender's.
int RunVgmExport(const RenderOptions& options, const std::filesystem::path& output, std::FILE* err);

// A .vgm or .vgz read (gzip found by its bytes, whatever the name), bounded; nullopt after
// "qzr: PATH: reason" on `err`. Warnings are printed on `err` unless `quiet`.
std::optional<vgm::VgmSong> LoadVgm(const std::filesystem::path& path, std::FILE* err,
                                    bool quiet = false);

// How long a VGM render lasts: the intro, `loops` passes of the loop (the whole file without a
// loop), then the release tail; checked as PlanRender checks a song's.
std::optional<RenderLength> PlanVgmRender(const vgm::VgmSong& song, const RenderOptions& options,
                                          std::string& error);

// Plays the VGM on the in-process emulator offline at the file's clock, each write at its own
// native sample (one a sample), and hands the frames to `sink` as RenderFrames does. After the
// last pass of a loop every channel is keyed off for the tail.
bool RenderVgmFrames(const vgm::VgmSong& song, const RenderOptions& options,
                     const RenderLength& length, const FrameSink& sink, std::string& error);

// `qzr render FILE.vgm -o OUT.wav|.flac`, or a WAV on `out` for "-o -". Exit status as
// RunRender's.
int RunVgmRender(const RenderOptions& options, bool toStdout, const std::filesystem::path& output,
                 std::FILE* out, std::FILE* err);

// `qzr play FILE.vgm`: on the sound device (or the silent clock), `loops` passes and the
// release tail, at most `seconds`, or until Ctrl-C. Exit status 0, 130 after Ctrl-C, or 2 for an
// unreadable file.
int RunVgmPlay(const std::filesystem::path& path, int loops, std::optional<double> seconds,
               std::FILE* out, std::FILE* err);

// `qzr info FILE.vgm`: version, clock, length, loop, writes, the GD3 tag and the warnings.
std::string DescribeVgm(const vgm::VgmSong& song, const std::filesystem::path& path);

}  // namespace qzr::tools

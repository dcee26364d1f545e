#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>

#include "qzr/format/song_image.h"

namespace qzr::tools {

struct PlayOptions {
    std::filesystem::path song;
    SongKind kind = SongKind::OPM;
    std::optional<int> loops;       // ends after this many passes
    std::optional<double> seconds;  // ends after this long
    // Recompiled whenever it or one of its voice files is saved; playing carries on from the
    // same row with the new song.
    std::optional<std::filesystem::path> watch;
    bool terminal = false;  // redraw one status line in place; otherwise a line a second
};

// `qzr play`: real-time playback on the audio device, or on the silent clock where there is
// none. Status on `out`, messages on `err`. Returns 0 when it ended by itself, 130 after Ctrl-C,
// 2 when the song cannot be read, 1 when the emulator cannot start.
int RunPlay(const PlayOptions& options, std::FILE* out, std::FILE* err);

// Whether an audio device can be opened here (otherwise playback runs on the silent clock).
bool AudioDeviceAvailable();

}  // namespace qzr::tools

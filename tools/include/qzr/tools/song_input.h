#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "qzr/format/song_image.h"
#include "qzr/format/song_sanity.h"

namespace qzr::tools {

// A song file read once, at most as far as its layout reaches, with what the sanity rules found.
struct LoadedSong {
    SongImage image;
    std::uint64_t fileSize = 0;
    std::vector<SongFinding> findings;
    bool Sound() const { return PassesSanityRules(findings); }
};

// The song file, or nullopt after "qzr: SONG: reason" on `err`. A FIFO or pipe is read as it
// comes; nothing past MaxImageSize is kept.
std::optional<LoadedSong> LoadSong(const std::filesystem::path& path, SongKind kind,
                                   std::FILE* err);

// LoadSong's image alone.
std::optional<SongImage> LoadSongImage(const std::filesystem::path& path, SongKind kind,
                                       std::FILE* err);

}  // namespace qzr::tools

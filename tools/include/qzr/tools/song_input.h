#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>

#include "qzr/format/song_image.h"

namespace qzr::tools {

// The song file as an image of its kind, or nullopt after "qzr: cannot read SONG" on `err`.
std::optional<SongImage> LoadSongImage(const std::filesystem::path& path, SongKind kind,
                                       std::FILE* err);

}  // namespace qzr::tools

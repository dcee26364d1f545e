#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>

#include "qzr/tools/song_view.h"

namespace qzr::tools {

// The song file as a view, or nullopt after "qzr: cannot read SONG" on `err`.
std::optional<SongView> LoadSongView(const std::filesystem::path& path, Chip chip, std::FILE* err);

}  // namespace qzr::tools

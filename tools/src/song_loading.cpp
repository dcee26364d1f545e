#include "qzr/tools/song_loading.h"

#include "qzr/common/file_reading.h"

namespace qzr::tools {

std::optional<SongView> LoadSongView(const std::filesystem::path& path, Chip chip, std::FILE* err) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
        std::fprintf(err, "qzr: cannot read %s\n", path.string().c_str());
        return std::nullopt;
    }
    return SongView(chip, std::move(*bytes));
}

}  // namespace qzr::tools

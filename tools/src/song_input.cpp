#include "qzr/tools/song_input.h"

#include "qzr/common/file_reading.h"

namespace qzr::tools {

std::optional<SongImage> LoadSongImage(const std::filesystem::path& path, SongKind kind,
                                       std::FILE* err) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) {
        std::fprintf(err, "qzr: cannot read %s\n", path.string().c_str());
        return std::nullopt;
    }
    return SongImage(kind, std::move(*bytes));
}

}  // namespace qzr::tools

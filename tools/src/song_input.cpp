#include "qzr/tools/song_input.h"

#include <string>

#include "qzr/common/file_reading.h"

namespace qzr::tools {

std::optional<LoadedSong> LoadSong(const std::filesystem::path& path, SongKind kind,
                                   std::FILE* err) {
    std::string error;
    auto head = ReadFileHead(path, MaxImageSize(kind), error);
    if (!head) {
        std::fprintf(err, "qzr: cannot read %s: %s\n", path.string().c_str(), error.c_str());
        return std::nullopt;
    }
    LoadedSong song{SongImage(kind, std::move(head->bytes)), head->size, {}};
    song.findings = CheckSongImage(song.image, song.fileSize);
    return song;
}

std::optional<SongImage> LoadSongImage(const std::filesystem::path& path, SongKind kind,
                                       std::FILE* err) {
    auto song = LoadSong(path, kind, err);
    if (!song) return std::nullopt;
    return std::move(song->image);
}

}  // namespace qzr::tools

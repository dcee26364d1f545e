#include "song_file.h"

namespace qzr::player {

FilePtr OpenSongFile(const char* path) {
    if (path == nullptr) return nullptr;
    FilePtr file{std::fopen(path, "rb")};
    if (!file) return nullptr;
    std::fgetc(file.get());
    if (std::ferror(file.get()) != 0) return nullptr;
    std::rewind(file.get());
    return file;
}

int SongReader::ByteAt(long offset) {
    MoveTo(offset);
    return Next();
}

int SongReader::Next() {
    const int byte = std::fgetc(file_);
    return byte == EOF ? -1 : byte;
}

void SongReader::MoveTo(long offset) { std::fseek(file_, offset, SEEK_SET); }

}  // namespace qzr::player

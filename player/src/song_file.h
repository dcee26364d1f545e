#pragma once

#include <cstdio>
#include <memory>

namespace qzr::player {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Song files are only ever read. Null when the path cannot be opened or read (a folder opens on
// some systems but gives a read error).
FilePtr OpenSongFile(const char* path);

// Byte reads at absolute offsets and onwards from there; -1 past the end of the file.
class SongReader {
public:
    explicit SongReader(std::FILE* file) : file_(file) {}
    int ByteAt(long offset);
    int Next();
    void MoveTo(long offset);

    // For the fields where a byte missing at the end of a short file counts as 255.
    int ByteAtOr255(long offset) { return Or255(ByteAt(offset)); }
    int NextOr255() { return Or255(Next()); }

private:
    static int Or255(int byte) { return byte < 0 ? 255 : byte; }
    std::FILE* file_;
};

}  // namespace qzr::player

#include "qzr/compiler/song_file_writer.h"

#include <string>

namespace qzr {

// The compilers print only "Can't open file" with the song's path, so the reason is dropped.
bool SongFileWriter::Open() {
    std::string ignored;
    return file_.Open(ignored);
}

bool SongFileWriter::Commit(std::span<const std::uint8_t> bytes) {
    std::string ignored;
    return file_.Write(bytes, ignored) && file_.Commit(ignored);
}

}  // namespace qzr

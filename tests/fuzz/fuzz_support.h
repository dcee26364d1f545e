#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "qzr/format/song_kind.h"

// What the fuzz targets share: a folder of voice files for sources to name, and the split of an
// input into a song kind and the bytes under test.
namespace qzr::fuzz {

// A folder made once per run with the voice files a.voice (25 bytes), short.voice (3 bytes) and
// stand.in (a readable file for qzr check's stand-in), removed at exit.
const std::filesystem::path& VoiceFolder();

// The first byte's low bit picks the kind; the rest is the input proper.
struct KindAndBytes {
    SongKind kind;
    std::span<const std::uint8_t> bytes;
};
KindAndBytes SplitKind(const std::uint8_t* data, std::size_t size);

inline std::string_view AsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace qzr::fuzz

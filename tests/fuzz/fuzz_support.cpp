#include "fuzz_support.h"

#include <stdlib.h>

#include <fstream>
#include <string>
#include <system_error>

namespace qzr::fuzz {
namespace {

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Made on first use and removed when the run ends.
struct Folder {
    std::filesystem::path path;
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qzr-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
        WriteFile(path / "a.voice",
                  "\x01\x12\x23\x34\x45\x56\x67\x78\x09\x1a\x2b\x3c\x4d\x5e\x6f"
                  "\x70\x81\x92\xa3\xb4\xc5\xd6\xe7\xf8\x3d");
        WriteFile(path / "short.voice", "\x01\x02\x03");
        WriteFile(path / "stand.in", "stand-in");
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::filesystem::path& VoiceFolder() {
    static const Folder folder;
    return folder.path;
}

KindAndBytes SplitKind(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {SongKind::OPM, {}};
    return {(data[0] & 1) == 0 ? SongKind::OPM : SongKind::OPN2, {data + 1, size - 1}};
}

}  // namespace qzr::fuzz

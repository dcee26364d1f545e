#include "qzr/common/file_reading.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

namespace qzr {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                       std::size_t limit) {
    FilePtr file{std::fopen(path.string().c_str(), "rb")};
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    constexpr std::size_t kChunk = 1 << 16;
    try {
        while (bytes.size() < limit) {
            const std::size_t want = std::min(kChunk, limit - bytes.size());
            const std::size_t had = bytes.size();
            bytes.resize(had + want);
            const std::size_t got = std::fread(bytes.data() + had, 1, want, file.get());
            bytes.resize(had + got);
            if (got < want) break;
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;  // a file larger than memory is one we cannot open
    }
    // Some systems open a directory for reading and fail only at the first read.
    if (std::ferror(file.get()) != 0) return std::nullopt;
    return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
    return ReadFileBytes(path, std::numeric_limits<std::size_t>::max());
}

}  // namespace qzr

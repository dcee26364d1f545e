#include "qzr/compiler/song_file_writer.h"

#include <cstdio>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

namespace qzr {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

SongFileWriter::SongFileWriter(std::filesystem::path target) : target_(std::move(target)) {}

SongFileWriter::~SongFileWriter() {
    if (!temporary_.empty() && !committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

bool SongFileWriter::Open() {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(target_, ec))) {
        // Opening for update without truncating tells whether we may replace what is there,
        // and fails for a directory, without changing a byte.
        FilePtr existing{std::fopen(target_.string().c_str(), "r+b")};
        if (!existing) return false;
    }
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = target_;
        candidate += ".tmp" + std::to_string(seed() % 1'000'000);
        // "x": create only if absent, so two runs never share a temporary file.
        FilePtr created{std::fopen(candidate.string().c_str(), "wbx")};
        if (created) {
            temporary_ = std::move(candidate);
            return true;
        }
        if (std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) continue;
        return false;
    }
    return false;
}

bool SongFileWriter::Commit(std::span<const std::uint8_t> bytes) {
    if (temporary_.empty()) return false;
    {
        FilePtr out{std::fopen(temporary_.string().c_str(), "wb")};
        if (!out) return false;
        if (!bytes.empty() &&
            std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size()) {
            return false;
        }
        if (std::fflush(out.get()) != 0) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
}

}  // namespace qzr

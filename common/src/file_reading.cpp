#include "qzr/common/file_reading.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>

namespace qzr {

std::optional<FileHead> ReadFileHead(const std::filesystem::path& path, std::size_t limit,
                                     std::string& error) {
    auto file = InputFile::Open(path, error);
    if (!file) return std::nullopt;
    FileHead head;
    head.regular = file->Regular();
    constexpr std::size_t kChunk = 1 << 16;
    try {
        if (head.regular) {
            head.bytes.reserve(
                static_cast<std::size_t>(std::min<std::uint64_t>(file->Size(), limit)));
        }
        while (head.bytes.size() < limit) {
            const std::size_t had = head.bytes.size();
            const std::size_t want = std::min(kChunk, limit - had);
            head.bytes.resize(had + want);
            const auto got = file->Read(std::span(head.bytes).subspan(had, want));
            if (!got) {
                error = "cannot be read";
                return std::nullopt;
            }
            head.bytes.resize(had + *got);
            if (*got == 0) break;
        }
    } catch (const std::bad_alloc&) {
        error = "is larger than the memory left";
        return std::nullopt;
    }
    head.size = head.bytes.size();
    if (head.regular) {
        head.size = std::max<std::uint64_t>(file->Size(), head.size);
    } else if (head.bytes.size() == limit) {
        std::array<std::uint8_t, 1> more{};
        const auto got = file->Read(more);
        if (got) head.size += *got;
    }
    return head;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                       std::size_t limit) {
    std::string ignored;
    auto head = ReadFileHead(path, limit, ignored);
    if (!head) return std::nullopt;
    return std::move(head->bytes);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
    return ReadFileBytes(path, std::numeric_limits<std::size_t>::max());
}

}  // namespace qzr

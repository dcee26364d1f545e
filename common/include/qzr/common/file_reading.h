#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace qzr {

// The file's first `limit` bytes (fewer if it is shorter), opened for reading only. nullopt when
// it cannot be opened or read, which includes a directory.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                       std::size_t limit);

// The whole file, as ReadFileBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path);

}  // namespace qzr

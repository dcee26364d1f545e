#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qzr {

// A file opened for reading only. The open never waits: a FIFO without a writer opens at once
// (and reads as empty), where a plain open would block until someone writes. A folder is refused.
class InputFile {
public:
    // nullopt, with the reason in `error` ("No such file or directory", "is a folder"), when the
    // file cannot be opened.
    static std::optional<InputFile> Open(const std::filesystem::path& path, std::string& error);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // A regular file: its size is known and it can be read again from the start. Anything else (a
    // FIFO, a pipe, a device) can be read once, as it comes.
    bool Regular() const { return regular_; }
    std::uint64_t Size() const { return size_; }  // 0 unless Regular()

    // Reads up to `out.size()` bytes: how many were read, 0 at the end, nullopt on an error.
    std::optional<std::size_t> Read(std::span<std::uint8_t> out);

    // Back to the first byte; false for a file that is not Regular().
    bool Rewind();

private:
    InputFile(std::intptr_t native, bool regular, std::uint64_t size)
        : native_(native), regular_(regular), size_(size) {}
    void Close() noexcept;

    std::intptr_t native_ = -1;  // descriptor (POSIX) or HANDLE (Windows)
    bool regular_ = false;
    std::uint64_t size_ = 0;
};

// The first bytes of a file and how big it is.
struct FileHead {
    std::vector<std::uint8_t> bytes;  // at most the limit asked for
    // The whole file's size for a regular file; otherwise the bytes it gave, counting at most
    // one past the limit (so `size > limit` says there was more).
    std::uint64_t size = 0;
    bool regular = false;
};

// Reads at most `limit` bytes (one read of the file, never more than the limit in memory).
// nullopt, with the reason in `error`, when the file cannot be opened or read.
std::optional<FileHead> ReadFileHead(const std::filesystem::path& path, std::size_t limit,
                                     std::string& error);

// The file's first `limit` bytes (fewer if it is shorter), opened for reading only. nullopt when
// it cannot be opened or read, which includes a folder.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path,
                                                       std::size_t limit);

// The whole file, as ReadFileBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path);

}  // namespace qzr

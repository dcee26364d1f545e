#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "qzr/common/file_reading.h"

namespace qzr {

std::optional<InputFile> InputFile::Open(const std::filesystem::path& path, std::string& error) {
    // O_NONBLOCK: a FIFO opens without a writer. Reads are made blocking again at once, so a
    // pipe with a writer is read as it comes and one without reads as empty.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    InputFile file(fd, false, 0);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return std::nullopt;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    file.regular_ = S_ISREG(info.st_mode);
    file.size_ = file.regular_ ? static_cast<std::uint64_t>(info.st_size) : 0;
    return file;
}

InputFile::InputFile(InputFile&& other) noexcept
    : native_(std::exchange(other.native_, -1)), regular_(other.regular_), size_(other.size_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        Close();
        native_ = std::exchange(other.native_, -1);
        regular_ = other.regular_;
        size_ = other.size_;
    }
    return *this;
}

InputFile::~InputFile() { Close(); }

void InputFile::Close() noexcept {
    if (native_ >= 0) close(static_cast<int>(std::exchange(native_, -1)));
}

std::optional<std::size_t> InputFile::Read(std::span<std::uint8_t> out) {
    while (true) {
        const ssize_t got = read(static_cast<int>(native_), out.data(), out.size());
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return std::nullopt;
    }
}

bool InputFile::Rewind() { return regular_ && lseek(static_cast<int>(native_), 0, SEEK_SET) == 0; }

}  // namespace qzr

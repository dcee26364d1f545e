#include <windows.h>

#include <utility>

#include "qzr/common/file_reading.h"

namespace qzr {

namespace {

HANDLE AsHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

}  // namespace

// Windows opens a pipe without waiting for a writer anyway; a folder does not open without
// FILE_FLAG_BACKUP_SEMANTICS.
std::optional<InputFile> InputFile::Open(const std::filesystem::path& path, std::string& error) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_ACCESS_DENIED &&
                        (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0
                    ? "is a folder"
                    : "cannot be opened (Windows error " + std::to_string(GetLastError()) + ")";
        return std::nullopt;
    }
    InputFile input(reinterpret_cast<std::intptr_t>(file), false, 0);
    LARGE_INTEGER size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size)) {
        input.regular_ = true;
        input.size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
    return input;
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
    if (native_ != -1) CloseHandle(AsHandle(std::exchange(native_, -1)));
}

std::optional<std::size_t> InputFile::Read(std::span<std::uint8_t> out) {
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(out.size(), 1u << 30));
    if (!ReadFile(AsHandle(native_), out.data(), want, &got, nullptr)) {
        // A pipe whose writer has gone reads as its end.
        if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
        return std::nullopt;
    }
    return got;
}

bool InputFile::Rewind() {
    LARGE_INTEGER start{};
    return regular_ && SetFilePointerEx(AsHandle(native_), start, nullptr, FILE_BEGIN) != 0;
}

}  // namespace qzr

#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qzr::tools {

// Tells when any of a set of files has been saved since the last look, by polling their
// modification time and size: it works the same for editors that write in place and for those
// that write a new file and rename it over the old one.
class FileWatch {
public:
    // Starts watching these files: as they are now, or, for one watched already, as it was when
    // last seen changed.
    void Watch(std::vector<std::filesystem::path> files);
    // True once after any of them changed, appeared or vanished.
    bool Changed();

private:
    struct Stamp {
        bool exists = false;
        // The modification time in the system's own finest unit: the C++ library's clock on
        // POSIX; on Windows the file system's 100 ns ticks (the library's stat there keeps only
        // whole seconds, and two saves of one size within a second would look like none).
        std::int64_t time = 0;
        std::uintmax_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::filesystem::path& file);  // file_stamp_{posix,win32}.cpp
    std::vector<std::filesystem::path> files_;
    std::vector<Stamp> stamps_;
};

}  // namespace qzr::tools

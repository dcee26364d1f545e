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
    // Starts watching these files as they are now.
    void Watch(std::vector<std::filesystem::path> files);
    // True once after any of them changed, appeared or vanished.
    bool Changed();

private:
    struct Stamp {
        bool exists = false;
        std::filesystem::file_time_type time{};
        std::uintmax_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::filesystem::path& file);
    std::vector<std::filesystem::path> files_;
    std::vector<Stamp> stamps_;
};

}  // namespace qzr::tools

#pragma once

#include <filesystem>
#include <string>

namespace qzr::test {

// A fresh, empty folder under the test temp dir, removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& hint = "qzr");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace qzr::test

#include "qzr/test_support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <system_error>

namespace qzr::test {

TempDir::TempDir(const std::string& hint) {
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    const auto base = std::filesystem::path(::testing::TempDir());
    for (;;) {
        auto candidate = base / (hint + "-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++) + "-" + std::to_string(seed() % 100000));
        std::error_code ec;
        if (std::filesystem::create_directories(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only files behind; make them writable so removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

}  // namespace qzr::test

#include "golden.h"

#include <gtest/gtest.h>

#include "qzr/test_support/file_bytes.h"

namespace qzr::test {

void ExpectGolden(const std::string& actual, const std::string& name) {
    const auto golden = SourcePath("tests/golden/tools/" + name);
    if (UpdatingGolden()) {
        std::filesystem::create_directories(golden.parent_path());
        WriteText(golden, actual);
        return;
    }
    EXPECT_EQ(actual, ReadText(golden)) << "golden " << name;
}

}  // namespace qzr::test

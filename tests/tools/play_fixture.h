#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {

bool Contains(const std::string& text, const std::string& part);

// The number right after `label` at `from` or later, and where it ends; -1 when there is none.
std::pair<int, std::size_t> NumberAfter(const std::string& text, const std::string& label,
                                        std::size_t from);

// Rows of qzr play's status lines ("row R/N  pass ..."), in order.
std::vector<int> StatusRows(const std::string& out);

// Whether qzr play, run as `child`, shows two status rows within 20 s: it plays.
bool ShowsItPlays(ChildProcess& child);

// A folder holding the examples, with harbour_lights.opm.mml compiled, for qzr play --watch.
class QzrWatch : public ::testing::Test {
protected:
    void SetUp() override;
    // Saves the source with one line replaced, as an editor would.
    void Save(const std::string& from, const std::string& to);

    static constexpr const char* kSource = "harbour_lights.opm.mml";
    TempDir dir_{"qzr_watch"};
    std::string source_;
};

}  // namespace qzr::test

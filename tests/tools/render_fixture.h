#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {

constexpr int kRate = 44'100;

// The names in a folder that are not in `known`.
std::vector<std::string> OtherFiles(const std::filesystem::path& folder,
                                    const std::set<std::string>& known);

// A folder holding tiny.opm.mml.qzr (one whole note of a, 440 Hz, 1.92 s) and its voice.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override;
    ProgramRun Qzr(std::vector<std::string> args);
    // A long render over out.wav (which holds "mine"), ended by `send` once it has begun
    // writing: it must end with `status`, out.wav untouched and nothing else left behind.
    void ExpectEndingLeavesNoFileBehind(const std::function<void(const ChildProcess&)>& send,
                                        int status);

    TempDir dir_{"qzr_render"};
    std::filesystem::path song_;
};

// The golden songs' render hashes against the pinned ones, where they hold (each platform's
// render_pins file says).
void ExpectPinnedRenderHashes(const std::string& hashes);

}  // namespace qzr::test

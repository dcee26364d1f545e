#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qzr::test {

// What `qzr check SOURCE` answers: its status and the start of each line on standard error.
struct CheckAnswer {
    std::string source;
    int status;
    std::vector<std::string> lines;
};

// Runs qzr check on each source in `folder`, each allowed 20 s, and compares the answers.
void ExpectCheckAnswers(const std::filesystem::path& folder,
                        const std::vector<CheckAnswer>& answers);

}  // namespace qzr::test

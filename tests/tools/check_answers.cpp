#include "check_answers.h"

#include <gtest/gtest.h>

#include "qzr/test_support/program_run.h"
#include "song_fixture.h"

namespace qzr::test {

void ExpectCheckAnswers(const std::filesystem::path& folder,
                        const std::vector<CheckAnswer>& answers) {
    for (const CheckAnswer& answer : answers) {
        SCOPED_TRACE(answer.source);
        const ProgramRun result =
            RunProgram({QzrPath(), "check", answer.source}, folder, std::chrono::seconds(20));
        EXPECT_EQ(result.status, answer.status) << result.err.substr(0, 400);
        std::vector<std::string> starts;
        for (std::size_t at = 0, i = 0; at < result.err.size(); ++i) {
            const std::size_t end = result.err.find('\n', at);
            const std::string line = result.err.substr(at, end - at);
            starts.push_back(i < answer.lines.size() ? line.substr(0, answer.lines[i].size())
                                                     : line);
            at = end == std::string::npos ? result.err.size() : end + 1;
        }
        EXPECT_EQ(starts, answer.lines);
    }
}

}  // namespace qzr::test

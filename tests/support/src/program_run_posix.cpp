#include <sys/wait.h>

#include <cstdlib>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"

namespace qzr::test {

ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& folder) {
    const auto out = folder.parent_path() / (folder.filename().string() + ".out");
    const auto err = folder.parent_path() / (folder.filename().string() + ".err");
    const std::string command = "cd '" + folder.string() + "' && '" + QZR_BIN_DIR + "/" + program +
                                "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() +
                                "'";
    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadText(out);
    run.err = ReadText(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

const bool kFileNamesKeepTrailingBlanks = true;

std::string QuotedArgument(const std::string& name) { return "'" + name + "'"; }

}  // namespace qzr::test

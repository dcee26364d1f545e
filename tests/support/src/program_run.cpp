#include "qzr/test_support/program_run.h"

namespace qzr::test {

ProgramRun RunProgram(const std::vector<std::string>& args, const std::filesystem::path& folder,
                      std::chrono::milliseconds limit, OutputKind output) {
    ChildProcess child(args, folder, output);
    const int status = child.Wait(limit);
    return {status, child.Out(), child.Err()};
}

ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& folder) {
    ChildProcess child(program, arguments, folder);
    const int status = child.Wait();
    return {status, child.Out(), child.Err()};
}

}  // namespace qzr::test

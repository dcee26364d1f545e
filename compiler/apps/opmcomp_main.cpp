#include <cstdio>
#include <filesystem>
#include <system_error>

#include "qzr/common/command_line.h"
#include "qzr/compiler/compiler_program.h"

int main() {
    std::error_code ec;
    std::filesystem::path workingFolder = std::filesystem::current_path(ec);
    if (ec) workingFolder = ".";
    const qzr::ProgramOutcome outcome =
        qzr::RunCompilerProgram(qzr::kOPMTarget, qzr::CommandArgument(-1), workingFolder);
    std::FILE* stream = outcome.toStandardError ? stderr : stdout;
    std::fputs(outcome.message.c_str(), stream);
    std::fflush(stream);
    return outcome.exitStatus;
}

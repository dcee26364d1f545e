#pragma once

#include <filesystem>
#include <string>

// Runs the build's own programs as a user's shell runs them; CMake picks the file
// (program_run_posix.cpp, program_run_win32.cpp).
namespace qzr::test {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;  // on Windows, the failing call when the program could not be started
};

// Runs a program of the build's bin folder (opmcomp, opn2comp, ...) in `folder` with the argument
// text appended to the command line: on POSIX as a shell would split it, on Windows as the
// program's raw command line.
ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& folder);

// Whether the system opens a file name with its trailing blanks (POSIX) or without them (Windows
// opens "a.voice " as "a.voice").
extern const bool kFileNamesKeepTrailingBlanks;

// A file name (without quotes or blanks of its own) quoted for RunProgram's argument text as a
// user quotes a path there: 'NAME' for the shell, "NAME" on Windows.
std::string QuotedArgument(const std::string& name);

}  // namespace qzr::test

#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Runs the build's own programs as a user's shell runs them, their output captured; CMake picks
// the file (program_run_posix.cpp, program_run_win32.cpp).
namespace qzr::test {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;  // the failing call when the program could not be started
};

// A program of the build's bin folder by its name (opmcomp, qzr, ...): the file's whole path,
// ".exe" included on Windows.
std::string ProgramPath(const std::string& program);

// How a program's standard output is read: as text, where a Windows program's text stream ends
// each line with "\r\n" and the line end is read back as "\n" (as a C runtime reads a text
// stream; a lone "\r" stays), or as the bytes it wrote. Standard error is always text.
enum class OutputKind { kText, kBytes };

// A program running in a folder of its own choosing, its standard output and error read apart
// (its standard input is empty). It is started by the constructor; one that cannot be started
// ends at once with status -1 and the reason in Err().
class ChildProcess {
public:
    // The status Wait gives for a program ended by Kill or by a time limit, on both systems (as
    // a shell reports SIGKILL).
    static constexpr int kKilledStatus = 128 + 9;

    // `args[0]` is the program's path, the rest its arguments, each reaching the program as it
    // is (on Windows quoted for the C runtime's splitting).
    ChildProcess(const std::vector<std::string>& args, const std::filesystem::path& folder,
                 OutputKind output = OutputKind::kText);
    // A program of the bin folder with `arguments` appended to its command line: on POSIX split
    // as a shell splits it, on Windows as the program's raw command line, unchanged.
    ChildProcess(const std::string& program, const std::string& arguments,
                 const std::filesystem::path& folder);
    ~ChildProcess();  // kills a program still running and waits for it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what comes until `predicate(out, err)` holds or `timeout` passes; whether it held.
    template <typename Predicate>
    bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!predicate(out_, err_)) {
            if (std::chrono::steady_clock::now() >= end || !Pump(end)) return predicate(out_, err_);
        }
        return true;
    }
    // Ctrl-C as a user at the console gives it: SIGINT on POSIX; on Windows a Ctrl-C on the
    // program's own hidden console, which this process attaches to for the moment (a console
    // delivers Ctrl-C to every program on it at once, and Wine refuses a Ctrl-Break to a group).
    // There Wait sends it again, a few times, to a program that runs on after it (Wine's console
    // now and then drops one).
    void Interrupt() const;
    // Ends it at once (SIGKILL, TerminateProcess).
    void Kill() const;
#ifndef _WIN32
    void Signal(int signal) const;
#endif
    // Reads to the end and waits for it: the exit status (on POSIX 128 + the signal's number for
    // one a signal ended). Past `limit` it is killed first.
    int Wait(std::chrono::milliseconds limit = std::chrono::hours(1));

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    struct Native;
    // Waits for output until `end`; false once both streams are closed.
    bool Pump(std::chrono::steady_clock::time_point end);
    std::unique_ptr<Native> native_;
    std::string out_;
    std::string err_;
};

// The status of a program that Interrupt ended without a handler of its own stopping it: on POSIX
// by SIGINT (128 + 2); on Windows by the console's last handler, STATUS_CONTROL_C_EXIT, which
// Wine's console gives as 0.
int InterruptedStatus();

// Runs `args` (as ChildProcess takes them) in `folder` to its end, killed past `limit`.
ProgramRun RunProgram(const std::vector<std::string>& args, const std::filesystem::path& folder,
                      std::chrono::milliseconds limit = std::chrono::hours(1),
                      OutputKind output = OutputKind::kText);

// Runs a program of the bin folder with the argument text appended (as ChildProcess takes them)
// in `folder` to its end.
ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& folder);

// Whether the system opens a file name with its trailing blanks (POSIX) or without them (Windows
// opens "a.voice " as "a.voice").
extern const bool kFileNamesKeepTrailingBlanks;

// A file name (without quotes or blanks of its own) quoted for RunProgram's argument text as a
// user quotes a path there: 'NAME' for the shell, "NAME" on Windows.
std::string QuotedArgument(const std::string& name);

}  // namespace qzr::test

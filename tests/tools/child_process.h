#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qzr::test {

// A program of ours run as a user runs it, with its standard output and error captured.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& args, const std::filesystem::path& workingFolder);
    ~ChildProcess();  // kills and reaps a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what is there until `predicate(out, err)` holds or the timeout passes.
    template <typename Predicate>
    bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!predicate(out_, err_)) {
            if (std::chrono::steady_clock::now() >= end || !Pump(end)) return predicate(out_, err_);
        }
        return true;
    }
    void Signal(int signal) const;
    // Reads to the end and reaps: the exit status, or 128 + signal number.
    int Wait();

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    // Waits for output until `end`; false once both pipes are closed.
    bool Pump(std::chrono::steady_clock::time_point end);
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
};

struct ProgramResult {
    int status;
    std::string out;
    std::string err;
};

ProgramResult RunProgram(const std::vector<std::string>& args,
                         const std::filesystem::path& workingFolder);

// The built qzr.
std::string QzrPath();

}  // namespace qzr::test

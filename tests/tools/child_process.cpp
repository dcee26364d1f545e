#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace qzr::test {

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::filesystem::path& workingFolder) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) std::abort();
    // Everything the child needs is prepared before the fork.
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string folder = workingFolder.string();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

bool ChildProcess::Pump(std::chrono::steady_clock::time_point end) {
    std::array<pollfd, 2> fds{{{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    const int ready =
        poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(0, left.count())));
    if (ready <= 0) return true;
    std::array<char, 4096> buffer{};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
        int& fd = i == 0 ? outFd_ : errFd_;
        if (n <= 0) {
            close(fd);
            fd = -1;
        } else {
            (i == 0 ? out_ : err_).append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    return true;
}

void ChildProcess::Signal(int signal) const { kill(pid_, signal); }

int ChildProcess::Wait() {
    while (Pump(std::chrono::steady_clock::now() + std::chrono::seconds(60))) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

ProgramResult RunProgram(const std::vector<std::string>& args,
                         const std::filesystem::path& workingFolder) {
    ChildProcess child(args, workingFolder);
    const int status = child.Wait();
    return {status, child.Out(), child.Err()};
}

std::string QzrPath() { return std::string(QZR_BIN_DIR) + "/qzr"; }

}  // namespace qzr::test

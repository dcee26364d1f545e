#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include "qzr/test_support/program_run.h"

namespace qzr::test {

struct ChildProcess::Native {
    pid_t pid = -1;
    std::array<int, 2> fds{-1, -1};  // standard output, standard error
};

namespace {

void CloseAll(std::array<int, 2>& fds) {
    for (int& fd : fds) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

}  // namespace

std::string ProgramPath(const std::string& program) {
    return std::string(QZR_BIN_DIR) + "/" + program;
}

// POSIX writes text as it is: both kinds read the same.
ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::filesystem::path& folder, OutputKind)
    : native_(std::make_unique<Native>()) {
    std::array<int, 2> out{-1, -1};
    std::array<int, 2> err{-1, -1};
    if (args.empty() || pipe2(out.data(), O_CLOEXEC) != 0 || pipe2(err.data(), O_CLOEXEC) != 0) {
        err_ = args.empty() ? "no program to run" : std::string("pipe: ") + std::strerror(errno);
        CloseAll(out);
        CloseAll(err);
        return;
    }
    // Everything the child needs is prepared before the fork: it only calls what is safe there.
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string where = folder.string();
    native_->pid = fork();
    if (native_->pid == 0) {
        const int none = open("/dev/null", O_RDONLY);
        if (none < 0 || dup2(none, STDIN_FILENO) < 0 || dup2(out[1], STDOUT_FILENO) < 0 ||
            dup2(err[1], STDERR_FILENO) < 0 || chdir(where.c_str()) != 0) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    native_->fds = {out[0], err[0]};
    if (native_->pid < 0) {
        err_ = std::string("fork: ") + std::strerror(errno);
        CloseAll(native_->fds);
    }
}

ChildProcess::ChildProcess(const std::string& program, const std::string& arguments,
                           const std::filesystem::path& folder)
    : ChildProcess({"/bin/sh", "-c", "exec '" + ProgramPath(program) + "' " + arguments}, folder) {}

ChildProcess::~ChildProcess() {
    if (native_->pid > 0) {
        kill(native_->pid, SIGKILL);
        waitpid(native_->pid, nullptr, 0);
    }
    CloseAll(native_->fds);
}

bool ChildProcess::Pump(std::chrono::steady_clock::time_point end) {
    auto& fds = native_->fds;
    if (fds[0] < 0 && fds[1] < 0) return false;
    std::array<pollfd, 2> polled{{{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    const int ready =
        poll(polled.data(), polled.size(), static_cast<int>(std::max<long>(0, left.count())));
    if (ready <= 0) return true;
    std::array<char, 4096> buffer{};
    for (std::size_t i = 0; i < polled.size(); ++i) {
        if (fds[i] < 0 || polled[i].revents == 0) continue;
        const ssize_t n = read(fds[i], buffer.data(), buffer.size());
        if (n <= 0) {
            close(fds[i]);
            fds[i] = -1;
        } else {
            (i == 0 ? out_ : err_).append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    return true;
}

int InterruptedStatus() { return 128 + SIGINT; }

void ChildProcess::Interrupt() const { Signal(SIGINT); }

void ChildProcess::Kill() const { Signal(SIGKILL); }

void ChildProcess::Signal(int signal) const {
    if (native_->pid > 0) kill(native_->pid, signal);
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end && Pump(end)) {
    }
    if (native_->pid <= 0) return -1;
    int status = 0;
    while (waitpid(native_->pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= end) {
            Kill();
            waitpid(native_->pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    native_->pid = -1;
    // What it wrote before it ended.
    const auto drained = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < drained && Pump(drained)) {
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const bool kFileNamesKeepTrailingBlanks = true;

std::string QuotedArgument(const std::string& name) { return "'" + name + "'"; }

}  // namespace qzr::test

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <utility>

#include "qzr/common/file_replacement.h"

namespace qzr {
namespace {

// The temporaries of this process that an interrupting signal must remove. The handler may only
// use what is async-signal-safe, so the paths live in fixed storage and each slot's state is a
// lock-free atomic; a slot is filled before it is marked ready and marked free before reuse.
constexpr std::size_t kPendingSlots = 64;
constexpr std::size_t kPendingPathBytes = 4096;  // PATH_MAX on Linux, terminator included
enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

struct PendingSlot {
    std::atomic<int> state{kFree};
    std::array<char, kPendingPathBytes> path{};
};
static_assert(std::atomic<int>::is_always_lock_free);

constinit std::array<PendingSlot, kPendingSlots> gPending{};

constexpr std::array<int, 3> kCleanupSignals{SIGINT, SIGTERM, SIGHUP};
// What each signal did before our handler took it over; our handler does the same after its
// clean-up.
std::array<struct sigaction, kCleanupSignals.size()> gPrevious{};
constinit std::mutex gInstallMutex;

std::size_t SignalIndex(int signal) {
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        if (kCleanupSignals[i] == signal) return i;
    }
    return 0;
}

extern "C" void RemovePendingOnSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    for (PendingSlot& slot : gPending) {
        if (slot.state.load(std::memory_order_acquire) == kReady) unlink(slot.path.data());
    }
    errno = savedErrno;
    const struct sigaction& previous = gPrevious[SignalIndex(signal)];
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        if (previous.sa_sigaction != nullptr) previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN) return;
    if (previous.sa_handler == SIG_DFL) {
        // Ends the process as the signal would have: it is delivered once this handler returns.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        sigaction(signal, &byDefault, nullptr);
        raise(signal);
        return;
    }
    previous.sa_handler(signal);
}

// Called at every Open: a program may have set a signal's handling since the last one (qzr play
// catches Ctrl-C for its own clean stop), and that handling is then what ours hands on to. A
// signal that is ignored (nohup) stays ignored.
void InstallCleanup() {
    const std::scoped_lock lock{gInstallMutex};
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        struct sigaction current {};
        if (sigaction(kCleanupSignals[i], nullptr, &current) != 0) continue;
        const bool ours =
            (current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == &RemovePendingOnSignal;
        if (ours || ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN)) {
            continue;
        }
        gPrevious[i] = current;
        struct sigaction action {};
        action.sa_sigaction = &RemovePendingOnSignal;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
        sigaction(kCleanupSignals[i], &action, nullptr);
    }
}

int ClaimSlot(const std::string& path) {
    if (path.size() >= kPendingPathBytes) return -1;
    for (std::size_t i = 0; i < kPendingSlots; ++i) {
        int expected = kFree;
        if (gPending[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(gPending[i].path.data(), path.c_str(), path.size() + 1);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void MarkReady(int slot) {
    gPending[static_cast<std::size_t>(slot)].state.store(kReady, std::memory_order_release);
}

void FreeSlot(int& slot) {
    if (slot < 0) return;
    gPending[static_cast<std::size_t>(slot)].state.store(kFree, std::memory_order_release);
    slot = -1;
}

std::string TemporaryName(const std::filesystem::path& target, std::mt19937_64& random) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint64_t bits = random();
    std::string suffix(16, '0');
    for (char& c : suffix) {
        c = kHex[bits & 15];
        bits >>= 4;
    }
    return target.string() + "." + suffix + ".tmp";
}

std::string Reason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

}  // namespace

FileReplacement::FileReplacement(std::filesystem::path target) : target_(std::move(target)) {}

FileReplacement::~FileReplacement() { Discard(); }

bool FileReplacement::Open(std::string& error) {
    Discard();
    const std::string target = target_.string();
    struct stat existing {};
    replacesExisting_ = false;
    // stat follows a link at the target's name: what it points to says whether we may write
    // there; the rename replaces the link itself.
    if (stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            error = target + ": is a folder";
            return false;
        }
        if (!S_ISREG(existing.st_mode)) {
            error = target + ": is not a regular file";
            return false;
        }
        if (access(target.c_str(), W_OK) != 0) {
            error = Reason(target, errno);
            return false;
        }
        replacesExisting_ = true;
        existingMode_ = static_cast<unsigned>(existing.st_mode & 0777);
        existingOwner_ = existing.st_uid;
        existingGroup_ = existing.st_gid;
    }

    InstallCleanup();
    std::random_device seed;
    std::mt19937_64 random((std::uint64_t{seed()} << 32) ^ seed() ^
                           static_cast<std::uint64_t>(getpid()));
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string candidate = TemporaryName(target_, random);
        int slot = ClaimSlot(candidate);
        if (slot < 0) {
            error = candidate.size() >= kPendingPathBytes
                        ? target + ": the path is too long"
                        : target + ": too many files are being written at once";
            return false;
        }
        // Until it is complete only we may read it; the final mode comes with the commit.
        const mode_t mode = replacesExisting_ ? 0600 : 0666;
        const int fd =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            MarkReady(slot);
            pendingSlot_ = slot;
            native_ = fd;
            temporary_ = candidate;
            return true;
        }
        const int why = errno;
        FreeSlot(slot);
        if (why == EEXIST) continue;
        error = Reason("cannot create " + candidate, why);
        return false;
    }
    error = target + ": no unused temporary name beside it";
    return false;
}

bool FileReplacement::Write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (native_ < 0) {
        error = target_.string() + ": not open";
        return false;
    }
    const int fd = Descriptor();
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            error = Reason("cannot write " + temporary_.string(), errno);
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

int FileReplacement::Descriptor() const { return static_cast<int>(native_); }

bool FileReplacement::Commit(std::string& error) {
    if (native_ < 0) {
        error = target_.string() + ": not open";
        return false;
    }
    const int fd = Descriptor();
    if (replacesExisting_) {
        // Owner and group only where we may set them (root, or a group we are in); the mode
        // after them, since a change of owner may clear some of its bits.
        if (fchown(fd, existingOwner_, existingGroup_) != 0) {
            [[maybe_unused]] const int ignored = fchown(fd, static_cast<uid_t>(-1), existingGroup_);
        }
        if (fchmod(fd, existingMode_) != 0) {
            error = Reason(temporary_.string(), errno);
            Discard();
            return false;
        }
    }
    if (fsync(fd) != 0) {
        error = Reason("cannot write " + temporary_.string(), errno);
        Discard();
        return false;
    }
    native_ = -1;
    if (close(fd) != 0) {
        error = Reason("cannot write " + temporary_.string(), errno);
        Discard();
        return false;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = Reason("cannot replace " + target_.string(), errno);
        Discard();
        return false;
    }
    FreeSlot(pendingSlot_);
    temporary_.clear();
    return true;
}

void FileReplacement::Discard() noexcept {
    if (native_ >= 0) close(static_cast<int>(std::exchange(native_, -1)));
    if (!temporary_.empty()) unlink(temporary_.c_str());
    FreeSlot(pendingSlot_);
    temporary_.clear();
}

}  // namespace qzr

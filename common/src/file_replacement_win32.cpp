#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <mutex>
#include <random>
#include <utility>

#include "qzr/common/file_replacement.h"

namespace qzr {
namespace {

// The temporaries the console's interrupt handler removes. That handler runs on a thread of its
// own, so plain atomics guard the slots, as on POSIX.
constexpr std::size_t kPendingSlots = 64;
constexpr std::size_t kPendingPathChars = 32768;  // the longest path Windows takes

// While another process replaces the same target, Windows refuses a second replacement for a
// moment (access denied or a sharing violation): it is tried again for up to about a second.
constexpr int kReplaceTries = 100;
constexpr DWORD kReplacePauseMs = 10;

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD why = GetLastError();
        if (attempt == kReplaceTries ||
            (why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION)) {
            return false;
        }
        Sleep(kReplacePauseMs);
    }
}
enum SlotState : int { kFree = 0, kFilling = 1, kReady = 2 };

struct PendingSlot {
    std::atomic<int> state{kFree};
    std::array<wchar_t, kPendingPathChars> path{};
};

constinit std::array<PendingSlot, kPendingSlots> gPending{};
std::once_flag gInstalled;

// Ctrl-C, Ctrl-Break, closing the console, logging off, shutting down: remove the temporaries,
// then let the next handler (in the end, the default one that exits) have the event.
BOOL WINAPI RemovePendingOnInterrupt(DWORD) {
    for (PendingSlot& slot : gPending) {
        if (slot.state.load(std::memory_order_acquire) == kReady) DeleteFileW(slot.path.data());
    }
    return FALSE;
}

int ClaimSlot(const std::wstring& path) {
    if (path.size() >= kPendingPathChars) return -1;
    for (std::size_t i = 0; i < kPendingSlots; ++i) {
        int expected = kFree;
        if (gPending[i].state.compare_exchange_strong(expected, kFilling)) {
            std::copy(path.begin(), path.end(), gPending[i].path.begin());
            gPending[i].path[path.size()] = L'\0';
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FreeSlot(int& slot) {
    if (slot < 0) return;
    gPending[static_cast<std::size_t>(slot)].state.store(kFree, std::memory_order_release);
    slot = -1;
}

// native_ holds a C runtime descriptor over the file's handle, so that libsndfile (whose
// sf_open_fd takes one) and Write share one file position.
HANDLE AsHandle(std::intptr_t native) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(native)));
}

std::string Reason(const std::string& what) {
    return what + ": Windows error " + std::to_string(GetLastError());
}

}  // namespace

FileReplacement::FileReplacement(std::filesystem::path target) : target_(std::move(target)) {}

FileReplacement::~FileReplacement() { Discard(); }

bool FileReplacement::Open(std::string& error) {
    Discard();
    const std::string target = target_.string();
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = target + ": is a folder";
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            error = target + ": is read-only";
            return false;
        }
    }
    std::call_once(gInstalled, [] { SetConsoleCtrlHandler(&RemovePendingOnInterrupt, TRUE); });
    std::random_device seed;
    std::mt19937_64 random((std::uint64_t{seed()} << 32) ^ seed() ^ GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = target_;
        candidate += "." + std::to_string(random()) + ".tmp";
        int slot = ClaimSlot(candidate.wstring());
        if (slot < 0) {
            error = target + ": too many files are being written at once";
            return false;
        }
        // CREATE_NEW fails on any existing name, a link included. No writing by others until it
        // is done; reading is shared (a temporary handed over is read while still open), and
        // deleting, so that the console handler can remove it while it is open (it goes when
        // the process ends).
        const HANDLE file =
            CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const int descriptor =
            file != INVALID_HANDLE_VALUE
                ? _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_BINARY)
                : -1;
        if (file != INVALID_HANDLE_VALUE && descriptor == -1) CloseHandle(file);
        if (descriptor != -1) {
            gPending[static_cast<std::size_t>(slot)].state.store(kReady, std::memory_order_release);
            pendingSlot_ = slot;
            native_ = descriptor;
            temporary_ = std::move(candidate);
            return true;
        }
        const DWORD why = GetLastError();
        FreeSlot(slot);
        if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS) continue;
        SetLastError(why);
        error = Reason("cannot create " + candidate.string());
        return false;
    }
    error = target + ": no unused temporary name beside it";
    return false;
}

bool FileReplacement::Write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (native_ == -1) {
        error = target_.string() + ": not open";
        return false;
    }
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(native_), bytes.data(), chunk, &written, nullptr)) {
            error = Reason("cannot write " + temporary_.string());
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

int FileReplacement::Descriptor() const { return static_cast<int>(native_); }

bool FileReplacement::Commit(std::string& error) {
    if (native_ == -1) {
        error = target_.string() + ": not open";
        return false;
    }
    const bool flushed = FlushFileBuffers(AsHandle(native_)) != 0;
    const bool closed = _close(static_cast<int>(std::exchange(native_, -1))) == 0;
    if (!flushed || !closed) {
        error = Reason("cannot write " + temporary_.string());
        Discard();
        return false;
    }
    if (!MoveOver(temporary_, target_)) {
        error = Reason("cannot replace " + target_.string());
        Discard();
        return false;
    }
    FreeSlot(pendingSlot_);
    temporary_.clear();
    return true;
}

void FileReplacement::Discard() noexcept {
    if (native_ != -1) _close(static_cast<int>(std::exchange(native_, -1)));
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    FreeSlot(pendingSlot_);
    temporary_.clear();
}

}  // namespace qzr

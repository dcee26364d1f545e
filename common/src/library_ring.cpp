#include "library_ring.h"

#include <array>
#include <cstdlib>
#include <mutex>

namespace qzr {
namespace {

constexpr int kRingSlots = 256;

struct LibraryRing {
    std::array<LibraryHandle, kRingSlots> slots{};
    int index = 0;  // slot of the most recent load
    bool cleanupRegistered = false;
};

// Loads are rare (once per library while it stays in the process), so one lock around them
// costs nothing; calls on the steady path never touch the ring.
// Not constinit: MinGW's std::mutex has no constant constructor.
std::mutex gRingMutex;
constinit LibraryRing gRing;

void FreeLibraryRing() {
    const std::scoped_lock lock{gRingMutex};
    for (int slot = kRingSlots - 1; slot >= 0; --slot) {
        gRing.slots[static_cast<std::size_t>(slot)].Release();
    }
}

}  // namespace

dynlib::NativeLibrary* LoadIntoRing(const char* fileName) {
    const std::scoped_lock lock{gRingMutex};
    // Registration is retried at the next load if the at-exit list is full.
    if (!gRing.cleanupRegistered) gRing.cleanupRegistered = std::atexit(&FreeLibraryRing) == 0;
    gRing.index = (gRing.index + 1) % kRingSlots;
    LibraryHandle& slot = gRing.slots[static_cast<std::size_t>(gRing.index)];
    slot.Release();
    slot = LibraryHandle{dynlib::LoadLibraryFile(fileName)};
    return slot.Get();
}

}  // namespace qzr

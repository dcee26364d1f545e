#include "library_ring.h"

#include <array>
#include <mutex>

namespace qzr {
namespace {

constexpr int kRingSlots = 256;

// Loads are rare (once per library while it stays in the process), so one lock around them
// costs nothing; calls on the steady path never touch the ring.
// Not constinit: MinGW's std::mutex has no constant constructor.
std::mutex gRingMutex;

// What this module loaded is released, from slot 255 down to slot 0, when the module is unloaded
// (dlclose) or the process ends: the destructor of a static object of the module runs at both.
// An at-exit function would not do: a sanitizer's runtime may keep it for the process's end,
// when the module that registered it is no longer mapped.
struct LibraryRing {
    std::array<LibraryHandle, kRingSlots> slots{};
    int index = 0;  // slot of the most recent load

    constexpr LibraryRing() = default;
    LibraryRing(const LibraryRing&) = delete;
    LibraryRing& operator=(const LibraryRing&) = delete;
    ~LibraryRing() {
        const std::scoped_lock lock{gRingMutex};
        if (!dynlib::MayReleaseAtUnload()) {
            for (LibraryHandle& slot : slots) static_cast<void>(slot.Leave());
            return;
        }
        for (int slot = kRingSlots - 1; slot >= 0; --slot) {
            slots[static_cast<std::size_t>(slot)].Release();
        }
    }
};

constinit LibraryRing gRing;

}  // namespace

dynlib::NativeLibrary* LoadIntoRing(const char* fileName) {
    const std::scoped_lock lock{gRingMutex};
    gRing.index = (gRing.index + 1) % kRingSlots;
    LibraryHandle& slot = gRing.slots[static_cast<std::size_t>(gRing.index)];
    slot.Release();
    slot = LibraryHandle{dynlib::LoadLibraryFile(fileName)};
    return slot.Get();
}

}  // namespace qzr

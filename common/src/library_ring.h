#pragma once

#include <utility>

#include "dynlib.h"

namespace qzr {

// Owns one reference to a loaded library and drops it when destroyed or replaced.
class LibraryHandle {
public:
    constexpr LibraryHandle() noexcept = default;
    explicit LibraryHandle(dynlib::NativeLibrary* native) noexcept : native_(native) {}
    LibraryHandle(LibraryHandle&& other) noexcept
        : native_(std::exchange(other.native_, nullptr)) {}
    LibraryHandle& operator=(LibraryHandle&& other) noexcept {
        if (this != &other) {
            Release();
            native_ = std::exchange(other.native_, nullptr);
        }
        return *this;
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    ~LibraryHandle() { Release(); }

    dynlib::NativeLibrary* Get() const noexcept { return native_; }
    void Release() noexcept { dynlib::CloseLibrary(std::exchange(native_, nullptr)); }
    // Gives up the reference without dropping it (for the system to release at the end).
    dynlib::NativeLibrary* Leave() noexcept { return std::exchange(native_, nullptr); }

private:
    dynlib::NativeLibrary* native_ = nullptr;
};

// Loads the library into the next of this module's 256 ring slots, releasing what that slot held
// 256 loads earlier. The first load of the module's life lands in slot 1. Returns the new handle,
// null when the library cannot be loaded (the slot then stays empty). Everything still held is
// released when this module is unloaded or the process ends (on Windows, by the system).
dynlib::NativeLibrary* LoadIntoRing(const char* fileName);

}  // namespace qzr

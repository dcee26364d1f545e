#pragma once

#include <array>
#include <cstddef>
#include <memory>

namespace qzr {

// A ring of 2048 temporary text buffers. Each request advances to the next slot (the first
// request of a ring uses slot 1) and hands out a fresh buffer of size + 128 zero bytes, so a text
// of that length always has its terminator and spare room. A buffer stays valid until the 2048th
// later request reuses its slot; callers copy what they want to keep. One thread at a time.
class TempStringRing {
public:
    static constexpr int kSlotCount = 2048;
    static constexpr std::size_t kSpareBytes = 128;

    char* Take(std::size_t size);

    // Slot used by the most recent request; 0 before the first.
    int Index() const { return index_; }

private:
    int index_ = 0;
    std::array<std::unique_ptr<char[]>, kSlotCount> slots_{};
};

// A buffer from this module's ring (see TempStringRing).
char* TempString(std::size_t size);

}  // namespace qzr

#include "qzr/common/temp_string.h"

namespace qzr {

char* TempStringRing::Take(std::size_t size) {
    index_ = (index_ + 1) % kSlotCount;
    // Replacing the slot's owner frees the buffer handed out 2048 requests ago.
    slots_[static_cast<std::size_t>(index_)] = std::make_unique<char[]>(size + kSpareBytes);
    return slots_[static_cast<std::size_t>(index_)].get();
}

namespace {

constinit TempStringRing gRing{};

}  // namespace

char* TempString(std::size_t size) { return gRing.Take(size); }

}  // namespace qzr

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qzr::emulator {

struct RegisterWrite {
    std::uint8_t reg = 0;
    std::uint8_t value = 0;
    friend bool operator==(const RegisterWrite&, const RegisterWrite&) = default;
};

// The one owner of the rule "at most one register write per native sample, in arrival order,
// none lost": the pace of a program that waits for the chip's busy flag (64 input clocks, one
// sample, after each data write). The rule belongs to the core, the one layer every writer
// reaches (the engine for the player and qzr, ymrender, the benchmarks): the core's YM2151
// spaces the writes it is given with it, the engine's write queue hands the chip one write a
// sample with it, and ymrender schedules a script's writes with it.
//
// A FIFO that only grows: a burst larger than any before allocates once, a warmed-up pacer
// never does. Not thread-safe; the engine guards its own with a lock.
class WritePacer {
public:
    WritePacer();

    void Push(RegisterWrite write);
    // The write to make before the next sample, if any.
    std::optional<RegisterWrite> TakeForSample();
    void Clear();
    std::size_t Held() const { return size_; }

private:
    void Grow();

    std::vector<RegisterWrite> ring_;  // a power of two long; indexes are masked
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

}  // namespace qzr::emulator
